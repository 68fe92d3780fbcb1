#include "wavefile/wav_file_source.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "wavefile/wav_file.h"
#include "wavefile/wav_test_support.h"

namespace zelvaro {
namespace {

using test::Bytes;

// A 16-bit mono file whose sample i holds i + 1 (so data reads as (i + 1) * 16
// and silence is told apart from the first sample).
class WavFileSourceTest : public ::testing::Test {
protected:
    SoundSourceRef openCounting(int frames, int64_t sizeField = -1, uint16_t channels = 1) {
        Bytes data;
        for (int i = 0; i < frames * channels; ++i) test::put16(data, static_cast<uint32_t>(i + 1));
        test::writeFile(path, test::riffWave(test::concat(
                                  {test::chunk("fmt ", test::pcmFormat(channels, 8000, 16)),
                                   test::chunk("data", data, sizeField)})));
        return openWavSource(path.c_str());
    }
    static std::vector<int32_t> read(SoundSource& s, int frames) {
        std::vector<int32_t> out(static_cast<size_t>(frames) * s.channels, 0x5A5A5A5A);
        s.read(out.data(), frames);
        return out;
    }
    test::TempDir dir;
    std::string path = dir.path("in.wav");
};

TEST_F(WavFileSourceTest, BlockStartingBeforeFrameZeroIsSilentUpToIt) {
    SoundSourceRef s = openCounting(500);
    ASSERT_TRUE(s.usable());
    EXPECT_EQ(s->length(), 500);
    s->seek(-100);
    EXPECT_EQ(s->position(), -100);
    std::vector<int32_t> got = read(*s.get(), 300);
    EXPECT_EQ(s->position(), 200);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(got[i], 0) << i;
    for (int i = 0; i < 200; ++i) ASSERT_EQ(got[100 + i], (i + 1) * 16) << i;
    // A block that ends at or before frame 0 is all silence.
    s->seek(-50);
    got = read(*s.get(), 50);
    EXPECT_EQ(got, std::vector<int32_t>(50, 0));
}

TEST_F(WavFileSourceTest, ReadingPastTheEndGivesZerosAndKeepsCounting) {
    SoundSourceRef s = openCounting(10);
    std::vector<int32_t> got = read(*s.get(), 16);
    EXPECT_EQ(s->position(), 16);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(got[i], (i + 1) * 16);
    for (int i = 10; i < 16; ++i) EXPECT_EQ(got[i], 0);
    EXPECT_EQ(read(*s.get(), 4), std::vector<int32_t>(4, 0));
    EXPECT_EQ(s->position(), 20);
    EXPECT_EQ(s->length(), 10);
}

TEST_F(WavFileSourceTest, SeekBeyondTheEndKeepsThePositionAndReadsSilence) {
    SoundSourceRef s = openCounting(10);
    s->seek(25);
    EXPECT_EQ(s->position(), 25);
    EXPECT_EQ(read(*s.get(), 5), std::vector<int32_t>(5, 0));
    EXPECT_EQ(s->position(), 30);
    s->seek(7);
    std::vector<int32_t> got = read(*s.get(), 3);
    EXPECT_EQ(got, (std::vector<int32_t>{128, 144, 160}));
}

TEST_F(WavFileSourceTest, DataSizeBeyondTheFileIsClampedToWholeFramesPresent) {
    struct Row {
        const char* name;
        int64_t sizeField;
        uint16_t channels;
        int frames;
        int expectedLength;
    };
    const Row rows[] = {
        {"all bits set", 0xFFFFFFFF, 1, 10, 10},
        {"provisional size of a writer", 10 * 2 + 44100 * 64, 1, 10, 10},
        {"stereo, claims more", 4000, 2, 7, 7},
        {"smaller than the file", 6, 1, 10, 3},
        {"zero", 0, 1, 10, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        SoundSourceRef s = openCounting(r.frames, r.sizeField, r.channels);
        ASSERT_TRUE(s.usable());
        EXPECT_EQ(s->length(), r.expectedLength);
    }
    // An odd trailing byte after stereo frames does not make a frame.
    Bytes file = test::riffWave(test::concat(
        {test::chunk("fmt ", test::pcmFormat(2, 8000, 16)), test::chunk("data", Bytes(4 * 5 + 3, 0), 0xFFFFFFFF)}));
    file.pop_back();  // drop the pad byte too: 5 frames and 3 bytes remain
    test::writeFile(path, file);
    EXPECT_EQ(openWavSource(path.c_str())->length(), 5);
}

// A recording that ran past 4 GiB: the data size says what 32 bits can, and
// the file's full size (not its low 32 bits) decides how much of it is there.
TEST_F(WavFileSourceTest, FileLargerThan4GiBKeepsTheLengthItsSizeFieldStates) {
    ASSERT_TRUE(openCounting(10, 0xFFFFFFF0).usable());
    std::error_code error;
    std::filesystem::resize_file(path, (uint64_t{1} << 32) + 1000, error);  // sparse: no disk taken
    if (error) GTEST_SKIP() << "cannot make a file past 4 GiB here: " << error.message();
    SoundSourceRef s = openWavSource(path.c_str());
    ASSERT_TRUE(s.usable());
    EXPECT_EQ(s->length(), 0x7FFFFFF8);  // 0xFFFFFFF0 bytes of 16-bit mono
    EXPECT_EQ(read(*s.get(), 3), (std::vector<int32_t>{16, 32, 48}));
    s = SoundSourceRef();
    std::filesystem::remove(path, error);
}

// Block size must not matter.
TEST_F(WavFileSourceTest, WholeReadEqualsFrameByFrameAndOddBlocks) {
    SoundSourceRef whole = openCounting(1000, -1, 2);
    std::vector<int32_t> expected = read(*whole.get(), 1000);
    for (int block : {1, 7, 333}) {
        SCOPED_TRACE(block);
        SoundSourceRef s = openWavSource(path.c_str());
        std::vector<int32_t> got;
        for (int done = 0; done < 1000; done += block) {
            std::vector<int32_t> part = read(*s.get(), std::min(block, 1000 - done));
            got.insert(got.end(), part.begin(), part.end());
        }
        EXPECT_EQ(got, expected);
    }
}

TEST_F(WavFileSourceTest, LengthFollowsAFileThatIsStillBeingWritten) {
    SoundSinkRef sink = createWavSink(path.c_str(), 44100, 0, 16, 1);
    std::vector<int32_t> block(kMaxBlockFrames);
    for (int i = 0; i < kMaxBlockFrames; ++i) block[i] = i * 16;
    sink->write(block.data(), kMaxBlockFrames);

    SoundSourceRef s = openWavSource(path.c_str());
    ASSERT_TRUE(s.usable());
    EXPECT_EQ(s->length(), kMaxBlockFrames);  // the provisional size is clamped to the file
    std::vector<int32_t> got = read(*s.get(), kMaxBlockFrames);
    EXPECT_EQ(got, block);

    for (int i = 0; i < kMaxBlockFrames; ++i) block[i] = -i * 16;
    sink->write(block.data(), 100);
    EXPECT_EQ(s->length(), kMaxBlockFrames + 100);  // at the end: re-read
    got = read(*s.get(), 200);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(got[i], -i * 16) << i;
    for (int i = 100; i < 200; ++i) ASSERT_EQ(got[i], 0) << i;
}

// Extremes and their neighbours survive a write and read through each width.
TEST_F(WavFileSourceTest, ExtremesRoundTripThroughEveryWidth) {
    struct Row {
        int bits;
        int32_t step;
        int32_t low;
        int32_t high;
    };
    // A 32-bit file is read back no higher than the declared peak.
    const Row rows[] = {{8, 2048, -262144, 260096}, {16, 16, -524288, 524272}, {32, 1, -524288, 524272}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.bits);
        const std::vector<int32_t> values = {r.low, r.low + r.step, -r.step, 0, r.step, r.high - r.step, r.high};
        {
            SoundSinkRef sink = createWavSink(path.c_str(), 22050, 0, static_cast<uint16_t>(r.bits), 1);
            sink->write(values.data(), static_cast<int>(values.size()));
        }
        WaveFormat format;
        SoundSourceRef s = openWavSource(path.c_str(), &format);
        ASSERT_TRUE(s.usable());
        EXPECT_EQ(format.bitsPerSample, r.bits);
        EXPECT_EQ(s->sampleRate, 22050);
        EXPECT_EQ(s->peakLevel, r.bits == 8 ? 260096 : 524272);
        EXPECT_EQ(read(*s.get(), static_cast<int>(values.size())), values);
    }
}

// Data of up to 4 GiB can start 2 GiB into a file (behind a large chunk), so
// a frame's byte offset can pass 4 GiB: the seek must reach it exactly. The
// file is sparse: only its header and one sample are written.
TEST_F(WavFileSourceTest, SeekPastFourGibibytesReachesTheFrameExactly) {
    constexpr uint32_t kJunkBytes = 0x7FFFFFFE;  // the largest chunk a walk skips
    const Bytes head = test::riffWave(test::concat({test::chunk("fmt ", test::pcmFormat(1, 8000, 16)),
                                                    test::chunk("JUNK", {}, kJunkBytes)}));
    // The data chunk's header follows the junk; its size is that of a stream.
    Bytes dataHead;
    test::putId(dataHead, "data");
    test::put32(dataHead, 0xFFFFFFFFu);
    const uint64_t dataStart = head.size() + uint64_t{kJunkBytes} + dataHead.size();
    constexpr int kFrame = 0x50000000;
    const uint64_t sampleAt = dataStart + 2 * uint64_t{kFrame};
    ASSERT_GT(sampleAt, uint64_t{0xFFFFFFFF});
    test::writeFile(path, head);
    std::error_code error;
    std::filesystem::resize_file(path, sampleAt + 16, error);
    if (error) GTEST_SKIP() << "no sparse file of 4.5 GiB here: " << error.message();
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(head.size() + kJunkBytes));
        f.write(reinterpret_cast<const char*>(dataHead.data()), static_cast<std::streamsize>(dataHead.size()));
        f.seekp(static_cast<std::streamoff>(sampleAt));
        const char sample[2] = {0x34, 0x12};
        f.write(sample, 2);
        ASSERT_TRUE(f.good());
    }
    SoundSourceRef s = openWavSource(path.c_str());
    ASSERT_TRUE(s.usable());
    ASSERT_GT(s->length(), kFrame);
    for (int frame : {kFrame, kFrame - 1, kFrame + 1}) {
        SCOPED_TRACE(frame);
        s->seek(frame);
        EXPECT_EQ(read(*s.get(), 1)[0], frame == kFrame ? 0x1234 * 16 : 0);
    }
    std::filesystem::remove(path, error);
}

}  // namespace
}  // namespace zelvaro
