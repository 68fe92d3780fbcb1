// Delivers an upstream's signal at another sample rate: the rate ratio as a
// fraction of small integers, and a 63-tap polyphase Kaiser-windowed sinc
// filter run in 32-bit samples over a block-normalised input buffer.
#pragma once

#include <memory>

#include "signal/format_adapter.h"
#include "signal/sound_filter.h"

namespace zelvaro {

constexpr int kFilterTaps = 63;
constexpr int kFilterHalf = 31;
// Input frames per refill, and the buffer: the previous block's last 63
// frames followed by the new block. Not the chain's block length, though
// equal to it: each refill is normalised as a whole, so this span is part of
// what the converter's samples are, and stays when the blocks change.
constexpr int kConverterBlock = 8192;
constexpr int kConverterBufferFrames = kConverterBlock + kFilterTaps;
// Rate ratios beyond this many input frames per output frame are refused.
constexpr int32_t kMaxInputStep = 1 << 30;

struct RateFraction {
    int32_t phaseCount;  // L: output frames per inputStep input frames
    int32_t inputStep;   // M
};

// The fraction M / L (L up to 255) that approximates upstreamRate / targetRate.
// False when the rates are not positive or no step from 1 to kMaxInputStep fits.
bool findRateFraction(int32_t upstreamRate, int32_t targetRate, RateFraction* fraction);

// Fills phaseCount rows of kFilterTaps taps in units of 2^-16; row j is the
// filter for the fractional input position j / phaseCount.
void designConverterFilter(int32_t upstreamRate, int32_t targetRate, int32_t phaseCount, int32_t* taps);

class SampleRateConverter : public SoundFilter {
public:
    // Marked failed (and silent) over an absent or failed upstream, for a
    // target below 1 (then 44,100 Hz), or for a ratio no fraction holds.
    SampleRateConverter(const SoundSourceRef& source, int32_t targetRate);

    void read(int32_t* samples, int frames) override;
    // Seeks to output frame `frame` (negative is 0). The window before the
    // first upstream frame is silence, as at the start.
    void seek(int frame) override;
    // Output frames delivered: since construction, or the seek target plus
    // those delivered since.
    int position() override;
    // The upstream's length at the output rate.
    int length() override;

    int32_t phases() const { return phaseCount; }
    int32_t step() const { return inputStep; }
    const int32_t* filterRow(int phase) const { return taps.get() + static_cast<size_t>(phase) * kFilterTaps; }

private:
    int32_t* channelBuffer(int channel) {
        return buffer.get() + static_cast<size_t>(channel) * kConverterBufferFrames;
    }
    void clearFrames(int first, int frames);
    void pullFrames(int first, int frames);
    void refill();
    int32_t convolve(const int32_t* row, const int32_t* x) const;

    int32_t phaseCount = 1;
    int32_t inputStep = 1;
    std::unique_ptr<int32_t[]> taps;
    int32_t bufferPos = 0;
    int32_t phaseAccumulator = 0;
    // One run of kConverterBufferFrames per channel; the upstream's frames
    // are split into channels as they arrive.
    std::unique_ptr<int32_t[]> buffer;
    std::unique_ptr<int32_t[]> scratch;
    uint8_t normShift = 0;
    int outShift = 15;
    int32_t outRound = 1 << 14;
    int64_t framesDelivered = 0;
};

// Wraps inputs whose rate differs from the adapter's in a SampleRateConverter.
class SampleRateAdapter : public FormatAdapter {
public:
    explicit SampleRateAdapter(int32_t rate) : sampleRate(rate) {}
    SoundSourceRef apply(const SoundSourceRef& input) const override;

    int32_t sampleRate;
};

}  // namespace zelvaro
