// Whole chains as the player and the render loop build them: the block size
// a consumer reads with never changes a sample, and a rendered chain holds
// exactly its length.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "signal/channel_converter.h"
#include "signal/format_adapter.h"
#include "signal/noise_source.h"
#include "signal/peak_limiter.h"
#include "signal/sample_rate_converter.h"
#include "signal/signal_source.h"
#include "signal/tone_source.h"
#include "test_sources.h"
#include "tone_records.h"

namespace zelvaro {
namespace {

constexpr int32_t kPlayerLimit = 524272;

ToneSettings sixteenStereoLogSweep() {
    ToneSettings tone = test::withFlags(test::toneRecord(kWaveSine, 16),
                                        kFlagStereo | kFlagSweep | kFlagLogSweep | kFlagFixedDuration, 1500);
    for (int k = 0; k < 16; ++k) {
        tone.startLeft[k] = 40.0 * (k + 1);
        tone.endLeft[k] = 15000.0 - 700.0 * k;
        tone.startRight[k] = 1000.0;
        tone.endRight[k] = 30.0 * (k + 1);
    }
    return tone;
}

// The render loop's adapters for a sink of `channels`, `rate` and `peak`.
SoundSourceRef adapted(SoundSourceRef source, uint16_t channels, int32_t rate, int32_t peak) {
    source = ChannelCountAdapter(channels).apply(source);
    source = SampleRateAdapter(rate).apply(source);
    return PeakLimitAdapter(peak).apply(source);
}

struct Chain {
    std::string name;
    std::function<SoundSourceRef()> build;
};

std::vector<Chain> chains() {
    return {
        {"16 stereo tones, log sweep", [] { return createSignalSource(sixteenStereoLogSweep()); }},
        {"impulses, variable amplitude",
         [] {
             ToneSettings tone = test::withFlags(test::toneRecord(kWaveImpulse, 5, 3000.0), kFlagVariableAmplitude);
             tone.relativeAmplitude[2] = -40;
             return createSignalSource(tone);
         }},
        {"white noise", [] { return createSignalSource(test::toneRecord(kWaveWhiteNoise), 4u); }},
        {"pink noise to stereo", [] {
             return ChannelCountAdapter(2).apply(createSignalSource(test::toneRecord(kWavePinkNoise), 4u));
         }},
        {"player: limiter over 16 stereo tones",
         [] { return PeakLimitAdapter(kPlayerLimit).apply(createSignalSource(sixteenStereoLogSweep())); }},
        {"render: mono, 48 kHz, limited",
         [] { return adapted(createSignalSource(sixteenStereoLogSweep()), 1, 48000, kPlayerLimit); }},
        {"render: 8 kHz stereo from white noise",
         [] { return adapted(createSignalSource(test::toneRecord(kWaveWhiteNoise), 9u), 2, 8000, kPlayerLimit); }},
    };
}

TEST(Chain, BlockSizeNeverChangesASample) {
    for (const Chain& chain : chains()) {
        SCOPED_TRACE(chain.name);
        SoundSourceRef whole = chain.build();
        ASSERT_TRUE(whole.usable());
        const std::vector<int32_t> reference = test::readFrames(*whole.get(), 30000, kMaxBlockFrames);
        for (int block : {1, 7, 1000}) {
            SCOPED_TRACE(block);
            SoundSourceRef source = chain.build();
            EXPECT_EQ(test::readFrames(*source.get(), 30000, block), reference);
        }
    }
}

TEST(Chain, RenderLoopWritesExactlyTheLength) {
    struct Row {
        const char* name;
        uint16_t channels;
        int32_t rate;
        int frames;
    };
    const Row rows[] = {
        {"as made", 2, 44100, 66150},
        {"mono", 1, 44100, 66150},
        {"48 kHz", 2, 48000, (66150 / 34) * 37 + ((66150 % 34) * 37) / 34},
        {"8 kHz mono", 1, 8000, (66150 / 215) * 39 + ((66150 % 215) * 39) / 215},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SoundSourceRef source = adapted(createSignalSource(sixteenStereoLogSweep()), row.channels, row.rate, kPlayerLimit);
        ASSERT_TRUE(source.usable());
        EXPECT_EQ(source->length(), row.frames);
        EXPECT_EQ(source->position(), 0);
        const std::vector<int32_t> out = test::renderToLength(*source.get());
        EXPECT_EQ(out.size(), static_cast<size_t>(row.frames) * row.channels);
    }
    // A length that is a whole number of blocks keeps its last block.
    std::vector<int32_t> ramp(2 * kMaxBlockFrames);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<int32_t>(i);
    SoundSourceRef blocks = PeakLimitAdapter(kPlayerLimit).apply(SoundSourceRef(new test::VectorSource(ramp, 1)));
    EXPECT_EQ(test::renderToLength(*blocks.get()), ramp);
}

TEST(Chain, ReleasingTheOuterHandleDestroysTheWholeChain) {
    bool destroyed = false;
    auto* generator = new test::VectorSource(std::vector<int32_t>(4000, 1), 1, 22050, 2097152, &destroyed);
    {
        SoundSourceRef chain = adapted(SoundSourceRef(generator), 2, 44100, kPlayerLimit);
        EXPECT_EQ(generator->refCount, 1);  // held by the innermost node only
        EXPECT_FALSE(destroyed);
    }
    EXPECT_TRUE(destroyed);
}

// A render of either chain is saved with the channels signalChannels names:
// they must be those of the chain's own source for every waveform.
TEST(SignalChannels, AreThoseOfTheChainsSource) {
    for (int waveform = 0; waveform < kWaveformCount; ++waveform)
        for (uint16_t flags : {uint16_t{0}, uint16_t{kFlagStereo}}) {
            SCOPED_TRACE("waveform " + std::to_string(waveform) + (flags ? ", stereo" : ", mono"));
            const ToneSettings tone = test::withFlags(test::toneRecord(waveform), flags);
            SoundSourceRef source = createSignalSource(tone, 1u);
            ASSERT_TRUE(source.usable());
            EXPECT_EQ(signalChannels(tone), source->channels);
        }
}

}  // namespace
}  // namespace zelvaro
