#include "app/render/mix_source.h"

#include <cstring>
#include <new>

namespace zelvaro {

MixSource::MixSource(const SoundSourceRef& first, const SoundSourceRef& second) : SoundFilter(first), other(second) {
    if (failed())
        return;
    if (!second.usable() || second->channels != channels || second->sampleRate != sampleRate) {
        markFailed();
        return;
    }
    scratch.reset(new (std::nothrow) int32_t[static_cast<size_t>(kMaxBlockFrames) * channels]);
    if (!scratch)
        markFailed();
}

void MixSource::read(int32_t* samples, int frames) {
    if (frames <= 0)
        return;
    const size_t count = static_cast<size_t>(frames) * channels;
    if (!scratch) {
        std::memset(samples, 0, sizeof(int32_t) * count);
        return;
    }
    pull(samples, frames);
    other->read(scratch.get(), frames);
    const int32_t* add = scratch.get();
    for (size_t i = 0; i < count; ++i)
        samples[i] = static_cast<int32_t>(static_cast<uint32_t>(samples[i]) + static_cast<uint32_t>(add[i]));
}

void MixSource::seek(int frame) {
    SoundFilter::seek(frame);
    if (other)
        other->seek(frame);
}

}  // namespace zelvaro
