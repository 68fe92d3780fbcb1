#include "tone/tone_value_list.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace zelvaro {

namespace {

constexpr double kSemitoneUp = 1.0594630943592953;    // 2^(1/12)
constexpr double kSemitoneDown = 0.9438743126816934;  // 2^(-1/12)
constexpr int kAmplitudeStepFloor = -90;
constexpr int kAmplitudeTypedFloor = -127;  // -127 dB means silence

RowKind kindOf(RowId row) { return static_cast<RowKind>(row >> 8); }
int toneOf(RowId row) { return static_cast<int>(row & 0xFF); }

// Formats into a string of whatever length the text needs: a finite double as
// large as 1e308 prints with over 300 digits.
std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string text;
    if (needed > 0) {
        text.resize(static_cast<size_t>(needed) + 1);
        std::vsnprintf(&text[0], text.size(), fmt, args);
        text.resize(static_cast<size_t>(needed));
    }
    va_end(args);
    return text;
}

double* frequencyField(ToneSettings& tone, RowId row) {
    const int i = toneOf(row);
    switch (kindOf(row)) {
    case kRowStartLeft: return &tone.startLeft[i];
    case kRowStartRight: return &tone.startRight[i];
    case kRowEndLeft: return &tone.endLeft[i];
    case kRowEndRight: return &tone.endRight[i];
    default: return nullptr;
    }
}

const double* frequencyField(const ToneSettings& tone, RowId row) {
    return frequencyField(const_cast<ToneSettings&>(tone), row);
}

// The standard decimal integer rule (white space, optional sign, digits up to
// the first other character, no digits gives 0), except that a value too large
// for any field saturates instead of overflowing.
int64_t parseInteger(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    constexpr int64_t kCap = int64_t{1} << 40;  // far beyond every field's range
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (value < kCap) value = value * 10 + (*text - '0');
    }
    return negative ? -value : value;
}

// Design decision: text that reads as a non-finite number ("inf", "nan",
// "1e400") counts as unreadable and gives 0 Hz like any other unreadable text,
// so typing can never put an infinity or NaN into the record.
double parseFrequency(const char* text) {
    const double value = std::strtod(text, nullptr);
    return std::isfinite(value) ? value : 0.0;
}

void stepFrequency(double& frequency, Step step) {
    double ratio = 1.0;
    switch (step) {
    case Step::StepUp: ratio = kSemitoneUp; break;
    case Step::StepDown: ratio = kSemitoneDown; break;
    case Step::BigStepUp: ratio = 2.0; break;
    case Step::BigStepDown: ratio = 0.5; break;
    }
    const double stepped = frequency * ratio;
    // Design decision: a step that would leave the finite range keeps the value.
    if (std::isfinite(stepped)) frequency = stepped;
}

void stepAmplitude(int8_t& amplitude, Step step) {
    const bool up = step == Step::StepUp || step == Step::BigStepUp;
    if (up && amplitude < 0) ++amplitude;
    if (!up && amplitude > kAmplitudeStepFloor) --amplitude;
}

// Steps of 100 below 1000 ms and of 1000 above (500 and 5000 for the big step),
// chosen so that a step up followed by a step down returns to the start value.
void stepDuration(uint32_t& duration, Step step) {
    constexpr uint32_t kMax = 0xFFFFFFFFu;
    switch (step) {
    case Step::StepUp: {
        const uint32_t add = duration >= 1000 ? 1000 : 100;
        // Design decision: no upper limit, but a step that would wrap past
        // 4294967295 ms keeps the value instead of turning it into a tiny one.
        if (duration <= kMax - add) duration += add;
        break;
    }
    case Step::StepDown:
        if (duration > 100) duration -= duration >= 2000 ? 1000 : 100;
        break;
    case Step::BigStepUp: {
        const uint32_t add = duration >= 1000 ? 5000 : 500;
        if (duration <= kMax - add) duration += add;
        break;
    }
    case Step::BigStepDown:
        if (duration > 500) duration -= duration >= 5000 ? 5000 : 500;
        break;
    }
}

}  // namespace

bool isValidRowId(RowId row) {
    if (row == kDurationRow) return true;
    const RowKind kind = kindOf(row);
    return kind >= kRowStartLeft && kind <= kRowAmplitude && toneOf(row) < kMaxTones;
}

