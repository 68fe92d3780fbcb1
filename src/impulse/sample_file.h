// Whole WAV files as channels of double samples (full scale ±1), for the
// measurement commands: read from 8-, 16-, 24- and 32-bit PCM and 32- and
// 64-bit float files, written as 32-bit float files that carry, for a sweep,
// the parameters it was made with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "impulse/exp_sweep.h"

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
    // As read: the width of the file's samples, and how many float samples
    // were not finite (read as 0).
    int bitsPerSample = 32;
    int64_t nonFiniteSamples = 0;

    size_t frames() const { return channels.empty() ? 0 : channels.front().size(); }
};

// What a file's header says, without its samples: for a check of the memory
// a file will take before it is read.
struct SampleFileShape {
    int rateHz = 0;
    int channels = 0;
    int64_t frames = 0;  // whole frames the file really holds
};

// The holder of a file's samples as doubles: refused beyond this.
constexpr uint64_t kMaxSampleFileBytes = 3ull << 30;

// Reads `path`'s header; false with `error` set as readSampleFile.
bool probeSampleFile(const std::string& path, SampleFileShape& shape, std::string& error);

// The sweep a sweep file's record names, at the file's rate.
SweepRequest sweepRequestOf(const SampleFile& file);

// Reads `path`; false with `error` set when it is missing, unreadable, not a
// WAV file, compressed, of a width or a size this reader does not take.
bool readSampleFile(const std::string& path, SampleFile& file, std::string& error);

// `file` as a 32-bit float WAV file; empty with `error` set when it has no
// samples or would pass the format's 4 GiB limit. Written by the commands'
// output sets, never in place of a file directly.
std::vector<uint8_t> floatWavBytes(const SampleFile& file, std::string& error);
// The same for a file known to fit.
std::vector<uint8_t> floatWavBytes(const SampleFile& file);

}  // namespace zelvaro
