// The frequency response of an impulse response: magnitude and phase at
// points spaced evenly in octaves, as a CSV table and as an SVG plot.
#pragma once

#include <string>
#include <vector>

#include "impulse/exp_sweep.h"

namespace zelvaro {

struct ResponsePoint {
    double hz = 0.0;
    double db = 0.0;       // 0 dB: the response of a unit impulse
    double degrees = 0.0;  // with the delay to `referenceFrame` taken out
};

// `pointsPerOctave` points from fromHz to toHz. The magnitude at each is the
// mean power of the transform's bins within half a point's spacing of it, so
// that a long response is read smoothed to that resolution; the phase is
// the nearest bin's, taken relative to `referenceFrame` (a pure delay to it
// reads 0 degrees).
std::vector<ResponsePoint> frequencyResponse(const std::vector<double>& response, int referenceFrame, int rateHz,
                                             double fromHz, double toHz, int pointsPerOctave = 24);

// The mean power of the response's transform over the bins from lowHz to
// highHz, in dB.
double bandLevelDb(const std::vector<double>& response, int rateHz, double lowHz, double highHz);

// "Hz,dB,degrees,flat" and a line a point, flat 1 within the sweep's flat
// band (SweepRequest::flatBand) and 0 outside it, where the figures show the
// sweep's own roll-off; for more than one channel (all at the same
// frequencies) a pair of columns each, "dB 1,degrees 1,dB 2,...", before
// "flat".
std::string responseCsv(const std::vector<std::vector<ResponsePoint>>& channels, const FlatBand& flat);

// Magnitude against frequency, a line per channel, the frequency axis
// logarithmic, both axes labelled, the flat band shaded and labelled.
std::string responseSvg(const std::vector<std::vector<ResponsePoint>>& channels, const std::string& title,
                        const FlatBand& flat);

}  // namespace zelvaro
