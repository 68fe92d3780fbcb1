// Fuzz target for the buffering around a codec: AcmWavSource over the
// scripted block codec of the tests, with the block size, channel count, data
// size field and codec faults taken from the input, read to its end (bounded)
// in varied block sizes with seeks before, inside and beyond the data. Every
// read must fill its block and advance the position by its size, and the
// codec must never see its stream header misused.
//
// Long run (clang, libFuzzer, ASan + UBSan; builds into build-fuzz/):
//     ZELVARO_FUZZ_TARGET=acm fuzz/run-fuzzer.sh 600
// Replay of the committed corpus (any compiler; a CTest test of the native
// build): acm_fuzz_replay fuzz/acm-corpus
//
// Input: channels (1 byte: bit 0 one or two channels; bit 1 a record without
// a byte rate from a codec that does not say what a block decodes to, so that
// seeks decode from the start), frames per block (2), faults (1: the low
// nibble stalls, the high one fails the codec from that conversion on, 0 for
// never), data size field (4, all bits set for the true size), then the data.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "wavefile/acm_wav_source.h"
#include "wavefile/scripted_acm.h"

namespace {

constexpr int64_t kFrameBudget = 1 << 16;
constexpr size_t kHeader = 8;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

uint32_t get32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

void readChecked(zelvaro::SoundSource& s, std::vector<int32_t>& block, int frames) {
    const int before = s.position();
    std::fill(block.begin(), block.end(), 0x5A5A5A5A);
    s.read(block.data(), frames);
    check(s.position() == before + frames, "the position advances by the block size");
    for (size_t i = 0; i < static_cast<size_t>(frames) * s.channels; ++i)
        check(block[i] != 0x5A5A5A5A, "a read fills its whole block");
    check(s.length() >= 0, "the length is never negative");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeader) return 0;
    const uint16_t channels = static_cast<uint16_t>(1 + data[0] % 2);
    const uint16_t framesPerBlock = static_cast<uint16_t>(1 + (data[1] | (data[2] << 8)) % 9000);
    const int stall = data[3] & 15, fail = data[3] >> 4;
    const uint32_t sizeField = get32(data + 4);
    const uint8_t* body = data + kHeader;
    const size_t bodySize = size - kHeader;

    const bool unmapped = (data[0] & 2) != 0;
    zelvaro::WaveFormat format = zelvaro::test::scriptedFormat(channels, 8000, framesPerBlock);
    if (unmapped) {
        std::fill(format.raw.begin() + 8, format.raw.begin() + 12, 0);  // bytes per second
        format = zelvaro::parseWaveFormat(format.raw.data(), format.raw.size());
    }
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("zelvaro-acm-fuzz-" + std::to_string(::getpid()) + ".raw"))
                                        .string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    static const uint8_t lead[4] = {'d', 'a', 't', 'a'};
    std::fwrite(lead, 1, 4, f);
    std::fwrite(&sizeField, 1, 4, f);
    std::fwrite(body, 1, bodySize, f);
    std::fclose(f);

    zelvaro::test::ScriptedAcm acm;
    acm.stallAfterConverts = stall ? stall - 1 : -1;
    acm.failAfterConverts = fail ? fail - 1 : -1;
    acm.decodedSizeUnknown = unmapped;
    {
        zelvaro::FileStream file = zelvaro::FileStream::openForReading(path.c_str());
        file.seekTo(8);
        zelvaro::SoundSourceRef s(new zelvaro::AcmWavSource(
            acm, std::move(file), format, sizeField == 0xFFFFFFFFu ? static_cast<uint32_t>(bodySize) : sizeField));
        check(s.usable(), "the scripted codec takes its own format");
        std::vector<int32_t> block(static_cast<size_t>(zelvaro::kMaxBlockFrames) * channels);
        const int blockSizes[] = {1, 7, 505, 8192};
        int64_t done = 0;
        for (int i = 0; done < kFrameBudget && s->position() <= s->length(); ++i) {
            const int n = blockSizes[i % 4];
            readChecked(*s.get(), block, n);
            done += n;
        }
        const int length = s->length();
        for (int target : {-100, 0, 1, length / 2, length - 1, length, length + 10}) {
            s->seek(target);
            check(s->position() == target, "a seek lands on the frame asked for");
            readChecked(*s.get(), block, 300);
        }
    }
    check(acm.faults.empty(), "the stream header is used as prepared");
    check(acm.openStreams == 0, "every stream is closed");
    return 0;
}
