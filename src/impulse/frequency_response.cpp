#include "impulse/frequency_response.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>

#include "base/decibel_floor.h"
#include "base/pi.h"
#include "fft/fft.h"

namespace zelvaro {

namespace {

struct Spectrum {
    std::vector<std::complex<double>> bins;
    double binHz = 1.0;
};

Spectrum spectrumOf(const std::vector<double>& response, int rateHz) {
    Spectrum s;
    const size_t size = fastFftSize(std::max<size_t>(response.size(), 2));
    s.bins = realSpectrum(response, size);
    s.binHz = static_cast<double>(rateHz) / static_cast<double>(size);
    return s;
}

double meanPowerDb(const Spectrum& s, double lowHz, double highHz) {
    const size_t first = static_cast<size_t>(std::max(0.0, std::ceil(lowHz / s.binHz)));
    size_t last = static_cast<size_t>(std::max(0.0, std::floor(highHz / s.binHz)));
    last = std::min(last, s.bins.size() - 1);
    if (first > last) {
        // Narrower than a bin: the nearest one.
        const size_t nearest = std::min(s.bins.size() - 1, static_cast<size_t>(std::lround(0.5 * (lowHz + highHz) / s.binHz)));
        return 10.0 * std::log10(std::norm(s.bins[nearest]) + kLogFloor);
    }
    double sum = 0.0;
    for (size_t k = first; k <= last; ++k)
        sum += std::norm(s.bins[k]);
    return 10.0 * std::log10(sum / static_cast<double>(last - first + 1) + kLogFloor);
}

}  // namespace

std::vector<ResponsePoint> frequencyResponse(const std::vector<double>& response, int referenceFrame, int rateHz,
                                             double fromHz, double toHz, int pointsPerOctave) {
    std::vector<ResponsePoint> points;
    if (response.empty() || !(fromHz > 0.0) || !(toHz > fromHz) || pointsPerOctave < 1)
        return points;
    const Spectrum s = spectrumOf(response, rateHz);
    const double step = std::pow(2.0, 1.0 / pointsPerOctave);
    const double halfStep = std::pow(2.0, 0.5 / pointsPerOctave);
    const int count = static_cast<int>(std::floor(std::log2(toHz / fromHz) * pointsPerOctave + 1e-9)) + 1;
    for (int i = 0; i < count; ++i) {
        ResponsePoint p;
        p.hz = fromHz * std::pow(step, i);
        p.db = meanPowerDb(s, p.hz / halfStep, p.hz * halfStep);
        const size_t nearest = std::min(s.bins.size() - 1, static_cast<size_t>(std::lround(p.hz / s.binHz)));
        const double binHz = static_cast<double>(nearest) * s.binHz;
        const std::complex<double> undelayed =
            s.bins[nearest] * std::polar(1.0, 2.0 * kPi * binHz * referenceFrame / rateHz);
        p.degrees = std::arg(undelayed) * 180.0 / kPi;
        points.push_back(p);
    }
    return points;
}

double bandLevelDb(const std::vector<double>& response, int rateHz, double lowHz, double highHz) {
    if (response.empty())
        return 10.0 * std::log10(kLogFloor);  // as a response of zeros reads
    return meanPowerDb(spectrumOf(response, rateHz), lowHz, highHz);
}

std::string responseCsv(const std::vector<std::vector<ResponsePoint>>& channels, const FlatBand& flat) {
    std::string out = "Hz";
    for (size_t c = 0; c < channels.size(); ++c)
        out += channels.size() == 1 ? ",dB,degrees" : ",dB " + std::to_string(c + 1) + ",degrees " + std::to_string(c + 1);
    out += ",flat\n";
    const size_t rows = channels.empty() ? 0 : channels.front().size();
    char field[64];
    for (size_t i = 0; i < rows; ++i) {
        std::snprintf(field, sizeof field, "%.3f", channels.front()[i].hz);
        out += field;
        for (const std::vector<ResponsePoint>& points : channels) {
            std::snprintf(field, sizeof field, ",%.3f,%.2f", points[i].db, points[i].degrees);
            out += field;
        }
        out += flat.contains(channels.front()[i].hz) ? ",1\n" : ",0\n";
    }
    return out;
}

std::string responseSvg(const std::vector<std::vector<ResponsePoint>>& channels, const std::string& title,
                        const FlatBand& flat) {
    // The plot area and its place in the picture, in pixels.
    const double left = 70, top = 40, width = 720, height = 360;
    static const std::vector<ResponsePoint> kNone;
    const std::vector<ResponsePoint>& points = channels.empty() ? kNone : channels.front();
    double fromHz = points.empty() ? 20.0 : points.front().hz;
    double toHz = points.empty() ? 20000.0 : points.back().hz;
    if (!(toHz > fromHz))
        toHz = fromHz * 2.0;
    double highest = -1e300;
    for (const std::vector<ResponsePoint>& line : channels)
        for (const ResponsePoint& p : line)
            highest = std::max(highest, p.db);
    if (points.empty())
        highest = 0.0;
    // 60 dB shown, in steps of 6 dB, the top at the next 6 dB above the highest point.
    const double topDb = 6.0 * std::ceil((highest + 0.5) / 6.0);
    const double bottomDb = topDb - 60.0;
    auto x = [&](double hz) { return left + width * std::log(hz / fromHz) / std::log(toHz / fromHz); };
    auto y = [&](double db) {
        return top + height * (topDb - std::clamp(db, bottomDb, topDb)) / (topDb - bottomDb);
    };
    std::string svg;
    char buffer[256];
    std::snprintf(buffer, sizeof buffer,
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" font-family=\"sans-serif\" "
                  "font-size=\"12\">\n<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
                  static_cast<int>(left + width + 30), static_cast<int>(top + height + 60));
    svg += buffer;
    std::string escaped;
    for (char c : title)
        escaped += c == '<' ? std::string("&lt;") : c == '&' ? std::string("&amp;") : std::string(1, c);
    std::snprintf(buffer, sizeof buffer, "<text x=\"%g\" y=\"24\" font-size=\"15\">", left);
    svg += buffer + escaped + "</text>\n";
    // The flat band shaded under the grid, its edges named.
    const double flatLeft = x(std::clamp(flat.lowHz, fromHz, toHz)), flatRight = x(std::clamp(flat.highHz, fromHz, toHz));
    if (flatRight > flatLeft) {
        std::snprintf(buffer, sizeof buffer,
                      "<rect x=\"%.1f\" y=\"%g\" width=\"%.1f\" height=\"%g\" fill=\"#eef5ee\"/>\n"
                      "<text x=\"%.1f\" y=\"%g\" text-anchor=\"middle\" fill=\"#27602f\">flat band %g to %g Hz</text>\n",
                      flatLeft, top, flatRight - flatLeft, height, 0.5 * (flatLeft + flatRight), top + 14,
                      std::round(flat.lowHz * 10.0) / 10.0, std::round(flat.highHz * 10.0) / 10.0);
        svg += buffer;
    }
    // Frequency grid: 1, 2 and 5 of every decade within the range.
    for (double decade = std::pow(10.0, std::floor(std::log10(fromHz))); decade <= toHz; decade *= 10.0)
        for (double m : {1.0, 2.0, 5.0}) {
            const double hz = m * decade;
            if (hz < fromHz * 0.999 || hz > toHz * 1.001)
                continue;
            std::snprintf(buffer, sizeof buffer,
                          "<line x1=\"%.1f\" y1=\"%g\" x2=\"%.1f\" y2=\"%g\" stroke=\"#ccc\"/>\n"
                          "<text x=\"%.1f\" y=\"%g\" text-anchor=\"middle\">%g%s</text>\n",
                          x(hz), top, x(hz), top + height, x(hz), top + height + 18,
                          hz >= 1000.0 ? hz / 1000.0 : hz, hz >= 1000.0 ? "k" : "");
            svg += buffer;
        }
    for (double db = bottomDb; db <= topDb + 1e-9; db += 6.0) {
        std::snprintf(buffer, sizeof buffer,
                      "<line x1=\"%g\" y1=\"%.1f\" x2=\"%g\" y2=\"%.1f\" stroke=\"#ccc\"/>\n"
                      "<text x=\"%g\" y=\"%.1f\" text-anchor=\"end\">%g</text>\n",
                      left, y(db), left + width, y(db), left - 6, y(db) + 4, db);
        svg += buffer;
    }
    std::snprintf(buffer, sizeof buffer,
                  "<rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"none\" stroke=\"black\"/>\n"
                  "<text x=\"%g\" y=\"%g\" text-anchor=\"middle\">Frequency (Hz)</text>\n"
                  "<text x=\"18\" y=\"%g\" text-anchor=\"middle\" transform=\"rotate(-90 18 %g)\">Level (dB)</text>\n",
                  left, top, width, height, left + width / 2, top + height + 42, top + height / 2, top + height / 2);
    svg += buffer;
    static const char* const kColours[] = {"#1f5fbf", "#c0392b", "#27ae60", "#8e44ad"};
    for (size_t c = 0; c < channels.size(); ++c) {
        svg += std::string("<polyline fill=\"none\" stroke=\"") + kColours[c % 4] + "\" stroke-width=\"1.5\" points=\"";
        for (const ResponsePoint& p : channels[c]) {
            std::snprintf(buffer, sizeof buffer, "%.1f,%.1f ", x(p.hz), y(p.db));
            svg += buffer;
        }
        svg += "\"/>\n";
    }
    svg += "</svg>\n";
    return svg;
}

}  // namespace zelvaro
