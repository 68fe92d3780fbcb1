#include "tone/tone_value_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace zelvaro {
namespace {

using Rows = std::vector<RowId>;

ToneSettings toneWith(uint16_t flags, int waveform = kWaveSine, int count = 1) {
    ToneSettings tone;
    setDefaults(tone);
    tone.flags = flags;
    tone.waveform = static_cast<uint8_t>(waveform);
    tone.toneCount = static_cast<uint8_t>(count);
    return tone;
}

constexpr uint16_t kStereoSweep = kFlagStereo | kFlagSweep | kFlagFixedDuration;

TEST(ToneValueList, RowsInListOrder) {
    struct Row {
        const char* name;
        ToneSettings tone;
        Rows rows;
    };
    const Row rows[] = {
        {"default tone", toneWith(0), {256}},
        {"stereo linear sweep, two tones, variable amplitude",
         toneWith(kStereoSweep | kFlagVariableAmplitude, kWaveSquare, 2),
         {256, 768, 512, 1024, 1280, 257, 769, 513, 1025, 1281, 1536}},
        {"mono log sweep of one tone", toneWith(kFlagSweep | kFlagLogSweep | kFlagFixedDuration), {256, 768, 1536}},
        {"sweep flag without duration still lists end rows", toneWith(kFlagSweep, kWaveSine, 2),
         {256, 768, 257, 769}},
        {"stereo constant with duration", toneWith(kFlagStereo | kFlagFixedDuration), {256, 512, 1536}},
        {"variable amplitude, mono constant", toneWith(kFlagVariableAmplitude, kWaveImpulse, 2),
         {256, 1280, 257, 1281}},
        {"white noise with duration", toneWith(kStereoSweep | kFlagVariableAmplitude, kWaveWhiteNoise, 4), {1536}},
        {"pink noise with duration", toneWith(kFlagFixedDuration, kWavePinkNoise), {1536}},
        {"continuous noise lists nothing", toneWith(kFlagStereo | kFlagVariableAmplitude, kWavePinkNoise), {}},
        {"sixteen tones", toneWith(0, kWaveSine, 16),
         {256, 257, 258, 259, 260, 261, 262, 263, 264, 265, 266, 267, 268, 269, 270, 271}},
        {"count beyond the arrays stops at sixteen", toneWith(0, kWaveSine, 200),
         {256, 257, 258, 259, 260, 261, 262, 263, 264, 265, 266, 267, 268, 269, 270, 271}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(valueRows(row.tone), row.rows);
    }
}

TEST(ToneValueList, Labels) {
    constexpr uint16_t kMono = 0;
    constexpr uint16_t kMonoSweep = kFlagSweep;
    constexpr uint16_t kStereo = kFlagStereo;
    struct Row {
        uint16_t flags;
        int waveform;
        RowId row;
        const char* label;
    };
    const Row rows[] = {
        {kMono, kWaveSine, 256, "Sine 1 Frequency"},
        {kMonoSweep, kWaveSine, 257, "Sine 2 Start Frequency"},
        {kMonoSweep, kWaveSine, 768, "Sine 1 End Frequency"},
        {kStereo, kWaveSquare, 256, "Square 1 Left Frequency"},
        {kStereo, kWaveSquare, 527, "Square 16 Right Frequency"},
        {kStereoSweep, kWaveSawTooth, 257, "Saw Tooth 2 Start Left Frequency"},
        {kStereoSweep, kWaveSawTooth, 769, "Saw Tooth 2 End Left Frequency"},
        {kStereoSweep, kWaveSawTooth, 513, "Saw Tooth 2 Start Right Frequency"},
        {kStereoSweep, kWaveSawTooth, 1025, "Saw Tooth 2 End Right Frequency"},
        {kMono, kWaveTriangular, 1282, "Triangular 3 Relative Amplitude"},
        {kStereoSweep, kWaveTriangular, 1282, "Triangular 3 Relative Amplitude"},
        {kFlagFixedDuration, kWaveImpulse, 1536, "Impulse Duration"},
        {kFlagFixedDuration, kWaveWhiteNoise, 1536, "White Noise Duration"},
        {kFlagFixedDuration, kWavePinkNoise, 1536, "Pink Noise Duration"},
        // A sweep flag without a duration still names start and end.
        {kMonoSweep, kWaveSine, 256, "Sine 1 Start Frequency"},
        // Rows the record does not show have no label.
        {kMono, kWaveSine, 768, ""},
        {kMono, kWaveSine, 512, ""},
        {kStereo, kWaveSine, 1024, ""},
        {kMonoSweep, kWaveSine, 1024, ""},
        // Identifiers that name no field.
        {kStereoSweep, kWaveSine, 272, ""},
        {kStereoSweep, kWaveSine, 1537, ""},
        {kStereoSweep, kWaveSine, 7 * 256, ""},
        {kStereoSweep, kWaveSine, 0, ""},
        // An unknown waveform has an empty name.
        {kMono, 9, 256, " 1 Frequency"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(row.row) + " flags " + std::to_string(row.flags));
        EXPECT_EQ(rowLabel(toneWith(row.flags, row.waveform), row.row), row.label);
    }
}

TEST(ToneValueList, ValueTexts) {
    ToneSettings mono = toneWith(kFlagVariableAmplitude | kFlagFixedDuration);
    mono.startLeft[0] = 1000.0;
    mono.endLeft[1] = 0.004;
    mono.startLeft[2] = -5.0;
    mono.relativeAmplitude[0] = -12;
    mono.relativeAmplitude[1] = -128;
    mono.relativeAmplitude[2] = 127;
    mono.durationMs = 1500;
    ToneSettings stereo = mono;
    setStereo(stereo, true);
    stereo.startRight[0] = 440.126;
    stereo.endRight[3] = 1059.4630943592953;
    ToneSettings longTone = mono;
    longTone.durationMs = 3000000000u;

    struct Row {
        const char* name;
        const ToneSettings& tone;
        RowId row;
        const char* text;
    };
    const Row rows[] = {
        {"frequency", mono, 256, "1000.00Hz"},
        {"end frequency rounds", mono, 769, "0.00Hz"},
        {"negative frequency", mono, 258, "-5.00Hz"},
        {"right frequency in mono", mono, 512, ""},
        {"end right in mono", mono, 1027, ""},
        {"right frequency in stereo", stereo, 512, "440.13Hz"},
        {"end right in stereo", stereo, 1027, "1059.46Hz"},
        {"amplitude", mono, 1280, "-12dB"},
        {"amplitude silence", mono, 1281, "-128dB"},
        {"amplitude from a file", mono, 1282, "127dB"},
        {"duration", mono, 1536, "1500ms"},
        {"duration beyond 2^31 stays positive", longTone, 1536, "3000000000ms"},
        {"no such row", mono, 1537, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(rowValueText(row.tone, row.row), row.text);
    }
}

TEST(ToneValueList, HugeFrequencyPrintsInFull) {
    ToneSettings tone = toneWith(0);
    tone.startLeft[0] = 1e300;
    std::string text = rowValueText(tone, 256);
    EXPECT_EQ(text.size(), 301u + 5u);  // 301 digits, then ".00Hz"
    EXPECT_EQ(text.substr(0, 16), "1000000000000000");
    EXPECT_EQ(text.substr(text.size() - 5), ".00Hz");

    tone.startLeft[0] = -std::numeric_limits<double>::max();
    text = rowValueText(tone, 256);
    EXPECT_EQ(text.size(), 1u + 309u + 5u);
    EXPECT_EQ(text.substr(0, 4), "-179");
}

TEST(ToneValueList, DurationAndAmplitudeSteps) {
    constexpr uint32_t kMax = 0xFFFFFFFFu;
    struct Row {
        RowId row;
        int64_t start;
        Step step;
        int64_t result;
    };
    const Row rows[] = {
        {kDurationRow, 900, Step::StepUp, 1000},
        {kDurationRow, 1000, Step::StepUp, 2000},
        {kDurationRow, 0, Step::StepUp, 100},
        {kDurationRow, 2000, Step::StepDown, 1000},
        {kDurationRow, 1000, Step::StepDown, 900},
        {kDurationRow, 1999, Step::StepDown, 1899},
        {kDurationRow, 100, Step::StepDown, 100},
        {kDurationRow, 150, Step::StepDown, 50},
        {kDurationRow, 1000, Step::BigStepUp, 6000},
        {kDurationRow, 999, Step::BigStepUp, 1499},
        {kDurationRow, 6000, Step::BigStepDown, 1000},
        {kDurationRow, 4999, Step::BigStepDown, 4499},
        {kDurationRow, 500, Step::BigStepDown, 500},
        {kDurationRow, 501, Step::BigStepDown, 1},
        // No upper limit, but no wrap past 4294967295 either.
        {kDurationRow, kMax - 1000, Step::StepUp, kMax},
        {kDurationRow, kMax - 999, Step::StepUp, kMax - 999},
        {kDurationRow, kMax, Step::BigStepUp, kMax},
        {kDurationRow, kMax, Step::StepDown, kMax - 1000},
        {1280, 0, Step::StepUp, 0},
        {1280, 0, Step::BigStepUp, 0},
        {1280, -1, Step::StepUp, 0},
        {1280, -12, Step::BigStepUp, -11},
        {1280, -90, Step::StepDown, -90},
        {1280, -90, Step::BigStepDown, -90},
        {1280, -89, Step::BigStepDown, -90},
        {1280, 0, Step::StepDown, -1},
        // Values that only a file can bring.
        {1280, -128, Step::StepUp, -127},
        {1280, -128, Step::StepDown, -128},
        {1295, 127, Step::StepUp, 127},
        {1295, 127, Step::StepDown, 126},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(row.row) + " from " + std::to_string(row.start) + " step " +
                     std::to_string(static_cast<int>(row.step)));
        ToneSettings tone = toneWith(kFlagFixedDuration | kFlagVariableAmplitude);
        if (row.row == kDurationRow) {
            tone.durationMs = static_cast<uint32_t>(row.start);
            applyStep(tone, row.row, row.step);
            EXPECT_EQ(tone.durationMs, static_cast<uint32_t>(row.result));
        } else {
            const int i = row.row & 0xFF;
            tone.relativeAmplitude[i] = static_cast<int8_t>(row.start);
            applyStep(tone, row.row, row.step);
            EXPECT_EQ(tone.relativeAmplitude[i], row.result);
        }
    }
}

// A step up followed by a step down returns to the start value. The reverse
// holds only where the step down does not cross 1000 ms (or 1000 and 5000 ms
// for the big step): 1500 steps down to 1400 and back up to 2400.
TEST(ToneValueList, StepDownUndoesStepUp) {
    const std::pair<Step, Step> pairs[] = {{Step::StepUp, Step::StepDown}, {Step::BigStepUp, Step::BigStepDown}};
    for (const auto& pair : pairs) {
        for (uint32_t start = 1; start < 30000; start += 7) {
            ToneSettings tone = toneWith(kFlagFixedDuration);
            tone.durationMs = start;
            applyStep(tone, kDurationRow, pair.first);
            applyStep(tone, kDurationRow, pair.second);
            ASSERT_EQ(tone.durationMs, start) << "from " << start;
        }
    }
}

TEST(ToneValueList, FrequencySteps) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double big = std::numeric_limits<double>::max();
    struct Row {
        RowId row;
        double start;
        Step step;
        double result;
        const char* text;
    };
    const Row rows[] = {
        {256, 1000.0, Step::StepUp, 1000.0 * 1.0594630943592953, "1059.46Hz"},
        {512, 1000.0, Step::StepDown, 1000.0 * 0.9438743126816934, "943.87Hz"},
        {768, 1000.0, Step::BigStepUp, 2000.0, "2000.00Hz"},
        {1024, 1000.0, Step::BigStepDown, 500.0, "500.00Hz"},
        {271, 0.0, Step::BigStepUp, 0.0, "0.00Hz"},
        {256, -440.0, Step::BigStepUp, -880.0, "-880.00Hz"},
        // A step that would leave the finite range keeps the value.
        {256, big, Step::BigStepUp, big, nullptr},
        {256, -big, Step::StepUp, -big, nullptr},
        {256, big, Step::BigStepDown, big / 2, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(row.row) + " from " + std::to_string(row.start));
        ToneSettings tone = toneWith(kStereoSweep);
        const int i = row.row & 0xFF;
        double* fields[] = {nullptr, tone.startLeft, tone.startRight, tone.endLeft, tone.endRight};
        double& field = fields[row.row >> 8][i];
        field = row.start;
        applyStep(tone, row.row, row.step);
        EXPECT_EQ(field, row.result);
        if (row.text != nullptr) {
            EXPECT_EQ(rowValueText(tone, row.row), row.text);
        }
    }

    ToneSettings tone = toneWith(0);
    tone.startLeft[0] = nan;
    applyStep(tone, 256, Step::StepUp);
    EXPECT_TRUE(std::isnan(tone.startLeft[0]));
}

TEST(ToneValueList, InvalidRowsAreLeftAlone) {
    ToneSettings tone = toneWith(kStereoSweep | kFlagVariableAmplitude);
    const ToneSettings before = tone;
    for (RowId row : {0u, 255u, 272u, 1296u, 1537u, 7u * 256u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(row);
        applyStep(tone, row, Step::BigStepUp);
        parseRowText(tone, row, "123");
        EXPECT_EQ(std::memcmp(&tone, &before, sizeof tone), 0);
    }
}

TEST(ToneValueList, TypedText) {
    struct Row {
        RowId row;
        const char* text;
        double value;
    };
    const Row rows[] = {
        {kDurationRow, "1500ms", 1500},
        {kDurationRow, "  +42 ms", 42},
        {kDurationRow, "ms", 1000},
        {kDurationRow, "", 1000},
        {kDurationRow, "0", 1000},
        {kDurationRow, "-5", 1000},
        {kDurationRow, "1.9e4", 1},
        {kDurationRow, "3000000000ms", 3000000000.0},
        {kDurationRow, "4294967295", 4294967295.0},
        {kDurationRow, "4294967296", 4294967295.0},
        {kDurationRow, "99999999999ms", 4294967295.0},
        {kDurationRow, "999999999999999999999999999999", 4294967295.0},
        {kDurationRow, "-99999999999", 1000},
        {1280, "-6dB", -6},
        {1280, "-200", -127},
        {1280, "-127", -127},
        {1280, "5", 0},
        {1280, "dB", 0},
        {1280, "-99999999999", -127},
        {1280, "99999999999", 0},
        {1280, "\t-3.7", -3},
        {256, "440.00Hz", 440},
        {256, " 1e3", 1000},
        {256, "-12.5", -12.5},
        {256, "Hz", 0},
        {256, "", 0},
        // Text that reads as a non-finite number is as unreadable as any other.
        {256, "inf", 0},
        {256, "-inf", 0},
        {256, "nan", 0},
        {256, "1e400", 0},
        {256, "-1e400Hz", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("row ") + std::to_string(row.row) + " text \"" + row.text + "\"");
        ToneSettings tone = toneWith(kFlagFixedDuration | kFlagVariableAmplitude);
        tone.startLeft[0] = 777.0;
        tone.durationMs = 777;
        tone.relativeAmplitude[0] = -77;
        parseRowText(tone, row.row, row.text);
        if (row.row == kDurationRow) {
            EXPECT_EQ(tone.durationMs, static_cast<uint32_t>(row.value));
        } else if (row.row == 1280) {
            EXPECT_EQ(tone.relativeAmplitude[0], static_cast<int>(row.value));
        } else {
            EXPECT_EQ(tone.startLeft[0], row.value);
        }
    }
}

// An edit dialog that answers from a script and records what it was shown.
struct ScriptedDialog {
    struct Answer {
        bool ok;
        const char* typed;  // nullptr: OK without typing
    };
    explicit ScriptedDialog(std::vector<Answer> script = {}) : answers(std::move(script)) {}

    std::vector<Answer> answers;
    std::vector<std::string> captions;
    std::vector<std::string> initialTexts;

    EditDialog callback() {
        return [this](const std::string& caption, const std::string& initial, std::string& typed) {
            captions.push_back(caption);
            initialTexts.push_back(initial);
            const Answer answer = answers.at(captions.size() - 1);
            typed = answer.typed != nullptr ? answer.typed : initial;
            return answer.ok;
        };
    }
};

TEST(ToneValueList, NothingSelectedDoesNothing) {
    ToneSettings tone = toneWith(kFlagFixedDuration);
    const ToneSettings before = tone;
    ScriptedDialog dialog;
    std::vector<RowId> changed;
    stepSelected(tone, {}, Step::BigStepUp, [&](RowId row) { changed.push_back(row); });
    EXPECT_FALSE(editSelected(tone, {}, dialog.callback()));
    EXPECT_TRUE(dialog.captions.empty());
    EXPECT_TRUE(changed.empty());
    EXPECT_EQ(std::memcmp(&tone, &before, sizeof tone), 0);
}

TEST(ToneValueList, StepSelectedStepsEveryRowInOrder) {
    ToneSettings tone = toneWith(kStereoSweep | kFlagVariableAmplitude, kWaveSine, 2);
    tone.durationMs = 900;
    tone.relativeAmplitude[1] = -5;
    std::vector<RowId> changed;
    const std::vector<RowId> selected = {1536, 257, 1281};
    stepSelected(tone, selected, Step::StepUp, [&](RowId row) { changed.push_back(row); });
    EXPECT_EQ(changed, selected);
    EXPECT_EQ(tone.durationMs, 1000u);
    EXPECT_EQ(rowValueText(tone, 257), "1059.46Hz");
    EXPECT_EQ(tone.startLeft[0], 1000.0);
    EXPECT_EQ(tone.relativeAmplitude[1], -4);
}

TEST(ToneValueList, CancelInTheSecondDialogKeepsOnlyTheFirstEdit) {
    ToneSettings tone = toneWith(kFlagFixedDuration | kFlagVariableAmplitude, kWaveSquare, 2);
    tone.relativeAmplitude[1] = -3;
    ScriptedDialog dialog({{true, "440"}, {false, "-20"}, {true, "5000"}});
    std::vector<RowId> changed;
    EXPECT_TRUE(editSelected(tone, {256, 1281, 1536}, dialog.callback(),
                             [&](RowId row) { changed.push_back(row); }));
    EXPECT_EQ(dialog.captions, (std::vector<std::string>{"Square 1 Frequency", "Square 2 Relative Amplitude"}));
    EXPECT_EQ(dialog.initialTexts, (std::vector<std::string>{"1000.00Hz", "-3dB"}));
    EXPECT_EQ(changed, std::vector<RowId>{256});
    EXPECT_EQ(tone.startLeft[0], 440.0);
    EXPECT_EQ(tone.relativeAmplitude[1], -3);
    EXPECT_EQ(tone.durationMs, 1000u);
}

TEST(ToneValueList, CancelInTheFirstDialogReturnsFalse) {
    ToneSettings tone = toneWith(kFlagFixedDuration);
    const ToneSettings before = tone;
    ScriptedDialog dialog({{false, "5"}});
    EXPECT_FALSE(editSelected(tone, {1536, 256}, dialog.callback()));
    EXPECT_EQ(dialog.captions.size(), 1u);
    EXPECT_EQ(std::memcmp(&tone, &before, sizeof tone), 0);
}

TEST(ToneValueList, OkWithoutTypingKeepsTheShownValue) {
    ToneSettings tone = toneWith(kFlagFixedDuration | kFlagVariableAmplitude);
    tone.startLeft[0] = 1059.4630943592953;
    tone.relativeAmplitude[0] = -42;
    tone.durationMs = 3000000000u;
    ScriptedDialog dialog({{true, nullptr}, {true, nullptr}, {true, nullptr}});
    EXPECT_TRUE(editSelected(tone, {256, 1280, 1536}, dialog.callback()));
    EXPECT_EQ(tone.startLeft[0], 1059.46);  // cut to the two decimals shown
    EXPECT_EQ(tone.relativeAmplitude[0], -42);
    EXPECT_EQ(tone.durationMs, 3000000000u);
}

}  // namespace
}  // namespace zelvaro
