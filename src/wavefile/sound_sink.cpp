#include "wavefile/sound_sink.h"

#include <limits>

namespace zelvaro {

SoundSink::SoundSink(int32_t rate, int32_t peak, uint8_t channelCount)
    : sampleRate(rate), peakLevel(peak), channels(channelCount) {
    if (channels == 0) {
        channels = 1;
        markFailed();
    }
}

void SoundSink::truncate(int) {}

bool SoundSink::finish() { return !writeError(); }

int64_t SoundSink::framesLeft() const { return std::numeric_limits<int64_t>::max(); }

void SoundSink::expectFrames(int64_t) {}

namespace {

// Same rule as for sources: a count that reaches kRefCountSaturated stays
// there and the sink is never deleted.
void dropReference(SoundSink* sink) {
    if (sink->refCount == kRefCountSaturated) return;
    if (--sink->refCount == 0) delete sink;
}

}  // namespace

void SoundSinkRef::assign(SoundSink* sink) {
    // Count the new sink first so that assigning a sink to its own handle
    // never passes through 0.
    if (sink != nullptr && sink->refCount != kRefCountSaturated) ++sink->refCount;
    SoundSink* old = sink_;
    sink_ = sink;
    if (old != nullptr) dropReference(old);
}

void SoundSinkRef::release() {
    SoundSink* old = sink_;
    sink_ = nullptr;
    if (old != nullptr) dropReference(old);
}

}  // namespace zelvaro
