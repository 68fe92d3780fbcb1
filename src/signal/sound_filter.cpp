#include "signal/sound_filter.h"

#include <cstring>

namespace zelvaro {

SoundFilter::SoundFilter(const SoundSourceRef& source)
    : SoundSource(source ? source->sampleRate : kDefaultSampleRate,
                  source ? source->peakLevel : kDefaultPeakLevel, source ? source->channels : 1),
      upstream(source) {
    if (!source.usable())
        markFailed();
}

void SoundFilter::seek(int frame) {
    if (upstream)
        upstream->seek(frame);
}

int SoundFilter::position() {
    return upstream ? upstream->position() : 0;
}

int SoundFilter::length() {
    return upstream ? upstream->length() : 0;
}

int SoundFilter::upstreamChannels() const {
    return upstream ? upstream->channels : 1;
}

void SoundFilter::pull(int32_t* samples, int frames) {
    if (frames <= 0)
        return;
    if (upstream)
        upstream->read(samples, frames);
    else
        std::memset(samples, 0, sizeof(int32_t) * static_cast<size_t>(frames) * upstreamChannels());
}

}  // namespace zelvaro
