// The source interface: header rules, counted handles, the channel converters,
// the channel-count adapter and the block measurements.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "signal/block_level.h"
#include "signal/channel_converter.h"
#include "signal/format_adapter.h"
#include "signal/sound_filter.h"
#include "test_sources.h"

namespace zelvaro {
namespace {

using test::VectorSource;

TEST(SoundSourceHeader, ReplacesInvalidRateAndChannelsAndMarksFailed) {
    struct Row {
        int32_t rate;
        uint8_t channels;
        int32_t wantRate;
        uint8_t wantChannels;
        bool wantFailed;
    };
    const Row rows[] = {
        {44100, 2, 44100, 2, false},
        {1, 1, 1, 1, false},
        {0, 1, 44100, 1, true},
        {-48000, 2, 44100, 2, true},
        {48000, 0, 48000, 1, true},
        {0, 0, 44100, 1, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "rate " << row.rate << " channels " << int(row.channels));
        VectorSource source({}, row.channels, row.rate, 1234);
        EXPECT_EQ(source.sampleRate, row.wantRate);
        EXPECT_EQ(source.channels, row.wantChannels);
        EXPECT_EQ(source.peakLevel, 1234);
        EXPECT_EQ(source.failed(), row.wantFailed);
        EXPECT_EQ(source.refCount, 0);
    }
}

TEST(SoundSourceRef, CountsHoldersAndDeletesWithTheLast) {
    bool destroyed = false;
    auto* source = new VectorSource({}, 1, 44100, 0, &destroyed);
    EXPECT_EQ(source->refCount, 0);
    {
        SoundSourceRef a(source);
        EXPECT_EQ(source->refCount, 1);
        SoundSourceRef b = a;
        EXPECT_EQ(source->refCount, 2);
        b = a;  // same source again: no change, no deletion on the way
        b = b;
        EXPECT_EQ(source->refCount, 2);
        SoundSourceRef moved(std::move(b));
        EXPECT_FALSE(b);
        EXPECT_EQ(source->refCount, 2);
        moved.release();
        EXPECT_EQ(source->refCount, 1);
        EXPECT_FALSE(destroyed);
    }
    EXPECT_TRUE(destroyed);
}

TEST(SoundSourceRef, ReassignmentReleasesTheOldSource) {
    bool firstGone = false;
    bool secondGone = false;
    SoundSourceRef ref(new VectorSource({}, 1, 44100, 0, &firstGone));
    auto* second = new VectorSource({}, 1, 44100, 0, &secondGone);
    ref = second;
    EXPECT_TRUE(firstGone);
    EXPECT_EQ(second->refCount, 1);
    ref = nullptr;
    EXPECT_TRUE(secondGone);
    EXPECT_FALSE(ref.usable());
}

TEST(SoundSourceRef, SaturatedCountKeepsTheSourceAlive) {
    bool destroyed = false;
    auto* source = new VectorSource({}, 1, 44100, 0, &destroyed);
    {
        std::vector<SoundSourceRef> holders(70000, SoundSourceRef());
        for (auto& holder : holders)
            holder = source;
        EXPECT_EQ(source->refCount, kRefCountSaturated);
    }
    // A wrapped 16-bit count would have deleted the source while handles still
    // held it; a saturated one leaks it instead.
    EXPECT_FALSE(destroyed);
    delete source;
}

TEST(SoundFilter, CopiesTheUpstreamHeaderAndForwards) {
    struct PassThrough : SoundFilter {
        using SoundFilter::SoundFilter;
        void read(int32_t* samples, int frames) override { pull(samples, frames); }
    };
    auto* upstream = new VectorSource(std::vector<int32_t>(200, 1), 2, 48000, 777);
    SoundSourceRef held(upstream);
    PassThrough filter(held);
    EXPECT_EQ(filter.sampleRate, 48000);
    EXPECT_EQ(filter.peakLevel, 777);
    EXPECT_EQ(filter.channels, 2);
    EXPECT_FALSE(filter.failed());
    EXPECT_EQ(upstream->refCount, 2);
    EXPECT_EQ(filter.length(), 100);
    filter.seek(40);
    EXPECT_EQ(upstream->frame, 40);
    EXPECT_EQ(filter.position(), 40);

    PassThrough orphan{SoundSourceRef()};
    EXPECT_TRUE(orphan.failed());
    EXPECT_EQ(orphan.sampleRate, 44100);
    EXPECT_EQ(orphan.peakLevel, 2097152);
    EXPECT_EQ(orphan.channels, 1);
    orphan.seek(5);
    EXPECT_EQ(orphan.position(), 0);
    EXPECT_EQ(orphan.length(), 0);
    int32_t samples[3] = {9, 9, 9};
    orphan.read(samples, 3);
    EXPECT_EQ(samples[0] | samples[1] | samples[2], 0);

    auto* broken = new VectorSource({}, 1, 0);
    PassThrough overBroken{SoundSourceRef(broken)};
    EXPECT_TRUE(overBroken.failed());
}

TEST(ChannelConverter, MonoToStereoDuplicatesEachSample) {
    SoundSourceRef mono(new VectorSource({1, -2, 3, 524288}, 1));
    MonoToStereo stereo(mono);
    EXPECT_EQ(stereo.channels, 2);
    EXPECT_EQ(stereo.length(), 4);
    EXPECT_EQ(test::readFrames(stereo, 5, 2),
              (std::vector<int32_t>{1, 1, -2, -2, 3, 3, 524288, 524288, 0, 0}));
    EXPECT_EQ(stereo.position(), 5);
}

TEST(ChannelConverter, StereoToMonoKeepsTheLeftChannelAtFullLevel) {
    // Left a tone, right silence: the left comes through unchanged, not averaged.
    SoundSourceRef stereoSource(new VectorSource({131070, 0, -131070, 0, 7, 1000}, 2));
    StereoToMono mono(stereoSource);
    EXPECT_EQ(mono.channels, 1);
    EXPECT_EQ(test::readFrames(mono, 3, 1), (std::vector<int32_t>{131070, -131070, 7}));
}

TEST(ChannelConverter, ReadsLongerThanOneBufferInBlocks) {
    std::vector<int32_t> ramp(20000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<int32_t>(i);
    SoundSourceRef mono(new VectorSource(ramp, 1));
    MonoToStereo stereo(mono);
    std::vector<int32_t> out(40000);
    stereo.read(out.data(), 20000);
    EXPECT_EQ(out[2 * 19999], 19999);
    EXPECT_EQ(out[2 * 19999 + 1], 19999);
    EXPECT_EQ(out[2 * 8192], 8192);
}

TEST(ChannelCountAdapter, WrapsOnlyWhenTheCountDiffers) {
    struct Row {
        uint16_t field;
        uint8_t inputChannels;
        bool wrapped;
        uint8_t outputChannels;
    };
    const Row rows[] = {
        {1, 2, true, 1}, {2, 1, true, 2}, {2, 2, false, 2},
        {1, 1, false, 1}, {0, 2, false, 2}, {3, 1, false, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "field " << row.field << " input " << int(row.inputChannels));
        SoundSourceRef input(new VectorSource({}, row.inputChannels));
        SoundSourceRef output = ChannelCountAdapter(row.field).apply(input);
        ASSERT_TRUE(output.usable());
        EXPECT_EQ(output.get() != input.get(), row.wrapped);
        EXPECT_EQ(output->channels, row.outputChannels);
        // The input's own handle is untouched; the result holds one more count.
        EXPECT_EQ(input->refCount, 2);
    }
}

TEST(ChannelCountAdapter, PassesAbsentAndFailedInputsThrough) {
    EXPECT_FALSE(ChannelCountAdapter(2).apply(SoundSourceRef()));
    SoundSourceRef broken(new VectorSource({}, 1, 0));
    SoundSourceRef output = ChannelCountAdapter(2).apply(broken);
    EXPECT_EQ(output.get(), broken.get());
}

TEST(BlockLevel, PeakIsTheLargestMagnitudeFromZero) {
    struct Row {
        std::vector<int32_t> samples;
        int32_t peak;
    };
    const Row rows[] = {
        {{}, 0},
        {{5, -3}, 5},
        {{-7, 2}, 7},
        {{-4, -9, -1}, 9},
        {{3, 8, 1}, 8},
        {{INT32_MIN, 5}, INT32_MAX},
        {{INT32_MAX}, INT32_MAX},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "first " << (row.samples.empty() ? 0 : row.samples[0]));
        EXPECT_EQ(blockPeak(row.samples.data(), static_cast<int>(row.samples.size())), row.peak);
    }
    const int32_t interleaved[] = {1, -100, -3, 50, 2, 7};
    EXPECT_EQ(channelPeak(interleaved, 3, 2, 0), 3);
    EXPECT_EQ(channelPeak(interleaved, 3, 2, 1), 100);
    EXPECT_EQ(channelPeak(interleaved, 3, 2, 2), 0);
}

TEST(BlockLevel, MeanSquareOfTheScaledSamples) {
    // Full scale 524,288 is 16,384 after the shift by 5; its square is 2^28.
    std::vector<int32_t> full(100, 524288);
    EXPECT_EQ(blockMeanSquare(full.data(), 100), 268435456u);
    std::vector<int32_t> negative(100, -524288);
    EXPECT_EQ(blockMeanSquare(negative.data(), 100), 268435456u);
    // One unit of (s >> 5) squared over 8,192 samples: total 1 in 1/8192 units.
    std::vector<int32_t> tiny(8192, 32);
    EXPECT_EQ(blockMeanSquare(tiny.data(), 8192), 1u);
    EXPECT_EQ(blockMeanSquare(tiny.data(), 0), 0u);
    // Halves of 0 and 2^28: 2^27.
    const int32_t mixed[] = {524288, 0, 524288, 0, 524288, 0, 524288, 0};
    EXPECT_EQ(blockMeanSquare(mixed, 8), 134217728u);
    EXPECT_EQ(channelMeanSquare(mixed, 4, 2, 0), 268435456u);
    EXPECT_EQ(channelMeanSquare(mixed, 4, 2, 1), 0u);
}

}  // namespace
}  // namespace zelvaro
