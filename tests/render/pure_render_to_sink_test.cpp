#include "render/pure_render_to_sink.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "wavefile/wav_header.h"
#include "wavefile/wav_test_support.h"

namespace zelvaro {
namespace {

// Frame i carries sawtooth value (i % 100) / 100 * top in every channel.
class SawSource final : public PureSource {
public:
    SawSource(uint8_t channelCount, double topValue) : PureSource(44100, channelCount, 0), top(topValue) {}
    void read(double* out, int frames) override {
        for (int f = 0; f < frames; ++f, ++frame_)
            for (int c = 0; c < channels; ++c) *out++ = static_cast<double>(frame_ % 100) / 100.0 * top;
    }
    const double top;

private:
    int64_t frame_ = 0;
};

class RecordingProgress final : public RenderProgress {
public:
    void setText(int, const std::string&) override {}
    void setProgress(double fraction) override { fractions.push_back(fraction); }
    bool pump() override { return ++pumps != cancelOnPump; }
    std::vector<double> fractions;
    int pumps = 0;
    int cancelOnPump = 0;
};

float storedFloat(const test::Bytes& file, size_t sample) {
    float v;
    std::memcpy(&v, file.data() + kWavHeaderSize + 4 * sample, 4);
    return v;
}

class PureRenderToSinkTest : public ::testing::Test {
protected:
    // A float render of `frames` stereo frames of a saw of peak `top`.
    PureRenderJob job(int64_t frames, double top) {
        PureWavFormat format;
        format.channels = 2;
        format.encoding = SampleEncoding::kFloat32;
        PureRenderJob j;
        j.sink = createPureWavSink(path.c_str(), format);
        j.makeSource = [top] { return std::make_unique<SawSource>(2, top); };
        j.frames = frames;
        j.limit = false;
        return j;
    }
    test::TempDir dir;
    std::string path = dir.path("out.wav");
};

TEST_F(PureRenderToSinkTest, WritesTheFramesAskedForWithTheBarShortOfTheEnd) {
    for (int64_t frames : {int64_t{0}, int64_t{1}, int64_t{8192}, int64_t{20000}}) {
        SCOPED_TRACE(frames);
        PureRenderJob j = job(frames, 0.5);
        RecordingProgress progress;
        ASSERT_EQ(RenderPureToSink(progress, j), kRenderFinished) << j.failureReason;
        EXPECT_EQ(j.sink->framesWritten, frames);
        ASSERT_TRUE(j.sink->finish());
        const test::Bytes file = test::readFile(path);
        ASSERT_EQ(file.size(), kWavHeaderSize + 8 * static_cast<size_t>(frames));
        for (int64_t f = 0; f < frames; f += 997) EXPECT_EQ(storedFloat(file, 2 * f + 1), (f % 100) / 100.0f * 0.5f);
        // One pump and one step of the bar for each block, the last at the end.
        const size_t blocks = static_cast<size_t>((frames + 8191) / 8192);
        EXPECT_EQ(progress.pumps, static_cast<int>(blocks));
        ASSERT_EQ(progress.fractions.size(), 1 + blocks);
        if (blocks > 0) {
            EXPECT_DOUBLE_EQ(progress.fractions.back(), 1 / kRenderProgressScale);
        }
    }
}

TEST_F(PureRenderToSinkTest, CancelStopsAfterTheBlocksWritten) {
    PureRenderJob j = job(50000, 0.5);
    RecordingProgress progress;
    progress.cancelOnPump = 3;
    EXPECT_EQ(RenderPureToSink(progress, j), kRenderCancelled);
    EXPECT_EQ(j.sink->framesWritten, 2 * 8192);
}

// With a level, a first pass finds the peak (the first half of the bar) and
// the second writes the render scaled to it.
TEST_F(PureRenderToSinkTest, TwoPassesSetThePeak) {
    PureRenderJob j = job(10000, 0.25);
    j.peakDbfs = 0.0;
    RecordingProgress progress;
    ASSERT_EQ(RenderPureToSink(progress, j), kRenderFinished) << j.failureReason;
    ASSERT_TRUE(j.sink->finish());
    const test::Bytes file = test::readFile(path);
    const double peak = 0.99 * 0.25;
    EXPECT_FLOAT_EQ(storedFloat(file, 2 * 99), static_cast<float>(0.99 * 0.25 * (1.0 / peak)));
    ASSERT_EQ(progress.fractions.size(), 5u);  // 0, two blocks of each pass
    EXPECT_DOUBLE_EQ(progress.fractions[2], 0.5 / kRenderProgressScale);
    EXPECT_DOUBLE_EQ(progress.fractions[4], 1 / kRenderProgressScale);
}

TEST_F(PureRenderToSinkTest, RefusesBeforeWriting) {
    struct Row {
        const char* name;
        bool noSource, noSink;
        int64_t frames;
    } const rows[] = {
        {"no source", true, false, 10},
        {"no sink", false, true, 10},
        {"longer than a WAV file holds", false, false, int64_t{1} << 31},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        PureRenderJob j = job(r.frames, 0.5);
        if (r.noSource) j.makeSource = nullptr;
        if (r.noSink) j.sink.release();
        RecordingProgress progress;
        EXPECT_EQ(RenderPureToSink(progress, j), kRenderUnusable);
        EXPECT_FALSE(j.failureReason.empty());
        EXPECT_EQ(progress.pumps, 0);
        if (j.sink) {
            EXPECT_EQ(j.sink->framesWritten, 0);
        }
    }
}

}  // namespace
}  // namespace zelvaro
