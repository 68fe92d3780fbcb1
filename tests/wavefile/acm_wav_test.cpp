// The compressed WAV classes against a scripted block codec: buffering, the
// order of the codec calls, lengths, seeking, the file layout, and faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "wavefile/acm_format_choice.h"
#include "wavefile/acm_wav_sink.h"
#include "wavefile/acm_wav_source.h"
#include "wavefile/file_stream.h"
#include "wavefile/scripted_acm.h"
#include "wavefile/wav_test_support.h"

namespace zelvaro {
namespace {

using test::Bytes;

// 505 frames per block, as a common ADPCM layout: the byte rate in the
// record (8000 * 1012 / 505 = 16031.68, stored as 16031) is not exact, so a
// position worked out from it lands a frame away from the true one.
constexpr uint16_t kBlockFrames = 505;

// Frame i, channel c: distinct and never 0, so silence shows.
int16_t sampleAt(int i, int c) { return static_cast<int16_t>(((i * 37 + c * 5000) % 30000) - 15000 + (i % 2 ? 0 : 1)); }

std::vector<int16_t> signal(int frames, int channels) {
    std::vector<int16_t> s;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) s.push_back(sampleAt(i, c) == 0 ? 1 : sampleAt(i, c));
    return s;
}

std::vector<int32_t> scaled(const std::vector<int16_t>& s, size_t from, size_t count) {
    std::vector<int32_t> out(count, 0);
    for (size_t i = 0; i < count && from + i < s.size(); ++i) out[i] = s[from + i] * 16;
    return out;
}

class AcmWavSourceTest : public ::testing::Test {
protected:
    // A file holding `frames` frames in whole blocks; `dataSize` overrides
    // the data chunk's size field, `cut` drops bytes from the file's end and
    // `trailing` adds bytes after the data chunk; `growTo` then extends the
    // file (sparsely) to that size. A `byteRate` replaces the record's.
    SoundSourceRef open(int frames, int channels = 1, int64_t dataSize = -1, size_t cut = 0, Bytes trailing = {},
                        uint64_t growTo = 0, int64_t byteRate = -1) {
        format = test::scriptedFormat(static_cast<uint16_t>(channels), rate, blockFrames);
        if (byteRate >= 0) {
            for (int i = 0; i < 4; ++i) format.raw[8 + i] = static_cast<uint8_t>(byteRate >> (8 * i));
            format = parseWaveFormat(format.raw.data(), format.raw.size());
        }
        pcm = signal(frames, channels);
        Bytes data = test::scriptedEncode(pcm, static_cast<uint16_t>(channels), blockFrames);
        Bytes file = test::riffWave(test::concat({test::chunk("fmt ", format.raw), test::chunk("data", data, dataSize), trailing}));
        file.resize(file.size() - cut);
        test::writeFile(path, file);
        if (growTo > 0) std::filesystem::resize_file(path, growTo);
        FileStream f = FileStream::openForReading(path.c_str());
        f.seekTo(48);  // 12 + 8 + 20 (format) + 8
        return SoundSourceRef(new AcmWavSource(acm, std::move(f), format, dataSize >= 0 ? static_cast<uint32_t>(dataSize)
                                                                                         : static_cast<uint32_t>(data.size())));
    }
    static std::vector<int32_t> read(SoundSource& s, int frames) {
        std::vector<int32_t> out(static_cast<size_t>(frames) * s.channels, 0x5A5A5A5A);
        s.read(out.data(), frames);
        return out;
    }
    // Reads `total` frames in blocks of `block`.
    static std::vector<int32_t> readAll(SoundSource& s, int total, int block) {
        std::vector<int32_t> all;
        for (int done = 0; done < total; done += block) {
            std::vector<int32_t> got = read(s, std::min(block, total - done));
            all.insert(all.end(), got.begin(), got.end());
        }
        return all;
    }
    test::ScriptedAcm acm;
    uint32_t rate = 8000;
    uint16_t blockFrames = kBlockFrames;
    WaveFormat format;
    std::vector<int16_t> pcm;
    test::TempDir dir;
    std::string path = dir.path("in.wav");
};

TEST_F(AcmWavSourceTest, BlockSizeDoesNotMatterAndTheEndIsExact) {
    const int frames = 20 * kBlockFrames;  // 10,100 frames: more than one buffer of 8,192
    for (int channels : {1, 2}) {
        for (int block : {1, 7, 8192}) {
            SCOPED_TRACE("channels " + std::to_string(channels) + ", blocks of " + std::to_string(block));
            SoundSourceRef s = open(frames, channels);
            ASSERT_TRUE(s.usable());
            EXPECT_EQ(s->sampleRate, 8000);
            EXPECT_EQ(s->peakLevel, 524272);
            // Estimated from whole blocks: 20 of them.
            EXPECT_EQ(s->length(), 10100);
            std::vector<int32_t> got = readAll(*s.get(), frames + 300, block);
            std::vector<int32_t> want = scaled(pcm, 0, got.size());
            ASSERT_EQ(got, want);
            EXPECT_EQ(s->position(), frames + 300);
            EXPECT_EQ(s->length(), frames);
        }
    }
    EXPECT_TRUE(acm.faults.empty()) << acm.faults.front();
    EXPECT_EQ(acm.openStreams, 0);
}

TEST_F(AcmWavSourceTest, CallsComeInTheirOrder) {
    {
        SoundSourceRef s = open(3 * kBlockFrames);
        read(*s.get(), 10);
        s->seek(0);
    }
    const std::vector<std::string> want = {
        "open 0",
        "size destination 16384",  // PCM for 8192 frames -> compressed bytes
        "prepare",
        "size source 1012",  // one block, and two: frames per block
        "size source 2024",
        "convert end 3036",  // the data (3 blocks) is less than a buffer: the end
        "convert start 0",
        "unprepare",
        "close",
    };
    EXPECT_EQ(acm.log, want);
    EXPECT_TRUE(acm.faults.empty());
}

TEST_F(AcmWavSourceTest, SeekLandsOnTheFrameAskedFor) {
    const int frames = 60 * kBlockFrames;
    SoundSourceRef s = open(frames);
    ASSERT_TRUE(s.usable());
    // Within the first block, on block edges, one off them, deep inside,
    // then backwards. From block 47 (frame 23,735) on, the byte rate alone
    // would put the block's start a frame early.
    for (int target : {0, 1, 504, 505, 506, 10100, 23734, 23735, 23736, 30000, 3, 30299}) {
        SCOPED_TRACE(target);
        s->seek(target);
        EXPECT_EQ(s->position(), target);
        ASSERT_EQ(read(*s.get(), 100), scaled(pcm, static_cast<size_t>(target), 100));
    }
    // After a seek, reading on across buffer edges stays in step.
    s->seek(777);
    ASSERT_EQ(readAll(*s.get(), 9000, 8192), scaled(pcm, 777, 9000));
    EXPECT_TRUE(acm.faults.empty());
}

TEST_F(AcmWavSourceTest, SeekWithoutByteRateOrBlockSizeDecodesFromTheStart) {
    // A record with no byte rate, from a codec that does not say what a
    // block decodes to: no frame maps to a byte.
    acm.decodedSizeUnknown = true;
    const int frames = 60 * kBlockFrames;
    SoundSourceRef s = open(frames, 1, -1, 0, {}, 0, /*byteRate=*/0);
    ASSERT_TRUE(s.usable());
    for (int target : {9000, 1, 505, 23736, 8192, 30299, 8193}) {
        SCOPED_TRACE(target);
        s->seek(target);
        EXPECT_EQ(s->position(), target);
        ASSERT_EQ(read(*s.get(), 100), scaled(pcm, static_cast<size_t>(target), 100));
        EXPECT_EQ(s->position(), target + 100);
    }
    // Past the end, found by decoding, and again once the length is known.
    for (int target : {frames + 10, frames + 20000}) {
        s->seek(target);
        EXPECT_EQ(s->position(), target);
        EXPECT_EQ(read(*s.get(), 50), std::vector<int32_t>(50, 0));
        EXPECT_EQ(s->length(), frames);
    }
    s->seek(frames - 30);
    EXPECT_EQ(read(*s.get(), 50), scaled(pcm, static_cast<size_t>(frames - 30), 50));
    EXPECT_TRUE(acm.faults.empty());
}

TEST_F(AcmWavSourceTest, ByteRateArithmeticDoesNotWrapAt48000FramesInStereo) {
    // Lengths and seeks from the byte rate alone (the codec does not say
    // what a block decodes to). At 48,000 frames per second in stereo the
    // products (bytes x 48,000, frames x 192,192) pass 32 bits after some
    // 89 KB or 22,000 frames; blocks of 500 frames keep the byte rate exact.
    acm.decodedSizeUnknown = true;
    rate = 48000;
    blockFrames = 500;
    const int frames = 60 * 500;  // 120,120 bytes of data
    SoundSourceRef s = open(frames, 2);
    ASSERT_TRUE(s.usable());
    EXPECT_EQ(format.avgBytesPerSec, 192192u);
    EXPECT_EQ(s->length(), frames);
    for (int target : {25001, 29999, 300}) {
        SCOPED_TRACE(target);
        s->seek(target);
        ASSERT_EQ(read(*s.get(), 1), scaled(pcm, static_cast<size_t>(target) * 2, 2));
    }
}

TEST_F(AcmWavSourceTest, BeforeTheStartAndBeyondTheEndIsSilence) {
    SoundSourceRef s = open(4 * kBlockFrames);
    s->seek(-100);
    std::vector<int32_t> got = read(*s.get(), 300);
    EXPECT_EQ(std::vector<int32_t>(got.begin(), got.begin() + 100), std::vector<int32_t>(100, 0));
    EXPECT_EQ(std::vector<int32_t>(got.begin() + 100, got.end()), scaled(pcm, 0, 200));
    s->seek(-50);
    EXPECT_EQ(read(*s.get(), 50), std::vector<int32_t>(50, 0));

    s->seek(5000);
    EXPECT_EQ(s->position(), 5000);
    EXPECT_EQ(read(*s.get(), 64), std::vector<int32_t>(64, 0));
    EXPECT_EQ(s->position(), 5064);
}

TEST_F(AcmWavSourceTest, OnlyTheDataChunkIsDecoded) {
    // A "LIST" chunk follows the data; its bytes are not audio.
    SoundSourceRef s = open(2 * kBlockFrames, 1, -1, 0, test::chunk("LIST", Bytes(2024, 0x55)));
    std::vector<int32_t> got = read(*s.get(), 3 * kBlockFrames);
    EXPECT_EQ(got, scaled(pcm, 0, 3 * kBlockFrames));
    EXPECT_EQ(s->length(), 2 * kBlockFrames);
}

TEST_F(AcmWavSourceTest, DamagedFilesEndCleanly) {
    struct Row {
        const char* name;
        int64_t dataSize;
        size_t cut;
        int decodedFrames;
        int firstLength;
    };
    const int blocks = 10;
    const int frames = blocks * kBlockFrames;
    const Row rows[] = {
        // A size field far beyond the file counts only the bytes present.
        {"size past the end", 0x7FFFFFF0, 0, frames, frames},
        {"all bits set", 0xFFFFFFFF, 0, frames, frames},
        // A file cut inside its last block: that block is lost.
        {"cut mid-block", -1, 300, frames - kBlockFrames, frames - kBlockFrames},
        {"cut to the header", -1, 10120, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SoundSourceRef s = open(frames, 1, row.dataSize, row.cut);
        ASSERT_TRUE(s.usable());
        EXPECT_EQ(s->length(), row.firstLength);
        std::vector<int32_t> got = readAll(*s.get(), frames + 10, 8192);
        std::vector<int32_t> want = scaled(pcm, 0, static_cast<size_t>(row.decodedFrames));
        want.resize(got.size(), 0);
        EXPECT_EQ(got, want);
        EXPECT_EQ(s->length(), row.decodedFrames);
    }
}

TEST_F(AcmWavSourceTest, FileLargerThan4GiBIsMeasuredInFull) {
    // Whatever follows the data, the file's low 32 bits of size (here 148)
    // must not cut the data chunk short.
    const uint64_t size = (uint64_t{1} << 32) + 148;
    SoundSourceRef s;
    try {
        s = open(20 * kBlockFrames, 1, -1, 0, {}, size);
    } catch (const std::filesystem::filesystem_error& e) {
        GTEST_SKIP() << "cannot make a file past 4 GiB here: " << e.what();
    }
    ASSERT_TRUE(s.usable());
    EXPECT_EQ(s->length(), 20 * kBlockFrames);
    EXPECT_EQ(read(*s.get(), 600), scaled(pcm, 0, 600));
    s = SoundSourceRef();
    std::filesystem::remove(path);
}

TEST_F(AcmWavSourceTest, CodecFaultsGiveAFailedOrEndingSource) {
    // Opens only in non-real-time mode: the second attempt is taken.
    acm.needsNonRealtime = true;
    EXPECT_TRUE(open(kBlockFrames).usable());
    EXPECT_EQ(std::vector<std::string>(acm.log.begin(), acm.log.begin() + 2),
              (std::vector<std::string>{"open 0", "open 4"}));
    acm = test::ScriptedAcm();
    acm.refuseAll = true;
    EXPECT_TRUE(open(kBlockFrames)->failed());
    acm = test::ScriptedAcm();
    acm.sizeZero = true;
    EXPECT_TRUE(open(kBlockFrames)->failed());
    EXPECT_EQ(acm.openStreams, 0);

    // A codec that stops taking and giving, or fails, ends the stream
    // instead of being asked forever.
    for (bool stall : {true, false}) {
        acm = test::ScriptedAcm();
        (stall ? acm.stallAfterConverts : acm.failAfterConverts) = 1;
        SoundSourceRef s = open(40 * kBlockFrames);
        std::vector<int32_t> got = readAll(*s.get(), 20000, 8192);
        // The first conversion fills the PCM buffer with 16 whole blocks.
        EXPECT_EQ(std::vector<int32_t>(got.begin(), got.begin() + 8080), scaled(pcm, 0, 8080));
        EXPECT_EQ(got[12000], 0);
        EXPECT_LT(s->length(), 20000);
    }
}

TEST_F(AcmWavSourceTest, ExtraByteCountBeyondTheChunkFails) {
    format = test::scriptedFormat(1, 8000, kBlockFrames);
    format.extraSize = 40;  // the chunk holds 2
    test::writeFile(path, Bytes(100, 0));
    FileStream f = FileStream::openForReading(path.c_str());
    f.seekTo(48);
    AcmWavSource s(acm, std::move(f), format, 52);
    EXPECT_TRUE(s.failed());
    EXPECT_TRUE(acm.log.empty());
}

class AcmWavSinkTest : public ::testing::Test {
protected:
    test::ScriptedAcm acm;
    test::TempDir dir;
    std::string path = dir.path("out.wav");
};

TEST_F(AcmWavSinkTest, FileLayoutAroundTheCompressedData) {
    WaveFormat f = test::scriptedFormat(1, 8000, 4);
    // An odd extra-byte count: the record grows by one byte and the data
    // chunk starts at an odd offset, unpadded.
    f.raw.push_back(0xEE);
    f.raw[16] = 3;
    f.extraSize = 3;
    std::vector<int16_t> pcm = signal(8, 1);
    {
        AcmWavSink sink(acm, path.c_str(), f);
        ASSERT_FALSE(sink.failed());
        EXPECT_EQ(sink.peakLevel, 524272);
        Bytes early = test::readFile(path);
        ASSERT_EQ(early.size(), 49u);
        EXPECT_EQ(test::get32(early, 45), 0u);  // data size 0 until the end
        std::vector<int32_t> in(pcm.begin(), pcm.end());
        for (int32_t& v : in) v *= 16;
        sink.write(in.data(), 8);
        EXPECT_TRUE(sink.finish());
    }
    const Bytes file = test::readFile(path);
    const Bytes data = test::scriptedEncode(pcm, 1, 4);  // 2 blocks of 10 bytes
    Bytes want = {
        'R', 'I', 'F', 'F', 61, 0, 0, 0,  // RIFF size: 3 + 20 + 38
        'W', 'A', 'V', 'E',               //
        'f', 'm', 't', ' ', 21, 0, 0, 0,  // format chunk: 18 + 3
    };
    want.insert(want.end(), f.raw.begin(), f.raw.end());  // the record as given
    const Bytes tail = {'d', 'a', 't', 'a', 20, 0, 0, 0};  // at offset 41
    want.insert(want.end(), tail.begin(), tail.end());
    want.insert(want.end(), data.begin(), data.end());
    EXPECT_EQ(file, want);
}

TEST_F(AcmWavSinkTest, LastPartialBlockIsPaddedSoEveryFrameIsKept) {
    const WaveFormat f = test::scriptedFormat(2, 8000, kBlockFrames);
    const int frames = 3 * 8192 + 5;  // not a whole number of blocks
    const std::vector<int16_t> pcm = signal(frames, 2);
    {
        AcmWavSink sink(acm, path.c_str(), f);
        std::vector<int32_t> in(pcm.begin(), pcm.end());
        for (int32_t& v : in) v *= 16;
        for (int done = 0; done < frames; done += 1000)
            sink.write(in.data() + done * 2, std::min(1000, frames - done));
        EXPECT_EQ(sink.framesWritten, frames);
    }
    EXPECT_TRUE(acm.faults.empty()) << acm.faults.front();
    EXPECT_EQ(acm.openStreams, 0);
    const Bytes file = test::readFile(path);
    const Bytes data = test::scriptedEncode(pcm, 2, kBlockFrames);
    ASSERT_EQ(file.size(), 48 + data.size());
    EXPECT_EQ(test::get32(file, 44), data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), file.begin() + 48));
}

