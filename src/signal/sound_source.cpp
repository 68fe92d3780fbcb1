#include "signal/sound_source.h"

namespace zelvaro {

SoundSource::SoundSource(int32_t rate, int32_t peak, uint8_t channelCount)
    : sampleRate(rate), peakLevel(peak), channels(channelCount) {
    if (rate < 1) {
        sampleRate = 44100;
        markFailed();
    }
    if (channelCount == 0) {
        channels = 1;
        markFailed();
    }
}

void SoundSource::seek(int) {}

namespace {

void dropReference(SoundSource* source) {
    if (source->refCount == kRefCountSaturated)
        return;
    if (--source->refCount == 0)
        delete source;
}

}  // namespace

void SoundSourceRef::assign(SoundSource* source) {
    // Count the new source first so that assigning a source to its own handle
    // never passes through 0.
    if (source != nullptr && source->refCount != kRefCountSaturated)
        ++source->refCount;
    SoundSource* old = source_;
    source_ = source;
    if (old != nullptr)
        dropReference(old);
}

void SoundSourceRef::release() {
    SoundSource* old = source_;
    source_ = nullptr;
    if (old != nullptr)
        dropReference(old);
}

}  // namespace zelvaro
