#include "wavefile/wav_file_sink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "wavefile/wav_file.h"
#include "wavefile/wav_test_support.h"

namespace zelvaro {
namespace {

using test::Bytes;
using test::get16;
using test::get32;

constexpr uint32_t kDataSizeAt = 42;
constexpr uint32_t kRiffSizeAt = 4;

class WavFileSinkTest : public ::testing::Test {
protected:
    std::string path(const char* name = "out.wav") const { return dir.path(name); }
    SoundSinkRef make(int bits, uint8_t channels, int startFrame = 0, int32_t rate = 44100) {
        return createWavSink(path().c_str(), rate, startFrame, static_cast<uint16_t>(bits), channels);
    }
    // Writes `frames` frames of a counting ramp in blocks of up to 8192 frames.
    static void writeRamp(SoundSink& sink, int frames, int32_t step = 16) {
        std::vector<int32_t> block(static_cast<size_t>(kMaxBlockFrames) * sink.channels);
        int32_t v = 0;
        for (int done = 0; done < frames;) {
            int n = std::min(kMaxBlockFrames, frames - done);
            for (size_t i = 0; i < static_cast<size_t>(n) * sink.channels; ++i, v += step) block[i] = v;
            sink.write(block.data(), n);
            done += n;
        }
    }
    test::TempDir dir;
};

TEST_F(WavFileSinkTest, EmptyStereo16BitFileHasTheExactHeader) {
    make(16, 2).release();
    const Bytes expected = {
        'R', 'I', 'F', 'F', 38,   0,    0, 0,  // RIFF size: data size + 38
        'W', 'A', 'V', 'E',                    // form type
        'f', 'm', 't', ' ', 18,   0,    0, 0,  // format chunk size: the extended record
        1,   0,                                // format tag: PCM
        2,   0,                                // channels
        0x44, 0xAC, 0, 0,                      // sample rate: 44100
        0x10, 0xB1, 2, 0,                      // bytes per second: 176400
        4,   0,                                // block align
        16,  0,                                // bits per sample
        0,   0,                                // extra format bytes
        'd', 'a', 't', 'a', 0,    0,    0, 0,  // data size: nothing written
    };
    EXPECT_EQ(test::readFile(path()), expected);
}

TEST_F(WavFileSinkTest, HeaderIsProvisionalWhileOpenAndFinalAfterRelease) {
    SoundSinkRef sink = make(16, 1);
    writeRamp(*sink.get(), 1000);
    // Still the header of the constructor: 32 seconds ahead of nothing.
    EXPECT_EQ(get32(test::readHead(path(), 46), kDataSizeAt), 2822400u);
    sink->truncate(1000);  // rewrites the provisional header without cutting
    Bytes head = test::readHead(path(), 46);
    EXPECT_EQ(get32(head, kDataSizeAt), 2824400u);  // (1000 + 44100 * 32) * 2
    EXPECT_EQ(get32(head, kRiffSizeAt), 2824438u);
    EXPECT_EQ(test::readFile(path()).size(), 46u + 2000u);
    sink.release();
    Bytes file = test::readFile(path());
    ASSERT_EQ(file.size(), 2046u);
    EXPECT_EQ(get32(file, kDataSizeAt), 2000u);
    EXPECT_EQ(get32(file, kRiffSizeAt), 2038u);
}

TEST_F(WavFileSinkTest, SampleValuesPerWidth) {
    struct Row {
        int bits;
        std::vector<int32_t> in;
        Bytes data;
    };
    const Row rows[] = {
        {8, {0, 2048, 1023, 1024}, {128, 129, 128, 129}},
        {16, {7, 8, -8, -9}, {0, 0, 1, 0, 0, 0, 0xFF, 0xFF}},
        {32, {1, -1}, {0x00, 0x10, 0, 0, 0x00, 0xF0, 0xFF, 0xFF}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.bits);
        SoundSinkRef sink = make(r.bits, 1);
        EXPECT_EQ(static_cast<WavFileSink*>(sink.get())->bytesPerSample, r.bits / 8);
        sink->write(r.in.data(), static_cast<int>(r.in.size()));
        sink.release();
        Bytes file = test::readFile(path());
        EXPECT_EQ(Bytes(file.begin() + 46, file.end()), r.data);
        EXPECT_EQ(get16(file, 34), r.bits);
    }
}

TEST_F(WavFileSinkTest, WidthAndPeakFollowTheRequestedBits) {
    struct Row {
        uint16_t bits;
        int bytesPerSample;
        int32_t peak;
    };
    const Row rows[] = {{1, 1, 260096}, {8, 1, 260096}, {9, 2, 524272}, {12, 2, 524272},
                        {16, 2, 524272}, {17, 4, 524272}, {24, 4, 524272}, {32, 4, 524272}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.bits);
        SoundSinkRef sink = make(r.bits, 2);
        auto* wav = static_cast<WavFileSink*>(sink.get());
        EXPECT_EQ(wav->bytesPerSample, r.bytesPerSample);
        EXPECT_EQ(sink->peakLevel, r.peak);
        EXPECT_EQ(wav->conversionBuffer.size(), 2u * 8192u * r.bytesPerSample);
    }
}

TEST_F(WavFileSinkTest, SinkThatCannotOpenItsFileCountsFramesAndLeavesNoFile) {
    std::string missing = dir.path("no-such-folder/out.wav");
    SoundSinkRef sink = createWavSink(missing.c_str(), 44100, 0, 16, 1);
    ASSERT_TRUE(sink);
    EXPECT_TRUE(sink->failed());
    EXPECT_FALSE(sink.usable());
    int32_t block[10] = {};
    sink->write(block, 10);
    sink->write(block, 5);
    EXPECT_EQ(sink->framesWritten, 15);
    sink.release();
    EXPECT_FALSE(test::fileExists(missing));
}

TEST_F(WavFileSinkTest, StartFrameKeepsOrCutsAnExistingFile) {
    {
        SoundSinkRef first = make(16, 2);
        writeRamp(*first.get(), 10);
    }
    const Bytes before = test::readFile(path());
    ASSERT_EQ(before.size(), 46u + 40u);

    SoundSinkRef keep = make(16, 2, 4);
    EXPECT_EQ(keep->framesWritten, 4);
    EXPECT_EQ(test::readFile(path()).size(), 46u + 16u);  // cut after 4 frames at once
    int32_t more[4] = {16, 32, 48, 64};
    keep->write(more, 2);
    keep.release();
    Bytes after = test::readFile(path());
    ASSERT_EQ(after.size(), 46u + 24u);
    EXPECT_EQ(get32(after, kDataSizeAt), 24u);
    EXPECT_TRUE(std::equal(before.begin() + 46, before.begin() + 62, after.begin() + 46));  // first 4 frames kept
    EXPECT_EQ(get16(after, 62), 1);  // then the new frames
    EXPECT_EQ(get16(after, 68), 4);

    for (int start : {0, -3}) {
        SCOPED_TRACE(start);
        SoundSinkRef cut = make(16, 2, start);
        EXPECT_EQ(cut->framesWritten, 0);
        EXPECT_EQ(test::readFile(path()).size(), 46u);  // before any write
    }
}

TEST_F(WavFileSinkTest, TruncateCutsBackOnlyAndWritingContinuesAtTheCut) {
    SoundSinkRef sink = make(16, 2);
    writeRamp(*sink.get(), 100);
    sink->truncate(200);
    EXPECT_EQ(sink->framesWritten, 100);
    EXPECT_EQ(test::readFile(path()).size(), 46u + 400u);

    sink->truncate(40);
    EXPECT_EQ(sink->framesWritten, 40);
    Bytes file = test::readFile(path());
    EXPECT_EQ(file.size(), 46u + 160u);
    EXPECT_EQ(get32(file, kDataSizeAt), (40u + 44100u * 32u) * 4u);  // provisional

    int32_t next[2] = {160000, -160000};
    sink->write(next, 1);
    file = test::readFile(path());
    ASSERT_EQ(file.size(), 46u + 164u);
    EXPECT_EQ(get16(file, 46 + 160), 10000);

    sink->truncate(-5);
    EXPECT_EQ(sink->framesWritten, 0);
    EXPECT_EQ(test::readFile(path()).size(), 46u);
    sink.release();
    EXPECT_EQ(get32(test::readFile(path()), kDataSizeAt), 0u);
}

// The provisional header on disk changes only when it is refreshed.
TEST_F(WavFileSinkTest, TwentySecondsRefreshTheHeaderOnceAfterSixteen) {
    SoundSinkRef sink = make(16, 1);
    std::vector<int32_t> block(kMaxBlockFrames, 0);
    const int total = 20 * 44100;
    std::vector<int> refreshedAfter;
    uint32_t lastSize = get32(test::readHead(path(), 46), kDataSizeAt);
    EXPECT_EQ(lastSize, 44100u * 32u * 2u);
    for (int done = 0; done < total;) {
        int n = std::min(kMaxBlockFrames, total - done);
        sink->write(block.data(), n);
        done += n;
        uint32_t size = get32(test::readHead(path(), 46), kDataSizeAt);
        if (size != lastSize) refreshedAfter.push_back(done);
        lastSize = size;
    }
    // Block 87 is the first to take the count past 16 * 44100 = 705600 frames.
    ASSERT_EQ(refreshedAfter, std::vector<int>{87 * 8192});
    EXPECT_EQ(lastSize, (87u * 8192u + 44100u * 32u) * 2u);
}

// The header is rewritten once the countdown of sampleRate * 16 frames goes
// below 0, not when it reaches 0: at 512 frames per second that is after
// 8193 frames, however they are split into writes.
TEST_F(WavFileSinkTest, HeaderRefreshWaitsForTheCountdownToGoBelowZero) {
    struct Row {
        const char* name;
        std::vector<int> writes;
        int refreshedAfterWrite;  // 1-based; 0 for none
    };
    const Row rows[] = {
        {"one full block leaves the countdown at 0", {8192}, 0},
        {"one more frame takes it below", {8192, 1}, 2},
        {"a block short, then single frames", {8191, 1, 1}, 3},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        SoundSinkRef sink = make(16, 1, 0, 512);
        uint32_t lastSize = get32(test::readHead(path(), 46), kDataSizeAt);
        ASSERT_EQ(lastSize, 512u * 32u * 2u);
        int refreshedAfter = 0;
        int done = 0;
        for (size_t i = 0; i < r.writes.size(); ++i) {
            writeRamp(*sink.get(), r.writes[i]);
            done += r.writes[i];
            uint32_t size = get32(test::readHead(path(), 46), kDataSizeAt);
            if (size != lastSize) {
                EXPECT_EQ(refreshedAfter, 0) << "refreshed twice";
                refreshedAfter = static_cast<int>(i) + 1;
                EXPECT_EQ(size, (static_cast<uint32_t>(done) + 512u * 32u) * 2u);
            }
            lastSize = size;
        }
        EXPECT_EQ(refreshedAfter, r.refreshedAfterWrite);
    }
}

// A write that runs past the int32 frame count writes the part that fits and
// counts only that, so the final header still describes the data present.
TEST_F(WavFileSinkTest, WritePastTheCapacityKeepsTheFramesThatFit) {
    constexpr int kStart = 0x7FFFFFF0;  // 15 frames below the 8-bit mono limit
    SoundSinkRef sink = make(8, 1, kStart);  // the file is extended (sparsely) to its start frame
    std::vector<int32_t> block(100, 2048);  // written as 129
    sink->write(block.data(), 100);
    EXPECT_EQ(sink->framesWritten, 0x7FFFFFFF);
    EXPECT_TRUE(sink->writeError());
    sink->write(block.data(), 100);  // nothing more fits
    EXPECT_EQ(sink->framesWritten, 0x7FFFFFFF);
    EXPECT_EQ(sink->framesLeft(), 0);
    sink.release();

    const uint64_t size = std::filesystem::file_size(path());
    ASSERT_EQ(size, 46u + 0x7FFFFFFFu);
    EXPECT_EQ(get32(test::readHead(path(), 46), kDataSizeAt), size - 46);
    std::ifstream in(path(), std::ios::binary);
    in.seekg(static_cast<std::streamoff>(size - 16));
    char tail[16] = {};
    in.read(tail, 16);
    in.close();  // Windows will not remove a file that is still open
    EXPECT_EQ(static_cast<uint8_t>(tail[0]), 0u);  // the last frame kept from before
    for (int i = 1; i < 16; ++i) EXPECT_EQ(static_cast<uint8_t>(tail[i]), 129u) << i;
    std::error_code ignored;
    std::filesystem::remove(path(), ignored);
}

TEST_F(WavFileSinkTest, FramesLeftStopsBeforeTheFourGigabyteLimit) {
    SoundSinkRef sink = make(16, 2);
    EXPECT_EQ(sink->framesLeft(), (0xFFFFFFFFll - 46) / 4);
    writeRamp(*sink.get(), 10);
    EXPECT_EQ(sink->framesLeft(), (0xFFFFFFFFll - 46) / 4 - 10);
    SoundSinkRef mono8 = createWavSink(dir.path("m8.wav").c_str(), 44100, 0, 8, 1);
    EXPECT_EQ(mono8->framesLeft(), 0x7FFFFFFF);  // frame counts are int
}

TEST_F(WavFileSinkTest, FinishWritesTheFinalHeaderAndReportsSuccess) {
    SoundSinkRef sink = make(16, 1);
    writeRamp(*sink.get(), 10);
    EXPECT_TRUE(sink->finish());
    EXPECT_FALSE(sink->writeError());
    EXPECT_EQ(get32(test::readFile(path()), kDataSizeAt), 20u);
    writeRamp(*sink.get(), 10);  // no file any more: nothing changes on disk
    sink.release();
    EXPECT_EQ(test::readFile(path()).size(), 66u);
}

#ifndef _WIN32
TEST_F(WavFileSinkTest, FullDiskIsReportedAsWriteErrorButADeviceIsNot) {
    if (!test::fileExists("/dev/full") || !test::fileExists("/dev/null")) GTEST_SKIP() << "no /dev/full or /dev/null";
    SoundSinkRef full = createWavSink("/dev/full", 44100, 0, 16, 1);
    ASSERT_TRUE(full.usable());
    writeRamp(*full.get(), 100);
    EXPECT_TRUE(full->writeError());
    EXPECT_EQ(full->systemError, ENOSPC);
    EXPECT_FALSE(full->finish());

    // Nothing to cut or sync on /dev/null: that is no error.
    SoundSinkRef null = createWavSink("/dev/null", 44100, 0, 16, 1);
    writeRamp(*null.get(), 20 * 44100);
    EXPECT_TRUE(null->finish());
}

// A pipe cannot seek back to the header: it gets one header before the data,
// with the length when the sink was told it, else with the sizes of a stream
// of unknown length; the 16-second refresh is left out.
TEST_F(WavFileSinkTest, OutputThatCannotSeekGetsOneHeaderBeforeTheData) {
    struct Row {
        const char* name;
        int64_t told;  // -1: expectFrames is not called
        int frames;
        uint32_t riffSize;
        uint32_t dataSize;
    };
    const Row rows[] = {
        {"length told", 2000, 2000, 2038, 2000},
        {"length unknown", -1, 2000, 0xFFFFFFFF, 0xFFFFFFFF},
        {"nothing written", -1, 0, 38, 0},
        {"empty length told", 0, 0, 38, 0},
    };
    int n = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string fifo = path(("pipe" + std::to_string(n++)).c_str());
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        // Rate 64: the refresh countdown of 1024 frames runs out within 2000 frames.
        SoundSinkRef sink = createWavSink(fifo.c_str(), 64, 0, 8, 1);
        ASSERT_TRUE(sink.usable());
        if (r.told >= 0) sink->expectFrames(r.told);
        writeRamp(*sink.get(), r.frames, 2048);
        EXPECT_TRUE(sink->finish());
        sink.release();
        Bytes got;
        uint8_t buffer[4096];
        for (ssize_t k; (k = ::read(reader, buffer, sizeof buffer)) > 0;) got.insert(got.end(), buffer, buffer + k);
        ::close(reader);
        ASSERT_EQ(got.size(), 46u + static_cast<size_t>(r.frames));
        EXPECT_EQ(get32(got, kRiffSizeAt), r.riffSize);
        EXPECT_EQ(get32(got, kDataSizeAt), r.dataSize);
        if (r.frames > 1) {
            EXPECT_EQ(got[46], 128);  // the data follows at once
            EXPECT_EQ(got[47], 129);
        }
    }
}
#endif

}  // namespace
}  // namespace zelvaro
