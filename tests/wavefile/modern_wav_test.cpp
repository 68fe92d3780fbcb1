// WAV files as today's recording and editing tools write them: the
// extensible format record and IEEE float samples.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "wavefile/sample_conversion.h"
#include "wavefile/wav_file.h"
#include "wavefile/wav_header.h"
#include "wavefile/wav_test_support.h"

namespace zelvaro {
namespace {

using test::Bytes;
using test::chunk;
using test::concat;
using test::riffWave;

// The 16 bytes that follow a sub-format's tag in the standard base GUID.
const Bytes kGuidTail = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// A 40-byte extensible record, field by field.
Bytes extensible(uint16_t subTag, uint16_t channels, uint16_t containerBits, uint16_t validBits,
                 uint16_t extension = 22) {
    Bytes b;
    const uint16_t align = static_cast<uint16_t>(channels * containerBits / 8);
    test::put16(b, 0xFFFE);            // format tag: extensible
    test::put16(b, channels);          // channels
    test::put32(b, 44100);             // samples per second
    test::put32(b, align * 44100u);    // bytes per second
    test::put16(b, align);             // block align
    test::put16(b, containerBits);     // bits per sample: the container
    test::put16(b, extension);         // extension size
    test::put16(b, validBits);         // valid bits per sample
    test::put32(b, channels == 1 ? 4 : 3);  // channel mask: centre, or left and right
    test::put16(b, subTag);            // sub-format GUID: the tag ...
    b.insert(b.end(), kGuidTail.begin(), kGuidTail.end());  // ... and the base GUID's rest
    return b;
}

// The plain 18-byte record of a float file.
Bytes floatFormat(uint16_t channels, uint16_t bits) {
    Bytes b;
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    test::put16(b, 3);  // format tag: IEEE float
    test::put16(b, channels);
    test::put32(b, 44100);
    test::put32(b, align * 44100u);
    test::put16(b, align);
    test::put16(b, bits);
    test::put16(b, 0);  // no extension
    return b;
}

WaveFormat parsed(const Bytes& record) { return parseWaveFormat(record.data(), record.size()); }

TEST(SampleLayout, FollowsTheTagAndTheSubFormat) {
    Bytes otherGuid = extensible(1, 2, 16, 16);
    otherGuid.back() ^= 1;
    Bytes cut = extensible(1, 1, 16, 16);
    cut.resize(24);
    const struct {
        const char* name;
        Bytes record;
        SampleLayout::Kind kind;
        int container, valid;
    } rows[] = {
        {"PCM", test::pcmFormat(2, 44100, 24), SampleLayout::kPcm, 24, 24},
        {"PCM of 12 bits: whole bytes, all read", test::pcmFormat(2, 44100, 12), SampleLayout::kPcm, 16, 16},
        {"PCM of 1 bit", test::pcmFormat(1, 44100, 1), SampleLayout::kPcm, 8, 8},
        {"PCM wider than 32 bits", test::pcmFormat(1, 44100, 40), SampleLayout::kPcm, 40, 40},
        {"float", floatFormat(1, 32), SampleLayout::kFloat, 32, 32},
        {"extensible PCM 24 in 32", extensible(1, 2, 32, 24), SampleLayout::kPcm, 32, 24},
        {"extensible PCM 20 in 24", extensible(1, 1, 24, 20), SampleLayout::kPcm, 24, 20},
        {"extensible PCM, valid bits 0", extensible(1, 1, 16, 0), SampleLayout::kPcm, 16, 16},
        {"extensible float 64", extensible(3, 2, 64, 64), SampleLayout::kFloat, 64, 64},
        {"extensible IMA ADPCM", extensible(0x11, 1, 4, 4), SampleLayout::kCompressed, 0, 0},
        {"extensible, valid bits past the container", extensible(1, 1, 16, 17), SampleLayout::kCompressed, 0, 0},
        {"extensible, extension too short", extensible(1, 1, 16, 16, 20), SampleLayout::kCompressed, 0, 0},
        {"extensible, another GUID", otherGuid, SampleLayout::kCompressed, 0, 0},
        {"extensible, record cut at 24 bytes", cut, SampleLayout::kCompressed, 0, 0},
        {"A-law", Bytes{6, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0, 0, 0}, SampleLayout::kCompressed, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const SampleLayout layout = sampleLayout(parsed(row.record));
        EXPECT_EQ(layout.kind, row.kind);
        if (row.kind != SampleLayout::kCompressed) {
            EXPECT_EQ(layout.containerBits, row.container);
            EXPECT_EQ(layout.validBits, row.valid);
        }
    }
}

TEST(SampleConversion, FloatsScaleOneToSixteenBitFullScaleHeldAtThePeak) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double in;
        int32_t want;
    } rows[] = {
        {0.0, 0},           {0.5, 262144},       {-0.5, -262144},     {0.25 / 32768, 4},  // a quarter step: 4 units
        {1.0, 524272},      {-1.0, -524272},     {1e30, 524272},      {-inf, -524272},
        {inf, 524272},      {std::nan(""), 0},   {1.0 / 524288 * 2.5, 2},                  // halves to even
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.in);
        Bytes f32(4), f64(8);
        const float single = static_cast<float>(row.in);
        std::memcpy(f32.data(), &single, 4);
        std::memcpy(f64.data(), &row.in, 8);
        int32_t got = -1;
        convertFloat64ToInt32(&got, f64.data(), 1);
        EXPECT_EQ(got, row.want);
        if (static_cast<double>(single) == row.in || std::isnan(row.in)) {
            convertFloat32ToInt32(&got, f32.data(), 1);
            EXPECT_EQ(got, row.want);
        }
    }
}

