#include "wavefile/sample_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace zelvaro {
namespace {

std::string TempPath(const char* name) { return testing::TempDir() + name; }

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(SampleFile, FloatFileHeaderFields) {
    SampleFile file;
    file.rateHz = 48000;
    file.channels = {{0.5, -1.0}, {0.25, 0.0}};
    const std::vector<uint8_t> bytes = floatWavBytes(file);
    const std::vector<uint8_t> expected = {
        'R', 'I', 'F', 'F', 66, 0, 0, 0,  // RIFF size: 4 + 26 + 12 + 24
        'W', 'A', 'V', 'E',               // form type
        'f', 'm', 't', ' ', 18, 0, 0, 0,  // format chunk, 18 bytes
        3, 0,                             // IEEE float
        2, 0,                             // channels
        0x80, 0xBB, 0, 0,                 // 48000 frames per second
        0x00, 0xDC, 0x05, 0,              // 384000 bytes per second
        8, 0,                             // block align
        32, 0,                            // bits per sample
        0, 0,                             // no extra bytes
        'f', 'a', 'c', 't', 4, 0, 0, 0,   // fact chunk
        2, 0, 0, 0,                       // frames
        'd', 'a', 't', 'a', 16, 0, 0, 0,  // data chunk
        0, 0, 0, 0x3F, 0, 0, 0x80, 0x3E,  // 0.5, 0.25
        0, 0, 0x80, 0xBF, 0, 0, 0, 0,     // -1.0, 0.0
    };
    EXPECT_EQ(bytes, expected);
}

// A sweep file's record sits between the frame count and the data, where
// the measurement commands have always put it.
TEST(SampleFile, SweepRecordBetweenFactAndData) {
    SampleFile file;
    file.rateHz = 8000;
    file.channels = {{0.5}};
    file.hasSweep = true;
    file.sweep = {20.0, 2000.0, 1.0, -1.0, 0.0};
    const std::vector<uint8_t> expected = {
        'R', 'I', 'F', 'F', 102, 0, 0, 0,   // RIFF size: 4 + 26 + 12 + 48 + 8 + 4
        'W', 'A', 'V', 'E',                 // form type
        'f', 'm', 't', ' ', 18, 0, 0, 0,    // format chunk, 18 bytes
        3, 0,                               // IEEE float
        1, 0,                               // one channel
        0x40, 0x1F, 0, 0,                   // 8000 frames per second
        0x00, 0x7D, 0, 0,                   // 32000 bytes per second
        4, 0,                               // block align
        32, 0,                              // bits per sample
        0, 0,                               // no extra bytes
        'f', 'a', 'c', 't', 4, 0, 0, 0,     // fact chunk
        1, 0, 0, 0,                         // frames
        'z', 's', 'w', 'p', 40, 0, 0, 0,    // the sweep record: five doubles
        0, 0, 0, 0, 0, 0, 0x34, 0x40,       // from 20 Hz
        0, 0, 0, 0, 0, 0x40, 0x9F, 0x40,    // to 2000 Hz
        0, 0, 0, 0, 0, 0, 0xF0, 0x3F,       // 1 s asked for
        0, 0, 0, 0, 0, 0, 0xF0, 0xBF,       // peak -1 dBFS
        0, 0, 0, 0, 0, 0, 0, 0,             // no fade
        'd', 'a', 't', 'a', 4, 0, 0, 0,     // data chunk
        0, 0, 0, 0x3F,                      // 0.5
    };
    EXPECT_EQ(floatWavBytes(file), expected);
    const FloatWavBytes checked = floatWavFile(file);
    EXPECT_EQ(checked.bytes, expected);
    EXPECT_TRUE(checked.error.empty());
}

TEST(SampleFile, FloatFilesReadBackWithTheirSweep) {
    SampleFile file;
    file.rateHz = 44100;
    file.channels = {{0.0, 0.125, -0.75, 1.5}};
    file.hasSweep = true;
    file.sweep = {20.0, 20000.0, 10.0, -1.0, 25.0};
    const std::string path = TempPath("sweep.wav");
    WriteBytes(path, floatWavBytes(file));
    const SampleFile back = readSampleFile(path);
    ASSERT_TRUE(back.error.empty()) << back.error;
    EXPECT_EQ(back.rateHz, 44100);
    EXPECT_EQ(back.channels, file.channels);
    ASSERT_TRUE(back.hasSweep);
    EXPECT_EQ(back.sweep.toHz, 20000.0);
    EXPECT_EQ(back.sweep.fadeMs, 25.0);
    std::remove(path.c_str());
}

// PCM of each width, the extensible record's valid bits, and float 64.
TEST(SampleFile, ReadsPcmAndFloatWidths) {
    const std::vector<uint8_t> head = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    struct Case {
        const char* name;
        std::vector<uint8_t> fmt;   // the format record
        std::vector<uint8_t> data;  // two mono samples
        double first, second;
    } cases[] = {
        {"8-bit", {1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x44, 0xAC, 0, 0, 1, 0, 8, 0}, {0xC0, 0x00}, 0.5, -1.0},
        {"16-bit", {1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 1, 0, 2, 0, 16, 0}, {0x00, 0x40, 0x00, 0x80}, 0.5, -1.0},
        {"24-bit", {1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0xCC, 0x04, 2, 0, 3, 0, 24, 0}, {0, 0, 0xC0, 1, 0, 0}, -0.5, 1.0 / 8388608},
        {"20 valid bits in 24",
         {0xFE, 0xFF, 1, 0, 0x44, 0xAC, 0, 0, 0xCC, 0x04, 2, 0, 3, 0, 24, 0, 22, 0, 20, 0, 4, 0, 0, 0,
          1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71},
         {0x0F, 0, 0x40, 0x0F, 0, 0xC0}, 0.5, -0.5},
        {"float 64", {3, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x20, 0x62, 5, 0, 8, 0, 64, 0},
         {0, 0, 0, 0, 0, 0, 0xD0, 0x3F, 0, 0, 0, 0, 0, 0, 0xF8, 0x7F}, 0.25, 0.0},  // NaN reads as silence
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = head;
        bytes.insert(bytes.end(), {'f', 'm', 't', ' ', static_cast<uint8_t>(c.fmt.size()), 0, 0, 0});
        bytes.insert(bytes.end(), c.fmt.begin(), c.fmt.end());
        bytes.insert(bytes.end(), {'d', 'a', 't', 'a', static_cast<uint8_t>(c.data.size()), 0, 0, 0});
        bytes.insert(bytes.end(), c.data.begin(), c.data.end());
        const std::string path = TempPath("pcm.wav");
        WriteBytes(path, bytes);
        const SampleFile file = readSampleFile(path);
        ASSERT_TRUE(file.error.empty()) << c.name << ": " << file.error;
        ASSERT_EQ(file.frames(), 2u) << c.name;
        EXPECT_EQ(file.channels[0][0], c.first) << c.name;
        EXPECT_EQ(file.channels[0][1], c.second) << c.name;
        EXPECT_FALSE(file.hasSweep);
        std::remove(path.c_str());
    }
}

TEST(SampleFile, RefusesWhatItCannotMeasure) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"not RIFF", {'R', 'I', 'F', 'X', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}},
        {"no data", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                     1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 1, 0, 2, 0, 16, 0}},
        {"A-law", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                   6, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x44, 0xAC, 0, 0, 1, 0, 8, 0, 'd', 'a', 't', 'a', 1, 0, 0, 0, 0x55}},
        {"a chunk claiming 4 GiB", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E', 'j', 'u', 'n', 'k', 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        const std::string path = TempPath("bad.wav");
        WriteBytes(path, c.bytes);
        EXPECT_FALSE(readSampleFile(path).error.empty()) << c.name;
        std::remove(path.c_str());
    }
    EXPECT_FALSE(readSampleFile(TempPath("missing.wav")).error.empty());
}

