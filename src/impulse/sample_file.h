// Whole WAV files as channels of double samples (full scale ±1), for the
// measurement commands: read from 8-, 16-, 24- and 32-bit PCM and 32- and
// 64-bit float files, written as 32-bit float files that carry, for a sweep,
// the parameters it was made with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelvaro {

// What a sweep file records of its sweep, so that a recording of it can be
// deconvolved with the exact inverse and its harmonics found.
struct SweepRecord {
    double fromHz = 0.0;
    double toHz = 0.0;
    double seconds = 0.0;  // the length asked for
    double peakDbfs = 0.0;
    double fadeMs = 0.0;
};

struct SampleFile {
    int rateHz = 0;
    std::vector<std::vector<double>> channels;  // all of one length
    bool hasSweep = false;
    SweepRecord sweep;

    size_t frames() const { return channels.empty() ? 0 : channels.front().size(); }
};

// Reads `path`; false with `error` set when it is missing, unreadable, not a
// WAV file, compressed, of a width or a size this reader does not take.
bool readSampleFile(const std::string& path, SampleFile& file, std::string& error);

// Writes `file` as 32-bit float, through a temporary file that takes the name
// only when complete; false with `error` set when it cannot.
bool writeFloatWav(const std::string& path, const SampleFile& file, std::string& error);

// The bytes writeFloatWav writes.
std::vector<uint8_t> floatWavBytes(const SampleFile& file);

}  // namespace zelvaro
