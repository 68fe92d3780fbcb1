// Fuzz target for the double reader that the analyser and the pure path use:
// every input is written to a file, opened, and read to its end (bounded) in
// block sizes that follow the input's bytes; a second reader takes the same
// prefix in one readAll. Properties: the frame count is backed by the file,
// every sample is finite and PCM within full scale, the block size does not
// change a sample or the count of non-finite ones.
//
// Long run (clang, libFuzzer, ASan + UBSan; builds into build-fuzz/):
//     ZELVARO_FUZZ_TARGET=double fuzz/run-fuzzer.sh 600
// Replay of the committed corpora (any compiler; a CTest test of the native
// build): pure_wav_fuzz_replay fuzz/corpus fuzz/pure-corpus
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "fuzz_support.h"
#include "wavefile/pure_wav_reader.h"

namespace {

using zelvaro::fuzz::check;
using zelvaro::fuzz::scratchPath;
using zelvaro::fuzz::writeInput;

// Samples read from one input: enough to pass the end of any small file,
// never so many that a header claiming 65,535 channels keeps one input busy.
constexpr int64_t kSampleBudget = int64_t{1} << 18;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = scratchPath("double");
    if (!writeInput(path, data, size)) return 0;
    zelvaro::PureWavReader reader(path.c_str());
    if (!reader.ok()) {
        check(!reader.error().empty(), "a failure says why");
        return 0;
    }
    const int channels = reader.channels();
    check(channels >= 1 && reader.sampleRate() != 0, "a format with channels and a rate");
    check(reader.frames() >= 0 && static_cast<uint64_t>(reader.frames()) * channels <= size,
          "frames backed by the file");
    reader.chunk("LIST");

    const int64_t frames = std::min<int64_t>(reader.frames() + 3, std::max<int64_t>(1, kSampleBudget / channels));
    std::vector<double> blockwise;
    std::vector<double> block;
    static const int kBlocks[] = {1, 2, 3, 7, 64, 333, 1000, 4096};
    int64_t done = 0;
    for (size_t step = 0; done < frames; ++step) {
        const int want = static_cast<int>(std::min<int64_t>(kBlocks[(size ? data[step % size] : 0) % 8], frames - done));
        block.assign(static_cast<size_t>(want) * channels, -7.0);
        const int got = reader.read(block.data(), want);
        check(got >= 0 && got <= want, "a read returns at most the frames asked for");
        if (got == 0) break;
        blockwise.insert(blockwise.end(), block.begin(), block.begin() + static_cast<ptrdiff_t>(got) * channels);
        done += got;
    }
    check(done == std::min(frames, reader.frames()), "every frame of the data is read, and no more");
    const bool pcm = zelvaro::sampleLayout(reader.format()).kind == zelvaro::SampleLayout::kPcm;
    for (double v : blockwise) {
        check(std::isfinite(v), "samples are finite");
        if (pcm) check(v >= -1.0 && v <= 1.0, "PCM within full scale");
    }

    zelvaro::PureWavReader whole(path.c_str());
    check(whole.ok() && whole.frames() == reader.frames(), "a second reader sees the same file");
    const std::vector<std::vector<double>> split = whole.readAll(frames);
    check(static_cast<int>(split.size()) == channels, "one vector per channel");
    for (int c = 0; c < channels; ++c) {
        check(split[c].size() * channels == blockwise.size(), "readAll gives the frames read block by block");
        for (size_t f = 0; f < split[c].size(); ++f)
            check(std::memcmp(&split[c][f], &blockwise[f * channels + c], sizeof(double)) == 0,
                  "the block size does not change a sample");
    }
    check(whole.nonFiniteSamples() == reader.nonFiniteSamples(), "the same count of non-finite samples");
    return 0;
}
