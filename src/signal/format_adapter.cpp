#include "signal/format_adapter.h"

#include <new>

#include "signal/channel_converter.h"

namespace zelvaro {

SoundSourceRef ChannelCountAdapter::apply(const SoundSourceRef& input) const {
    if (!input.usable() || input->channels == channelCount)
        return input;
    if (channelCount == 1 && input->channels == 2)
        return SoundSourceRef(new (std::nothrow) StereoToMono(input));
    if (channelCount == 2 && input->channels == 1)
        return SoundSourceRef(new (std::nothrow) MonoToStereo(input));
    return input;
}

}  // namespace zelvaro
