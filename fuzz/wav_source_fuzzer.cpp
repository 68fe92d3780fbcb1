// Fuzz target for the WAV reader: every input is written to a file, opened
// with openWavSource and read to its end (bounded) in varied block sizes, with
// seeks before, inside and beyond the data. For PCM input the first block is
// also written through a sink of the same width and read back, which must
// give the same samples.
//
// Long run (clang, libFuzzer, ASan + UBSan; builds into build-fuzz/):
//     fuzz/run-fuzzer.sh 600
// Replay of the committed corpus (any compiler; a CTest test of the native
// build): wav_fuzz_replay fuzz/corpus
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "fuzz_support.h"
#include "wavefile/wav_file.h"
#include "wavefile/wav_file_source.h"

namespace {

using zelvaro::fuzz::check;
using zelvaro::fuzz::scratchPath;
using zelvaro::fuzz::writeInput;

// Enough to walk well past the end of any small file, never so much that a
// claimed length of 2^31 frames keeps one input busy.
constexpr int64_t kFrameBudget = 1 << 17;

// Writes one block through a sink of the source's width and reads it back.
void roundTrip(zelvaro::SoundSource& source, const std::vector<int32_t>& block, int frames) {
    const int bytes = static_cast<zelvaro::WavFileSource&>(source).bytesPerSample;
    const std::string path = scratchPath("out");
    {
        zelvaro::SoundSinkRef sink =
            zelvaro::createWavSink(path.c_str(), source.sampleRate, 0, static_cast<uint16_t>(bytes * 8), source.channels);
        check(sink.usable(), "a sink can be created");
        sink->write(block.data(), frames);
        check(sink->finish(), "the sink writes without error");
    }
    zelvaro::SoundSourceRef back = zelvaro::openWavSource(path.c_str());
    check(back.usable(), "a written file opens");
    check(back->length() == frames, "a written file has the frames written");
    std::vector<int32_t> again(block.size());
    back->read(again.data(), frames);
    // A reader keeps every sample within the peak of its width, which the
    // writer of the same width holds exactly.
    for (size_t i = 0; i < static_cast<size_t>(frames) * source.channels; ++i)
        check(again[i] == block[i], "samples survive a write and a read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = scratchPath("in");
    if (!writeInput(path, data, size)) return 0;
    zelvaro::SoundSourceRef source = zelvaro::openWavSource(path.c_str());
    if (!source || source->failed()) return 0;

    const int channels = source->channels;
    check(channels >= 1 && channels <= 255, "channel count in range");
    check(source->sampleRate >= 1 && source->sampleRate <= 192000, "rate in range");
    const int length = source->length();
    const int bytesPerSample = static_cast<zelvaro::WavFileSource&>(*source.get()).bytesPerSample;
    check(length >= 0 && static_cast<uint64_t>(length) * channels * bytesPerSample <= size,
          "length backed by the file");

    std::vector<int32_t> block(static_cast<size_t>(channels) * zelvaro::kMaxBlockFrames);
    // Block sizes and seeks follow the input's own bytes so that the fuzzer
    // can steer them.
    static const int kBlocks[] = {1, 2, 3, 7, 64, 333, 1000, 4096, 8191, 8192};
    const int64_t limit = std::min<int64_t>(static_cast<int64_t>(length) + 20000, kFrameBudget);
    int64_t done = 0;
    for (size_t step = 0; done < limit; ++step) {
        uint8_t b = size ? data[step % size] : 0;
        int frames = kBlocks[b % 10];
        if (b >= 0xF0) source->seek(static_cast<int>(b) - 0x100 - 50);  // before frame 0
        else if (b >= 0xE8) source->seek(static_cast<int>(std::min<int64_t>(int64_t{length} + b, INT32_MAX)));
        else if (b >= 0xE0) source->seek(length / 2);
        uint32_t before = static_cast<uint32_t>(source->position());
        source->read(block.data(), frames);
        check(static_cast<uint32_t>(source->position()) == before + static_cast<uint32_t>(frames),
              "position advances by the block");
        if (step % 16 == 0) source->length();
        done += frames;
    }

    source->seek(0);
    const int first = std::min(length, zelvaro::kMaxBlockFrames);
    source->read(block.data(), zelvaro::kMaxBlockFrames);
    for (size_t i = static_cast<size_t>(first) * channels; i < block.size(); ++i)
        check(block[i] == 0, "silence after the data");
    if (first > 0) roundTrip(*source.get(), block, first);
    return 0;
}
