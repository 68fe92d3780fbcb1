#include "render/render_to_sink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "render/block_writer.h"
#include "render/tone_length.h"
#include "wavefile/wav_file.h"
#include "wavefile/wav_test_support.h"

namespace zelvaro {
namespace {

// Frame i carries the value (i + 1) * 16 in every channel.
class CountingSource final : public SoundSource {
public:
    CountingSource(int frames, uint8_t channelCount, int32_t rate = 44100, int32_t peak = 524272)
        : SoundSource(rate, peak, channelCount), frames_(frames) {}
    void read(int32_t* samples, int frames) override {
        ++reads;
        for (int f = 0; f < frames; ++f)
            for (int c = 0; c < channels; ++c) *samples++ = (pos_ + f + 1) * 16;
        if (advances) pos_ += frames;
    }
    int position() override { return pos_; }
    int length() override { return frames_; }

    int reads = 0;
    bool advances = true;

private:
    int frames_;
    int pos_ = 0;
};

class MemorySink final : public SoundSink {
public:
    explicit MemorySink(uint8_t channelCount, int32_t rate = 44100, int32_t peak = 524272)
        : SoundSink(rate, peak, channelCount) {}
    void write(const int32_t* samples, int frames) override {
        framesWritten += frames;
        data.insert(data.end(), samples, samples + static_cast<size_t>(frames) * channels);
        if (++writes == failOnWrite) status |= kStatusWriteError;
        if (writes % stallEvery == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::vector<int32_t> data;
    int writes = 0;
    int failOnWrite = 0;
    int stallEvery = 1 << 30;  // a write that waits, as a header flush may
};

class RecordingProgress final : public RenderProgress {
public:
    void setText(int line, const std::string& text) override { texts.push_back(std::to_string(line) + ":" + text); }
    void setProgress(double fraction) override { fractions.push_back(fraction); }
    bool pump() override { return ++pumps != cancelOnPump; }

    std::vector<std::string> texts;
    std::vector<double> fractions;
    int pumps = 0;
    int cancelOnPump = 0;
};

// Renders `source` into `sink` through `job`, showing nothing.
int renderInto(SoundSource* source, SoundSink* sink, RenderJob& job) {
    job.source = source;
    job.sink = sink;
    RecordingProgress progress;
    return RenderToSink(progress, job);
}

TEST(RenderToSink, WritesExactlyTheSourceLength) {
    const int lengths[] = {0, 1, 5000, 8192, 16384, 16389, 100000};
    for (int length : lengths) {
        SCOPED_TRACE(length);
        auto* source = new CountingSource(length, 2);
        auto* sink = new MemorySink(2);
        RenderJob job;
        job.source = source;
        job.sink = sink;
        RecordingProgress progress;
        ASSERT_EQ(RenderToSink(progress, job), kRenderFinished);
        EXPECT_EQ(sink->framesWritten, length);
        ASSERT_EQ(sink->data.size(), static_cast<size_t>(length) * 2);
        if (length > 0) {
            EXPECT_EQ(sink->data.back(), length * 16);
        }
        // The block that reaches the length is the last one read.
        EXPECT_EQ(source->reads, std::max(1, (length + 8191) / 8192));
        EXPECT_EQ(progress.pumps, source->reads);
    }
}

// A sink that falls behind fills the writer's queue; the blocks must still
// reach it whole and in order however the queue's room is reused.
TEST(RenderToSink, BlocksReachASinkThatFallsBehindWholeAndInOrder) {
    const int length = 300 * 8192 + 123;
    auto* source = new CountingSource(length, 2);
    auto* sink = new MemorySink(2);
    sink->stallEvery = 70;
    RenderJob job;
    ASSERT_EQ(renderInto(source, sink, job), kRenderFinished);
    ASSERT_EQ(sink->data.size(), static_cast<size_t>(length) * 2);
    for (int i = 0; i < length; ++i)
        ASSERT_EQ(sink->data[2 * static_cast<size_t>(i) + 1], (i + 1) * 16) << "frame " << i;
}

TEST(RenderToSink, ShowsCaptionWaitTextAndProgressBelowNinetyOnePercent) {
    RenderJob job;
    job.source = new CountingSource(50000, 1);
    job.sink = new MemorySink(1);
    RecordingProgress progress;
    ASSERT_EQ(RenderToSink(progress, job), kRenderFinished);
    EXPECT_EQ(progress.texts, (std::vector<std::string>{"0:Saving Wave File", "1:Please wait..."}));
    ASSERT_EQ(progress.fractions.size(), 7u);  // 0, then after each of the 6 full blocks
    EXPECT_EQ(progress.fractions[0], 0.0);
    EXPECT_DOUBLE_EQ(progress.fractions[1], 8192 / (50000 * 1.1));
    EXPECT_DOUBLE_EQ(progress.fractions.back(), 6 * 8192 / (50000 * 1.1));
    EXPECT_LT(progress.fractions.back(), 1 / 1.1);
}

TEST(RenderToSink, CancelStopsBeforeTheNextBlock) {
    for (int cancelOn : {1, 3}) {
        SCOPED_TRACE(cancelOn);
        auto* sink = new MemorySink(1);
        RenderJob job;
        job.source = new CountingSource(100000, 1);
        job.sink = sink;
        RecordingProgress progress;
        progress.cancelOnPump = cancelOn;
        EXPECT_EQ(RenderToSink(progress, job), kRenderCancelled);
        EXPECT_EQ(sink->framesWritten, (cancelOn - 1) * 8192);
    }
}

TEST(RenderToSink, CancelAtOnceLeavesAValidEmptyFile) {
    test::TempDir dir;
    std::string path = dir.path("c.wav");
    {
        RenderJob job;
        job.source = new CountingSource(100000, 1);
        job.sink = createWavSink(path.c_str(), 44100, 0, 16, 1);
        RecordingProgress progress;
        progress.cancelOnPump = 1;
        EXPECT_EQ(RenderToSink(progress, job), kRenderCancelled);
    }
    test::Bytes file = test::readFile(path);
    ASSERT_EQ(file.size(), 46u);
    EXPECT_EQ(test::get32(file, 42), 0u);
}

TEST(RenderToSink, RefusesAbsentOrFailedEnds) {
    struct Row {
        const char* name;
        bool source;
        bool sourceFailed;
        bool sink;
        bool sinkFailed;
    };
    const Row rows[] = {
        {"no source", false, false, true, false},
        {"failed source", true, true, true, false},
        {"no sink", true, false, false, false},
        {"failed sink", true, false, true, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        RenderJob job;
        if (r.source) {
            auto* s = new CountingSource(100, 1);
            if (r.sourceFailed) s->markFailed();
            job.source = s;
        }
        auto* sink = new MemorySink(1);
        if (r.sinkFailed) sink->markFailed();
        if (r.sink) {
            job.sink = sink;
        } else {
            delete sink;
        }
        RecordingProgress progress;
        EXPECT_EQ(RenderToSink(progress, job), kRenderUnusable);
        EXPECT_FALSE(job.failureReason.empty());
        EXPECT_EQ(progress.pumps, 0);
    }
}

TEST(RenderToSink, AdaptsChannelCountToTheSink) {
    struct Row {
        uint8_t sourceChannels;
        uint8_t sinkChannels;
    };
    for (Row r : {Row{1, 2}, Row{2, 1}}) {
        SCOPED_TRACE(int(r.sourceChannels));
        auto* sink = new MemorySink(r.sinkChannels);
        RenderJob job;
        job.source = new CountingSource(10, r.sourceChannels);
        job.sink = sink;
        RecordingProgress progress;
        ASSERT_EQ(RenderToSink(progress, job), kRenderFinished);
        ASSERT_EQ(sink->data.size(), 10u * r.sinkChannels);
        for (int f = 0; f < 10; ++f)
            for (int c = 0; c < r.sinkChannels; ++c) EXPECT_EQ(sink->data[f * r.sinkChannels + c], (f + 1) * 16);
    }
}

TEST(RenderToSink, RefusesChannelCountsTheAdaptersCannotMatch) {
    auto* sink = new MemorySink(2);
    RenderJob job;
    job.source = new CountingSource(10, 6);
    job.sink = sink;
    RecordingProgress progress;
    EXPECT_EQ(RenderToSink(progress, job), kRenderUnusable);
    EXPECT_EQ(job.failureReason, "cannot convert 6 channels to 2");
    EXPECT_EQ(sink->writes, 0);
}

// Data past 4 GiB cannot be described by a RIFF header: refused before any
// block is read, and the file keeps its bare header.
TEST(RenderToSink, RefusesALengthBeyondTheFourGigabyteLimit) {
    test::TempDir dir;
    std::string path = dir.path("big.wav");
    const int fits = static_cast<int>((0xFFFFFFFFll - 46) / 4);
    {
        auto* source = new CountingSource(fits + 1, 2);
        RenderJob job;
        job.source = source;
        job.sink = createWavSink(path.c_str(), 44100, 0, 16, 2);
        RecordingProgress progress;
        EXPECT_EQ(RenderToSink(progress, job), kRenderUnusable);
        EXPECT_NE(job.failureReason.find("4 GiB"), std::string::npos);
        EXPECT_EQ(source->reads, 0);
    }
    EXPECT_EQ(test::readFile(path).size(), 46u);

    // The largest length that fits passes the check (cancelled at once here).
    RenderJob job;
    job.source = new CountingSource(fits, 2);
    job.sink = createWavSink(path.c_str(), 44100, 0, 16, 2);
    RecordingProgress progress;
    progress.cancelOnPump = 1;
    EXPECT_EQ(RenderToSink(progress, job), kRenderCancelled);
}

// A square wave of full scale at the 16-bit peak, switching every 50 frames.
class SquareSource final : public SoundSource {
public:
    SquareSource(int frames, int32_t rate) : SoundSource(rate, 524272, 1), frames_(frames) {}
    void read(int32_t* samples, int frames) override {
        for (int f = 0; f < frames; ++f, ++pos_) samples[f] = (pos_ / 50) % 2 ? -524272 : 524272;
    }
    int position() override { return pos_; }
    int length() override { return frames_; }

private:
    int frames_;
    int pos_ = 0;
};

// Rate first, peak last: the converter's own overshoot at the edges of the
// square is limited too.
TEST(RenderToSink, AdaptsTheRateThenLimitsToTheSinksPeak) {
    auto* sink = new MemorySink(1, 44100, 260096);  // an 8-bit sink's peak
    RenderJob job;
    job.source = new SquareSource(22050, 22050);
    job.sink = sink;
    RecordingProgress progress;
    ASSERT_EQ(RenderToSink(progress, job), kRenderFinished);
    EXPECT_EQ(sink->framesWritten, 44100);
    ASSERT_EQ(sink->data.size(), 44100u);
    int32_t peak = 0;
    for (int32_t v : sink->data) peak = std::max(peak, v < 0 ? -v : v);
    EXPECT_LE(peak, 260096);
    EXPECT_GT(peak, 260096 * 9 / 10);  // limited, not silenced
}

// The adapted length is int32 and a generator stops at its limit, so the
// caller's exact count is what shows that a tone would be cut short.
TEST(RenderToSink, RefusesAnExpectedLengthBeyondWhatCanBeRendered) {
    test::TempDir dir;
    const std::string path = dir.path("t.wav");
    struct Row {
        const char* name;
        int length;
        int64_t expected;
        int bits;
        int result;
        const char* reason;
    };
    const Row rows[] = {
        {"unknown", 100, -1, 16, kRenderFinished, ""},
        {"equal to the length", 100, 100, 16, kRenderFinished, ""},
        {"one frame more than the source gives", 100, 101, 16, kRenderUnusable, "too long: it has 101 frames"},
        {"20 hours of mono at 16 bits", 100, 3175200000, 16, kRenderUnusable, "4 GiB"},
        {"within 8-bit mono's int32 count but cut", 100, 0x7FFFFFFF, 8, kRenderUnusable, "too long: it has"},
        {"past 8-bit mono's int32 count", 100, 0x80000000ll, 8, kRenderUnusable, "4 GiB"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        RenderJob job;
        job.source = new CountingSource(r.length, 1);
        SoundSinkRef sink = createWavSink(path.c_str(), 44100, 0, static_cast<uint16_t>(r.bits), 1);
        job.sink = sink;
        job.expectedFrames = r.expected;
        RecordingProgress progress;
        EXPECT_EQ(RenderToSink(progress, job), r.result);
        EXPECT_NE(job.failureReason.find(r.reason), std::string::npos) << job.failureReason;
        EXPECT_EQ(sink->framesWritten, r.result == kRenderFinished ? r.length : 0);
    }
}

TEST(ToneLength, CountsFramesIn64BitsAtTheOutputRate) {
    struct Row {
        uint32_t durationMs;
        int32_t rate;
        int64_t frames;
    };
    const Row rows[] = {
        {1000, 44100, 44100},
        {1, 44100, 44},
        {72000000, 44100, 3175200000},            // 20 hours: past the generators' int32 limit
        {0xFFFFFFFF, 44100, 189408057709},        // 4294967 s and 295 ms
        {1000, 48000, 47991},                     // as the converter's rate fraction counts
        {1000, 22050, 22050},
        {72000000, 22050, 1587600000},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.durationMs) + " ms at " + std::to_string(r.rate));
        EXPECT_EQ(framesAtRate(toneFrames(r.durationMs), 44100, r.rate), r.frames);
    }
}

// The sink takes nothing after its failed write, and the loop stops within
// the writer's queue of it instead of rendering the rest.
TEST(RenderToSink, StopsAtTheFirstWriteError) {
    auto* source = new CountingSource(10000000, 1);
    auto* sink = new MemorySink(1);
    sink->failOnWrite = 2;
    RenderJob job;
    EXPECT_EQ(renderInto(source, sink, job), kRenderUnusable);
    EXPECT_NE(job.failureReason.find("writing"), std::string::npos);
    EXPECT_EQ(sink->writes, 2);
    EXPECT_EQ(sink->framesWritten, 2 * 8192);
    EXPECT_LE(source->reads, 2 + BlockWriter::kQueueBlocks + 1);
}

TEST(RenderToSink, SourceThatNeverAdvancesIsRefusedInsteadOfLoopingForever) {
    auto* source = new CountingSource(44100 * 60, 1);
    source->advances = false;
    RenderJob job;
    job.source = source;
    job.sink = new MemorySink(1);
    RecordingProgress progress;
    EXPECT_EQ(RenderToSink(progress, job), kRenderUnusable);
    EXPECT_EQ(source->reads, 1);
}

}  // namespace
}  // namespace zelvaro
