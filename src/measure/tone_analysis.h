// What a test tone measures: its frequency by a four-parameter least-squares
// sine fit, its level, THD+N (the power of everything but the fitted sine
// and DC within a band, against the sine's), and the spurious-free dynamic
// range from a Blackman-Harris-windowed spectrum of that remainder.
#pragma once

#include <optional>
#include <vector>

namespace zelvaro::measure {

struct ToneAnalysis {
    double frequencyHz = 0;
    double amplitude = 0;  // of the fitted sine, full scale 1.0
    double dc = 0;
    double thdnDb = 0;  // remainder's power in the band against the sine's
    double sfdrDb = 0;  // sine's power against the largest other component's
    double spurHz = 0;
    double nonHarmonicDb = 0;  // largest component that is no harmonic, against the sine
    double nonHarmonicHz = 0;
    double levelDbfs() const;  // amplitude in dB; a full-scale sine is 0 dBFS
};

struct AnalysisBand {
    double lowHz = 20;
    double highHz = 20000;
};

// Analyses `samples` at `sampleRate`: the tone is the strongest component,
// or with `frequencyHint` the strongest within 5 % of it. The band is held
// below the Nyquist frequency.
ToneAnalysis analyzeTone(const std::vector<double>& samples, double sampleRate,
                         std::optional<double> frequencyHint = std::nullopt, AnalysisBand band = {});

// The four-parameter fit alone, from a starting frequency: returns the
// frequency and sets a, b and c of a cos(wn) + b sin(wn) + c.
double fitSine(const std::vector<double>& samples, double sampleRate, double startHz, double& a, double& b,
               double& c);

// Blackman-Harris (four terms) window of `size` points.
std::vector<double> blackmanHarris(size_t size);

}  // namespace zelvaro::measure
