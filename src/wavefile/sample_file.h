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
    // As read: the width of the file's samples, and how many float samples
    // were not finite (read as 0).
    int bitsPerSample = 32;
    int64_t nonFiniteSamples = 0;
    // Why the file could not be read, for a message; empty when it was.
    std::string error;

    size_t frames() const { return channels.empty() ? 0 : channels.front().size(); }
};

// What a file's header says, without its samples: for a check of the memory
// a file will take before it is read.
struct SampleFileShape {
    int rateHz = 0;
    int channels = 0;
    int64_t frames = 0;  // whole frames the file really holds
    // Why the file would not be read, as readSampleFile says it; empty when it would.
    std::string error;
};

// The holder of a file's samples as doubles: refused beyond this.
constexpr uint64_t kMaxSampleFileBytes = 3ull << 30;

// Reads `path`'s header; refuses what readSampleFile refuses.
SampleFileShape probeSampleFile(const std::string& path);

// Reads `path`; refuses (with an error naming the file) one that is missing,
// unreadable, not a WAV file, compressed, of a width or a size this reader
// does not take.
SampleFile readSampleFile(const std::string& path);

// A float WAV file's bytes, or why there are none.
struct FloatWavBytes {
    std::vector<uint8_t> bytes;
    std::string error;
};

// `file` as a 32-bit float WAV file: a fact chunk with its frame count and,
// for a sweep, its record, between the format and the data. Refuses a file
// with no samples or one that would pass the format's 4 GiB limit. Written
// by the commands' output sets, never in place of a file directly.
FloatWavBytes floatWavFile(const SampleFile& file);
// The bytes alone, for a file known to fit.
std::vector<uint8_t> floatWavBytes(const SampleFile& file);

}  // namespace zelvaro