std::vector<RowId> valueRows(const ToneSettings& tone) {
    std::vector<RowId> rows;
    const bool noise = tone.waveform == kWaveWhiteNoise || tone.waveform == kWavePinkNoise;
    if (!noise) {
        // The loader keeps toneCount in range; the bound here guards any other record.
        const int count = tone.toneCount < kMaxTones ? tone.toneCount : kMaxTones;
        for (int i = 0; i < count; ++i) {
            rows.push_back(makeRowId(kRowStartLeft, i));
            if (tone.sweep()) rows.push_back(makeRowId(kRowEndLeft, i));
            if (tone.stereo()) rows.push_back(makeRowId(kRowStartRight, i));
            if (tone.stereo() && tone.sweep()) rows.push_back(makeRowId(kRowEndRight, i));
            if (tone.variableAmplitude()) rows.push_back(makeRowId(kRowAmplitude, i));
        }
    }
    if (tone.fixedDuration()) rows.push_back(kDurationRow);
    return rows;
}

std::string rowLabel(const ToneSettings& tone, RowId row) {
    if (!isValidRowId(row)) return std::string();
    const char* name = waveformName(tone);
    if (row == kDurationRow) return format("%s Duration", name);

    // "Sweep" here is the flag alone, whether or not the tone has a duration.
    const bool sweep = tone.sweep();
    const bool stereo = tone.stereo();
    const char* fmt = nullptr;
    switch (kindOf(row)) {
    case kRowStartLeft:
        fmt = stereo ? (sweep ? "%s %d Start Left Frequency" : "%s %d Left Frequency")
                     : (sweep ? "%s %d Start Frequency" : "%s %d Frequency");
        break;
    case kRowEndLeft:
        if (sweep) fmt = stereo ? "%s %d End Left Frequency" : "%s %d End Frequency";
        break;
    case kRowStartRight:
        if (stereo) fmt = sweep ? "%s %d Start Right Frequency" : "%s %d Right Frequency";
        break;
    case kRowEndRight:
        if (stereo && sweep) fmt = "%s %d End Right Frequency";
        break;
    case kRowAmplitude: fmt = "%s %d Relative Amplitude"; break;
    default: break;
    }
    if (fmt == nullptr) return std::string();
    return format(fmt, name, toneOf(row) + 1);
}

std::string rowValueText(const ToneSettings& tone, RowId row) {
    if (!isValidRowId(row)) return std::string();
    if (row == kDurationRow) {
        // Unsigned: stepping has no upper bound, and a duration above 2^31 ms
        // must not show as a negative number.
        return format("%lums", static_cast<unsigned long>(tone.durationMs));
    }
    const RowKind kind = kindOf(row);
    if (kind == kRowAmplitude) return format("%ddB", static_cast<int>(tone.relativeAmplitude[toneOf(row)]));
    if ((kind == kRowStartRight || kind == kRowEndRight) && !tone.stereo()) return std::string();
    return format("%.2fHz", *frequencyField(tone, row));
}

void applyStep(ToneSettings& tone, RowId row, Step step) {
    if (!isValidRowId(row)) return;
    if (row == kDurationRow) {
        stepDuration(tone.durationMs, step);
    } else if (kindOf(row) == kRowAmplitude) {
        stepAmplitude(tone.relativeAmplitude[toneOf(row)], step);
    } else {
        stepFrequency(*frequencyField(tone, row), step);
    }
}

void parseRowText(ToneSettings& tone, RowId row, const std::string& text) {
    if (!isValidRowId(row)) return;
    if (row == kDurationRow) {
        // Design decision: the typed number saturates rather than overflowing,
        // then lands in 1..4294967295 ms; 0 or less (also unreadable text) is 1000.
        const int64_t value = parseInteger(text.c_str());
        if (value <= 0) {
            tone.durationMs = 1000;
        } else {
            tone.durationMs = value > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
        }
    } else if (kindOf(row) == kRowAmplitude) {
        int64_t value = parseInteger(text.c_str());
        if (value > 0) value = 0;
        if (value < kAmplitudeTypedFloor) value = kAmplitudeTypedFloor;
        tone.relativeAmplitude[toneOf(row)] = static_cast<int8_t>(value);
    } else {
        *frequencyField(tone, row) = parseFrequency(text.c_str());
    }
}

void stepSelected(ToneSettings& tone, const std::vector<RowId>& selected, Step step,
                  const RowChanged& rowChanged) {
    for (RowId row : selected) {
        if (!isValidRowId(row)) continue;
        applyStep(tone, row, step);
        if (rowChanged) rowChanged(row);
    }
}

bool editSelected(ToneSettings& tone, const std::vector<RowId>& selected, const EditDialog& dialog,
                  const RowChanged& rowChanged) {
    bool anyOk = false;
    if (!dialog) return false;
    for (RowId row : selected) {
        if (!isValidRowId(row)) continue;
        std::string typed;
        if (!dialog(rowLabel(tone, row), rowValueText(tone, row), typed)) break;
        anyOk = true;
        parseRowText(tone, row, typed);
        if (rowChanged) rowChanged(row);
    }
    return anyOk;
}

}  // namespace zelvaro
