// The player's pure path against the scripted device: the format asked for
// and the fallback when a device refuses it, the device header, the samples
// as quantised, and a ring that queues the same time of sound at every rate.
#include "audio/l_sound_player.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "player_test_support.h"
#include "scripted_wave_out.h"

namespace zelvaro {
namespace {

using test::formatKey;
using test::pumpUntil;
using test::RecordingListener;
using test::ScriptedWaveOut;

constexpr SampleEncoding k16 = SampleEncoding::kPcm16;
constexpr SampleEncoding k24 = SampleEncoding::kPcm24;
constexpr SampleEncoding kFloat = SampleEncoding::kFloat32;

// Sample n (interleaved) is (n mod 1000 - 500) / 1024: exact in every format.
class PureRampSource final : public PureSource {
public:
    PureRampSource(int32_t rate, uint8_t channelCount, int64_t frames)
        : PureSource(rate, channelCount, frames) {}
    static double valueAt(int64_t n) { return static_cast<double>(n % 1000 - 500) / 1024.0; }
    void read(double* out, int frames) override {
        for (int i = 0; i < frames * channels; ++i)
            out[i] = valueAt(next++);
    }
    int64_t next = 0;
};

PureSourcePtr ramp(int32_t rate, uint8_t channels, int64_t frames = 0) {
    return std::make_unique<PureRampSource>(rate, channels, frames);
}

TEST(PlayFormat, TheDeviceIsAskedNearestFirstAndTheFirstFormatItTakesIsPlayed) {
    struct Row {
        const char* name;
        PlayFormat wanted;
        std::vector<std::string> takes;
        bool answersQueries;
        PlayFormat expected;
        bool confirmed;
        size_t queries;  // how many were asked before the answer
    };
    const Row rows[] = {
        {"taken as asked", {96000, k24}, {}, true, {96000, k24}, true, 1},
        {"24-bit refused: float holds it", {96000, k24}, {"96000/32/ext-float", "96000/16/pcm"}, true,
         {96000, kFloat}, true, 2},
        {"float refused: 24-bit", {192000, kFloat}, {"192000/24/ext"}, true, {192000, k24}, true, 2},
        {"only 16-bit at the rate", {48000, kFloat}, {"48000/16/pcm", "96000/32/ext-float"}, true,
         {48000, k16}, true, 3},
        // 96,000 refused outright: 88,200 is nearer than 48,000, which is
        // nearer than 44,100; each rate in the deep formats first.
        {"rate refused", {96000, kFloat}, {"44100/16/pcm", "48000/16/pcm"}, true, {48000, k16}, true, 9},
        {"of two rates as near, the higher", {46050, k16}, {"44100/16/pcm", "48000/16/pcm"}, true,
         {48000, k16}, true, 4},
        {"a layer that cannot tell", {96000, k24}, {}, false, {96000, k24}, false, 18},
        {"refuses everything", {44100, k16}, {"8000/8/pcm"}, true, {44100, k16}, false, 18},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedWaveOut device;
        device.takes = row.takes;
        device.answersQueries = row.answersQueries;
        LSoundPlayer player(device);
        player.deviceId = 2;
        const PlayFormatChoice choice = player.chooseFormat(row.wanted, 2);
        EXPECT_EQ(describePlayFormat(choice.format), describePlayFormat(row.expected));
        EXPECT_EQ(choice.confirmed, row.confirmed);
        EXPECT_EQ(device.queries().size(), row.queries);
        // Asking opens nothing.
        EXPECT_TRUE(device.log().empty());
    }
}

TEST(PlayFormat, EveryCandidateComesOnceAndTheWantedFirst) {
    const std::vector<PlayFormat> all = playFormatCandidates({96000, k24});
    ASSERT_EQ(all.size(), 18u);
    EXPECT_EQ(all.front(), (PlayFormat{96000, k24}));
    EXPECT_EQ(all[1], (PlayFormat{96000, kFloat}));
    EXPECT_EQ(all[2], (PlayFormat{96000, k16}));
    EXPECT_EQ(all[3], (PlayFormat{88200, k24}));
    EXPECT_EQ(all.back(), (PlayFormat{192000, k16}));
    for (size_t i = 0; i < all.size(); ++i)
        for (size_t j = i + 1; j < all.size(); ++j)
            EXPECT_NE(all[i], all[j]) << i << " " << j;
}

TEST(PlayFormat, HeadersAndNames) {
    struct Row {
        PlayFormat format;
        uint8_t channels;
        WORD tag;
        WORD blockAlign;
        DWORD bytesPerSecond;
        WORD cbSize;
        DWORD mask;
        unsigned long subFormat;  // Data1 of the sub-format GUID
        const char* name;
    };
    const Row rows[] = {
        {{44100, k16}, 2, WAVE_FORMAT_PCM, 4, 176400, 0, 0, 0, "44,100 Hz 16-bit"},
        {{96000, k24}, 2, WAVE_FORMAT_EXTENSIBLE, 6, 576000, 22, 3, 1, "96,000 Hz 24-bit"},
        {{192000, kFloat}, 1, WAVE_FORMAT_EXTENSIBLE, 4, 768000, 22, 4, 3, "192,000 Hz 32-bit float"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const WAVEFORMATEXTENSIBLE f = waveFormatFor(row.format, row.channels);
        EXPECT_EQ(f.Format.wFormatTag, row.tag);
        EXPECT_EQ(f.Format.nChannels, row.channels);
        EXPECT_EQ(f.Format.nSamplesPerSec, static_cast<DWORD>(row.format.sampleRate));
        EXPECT_EQ(f.Format.wBitsPerSample, 8 * encodingBytes(row.format.encoding));
        EXPECT_EQ(f.Format.nBlockAlign, row.blockAlign);
        EXPECT_EQ(f.Format.nAvgBytesPerSec, row.bytesPerSecond);
        EXPECT_EQ(f.Format.cbSize, row.cbSize);
        if (row.tag == WAVE_FORMAT_EXTENSIBLE) {
            EXPECT_EQ(f.Samples.wValidBitsPerSample, f.Format.wBitsPerSample);
            EXPECT_EQ(f.dwChannelMask, row.mask);
            EXPECT_EQ(f.SubFormat.Data1, row.subFormat);
            // The rest of the GUID is the one every audio sub-format shares.
            EXPECT_EQ(f.SubFormat.Data2, 0x0000);
            EXPECT_EQ(f.SubFormat.Data3, 0x0010);
            const unsigned char tail[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
            EXPECT_EQ(std::memcmp(f.SubFormat.Data4, tail, 8), 0);
        }
        EXPECT_EQ(describePlayFormat(row.format), row.name);
    }
}

class PurePlayerTest : public ::testing::Test {
protected:
    void SetUp() override { player.listener = &listener; }

    ScriptedWaveOut device;
    RecordingListener listener;
    LSoundPlayer player{device};
};

TEST_F(PurePlayerTest, TheDeviceGetsTheFormatAndATenthOfASecondPerBufferAtEveryRate) {
    struct Row {
        PlayFormat format;
        uint8_t channels;
        const char* key;
    };
    const Row rows[] = {
        {{44100, k16}, 2, "44100/16/pcm"},     {{48000, k24}, 1, "48000/24/ext"},
        {{96000, k24}, 2, "96000/24/ext"},     {{96000, kFloat}, 2, "96000/32/ext-float"},
        {{192000, kFloat}, 2, "192000/32/ext-float"}, {{176400, k16}, 2, "176400/16/pcm"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        const size_t before = device.writeCount();
        ASSERT_TRUE(player.openPure(ramp(row.format.sampleRate, row.channels), row.format.encoding, 1.0,
                                    std::nullopt, 0));
        // The whole ring is filled at once: 70 tenths of a second.
        ASSERT_TRUE(device.waitForWrites(before + LSoundPlayer::BufferCount));
        const WAVEFORMATEXTENSIBLE opened = device.extensibleFormat();
        EXPECT_EQ(formatKey(opened.Format), row.key);
        EXPECT_EQ(device.format().nChannels, row.channels);
        const DWORD frameBytes = static_cast<DWORD>(encodingBytes(row.format.encoding) * row.channels);
        EXPECT_EQ(device.writes()[before].bytes, frameBytes * static_cast<DWORD>(row.format.sampleRate / 10));
        player.stop();
    }
}

TEST_F(PurePlayerTest, SamplesAreTheSourceTimesTheGainInTheDeviceFormat) {
    constexpr double kGain = 0.5;
    struct Row {
        SampleEncoding encoding;
        int bytes;
    };
    for (const Row row : {Row{k24, 3}, Row{kFloat, 4}, Row{k16, 2}}) {
        SCOPED_TRACE(row.bytes);
        const size_t before = device.writeCount();
        ASSERT_TRUE(player.openPure(ramp(96000, 2), row.encoding, kGain, std::nullopt, 0));
        ASSERT_TRUE(device.waitForWrites(before + 2));
        std::vector<uint8_t> bytes = device.writes()[before].data;
        const std::vector<uint8_t> second = device.writes()[before + 1].data;
        bytes.insert(bytes.end(), second.begin(), second.end());
        player.stop();
        ASSERT_EQ(bytes.size(), 2u * 9600 * 2 * row.bytes);
        // Across the buffers' seam too: no sample lost or repeated.
        for (size_t n = 0; n < bytes.size() / row.bytes; ++n) {
            const double expected = PureRampSource::valueAt(static_cast<int64_t>(n)) * kGain;
            double got;
            if (row.encoding == kFloat) {
                float f;
                std::memcpy(&f, &bytes[n * 4], 4);
                got = f;
            } else {
                uint32_t u = 0;
                for (int b = 0; b < row.bytes; ++b)
                    u |= static_cast<uint32_t>(bytes[n * row.bytes + b]) << (8 * b);
                const int shift = 32 - 8 * row.bytes;
                const int32_t v = static_cast<int32_t>(u << shift) >> shift;
                got = std::ldexp(static_cast<double>(v), 1 - 8 * row.bytes);
            }
            ASSERT_EQ(got, expected) << "sample " << n;
        }
    }
}

TEST_F(PurePlayerTest, DitherIsTheQuantisersWithTheGivenSeed) {
    ASSERT_TRUE(player.openPure(ramp(44100, 2), k16, 0.25, uint64_t{7}, 0));
    ASSERT_TRUE(device.waitForWrites(1));
    const std::vector<uint8_t> played = device.writes()[0].data;
    player.stop();

    PureRampSource source(44100, 2, 0);
    std::vector<double> samples(4410 * 2);
    source.read(samples.data(), 4410);
    PureQuantiser quantiser(k16, uint64_t{7});
    std::vector<uint8_t> expected(samples.size() * 2);
    quantiser.convert(samples.data(), samples.size(), 0.25, expected.data());
    EXPECT_EQ(played, expected);
    // And the dither is there: the same ramp undithered differs.
    PureQuantiser plain(k16, std::nullopt);
    std::vector<uint8_t> undithered(expected.size());
    plain.convert(samples.data(), samples.size(), 0.25, undithered.data());
    EXPECT_NE(played, undithered);
}

TEST_F(PurePlayerTest, AToneOfFixedLengthEndsByItselfAndReportsTimeAtItsRate) {
    // 0.25 s at 96,000 frames/s: two whole buffers and a tail.
    ASSERT_TRUE(player.openPure(ramp(96000, 2, 24000), k24, 1.0, std::nullopt, 0));
    device.startClock(std::chrono::microseconds(2000));
    ASSERT_TRUE(pumpUntil([&] { return listener.count('S') > 0; }));
    device.stopClock();
    size_t frames = 0;
    for (const test::WriteRecord& w : device.writes())
        frames += w.bytes / 6;
    EXPECT_EQ(frames, 24000u);
    // 24,000 frames at 96,000 frames/s is 2,500 in units of 100 microseconds.
    EXPECT_EQ(listener.summary().substr(listener.summary().size() - 7), "T2500 S");
}

TEST_F(PurePlayerTest, AbsentSourceOrRefusedFormatOpensNothing) {
    EXPECT_FALSE(player.openPure(nullptr, k24, 1.0, std::nullopt, 0));
    device.takes = {"44100/16/pcm"};
    EXPECT_FALSE(player.openPure(ramp(96000, 2), k24, 1.0, std::nullopt, 0));
    EXPECT_FALSE(player.isOpen());
    // Directly and through the mapper, as the 16-bit path tries.
    EXPECT_EQ(device.openFlags(), (std::vector<DWORD>{CALLBACK_EVENT, CALLBACK_EVENT | WAVE_MAPPED}));
    EXPECT_EQ(device.prepared(), 0);
    EXPECT_TRUE(listener.events.empty());
}

}  // namespace
}  // namespace zelvaro
