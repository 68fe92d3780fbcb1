#include "signal/channel_converter.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zelvaro {

ChannelConverter::ChannelConverter(const SoundSourceRef& source, uint8_t outputChannels)
    : SoundFilter(source) {
    channels = outputChannels;
    buffer.reset(new (std::nothrow) int32_t[static_cast<size_t>(kMaxBlockFrames) * upstreamChannels()]());
    if (!buffer)
        markFailed();
}

template <typename Convert>
void ChannelConverter::readBlocks(int32_t* samples, int frames, Convert convert) {
    if (frames <= 0)
        return;
    if (!buffer) {
        std::memset(samples, 0, sizeof(int32_t) * static_cast<size_t>(frames) * channels);
        return;
    }
    // Each input frame's first sample is what both converters use; reading it
    // with the upstream's own stride keeps a node over an unexpected channel
    // count inside its buffer.
    const int stride = upstreamChannels();
    while (frames > 0) {
        const int block = std::min(frames, kMaxBlockFrames);
        pull(buffer.get(), block);
        convert(buffer.get(), stride, samples, block);
        samples += static_cast<size_t>(block) * channels;
        frames -= block;
    }
}

MonoToStereo::MonoToStereo(const SoundSourceRef& source) : ChannelConverter(source, 2) {}

void MonoToStereo::read(int32_t* samples, int frames) {
    readBlocks(samples, frames, [](const int32_t* in, int stride, int32_t* out, int n) {
        for (int j = 0; j < n; ++j) {
            const int32_t v = in[j * stride];
            out[2 * j] = v;
            out[2 * j + 1] = v;
        }
    });
}

StereoToMono::StereoToMono(const SoundSourceRef& source) : ChannelConverter(source, 1) {}

void StereoToMono::read(int32_t* samples, int frames) {
    readBlocks(samples, frames, [](const int32_t* in, int stride, int32_t* out, int n) {
        for (int j = 0; j < n; ++j)
            out[j] = in[j * stride];
    });
}

}  // namespace zelvaro
