#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "wavefile/wav_file.h"
#include "wavefile/wav_file_source.h"
#include "wavefile/wav_test_support.h"

namespace zelvaro {
namespace {

using test::Bytes;
using test::chunk;
using test::concat;
using test::pcmFormat;
using test::riffWave;

Bytes formatRecord(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t align, int bits, int extra = -1) {
    Bytes b;
    test::put16(b, tag);
    test::put16(b, channels);
    test::put32(b, rate);
    test::put32(b, align * rate);
    test::put16(b, align);
    if (bits >= 0) test::put16(b, static_cast<uint32_t>(bits));
    if (extra >= 0) test::put16(b, static_cast<uint32_t>(extra));
    return b;
}

const Bytes kData = test::samples16({1000, -1000, 2000, -2000});  // 4 mono frames

TEST(OpenWavSource, SmallestFileFieldByField) {
    const Bytes file = {
        'R', 'I', 'F', 'F', 44, 0, 0, 0,  // RIFF size
        'W', 'A', 'V', 'E',               // form type
        'f', 'm', 't', ' ', 16, 0, 0, 0,  // format chunk, 16 bytes
        1, 0,                             // format tag: PCM
        1, 0,                             // channels
        0x40, 0x1F, 0, 0,                 // samples per second: 8000
        0x80, 0x3E, 0, 0,                 // bytes per second: 16000
        2, 0,                             // block align
        16, 0,                            // bits per sample
        'd', 'a', 't', 'a', 8, 0, 0, 0,   // data chunk, 8 bytes
        0xE8, 0x03, 0x18, 0xFC,           // 1000, -1000
        0xD0, 0x07, 0x30, 0xF8,           // 2000, -2000
    };
    test::TempDir dir;
    test::writeFile(dir.path("a.wav"), file);
    SoundSourceRef s = openWavSource(dir.path("a.wav").c_str());
    ASSERT_TRUE(s.usable());
    auto* wav = static_cast<WavFileSource*>(s.get());
    EXPECT_EQ(wav->dataStart, 44u);
    EXPECT_EQ(wav->dataSizeOffset, 40u);
    EXPECT_EQ(wav->bytesPerSample, 2);
    EXPECT_EQ(s->channels, 1);
    EXPECT_EQ(s->sampleRate, 8000);
    EXPECT_EQ(s->length(), 4);
    int32_t got[4] = {};
    s->read(got, 4);
    EXPECT_EQ(got[0], 16000);
    EXPECT_EQ(got[3], -32000);
}

struct AcceptRow {
    const char* name;
    Bytes file;
    bool accepted;
    int bytesPerSample = 0;
    int channels = 0;
    int length = 0;
};

std::vector<AcceptRow> acceptanceRows() {
    const Bytes fmt = chunk("fmt ", pcmFormat(1, 8000, 16));
    const Bytes data = chunk("data", kData);
    Bytes foreignTop = chunk("JUNK", Bytes(20, 0xAA));
    Bytes riffOtherForm = concat({{'R', 'I', 'F', 'F', 8, 0, 0, 0, 'A', 'V', 'I', ' ', 0, 0, 0, 0}});
    Bytes odd3 = chunk("odd ", {1, 2, 3});  // 3 bytes and a pad byte
    // A 17-byte format chunk: the record and one extra byte, then no pad byte.
    Bytes fmt17Unpadded = concat({{'f', 'm', 't', ' ', 17, 0, 0, 0}, pcmFormat(1, 8000, 16), {0}});
    Bytes fmt17Padded = chunk("fmt ", concat({pcmFormat(1, 8000, 16), {0}}));  // and its pad byte
    Bytes fmtLargest = chunk("fmt ", concat({pcmFormat(1, 8000, 16), Bytes(8192 - 16, 0)}));
    Bytes fmtTooLarge = chunk("fmt ", concat({pcmFormat(1, 8000, 16), Bytes(8193 - 16, 0)}));
    return {
        {"plain", riffWave(concat({fmt, data})), true, 2, 1, 4},
        {"top-level chunk of another id first", concat({foreignTop, riffWave(concat({fmt, data}))}), true, 2, 1, 4},
        {"RIFF of another form first", concat({riffOtherForm, riffWave(concat({fmt, data}))}), true, 2, 1, 4},
        {"odd-sized chunk before fmt", riffWave(concat({odd3, fmt, data})), true, 2, 1, 4},
        {"LIST chunk between fmt and data",
         riffWave(concat({fmt, chunk("LIST", Bytes(27, 'x')), data})), true, 2, 1, 4},
        {"extended format record", riffWave(concat({chunk("fmt ", formatRecord(1, 2, 8000, 4, 16, 0)), data})), true,
         2, 2, 2},
        {"8-bit", riffWave(concat({chunk("fmt ", pcmFormat(1, 8000, 8)), data})), true, 1, 1, 8},
        {"24-bit", riffWave(concat({chunk("fmt ", pcmFormat(1, 8000, 24)), data})), true, 3, 1, 2},
        {"14-byte record, one byte a sample", riffWave(concat({chunk("fmt ", formatRecord(1, 2, 8000, 2, -1)), data})),
         true, 1, 2, 4},
        {"14-byte record, two bytes a sample",
         riffWave(concat({chunk("fmt ", formatRecord(1, 1, 8000, 2, -1)), data})), true, 2, 1, 4},
        {"14-byte record, four bytes a sample",
         riffWave(concat({chunk("fmt ", formatRecord(1, 1, 8000, 4, -1)), data})), true, 4, 1, 2},
        {"192000 frames per second", riffWave(concat({chunk("fmt ", pcmFormat(1, 192000, 16)), data})), true, 2, 1, 4},
        {"255 channels", riffWave(concat({chunk("fmt ", pcmFormat(255, 8000, 8)), chunk("data", Bytes(510, 128))})),
         true, 1, 255, 2},
        {"data chunk before fmt", riffWave(concat({data, fmt})), false},
        {"no data chunk", riffWave(fmt), false},
        {"zero-size chunk in the way", riffWave(concat({chunk("JUNK", {}), fmt, data})), false},
        {"chunk size with all bits set", riffWave(concat({chunk("JUNK", {0, 0}, 0xFFFFFFFF), fmt, data})), false},
        {"chunk size beyond the file", riffWave(concat({chunk("JUNK", {0, 0}, 0x7FFFFFF0), fmt, data})), false},
        {"format chunk of 13 bytes", riffWave(concat({chunk("fmt ", Bytes(13, 1)), data})), false},
        {"odd-sized format chunk without a pad byte", riffWave(concat({fmt17Unpadded, data})), true, 2, 1, 4},
        {"odd-sized format chunk with a pad byte", riffWave(concat({fmt17Padded, data})), true, 2, 1, 4},
        {"format chunk of 8192 bytes", riffWave(concat({fmtLargest, data})), true, 2, 1, 4},
        {"format chunk of 8193 bytes", riffWave(concat({fmtTooLarge, data})), false},
        {"format chunk cut short", concat({{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'},
                                           {'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0}}),
         false},
        {"0 channels", riffWave(concat({chunk("fmt ", pcmFormat(0, 8000, 16)), data})), false},
        {"256 channels", riffWave(concat({chunk("fmt ", pcmFormat(256, 8000, 16)), data})), false},
        {"0 frames per second", riffWave(concat({chunk("fmt ", pcmFormat(1, 0, 16)), data})), false},
        {"192001 frames per second", riffWave(concat({chunk("fmt ", pcmFormat(1, 192001, 16)), data})), false},
        {"not RIFF at all", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'}, false},
        {"top-level size of 4", Bytes{'J', 'U', 'N', 'K', 4, 0, 0, 0, 'a', 'b', 'c', 'd', 'e', 'f'}, false},
        {"shorter than a RIFF header", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V'}, false},
        {"empty", Bytes{}, false},
    };
}

TEST(OpenWavSource, AcceptsAndRejectsByTheChunkRules) {
    test::TempDir dir;
    for (const AcceptRow& r : acceptanceRows()) {
        SCOPED_TRACE(r.name);
        std::string path = dir.path("t.wav");
        test::writeFile(path, r.file);
        SoundSourceRef s = openWavSource(path.c_str());
        ASSERT_EQ(static_cast<bool>(s), r.accepted);
        if (!r.accepted) continue;
        ASSERT_TRUE(s.usable());
        EXPECT_EQ(static_cast<WavFileSource*>(s.get())->bytesPerSample, r.bytesPerSample);
        EXPECT_EQ(s->channels, r.channels);
        EXPECT_EQ(s->length(), r.length);
    }
}

TEST(OpenWavSource, TwentyFourBitSamplesAreReadThreeBytesEach) {
    test::TempDir dir;
    const Bytes data = {
        0x56, 0x34, 0x12,  // 0x123456: (v + 8) >> 4
        0xBC, 0x9A, 0x78,  // 0x789ABC
        0x08, 0x00, 0x00,  // 8 rounds up to 1
        0xF8, 0xFF, 0xFF,  // -8 rounds up to 0
        0xFF, 0xFF, 0x7F,  // full scale rounds past the peak and is held there
        0x00, 0x00, 0x80,  // the bottom
        0x01, 0x02,        // a partial frame: not part of the length
    };
    const int32_t want[] = {74565, 493996, 1, 0, 524272, -524288};
    std::string path = dir.path("a.wav");
    test::writeFile(path, riffWave(concat({chunk("fmt ", pcmFormat(1, 8000, 24)), chunk("data", data)})));
    WaveFormat format;
    SoundSourceRef s = openWavSource(path.c_str(), &format);
    ASSERT_TRUE(s.usable());
    EXPECT_EQ(format.bitsPerSample, 24);
    EXPECT_EQ(s->length(), 6);
    int32_t got[7];
    std::fill(std::begin(got), std::end(got), -1);
    s->read(got, 7);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(got[i], want[i]) << "sample " << i;
    EXPECT_EQ(got[6], 0);  // past the end
}

// Plain PCM that states fewer bits than its samples take (12 bits in 2-byte
// samples and the like) reads exactly as the same bytes marked at full width:
// no bits cleared, and the block align (here the usual one) plays no part.
TEST(OpenWavSource, NarrowWidthsReadAsTheirWholeBytes) {
    test::TempDir dir;
    // Stereo; the low bits are set, so a reader that cleared them would
    // differ (the 32-bit conversion drops them anyway).
    const Bytes data = {
        0x07, 0x00, 0xF9, 0xFF, 0x0F, 0x80, 0xFF, 0x7F, 0x01, 0x02, 0x03, 0x04,
        0x0F, 0x00, 0x00, 0x0F, 0xF1, 0xFF, 0x81, 0x7E, 0x55, 0xAA, 0x5A, 0xA5,
    };
    const struct {
        uint16_t bits, fullBits;
        int bytesPerSample;
    } rows[] = {{12, 16, 2}, {9, 16, 2}, {20, 24, 3}, {17, 24, 3}, {28, 32, 4}, {25, 32, 4}, {4, 8, 1}, {0, 8, 1}};
    auto readAll = [&dir, &data](uint16_t bits, int bytesPerSample, int& length) {
        const std::string path = dir.path("w" + std::to_string(bits) + ".wav");
        const uint16_t align = static_cast<uint16_t>(2 * bytesPerSample);
        test::writeFile(path, riffWave(concat({chunk("fmt ", formatRecord(1, 2, 8000, align, bits)),
                                               chunk("data", data)})));
        SoundSourceRef s = openWavSource(path.c_str());
        std::vector<int32_t> got(2 * 20, -1);
        if (!s.usable()) return std::vector<int32_t>();
        EXPECT_EQ(static_cast<WavFileSource*>(s.get())->bytesPerSample, bytesPerSample);
        length = s->length();
        s->read(got.data(), 20);
        return got;
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.bits) + " bits in " + std::to_string(row.fullBits));
        int narrowLength = -1, fullLength = -2;
        const std::vector<int32_t> narrow = readAll(row.bits, row.bytesPerSample, narrowLength);
        const std::vector<int32_t> full = readAll(row.fullBits, row.bytesPerSample, fullLength);
        ASSERT_FALSE(narrow.empty());
        EXPECT_EQ(narrow, full);
        EXPECT_EQ(narrowLength, fullLength);
        EXPECT_EQ(narrowLength, static_cast<int>(data.size()) / (2 * row.bytesPerSample));
    }
}

TEST(OpenWavSource, WidthsAbove32GiveAFailedSourceWithTheirRecord) {
    test::TempDir dir;
    for (int bits : {33, 40, 48, 64, 65535}) {
        SCOPED_TRACE(bits);
        std::string path = dir.path("w.wav");
        test::writeFile(path, riffWave(concat({chunk("fmt ", pcmFormat(1, 8000, static_cast<uint16_t>(bits))),
                                               chunk("data", kData)})));
        WaveFormat format;
        SoundSourceRef s = openWavSource(path.c_str(), &format);
        ASSERT_TRUE(s);
        EXPECT_TRUE(s->failed());
        EXPECT_EQ(format.bitsPerSample, bits);
        EXPECT_EQ(s->length(), 0);
    }
}

TEST(OpenWavSource, CompressedFormatGivesAFailedSourceWithItsRecord) {
    test::TempDir dir;
    std::string path = dir.path("adpcm.wav");
    test::writeFile(path, riffWave(concat({chunk("fmt ", formatRecord(2, 2, 22050, 1024, 4, 2)), chunk("data", kData)})));
    WaveFormat format;
    SoundSourceRef s = openWavSource(path.c_str(), &format);
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->failed());
    EXPECT_EQ(format.formatTag, 2);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.samplesPerSec, 22050u);
    EXPECT_EQ(format.raw.size(), 18u);

    format.formatTag = 2;
    SoundSinkRef sink = createWavSinkForFormat(dir.path("out.wav").c_str(), format);
    ASSERT_TRUE(sink);
    EXPECT_TRUE(sink->failed());
    EXPECT_FALSE(test::fileExists(dir.path("out.wav")));
}

TEST(OpenWavSource, PcmFormatRecordMakesAPlainSink) {
    test::TempDir dir;
    WaveFormat format = parseWaveFormat(pcmFormat(2, 32000, 8).data(), 16);
    SoundSinkRef sink = createWavSinkForFormat(dir.path("out.wav").c_str(), format);
    ASSERT_TRUE(sink.usable());
    EXPECT_EQ(sink->channels, 2);
    EXPECT_EQ(sink->sampleRate, 32000);
    EXPECT_EQ(sink->peakLevel, 260096);
}

TEST(OpenWavSource, MissingFileOrFolderGivesNothing) {
    test::TempDir dir;
    EXPECT_FALSE(openWavSource(dir.path("missing.wav").c_str()));
    EXPECT_FALSE(openWavSource(dir.path("").c_str()));  // the folder itself
}

}  // namespace
}  // namespace zelvaro
