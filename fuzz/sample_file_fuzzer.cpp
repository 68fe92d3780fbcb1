// Fuzz target for the measurement commands' file reader (readSampleFile, as
// deconvolve reads a sweep file and a recording): every input is written to
// a file and read whole. A file that is taken must have one to 16 channels
// of one length, finite samples, the frame count its header's data backs,
// and must come back sample for sample (as float) through the float file
// the commands write; a sweep record it names is checked as sweep and
// deconvolve check it, without making the sweep.
//
// Long run (clang, libFuzzer, ASan + UBSan; builds into build-fuzz/):
//     ZELVARO_FUZZ_TARGET=sample fuzz/run-fuzzer.sh 600
// Replay of the committed corpora (any compiler; a CTest test of the native
// build): sample_file_fuzz_replay fuzz/corpus fuzz/sample-file-corpus
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli/cli_sweep_record.h"
#include "fuzz_support.h"
#include "impulse/exp_sweep.h"
#include "wavefile/sample_file.h"

namespace {

using zelvaro::fuzz::check;
using zelvaro::fuzz::scratchPath;
using zelvaro::fuzz::writeInput;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string in = scratchPath("sample-in");
    static const std::string out = scratchPath("sample-out");
    if (!writeInput(in, data, size)) return 0;
    const zelvaro::SampleFileShape shape = zelvaro::probeSampleFile(in);
    const zelvaro::SampleFile file = zelvaro::readSampleFile(in);
    check(shape.error == file.error, "the probe and the read agree on what they take");
    if (!file.error.empty()) return 0;
    check(file.channels.size() >= 1 && file.channels.size() <= 16, "one to 16 channels");
    check(static_cast<int64_t>(file.frames()) == shape.frames, "the frames the probe counted");
    check(static_cast<uint64_t>(shape.frames) <= size, "no more frames than the file has bytes");
    for (const std::vector<double>& channel : file.channels) {
        check(channel.size() == file.frames(), "channels of one length");
        for (double v : channel) check(std::isfinite(v), "finite samples");
    }
    if (file.hasSweep) {
        // What sweepOfFile asks of a record before it makes the sweep.
        const zelvaro::SweepRequest request = zelvaro::cli::sweepRequestOf(file);
        const zelvaro::SweepRequestCheck made = zelvaro::checkSweepRequest(request);
        if (made.ok()) {
            check(zelvaro::sweepLengthSeconds(request) <= zelvaro::kMaxSweepSeconds * 1.01, "a bounded sweep");
            check(std::isfinite(zelvaro::sweepLengthSeconds(request)), "a finite sweep length");
        } else {
            check(!made.error.empty(), "a refused sweep says why");
        }
    }
    if (file.frames() * file.channels.size() > (1u << 20)) return 0;
    const std::vector<uint8_t> bytes = zelvaro::floatWavFile(file).bytes;
    if (bytes.empty()) return 0;
    check(writeInput(out, bytes.data(), bytes.size()), "the float file is written");
    const zelvaro::SampleFile back = zelvaro::readSampleFile(out);
    check(back.error.empty(), "the float file reads back");
    check(back.channels.size() == file.channels.size() && back.frames() == file.frames(), "the same shape back");
    for (size_t c = 0; c < file.channels.size(); ++c)
        for (size_t n = 0; n < file.frames(); ++n)
            check(back.channels[c][n] ==
                      static_cast<double>(static_cast<float>(std::fmin(std::fmax(file.channels[c][n], -FLT_MAX), FLT_MAX))),
                  "the same samples back, as float");
    check(back.hasSweep == file.hasSweep, "the sweep record kept");
    return 0;
}
