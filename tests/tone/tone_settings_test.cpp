#include "tone/tone_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zelvaro {
namespace {

ToneSettings defaultTone() {
    ToneSettings tone;
    setDefaults(tone);
    return tone;
}

TEST(ToneSettings, DefaultsAreOneFullLevelMonoContinuousSineAt1000Hz) {
    ToneSettings tone;
    std::memset(&tone, 0xA5, sizeof tone);
    setDefaults(tone);
    EXPECT_EQ(tone.flags, 0);
    EXPECT_EQ(tone.waveform, kWaveSine);
    EXPECT_EQ(tone.toneCount, 1);
    EXPECT_EQ(tone.durationMs, 1000u);
    for (int i = 0; i < kMaxTones; ++i) {
        SCOPED_TRACE("tone index " + std::to_string(i));
        EXPECT_EQ(tone.startLeft[i], 1000.0);
        EXPECT_EQ(tone.endLeft[i], 1000.0);
        EXPECT_EQ(tone.startRight[i], 1000.0);
        EXPECT_EQ(tone.endRight[i], 1000.0);
        EXPECT_EQ(tone.relativeAmplitude[i], 0);
    }
    EXPECT_EQ(toneKind(tone), ToneKind::ConstantContinuous);
    EXPECT_STREQ(waveformName(tone), "Sine");
}

TEST(ToneSettings, SetToneKindChangesOnlyTheKindBits) {
    struct Row {
        const char* name;
        uint16_t before;
        ToneKind kind;
        uint16_t after;
    };
    const Row rows[] = {
        {"continuous from all bits", 0xFFFF, ToneKind::ConstantContinuous, 0xFFF4},
        {"duration from all bits", 0xFFFF, ToneKind::ConstantDuration, 0xFFFC},
        {"linear from all bits", 0xFFFF, ToneKind::SweepLinear, 0xFFFD},
        {"log from all bits", 0xFFFF, ToneKind::SweepLog, 0xFFFF},
        {"continuous from none", 0x0000, ToneKind::ConstantContinuous, 0x0000},
        {"duration from none", 0x0000, ToneKind::ConstantDuration, 0x0008},
        {"linear from none", 0x0000, ToneKind::SweepLinear, 0x0009},
        {"log from none", 0x0000, ToneKind::SweepLog, 0x000B},
        {"stereo and amplitude kept", 0x0014, ToneKind::SweepLog, 0x001F},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ToneSettings tone = defaultTone();
        tone.flags = row.before;
        setToneKind(tone, row.kind);
        EXPECT_EQ(tone.flags, row.after);
    }
}

TEST(ToneSettings, KindSequencesLeaveNoStaleBits) {
    ToneSettings tone = defaultTone();
    setToneKind(tone, ToneKind::SweepLog);
    setToneKind(tone, ToneKind::ConstantContinuous);
    EXPECT_EQ(tone.flags, 0);

    setToneKind(tone, ToneKind::SweepLog);
    setToneKind(tone, ToneKind::SweepLinear);
    EXPECT_FALSE(tone.logSweep());
    EXPECT_EQ(toneKind(tone), ToneKind::SweepLinear);
}

TEST(ToneSettings, KindReadBackFromEveryFlagCombination) {
    struct Row {
        uint16_t flags;
        ToneKind kind;
    };
    // Without a duration every combination is continuous, sweep bits or not.
    const Row rows[] = {
        {0x00, ToneKind::ConstantContinuous}, {0x01, ToneKind::ConstantContinuous},
        {0x02, ToneKind::ConstantContinuous}, {0x03, ToneKind::ConstantContinuous},
        {0x08, ToneKind::ConstantDuration},   {0x0A, ToneKind::ConstantDuration},
        {0x09, ToneKind::SweepLinear},        {0x0B, ToneKind::SweepLog},
        {0xFFF4, ToneKind::ConstantContinuous}, {0xFFFF, ToneKind::SweepLog},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("flags " + std::to_string(row.flags));
        ToneSettings tone = defaultTone();
        tone.flags = row.flags;
        EXPECT_EQ(toneKind(tone), row.kind);
    }
}

TEST(ToneSettings, StereoAndVariableAmplitudeFlipOnlyTheirBit) {
    ToneSettings tone = defaultTone();
    tone.flags = 0xFFEB;  // everything but stereo and variable amplitude
    setStereo(tone, true);
    EXPECT_EQ(tone.flags, 0xFFEF);
    toggleVariableAmplitude(tone);
    EXPECT_EQ(tone.flags, 0xFFFF);
    toggleVariableAmplitude(tone);
    EXPECT_EQ(tone.flags, 0xFFEF);
    setStereo(tone, false);
    EXPECT_EQ(tone.flags, 0xFFEB);
}

TEST(ToneSettings, ValuesOutsideTheCountOrChannelsComeBack) {
    ToneSettings tone = defaultTone();
    setToneCount(tone, 3);
    setStereo(tone, true);
    for (int i = 0; i < 3; ++i) {
        tone.startLeft[i] = 100.0 * (i + 1);
        tone.startRight[i] = 200.0 * (i + 1);
    }
    const ToneSettings before = tone;
    setToneCount(tone, 1);
    setStereo(tone, false);
    setToneCount(tone, 3);
    setStereo(tone, true);
    EXPECT_EQ(std::memcmp(&tone, &before, sizeof tone), 0);
}

TEST(ToneSettings, WaveformAndCountAreKeptInRange) {
    struct Row {
        int requested;
        int waveform;
        int count;
    };
    const Row rows[] = {
        {-1, 0, 1}, {0, 0, 1}, {1, 1, 1}, {6, 6, 6}, {7, 6, 7},
        {16, 6, 16}, {17, 6, 16}, {255, 6, 16}, {1000, 6, 16},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("requested " + std::to_string(row.requested));
        ToneSettings tone = defaultTone();
        setWaveform(tone, row.requested);
        setToneCount(tone, row.requested);
        EXPECT_EQ(tone.waveform, row.waveform);
        EXPECT_EQ(tone.toneCount, row.count);
    }
}

TEST(ToneSettings, WaveformNames) {
    const char* const names[] = {"Sine",    "Square",      "Triangular", "Saw Tooth",
                                 "Impulse", "White Noise", "Pink Noise"};
    for (int code = 0; code < kWaveformCount; ++code) {
        SCOPED_TRACE(code);
        EXPECT_STREQ(waveformName(code), names[code]);
        ToneSettings tone = defaultTone();
        tone.waveform = static_cast<uint8_t>(code);
        EXPECT_STREQ(waveformName(tone), names[code]);
    }
    for (int code : {-1, 7, 255, 1000}) {
        SCOPED_TRACE(code);
        EXPECT_STREQ(waveformName(code), "");
    }
    ToneSettings tone = defaultTone();
    tone.waveform = 200;
    EXPECT_STREQ(waveformName(tone), "");
}

}  // namespace
}  // namespace zelvaro