// The valid bits sit at the top of the container; what lies below them is
// not part of the sample and must not reach it.
TEST(OpenWavSource, ExtensiblePcmReadsAsItsContainerWithTheLowBitsCleared) {
    const struct {
        const char* name;
        uint16_t container, valid;
        Bytes data;
        std::vector<int32_t> want;
    } rows[] = {
        {"16 in 16", 16, 16, {0xE8, 0x03, 0x18, 0xFC}, {16000, -16000}},
        {"8 in 8", 8, 8, {0x80, 0xFF}, {0, 260096}},
        {"4 in 8", 8, 4, {0x8F, 0x7F}, {0, -32768}},
        {"20 in 24 (low 4 bits set)", 24, 20, {0x0F, 0x00, 0x40, 0xFF, 0xFF, 0xBF}, {262144, -262145}},
        {"24 in 32 (low byte set)", 32, 24, {0xFF, 0x00, 0x00, 0x40, 0x01, 0x00, 0x00, 0xC0}, {262144, -262144}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        const std::string path = dir.path("x.wav");
        test::writeFile(path, riffWave(concat({chunk("fmt ", extensible(1, 1, row.container, row.valid)),
                                              chunk("data", row.data)})));
        WaveFormat format;
        SoundSourceRef s = openWavSource(path.c_str(), &format);
        ASSERT_TRUE(s.usable());
        EXPECT_EQ(format.formatTag, 0xFFFE);
        ASSERT_EQ(s->length(), 2);
        std::vector<int32_t> got(2);
        s->read(got.data(), 2);
        EXPECT_EQ(got, row.want);
    }
}

TEST(OpenWavSource, FloatFilesReadInBothWidthsAndOthersAreRefused) {
    const float singles[] = {0.5f, -1.5f, 0.0f, -0.25f};
    const double doubles[] = {0.5, -1.5, 0.0, -0.25};
    Bytes data32(sizeof singles), data64(sizeof doubles);
    std::memcpy(data32.data(), singles, sizeof singles);
    std::memcpy(data64.data(), doubles, sizeof doubles);
    const std::vector<int32_t> want = {262144, -524272, 0, -131072};
    const struct {
        const char* name;
        Bytes record, data;
        bool readable;
    } rows[] = {
        {"float 32, stereo", floatFormat(2, 32), data32, true},
        {"float 64, stereo", floatFormat(2, 64), data64, true},
        {"extensible float 32", extensible(3, 2, 32, 32), data32, true},
        {"extensible float 64", extensible(3, 2, 64, 64), data64, true},
        {"float 16", floatFormat(2, 16), data32, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        const std::string path = dir.path("f.wav");
        test::writeFile(path, riffWave(concat({chunk("fmt ", row.record), chunk("data", row.data)})));
        WaveFormat format;
        SoundSourceRef s = openWavSource(path.c_str(), &format);
        ASSERT_TRUE(s);
        ASSERT_EQ(s.usable(), row.readable);
        if (!row.readable) continue;
        EXPECT_EQ(s->channels, 2);
        EXPECT_EQ(s->peakLevel, 524272);
        ASSERT_EQ(s->length(), 2);
        std::vector<int32_t> got(4);
        s->read(got.data(), 2);
        EXPECT_EQ(got, want);
    }
}

}  // namespace
}  // namespace zelvaro