TEST_F(AcmWavSinkTest, FormatThatCannotBeWrittenLeavesAnExistingFileAlone) {
    test::writeFile(path, Bytes{1, 2, 3});
    acm.encodes = false;
    AcmWavSink sink(acm, path.c_str(), test::scriptedFormat(1, 8000, 64));
    EXPECT_TRUE(sink.failed());
    int32_t block[10] = {};
    sink.write(block, 10);
    EXPECT_EQ(sink.framesWritten, 10);
    EXPECT_TRUE(sink.finish());
    EXPECT_EQ(test::readFile(path), (Bytes{1, 2, 3}));
}

#ifndef _WIN32
TEST_F(AcmWavSinkTest, FullDiskIsReportedAsWriteError) {
    if (!test::fileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    AcmWavSink sink(acm, "/dev/full", test::scriptedFormat(1, 8000, 64));
    ASSERT_FALSE(sink.failed());
    std::vector<int32_t> block(8192, 1600);
    sink.write(block.data(), 8192);
    EXPECT_TRUE(sink.writeError());
    EXPECT_FALSE(sink.finish());
    EXPECT_EQ(acm.openStreams, 0);
}
#endif

TEST_F(AcmWavSinkTest, CodecThatFailsOrStallsEndsTheWriteAsACodecError) {
    // One block is the whole PCM buffer (8192 mono frames). A codec that
    // takes an odd count leaves the buffer a byte short of full, with no
    // room for a sample and nothing it will take: it must not be offered
    // the same bytes forever.
    struct Row {
        const char* name;
        bool leavesAByte;
        int failAfter;
        int codecError;
    };
    const Row rows[] = {
        {"takes an odd count, then nothing", true, -1, 0},
        {"fails at once", false, 0, kAcmNotPossible},
        {"fails later", false, 1, kAcmNotPossible},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        acm = test::ScriptedAcm();
        acm.encoderLeavesAByte = row.leavesAByte;
        acm.failAfterConverts = row.failAfter;
        AcmWavSink sink(acm, path.c_str(), test::scriptedFormat(1, 8000, 8192));
        ASSERT_FALSE(sink.failed());
        std::vector<int32_t> block(8192, 1600);
        for (int i = 0; i < 3; ++i) sink.write(block.data(), 8192);
        EXPECT_EQ(sink.framesWritten, 3 * 8192);
        EXPECT_TRUE(sink.writeError());
        EXPECT_TRUE(sink.codecFailed());
        EXPECT_EQ(sink.codecError, row.codecError);
        EXPECT_EQ(sink.systemError, 0);
        EXPECT_FALSE(sink.finish());
        EXPECT_EQ(acm.openStreams, 0);
    }
    // A codec that will not open at all: failed, and said to be the codec.
    acm = test::ScriptedAcm();
    acm.refuseAll = true;
    AcmWavSink refused(acm, path.c_str(), test::scriptedFormat(1, 8000, 64));
    EXPECT_TRUE(refused.failed());
    EXPECT_TRUE(refused.codecFailed());
    EXPECT_EQ(refused.codecError, kAcmNotPossible);
}

TEST(SuggestWaveFormat, RecordCarriesTheFormatsOwnExtraBytesOnly) {
    // Whether or not the codec sets the extra-byte count itself, the record
    // holds the 2 extra bytes of the format (its frames per block) and no
    // more: the format chunk written from it is 20 bytes.
    for (bool keepsCount : {false, true}) {
        SCOPED_TRACE(keepsCount ? "codec leaves the count" : "codec sets the count");
        test::ScriptedAcm acm;
        acm.suggestKeepsExtraCount = keepsCount;
        WaveFormat format;
        ASSERT_TRUE(suggestWaveFormat(acm, test::kScriptedTag, 2, 8000, format));
        EXPECT_EQ(format.raw, test::scriptedFormat(2, 8000, 64).raw);
        EXPECT_EQ(format.extraSize, 2);
    }
}

TEST(ChooseWaveFormat, WarnsAndAsksAgainUntilAUsableFormatOrCancel) {
    const std::vector<uint8_t> usable = test::scriptedFormat(1, 8000, 64).raw;
    std::vector<uint8_t> unusable = usable;
    unusable[0] = 0x55;  // a tag no codec writes
    const std::string warning =
        "Format Not Available: The requested format is not available because the required CODEC is not "
        "installed on this computer.";
    struct Row {
        const char* name;
        std::vector<std::vector<uint8_t>> picks;
        bool chosen;
        size_t warnings;
    };
    const Row rows[] = {
        {"usable at once", {usable}, true, 0},
        {"unusable, then usable", {unusable, unusable, usable}, true, 2},
        {"unusable, then cancel", {unusable}, false, 1},
        {"cancel", {}, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::ScriptedAcm acm;
        acm.picks = row.picks;
        uint8_t buffer[kFormatBufferBytes] = {};
        EXPECT_EQ(chooseWaveFormat(buffer, 2, "Choose", acm), row.chosen);
        EXPECT_EQ(acm.warnings, std::vector<std::string>(row.warnings, warning));
        EXPECT_EQ(acm.chooserSawChannels.front(), 2);
        if (row.chosen) {
            EXPECT_EQ(0, std::memcmp(buffer, usable.data(), usable.size()));
        }
    }
}

}  // namespace
}  // namespace zelvaro