// Every truncation and every byte of a sweep file set to 0x00 and to 0xFF
// (the sanitizer builds watch each read) gives a file or a reason.
TEST(SampleFile, SurvivesEveryTruncationAndCorruptedByte) {
    SampleFile file;
    file.rateHz = 8000;
    file.channels = {{0.0, 0.5, -0.5, 0.25}, {1.0, -1.0, 0.0, 0.125}};
    file.hasSweep = true;
    file.sweep = {20.0, 2000.0, 1.0, -1.0, 0.0};
    const std::vector<uint8_t> whole = floatWavBytes(file);
    const std::string path = TempPath("damaged.wav");
    auto parse = [&](const std::vector<uint8_t>& bytes) {
        WriteBytes(path, bytes);
        const SampleFile out = readSampleFile(path);
        if (out.error.empty()) {
            for (const std::vector<double>& channel : out.channels)
                EXPECT_EQ(channel.size(), out.frames());
        }
    };
    for (size_t size = 0; size < whole.size(); ++size)
        parse(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)));
    for (size_t at = 0; at < whole.size(); ++at)
        for (uint8_t value : {uint8_t{0}, uint8_t{0xFF}}) {
            std::vector<uint8_t> bytes = whole;
            bytes[at] = value;
            parse(bytes);
        }
    std::remove(path.c_str());
}

}  // namespace
}  // namespace zelvaro
