// What a test tone measures: its frequency by a four-parameter least-squares
// sine fit, its level, THD+N (the power of everything but the fitted sine
// and DC within a band, against the sine's), and the spurious-free dynamic
// range from a Blackman-Harris-windowed spectrum of that remainder.
//
// The fit runs at the signal's own length. The spectra are taken at the
// length padded with zeros to a fast transform size (the same length when it
// is one), which samples the same windowed spectrum more finely; powers are
// summed per hertz, so the padding does not change them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace zelvaro::measure {

// Why a signal gives no figures.
enum class ToneRefusal {
    kNone,
    kTooShort,       // fewer than kMinToneFrames frames
    kNoTone,         // silence, DC, or no component that stands out as the tone
    kTooFewCycles,   // the tone lies within kEdgeBins bins of 0 Hz
    kNearNyquist,    // the tone lies within kEdgeBins bins of the Nyquist frequency
    kFarFromExpected,  // the fitted tone lies more than kExpectedTolerance from the frequency asked for
};

// A fit needs the tone clear of its own mirror images at 0 Hz and at the
// Nyquist frequency: this many bins (cycles over the signal) from either.
constexpr double kEdgeBins = 10;
constexpr size_t kMinToneFrames = 64;
// A stated frequency selects a tone within this fraction of it.
constexpr double kExpectedTolerance = 0.05;
// The tone carries more power than all the rest together, and stands this
// far above the largest other component; noise has no such peak.
constexpr double kMinToneSfdrDb = 3;
// Half the Blackman-Harris window's main lobe, in bins: a spur nearer the
// tone than this cannot be told from the tone itself.
constexpr double kMainLobeBins = 4;

struct AnalysisBand {
    double lowHz = 20;
    double highHz = 20000;
};

struct ToneAnalysis {
    ToneRefusal refusal = ToneRefusal::kNone;
    double frequencyHz = 0;  // also set on a refusal for a tone near an edge or far from the one asked for
    double amplitude = 0;  // of the fitted sine, full scale 1.0
    double dc = 0;
    double thdnDb = 0;  // remainder's power in thdnBand against the sine's
    AnalysisBand thdnBand;  // the band THD+N was summed over (held below Nyquist)
    double sfdrDb = 0;  // sine's power against the largest other component's
    double spurHz = 0;
    // SFDR counts spurs from this far above 0 Hz, and this far or more from
    // the tone: the window's main lobe.
    double sfdrExcludedHz = 0;
    double nonHarmonicDb = 0;  // largest component that is no harmonic, against the sine
    double nonHarmonicHz = 0;
    bool measured() const { return refusal == ToneRefusal::kNone; }
    double levelDbfs() const;  // amplitude in dB; a full-scale sine is 0 dBFS
};

// A short reason for a refusal, for a message.
std::string describeRefusal(ToneRefusal refusal);

// Analyses `samples` at `sampleRate`: the tone is the strongest component,
// or with `frequencyHint` the strongest within kExpectedTolerance of it (a
// hint outside 0 Hz to Nyquist finds none). The band is held below the
// Nyquist frequency. A refusal leaves the figures unset.
ToneAnalysis analyzeTone(const std::vector<double>& samples, double sampleRate,
                         std::optional<double> frequencyHint = std::nullopt, AnalysisBand band = {});

// a cos(wt) + b sin(wt) + c, w = 2π·frequencyHz / rate, t in samples
// counted from the middle of the signal.
struct SineFit {
    double frequencyHz = 0;
    double cosAmplitude = 0;  // a
    double sinAmplitude = 0;  // b
    double dc = 0;            // c
    double amplitude() const;  // of the sine, sqrt(a² + b²)
};

// The four-parameter fit alone, from a starting frequency.
SineFit fitSine(const std::vector<double>& samples, double sampleRate, double startHz);

// Blackman-Harris (four terms) window of `size` points.
std::vector<double> blackmanHarris(size_t size);

}  // namespace zelvaro::measure
