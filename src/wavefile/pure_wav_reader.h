// Reads the samples of an uncompressed WAV file as doubles at full scale 1.0
// (PCM of 8 to 32 bits, IEEE float of 32 or 64 bits, plain or extensible
// records), without the int32 chain's rounding: the pure path's converter
// and the analyser read files through it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "wavefile/file_stream.h"
#include "wavefile/wav_header.h"

namespace zelvaro {

class PureWavReader {
public:
    // Opens `path` and finds its format and data; see error() on failure.
    explicit PureWavReader(const char* path);

    bool ok() const { return error_.empty(); }
    // Why the file cannot be read, for a message; empty when it can.
    const std::string& error() const { return error_; }
    const WaveFormat& format() const { return format_; }
    int channels() const { return format_.channels; }
    int32_t sampleRate() const { return static_cast<int32_t>(format_.samplesPerSec); }
    // Whole frames the data chunk holds within the file.
    int64_t frames() const { return frames_; }

    // Reads up to `frames` frames (interleaved) into `out`; returns the
    // frames read, fewer only at the end of the data.
    int read(double* out, int frames);

    // The file from where reading stands, up to `maxFrames` frames, one
    // vector per channel. The caller checks that the frames fit in memory.
    std::vector<std::vector<double>> readAll(int64_t maxFrames = INT64_MAX);

    // Float samples read so far that were not finite (NaN or infinite), each
    // read as silence: a caller that measures can refuse or warn.
    int64_t nonFiniteSamples() const { return nonFinite_; }

    // The content of a chunk of this id (up to 4 KiB, and before the data)
    // that the file has beside its format and data, for callers that keep
    // their own notes in one; null when it has none.
    const std::vector<uint8_t>* chunk(const char (&id)[5]) const;

private:
    bool fail(const std::string& why);

    FileStream file_;
    WaveFormat format_;
    SampleLayout layout_;
    int64_t frames_ = 0;
    int64_t framesRead_ = 0;
    int64_t nonFinite_ = 0;
    int bytesPerSample_ = 0;
    std::vector<uint8_t> bytes_;
    std::map<std::string, std::vector<uint8_t>> smallChunks_;
    std::string error_;
};

}  // namespace zelvaro
