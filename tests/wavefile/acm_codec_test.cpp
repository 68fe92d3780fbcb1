// The compressed WAV classes on the platform's real codecs, against files that
// sox and ffmpeg made (acm_codec_test.py makes them, runs this program, then
// reads back with sox what it wrote). ZELVARO_ACM_FIXTURES names the folder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "wavefile/acm_format_choice.h"
#include "wavefile/acm_wav_source.h"
#include "wavefile/wav_file.h"
#include "wavefile/wav_test_support.h"

namespace zelvaro {
namespace {

std::string fixture(const std::string& name) {
    const char* dir = std::getenv("ZELVARO_ACM_FIXTURES");
    return dir ? std::string(dir) + "/" + name : name;
}

bool haveFixtures() { return std::getenv("ZELVARO_ACM_FIXTURES") != nullptr; }

std::vector<int32_t> readBlocks(SoundSource& s, int frames, int block) {
    std::vector<int32_t> all(static_cast<size_t>(frames) * s.channels);
    for (int done = 0; done < frames; done += block)
        s.read(all.data() + static_cast<size_t>(done) * s.channels, std::min(block, frames - done));
    return all;
}

// Everything up to the end of the decoder's data, and the exact length.
std::vector<int32_t> decodeAll(SoundSource& s, int& length) {
    std::vector<int32_t> all;
    std::vector<int32_t> block(static_cast<size_t>(kMaxBlockFrames) * s.channels);
    while (s.position() < s.length()) {
        s.read(block.data(), kMaxBlockFrames);
        all.insert(all.end(), block.begin(), block.end());
    }
    length = s.length();
    all.resize(static_cast<size_t>(length) * s.channels);
    return all;
}

// Signal to noise ratio of `got` against `want` in dB over their common part.
double snr(const std::vector<int32_t>& got, const std::vector<int32_t>& want) {
    double signal = 0, noise = 0;
    for (size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
        signal += static_cast<double>(want[i]) * want[i];
        noise += static_cast<double>(got[i] - want[i]) * (got[i] - want[i]);
    }
    return noise == 0 ? 999 : 10 * std::log10(signal / noise);
}

struct DecodeRow {
    const char* file;
    const char* reference;  // the reference decoder's 16-bit PCM
    uint16_t tag;
    bool sampleExact;  // the platform decodes as the reference does
    int blockFrames;   // frames per block: the decode may end up to a block early or late
    int seekSettle;    // frames after a seek before the decoder's state has caught up
};

void PrintTo(const DecodeRow& row, std::ostream* os) { *os << row.file; }

const DecodeRow kDecodeRows[] = {
    {"ima_mono.wav", "ima_mono.ref.wav", 0x11, true, 505, 0},
    {"ima_stereo.wav", "ima_stereo.ref.wav", 0x11, true, 505, 0},
    {"alaw.wav", "alaw.ref.wav", 0x6, true, 1, 0},
    {"mulaw.wav", "mulaw.ref.wav", 0x7, true, 1, 0},
    // GSM's decoder keeps state across blocks and its stream reset does not
    // clear it: after a seek its first blocks differ from a straight decode.
    {"gsm.wav", "gsm.ref.wav", 0x31, true, 320, 2000},
    {"msadpcm.wav", "msadpcm.ref.wav", 0x2, true, 1012, 0},
    // An MP3 frame depends on the ones before it (bit reservoir and overlap):
    // no seeks inside the file are checked.
    {"mp3.wav", "mp3.ref.wav", 0x55, false, 0, -1},
};

class AcmCodecTest : public ::testing::TestWithParam<DecodeRow> {
protected:
    void SetUp() override {
        if (!haveFixtures()) GTEST_SKIP() << "ZELVARO_ACM_FIXTURES is not set (run acm_codec_test.py)";
        if (!test::fileExists(fixture(GetParam().file))) GTEST_SKIP() << GetParam().file << " was not made here";
    }
};

TEST_P(AcmCodecTest, DecodesAsTheReferenceInAnyBlockSizeAndAfterSeeks) {
    const DecodeRow& row = GetParam();
    WaveFormat format;
    SoundSourceRef s = openWavSource(fixture(row.file).c_str(), &format);
    ASSERT_TRUE(s.usable());
    EXPECT_EQ(format.formatTag, row.tag);
    SoundSourceRef ref = openWavSource(fixture(row.reference).c_str());
    ASSERT_TRUE(ref.usable());
    EXPECT_EQ(s->channels, ref->channels);
    EXPECT_EQ(s->sampleRate, ref->sampleRate);

    const int estimate = s->length();
    int length = 0;
    const std::vector<int32_t> all = decodeAll(*s.get(), length);
    const int refLength = ref->length();
    std::vector<int32_t> want = readBlocks(*ref.get(), refLength, kMaxBlockFrames);
    std::printf("%s: estimate %d, decoded %d, reference %d frames, SNR %.1f dB\n", row.file, estimate, length,
                refLength, snr(all, want));
    if (row.sampleExact) {
        EXPECT_LE(std::abs(length - refLength), row.blockFrames);
        const size_t common = std::min(all.size(), want.size());
        EXPECT_TRUE(std::equal(all.begin(), all.begin() + common, want.begin()));
    } else {
        EXPECT_GT(length, refLength / 2);
    }

    // Block size does not matter.
    for (int block : {1, 7, 8192}) {
        SCOPED_TRACE(block);
        SoundSourceRef again = openWavSource(fixture(row.file).c_str());
        ASSERT_EQ(readBlocks(*again.get(), length, block), all);
    }
    if (row.blockFrames == 0) return;
    // Seeks land on the frame asked for, and a seek to 0 starts over. A
    // decoder whose state survives the reset differs at first; it is
    // measured over the frames after its settling time.
    for (int target : {1, row.blockFrames - 1, row.blockFrames, row.blockFrames + 1, length / 2, length - 700, 0,
                       3, length - 1}) {
        SCOPED_TRACE(target);
        if (target < 0 || target >= length) continue;
        s->seek(target);
        EXPECT_EQ(s->position(), target);
        const int n = std::min(length - target, 600 + row.seekSettle);
        const std::vector<int32_t> got = readBlocks(*s.get(), n, 256);
        const auto from = all.begin() + static_cast<ptrdiff_t>(target) * s->channels;
        const std::vector<int32_t> straight(from, from + static_cast<ptrdiff_t>(got.size()));
        if (row.seekSettle == 0) {
            ASSERT_EQ(got, straight);
        } else {
            const size_t skip = static_cast<size_t>(std::min(row.seekSettle, n)) * s->channels;
            const double settled = snr(std::vector<int32_t>(got.begin() + skip, got.end()),
                                       std::vector<int32_t>(straight.begin() + skip, straight.end()));
            std::printf("%s: after a seek to %d, %.1f dB at first, %.1f dB after %d frames\n", row.file, target,
                        snr(got, straight), settled, row.seekSettle);
            EXPECT_GT(settled, 30);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, AcmCodecTest, ::testing::ValuesIn(kDecodeRows),
                         [](const ::testing::TestParamInfo<DecodeRow>& info) {
                             std::string n = info.param.file;
                             return n.substr(0, n.find('.'));
                         });

struct EncodeRow {
    const char* name;
    uint16_t tag;
    const char* input;  // 16-bit PCM
    double minSnr;
    uint32_t recordBytes;  // the format record: 18 bytes and the format's own extra bytes
};

const EncodeRow kEncodeRows[] = {
    {"ima_mono", 0x11, "src_8k_mono.wav", 15, 20},  // samples per block
    {"ima_stereo", 0x11, "src_22k_stereo.wav", 15, 20},
    {"alaw", 0x6, "src_22k_stereo.wav", 30, 18},  // none
    {"mulaw", 0x7, "src_8k_mono.wav", 30, 18},
    {"gsm", 0x31, "src_8k_mono.wav", 5, 20},  // samples per block
};

TEST(AcmCodecEncode, RoundTripsEveryFrameWritten) {
    if (!haveFixtures()) GTEST_SKIP() << "ZELVARO_ACM_FIXTURES is not set (run acm_codec_test.py)";
    for (const EncodeRow& row : kEncodeRows) {
        SCOPED_TRACE(row.name);
        SoundSourceRef in = openWavSource(fixture(row.input).c_str());
        ASSERT_TRUE(in.usable());
        const int frames = in->length();
        const std::vector<int32_t> pcm = readBlocks(*in.get(), frames, kMaxBlockFrames);
        WaveFormat format;
        ASSERT_TRUE(suggestWaveFormat(platformAcm(), row.tag, in->channels, static_cast<uint32_t>(in->sampleRate), format));
        EXPECT_EQ(format.raw.size(), row.recordBytes);
        EXPECT_EQ(format.extraSize, row.recordBytes - 18);
        const std::string out = fixture(std::string("out_") + row.name + ".wav");
        {
            SoundSinkRef sink = createWavSinkForFormat(out.c_str(), format);
            ASSERT_TRUE(sink.usable());
            for (int done = 0; done < frames; done += 1000)
                sink->write(pcm.data() + static_cast<size_t>(done) * in->channels, std::min(1000, frames - done));
            EXPECT_TRUE(sink->finish());
        }
        const test::Bytes written = test::readHead(out, 20);
        ASSERT_EQ(written.size(), 20u);
        EXPECT_EQ(test::get32(written, 16), row.recordBytes);  // the format chunk's size
        SoundSourceRef back = openWavSource(out.c_str());
        ASSERT_TRUE(back.usable());
        int length = 0;
        const std::vector<int32_t> decoded = decodeAll(*back.get(), length);
        std::printf("%s: block align %u, %d frames written, %d read back, SNR %.1f dB\n", row.name, format.blockAlign,
                    frames, length, snr(decoded, pcm));
        // Every frame written is there (the last block padded with silence).
        EXPECT_GE(length, frames);
        EXPECT_GT(snr(decoded, pcm), row.minSnr);
    }
}

TEST(AcmCodecEncode, FormatsWithoutAnEncoderGiveAFailedSinkAndNoFile) {
    if (!haveFixtures()) GTEST_SKIP() << "ZELVARO_ACM_FIXTURES is not set (run acm_codec_test.py)";
    for (const char* name : {"msadpcm.wav", "mp3.wav"}) {
        SCOPED_TRACE(name);
        WaveFormat format;
        SoundSourceRef s = openWavSource(fixture(name).c_str(), &format);
        if (!s) continue;
        const std::string out = fixture(std::string("never_") + name);
        SoundSinkRef sink = createWavSinkForFormat(out.c_str(), format);
        ASSERT_TRUE(sink);
        EXPECT_TRUE(sink->failed());
        sink.release();
        EXPECT_FALSE(test::fileExists(out));
        EXPECT_FALSE(suggestWaveFormat(platformAcm(), format.formatTag, format.channels, format.samplesPerSec, format));
    }
}

TEST(AcmCodecDamage, DamagedFilesGiveAFailedOrShortSourceNeverACrash) {
    if (!haveFixtures()) GTEST_SKIP() << "ZELVARO_ACM_FIXTURES is not set (run acm_codec_test.py)";
    const test::Bytes good = test::readFile(fixture("ima_mono.wav"));
    ASSERT_GT(good.size(), 1000u);
    // The data chunk of sox's IMA file: after "fmt " (20 bytes) and "fact".
    const size_t dataSizeAt = 12 + 8 + 20 + 12 + 4;
    ASSERT_EQ(std::string(good.begin() + dataSizeAt - 4, good.begin() + dataSizeAt), "data");
    struct Row {
        const char* name;
        test::Bytes file;
        bool opens;
        bool usable;
    };
    test::Bytes cut(good.begin(), good.end() - 300);
    test::Bytes past = good;
    past[dataSizeAt + 2] = 0x7F;  // data size far beyond the file
    test::Bytes bogus = good;
    bogus[12 + 8 + 16] = 0xE8;  // extra-byte count 1000 in a 20-byte chunk
    bogus[12 + 8 + 17] = 0x03;
    test::Bytes cutInFormat(good.begin(), good.begin() + 30);
    const Row rows[] = {
        {"cut in the data", cut, true, true},
        {"data size past the end", past, true, true},
        {"bogus extra-byte count", bogus, true, false},
        {"cut in the format chunk", cutInFormat, false, false},
    };
    test::TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir.path("damaged.wav");
        test::writeFile(path, row.file);
        SoundSourceRef s = openWavSource(path.c_str());
        EXPECT_EQ(static_cast<bool>(s), row.opens);
        EXPECT_EQ(s.usable(), row.usable);
        if (!s.usable()) continue;
        int length = 0;
        decodeAll(*s.get(), length);
        EXPECT_GT(length, 0);
        EXPECT_LE(length, 10605);  // the whole file's 21 blocks of 505
    }
}

}  // namespace
}  // namespace zelvaro
