// Keeps a chain within a peak level: looks three blocks ahead, computes one
// gain per block from its peak, and ramps the gain linearly between blocks so
// that no sample exceeds the limit and the gain never jumps.
#pragma once

#include <memory>

#include "signal/format_adapter.h"
#include "signal/sound_filter.h"

namespace zelvaro {

// The largest limit the gain arithmetic takes (limit x 512 must fit int32).
constexpr int32_t kMaxPeakLimit = 4194303;

class PeakLimiter : public SoundFilter {
public:
    // The limit is held to 0..kMaxPeakLimit and becomes the node's peakLevel.
    // Reads three blocks from the upstream at once.
    PeakLimiter(const SoundSourceRef& source, int32_t limit);

    void read(int32_t* samples, int frames) override;
    // Seeks the upstream and reads three blocks ahead again.
    void seek(int frame) override;
    // The upstream's position less the three blocks held.
    int position() override;

    // Frames per block: sampleRate / 35, held to 20..8192.
    int32_t blockFrames() const { return blockLength; }

private:
    void prime();
    void fillBlock(int32_t* block);
    int32_t blockGain(const int32_t* block) const;
    void setUpRamp();
    void rotate();

    int32_t blockLength = 20;
    int32_t blockPos = 0;
    std::unique_ptr<int32_t[]> storage;
    int32_t* current = nullptr;
    int32_t* next = nullptr;
    int32_t* afterNext = nullptr;
    int32_t previousGain = 0;
    int32_t currentGain = 0;
    int32_t nextGain = 0;
    int32_t afterNextGain = 0;
    int32_t gain = 0;
    int32_t gainStep = 0;
};

// Wraps inputs whose peakLevel exceeds the limit in a PeakLimiter.
class PeakLimitAdapter : public FormatAdapter {
public:
    explicit PeakLimitAdapter(int32_t peakLimit) : limit(peakLimit) {}
    SoundSourceRef apply(const SoundSourceRef& input) const override;

    int32_t limit;
};

}  // namespace zelvaro
