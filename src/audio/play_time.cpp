#include "audio/play_time.h"

namespace zelvaro {

namespace {

// Formed in 64 bits and cut to 32 like the counters they stand for, so that
// extreme rates or positions give a wrapped number instead of undefined behaviour.
int32_t wrap32(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

}  // namespace

int32_t framesToTime(int32_t frames, int32_t rate) {
    if (rate <= 0)
        return 0;
    const int64_t f = frames;
    const int64_t r = rate;
    return wrap32((f / r) * 10000 + ((f % r) * 10000) / r);
}

int32_t timeToFrames(int32_t time, int32_t rate) {
    if (rate <= 0)
        return 0;
    const int64_t t = time;
    const int64_t r = rate;
    return wrap32((t / 10000) * r + ((t % 10000) * r) / 10000);
}

}  // namespace zelvaro
