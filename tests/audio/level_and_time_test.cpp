#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "audio/level_meter.h"
#include "audio/play_time.h"
#include "signal/block_level.h"

namespace zelvaro {
namespace {

TEST(LevelFromMeanSquare, WholeDecibelsRoundedAwayFromZero) {
    struct Row {
        uint32_t meanSquare;
        int level;
    };
    const Row rows[] = {
        {0, -127},          // silence
        {1, -69},
        {2097156, -6},      // a quarter of the reference
        {8388625, 0},       // just below the reference rounds to 0, not -1
        {8388626, 0},       // the reference
        {83886260, 10},
        {268435456, 15},    // a full-scale square
        {0xFFFFFFFFu, 27},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.meanSquare);
        EXPECT_EQ(levelFromMeanSquare(row.meanSquare), row.level);
    }
}

TEST(LevelFromMeanSquare, AFullScaleSineChannelMeasuresTwelveDecibels) {
    // A sine of full scale has half the mean square of the square wave.
    int32_t samples[2 * 441];
    for (int i = 0; i < 441; ++i) {
        samples[2 * i] = static_cast<int32_t>(524288.0 * std::sin(2 * 3.14159265358979 * i / 44.1));
        samples[2 * i + 1] = 0;
    }
    EXPECT_EQ(levelFromMeanSquare(channelMeanSquare(samples, 441, 2, 0)), 12);
    EXPECT_EQ(levelFromMeanSquare(channelMeanSquare(samples, 441, 2, 1)), -127);
}

TEST(PlayTime, FramesAndHundredMicrosecondUnits) {
    struct Row {
        int32_t frames;
        int32_t rate;
        int32_t time;
    };
    const Row rows[] = {
        {1000, 44100, 226},
        {44100, 44100, 10000},
        {44099, 44100, 9999},
        {0, 44100, 0},
        {-1000, 44100, -226},     // truncating division
        {1000, 0, 0},             // no rate
        {1000, -5, 0},
        {2646000, 44100, 600000}, // a continuous source's 60 seconds
        {INT_MAX, 1, -10000},     // wraps like the 32-bit count it is
        {3, 192000, 0},
        {191999, 192000, 9999},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.frames) + " at " + std::to_string(row.rate));
        EXPECT_EQ(framesToTime(row.frames, row.rate), row.time);
    }
    EXPECT_EQ(timeToFrames(226, 44100), 996);
    EXPECT_EQ(timeToFrames(10000, 44100), 44100);
    EXPECT_EQ(timeToFrames(5000, 44100), 22050);
    EXPECT_EQ(timeToFrames(5000, 0), 0);
}

}  // namespace
}  // namespace zelvaro
