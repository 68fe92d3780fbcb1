// The player's ring logic against a scripted device that plays only when told.
#include "audio/l_sound_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "audio/play_time.h"
#include "player_test_support.h"
#include "scripted_wave_out.h"

namespace zelvaro {
namespace {

using test::ListenerEvent;
using test::PatternSource;
using test::PrioritySource;
using test::pumpFor;
using test::pumpUntil;
using test::RampSource;
using test::RecordingListener;
using test::ScriptedWaveOut;
using test::WriteRecord;

constexpr DWORD kLoopFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;

int framesOf(const WriteRecord& w, int channels) { return static_cast<int>(w.bytes) / (2 * channels); }

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override { player.listener = &listener; }

    // Waits until the worker has written nothing new for a while.
    size_t quiet() { return quietOn(device); }
    bool hasPosition(int32_t time) const {
        return std::find(listener.events.begin(), listener.events.end(), ListenerEvent{'T', time}) !=
               listener.events.end();
    }
    bool stopped() const { return listener.count('S') > 0; }
    size_t quietOn(ScriptedWaveOut& other) {
        size_t count = other.writeCount();
        for (;;) {
            Sleep(150);
            const size_t now = other.writeCount();
            if (now == count)
                return now;
            count = now;
        }
    }
    // Lets the worker run exactly one more pass: the device event is set and
    // the pass that follows resets it.
    bool stepPass() {
        const HANDLE event = device.event();
        SetEvent(event);
        const DWORD start = GetTickCount();
        while (WaitForSingleObject(event, 0) == WAIT_OBJECT_0) {
            if (GetTickCount() - start > 2000)
                return false;
            Sleep(0);
        }
        return true;
    }
    // Listener events with repeats of the same event collapsed (several posts
    // may carry one position).
    std::string collapsed() const {
        RecordingListener copy;
        for (const ListenerEvent& e : listener.events)
            if (copy.events.empty() || !(copy.events.back() == e))
                copy.events.push_back(e);
        return copy.summary();
    }

    ScriptedWaveOut device;
    RecordingListener listener;
    LSoundPlayer player{device};
};

TEST_F(PlayerTest, AShortSourceGoesOutInHalvesThenWhatRemainsAndEndsByItself) {
    SoundSourceRef source(new RampSource(1000, 1));
    ASSERT_TRUE(player.open(source, 0));
    EXPECT_EQ(listener.summary(), "P T0");

    ASSERT_TRUE(device.waitForWrites(3));
    const std::vector<WriteRecord> writes = device.writes();
    ASSERT_EQ(quiet(), 3u);
    // Nothing queued: half of the 1,000 frames; one queued: half again; two
    // queued: all that remains.
    const int expectedFrames[] = {500, 250, 250};
    const int firstFrame[] = {0, 500, 750};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(writes[i].buffer, i);
        EXPECT_EQ(writes[i].queuedBefore, i);
        ASSERT_EQ(framesOf(writes[i], 1), expectedFrames[i]);
        EXPECT_EQ(writes[i].samples.front(), RampSource::valueAt(firstFrame[i], 0, 1));
        EXPECT_EQ(writes[i].samples.back(), RampSource::valueAt(firstFrame[i] + expectedFrames[i] - 1, 0, 1));
    }

    // The listener hears each buffer's end as the device returns it: 500,
    // 750 and 1,000 frames, then the end of the source.
    const int32_t times[] = {113, 170, 226};
    for (int32_t time : times) {
        ASSERT_EQ(device.complete(1), 1);
        ASSERT_TRUE(pumpUntil([&] { return hasPosition(time) || stopped(); })) << time;
    }
    ASSERT_TRUE(pumpUntil([&] { return stopped(); }));
    EXPECT_EQ(collapsed(), "P T0 T113 T170 T226 S");
    EXPECT_FALSE(player.isOpen());
    const std::vector<std::string> log = device.log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "unprepare"), 70);
    EXPECT_EQ(log.back(), "close");
}

TEST_F(PlayerTest, TheTailWaitsWhileMoreThanThreeBuffersAreQueued) {
    // One frame short of 16 buffers: the whole source is tail.
    const int length = 16 * 4410 - 1;
    SoundSourceRef source(new RampSource(length, 1));
    ASSERT_TRUE(player.open(source, 0));
    ASSERT_TRUE(device.waitForWrites(4));
    ASSERT_EQ(quiet(), 4u);
    // The worker goes round the rest of the ring without writing and waits
    // at the first buffer; the first wait clears the raise request.
    ASSERT_TRUE(pumpUntil([&] { return !(player.stateBits() & LSoundPlayer::RaisePriority); }));
    // A returned buffer lets exactly one more go out, into the ring slot the
    // worker comes to next, which is the one just returned.
    ASSERT_EQ(device.complete(1), 1);
    ASSERT_TRUE(device.waitForWrites(5));
    ASSERT_EQ(quiet(), 5u);
    std::vector<WriteRecord> writes = device.writes();
    EXPECT_EQ(writes[4].buffer, 0);
    EXPECT_EQ(writes[4].queuedBefore, 3);

    // Then the device plays on by itself to the end.
    device.startClock(std::chrono::microseconds(1500));
    ASSERT_TRUE(pumpUntil([&] { return stopped(); }, 20000));
    device.stopClock();
    writes = device.writes();
    int written = 0;
    for (size_t i = 0; i < writes.size(); ++i) {
        SCOPED_TRACE(i);
        const int remaining = length - written;
        const int frames = framesOf(writes[i], 1);
        EXPECT_LE(writes[i].queuedBefore, 3);
        EXPECT_LE(frames, std::min(remaining, 4410));
        // With two or three queued the block is not halved.
        if (writes[i].queuedBefore >= 2) {
            EXPECT_EQ(frames, std::min(remaining, 4410));
        }
        EXPECT_EQ(writes[i].samples.front(), RampSource::valueAt(written, 0, 1));
        written += frames;
    }
    EXPECT_EQ(written, length);
    EXPECT_EQ(listener.events.back(), (ListenerEvent{'S', 0}));
    EXPECT_TRUE(hasPosition(framesToTime(length, 44100)));
}

TEST_F(PlayerTest, PrebufferingStartsTheDeviceWhenTheRingIndexReaches42) {
    SoundSourceRef source(new PatternSource({0}, 2));
    ASSERT_TRUE(player.open(source, kOpenPrebuffered));
    EXPECT_EQ(listener.summary(), "P T0");
    ASSERT_TRUE(device.waitForWrites(70));
    ASSERT_EQ(quiet(), 70u);
    const std::vector<WriteRecord> writes = device.writes();
    for (size_t i = 0; i < writes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(writes[i].paused, i < 42);
        EXPECT_EQ(writes[i].bytes, 17640u);
    }
    std::vector<std::string> log = device.log();
    const auto pause = std::find(log.begin(), log.end(), "pause");
    const auto restart = std::find(log.begin(), log.end(), "restart");
    ASSERT_NE(pause, log.end());
    ASSERT_NE(restart, log.end());
    EXPECT_EQ(std::count(pause, restart, "write"), 42);
    // The pass after the last write finds its buffer queued: priority raised,
    // start done. It need not have come yet when the writes stop.
    EXPECT_TRUE(pumpUntil([&] { return player.stateBits() == (LSoundPlayer::Open | LSoundPlayer::NoTailThrottle); }))
        << player.stateBits();
}

TEST_F(PlayerTest, PrebufferingSendsTheTailWhole) {
    SoundSourceRef source(new RampSource(1000, 1));
    ASSERT_TRUE(player.open(source, kOpenPrebuffered));
    ASSERT_TRUE(device.waitForWrites(1));
    ASSERT_EQ(quiet(), 1u);
    EXPECT_EQ(framesOf(device.writes()[0], 1), 1000);
    // The worker passes index 42 on its way round the empty ring and starts
    // the device, with no write to show for the passes before it.
    EXPECT_TRUE(pumpUntil([&] {
        const std::vector<std::string> log = device.log();
        return std::find(log.begin(), log.end(), "restart") != log.end();
    }));
}

TEST_F(PlayerTest, StartingPausedReportsPausedUntilResumed) {
    SoundSourceRef source(new PatternSource({0}, 1));
    ASSERT_TRUE(player.open(source, kOpenPaused));
    EXPECT_EQ(listener.summary(), "Z T0");
    ASSERT_TRUE(device.waitForWrites(70));
    ASSERT_EQ(quiet(), 70u);
    EXPECT_TRUE(device.isPaused());
    EXPECT_TRUE(player.stateBits() & LSoundPlayer::Paused);
    player.resume();
    EXPECT_FALSE(device.isPaused());
    EXPECT_FALSE(player.stateBits() & LSoundPlayer::Paused);
    EXPECT_EQ(listener.summary(), "Z T0 P");
}

TEST_F(PlayerTest, APausedPlayerClosesItselfAfter280StalledPasses) {
    SoundSourceRef source(new PatternSource({0}, 1));
    ASSERT_TRUE(player.open(source, 0));
    ASSERT_TRUE(device.waitForWrites(70));
    player.pause();
    EXPECT_EQ(listener.summary(), "P T0 Z");
    for (int i = 0; i < 250; ++i)
        ASSERT_TRUE(stepPass());
    pumpFor(50);
    EXPECT_TRUE(player.isOpen()) << "ended before 280 stalled passes";
    int steps = 250;
    while (!stopped() && steps < 300) {
        ASSERT_TRUE(stepPass());
        ++steps;
        pumpFor(2);
    }
    ASSERT_TRUE(stopped());
    EXPECT_LE(steps, 281);
    // The end is reported at the source's length: 60 seconds of a continuous source.
    EXPECT_EQ(listener.summary(), "P T0 Z T600000 S");
    EXPECT_FALSE(player.isOpen());
}

TEST_F(PlayerTest, HoldingStopsTheStallCount) {
    SoundSourceRef source(new PatternSource({0}, 1));
    ASSERT_TRUE(player.open(source, 0));
    ASSERT_TRUE(device.waitForWrites(70));
    player.hold();
    ASSERT_TRUE(device.waitForWrites(70 + 70));
    for (int i = 0; i < 400; ++i)
        ASSERT_TRUE(stepPass());
    pumpFor(50);
    EXPECT_TRUE(player.isOpen());
    EXPECT_EQ(listener.count('S'), 0);
}

// Every buffer the device returns is refilled, and the pass after it finds
// the next one still playing. Only the refill's reset of the stall count
// keeps those stalled passes from adding up to the limit: without it every
// continuous tone would stop by itself after about 28 seconds.
TEST_F(PlayerTest, ContinuousPlaybackOutlivesTheStallLimit) {
    SoundSourceRef source(new PatternSource({0}, 1));
    ASSERT_TRUE(player.open(source, 0));
    ASSERT_TRUE(device.waitForWrites(70));
    for (int i = 0; i < 320; ++i) {
        ASSERT_EQ(device.complete(1), 1);
        ASSERT_TRUE(device.waitForWrites(71 + static_cast<size_t>(i)));
        ASSERT_TRUE(stepPass());
        ASSERT_TRUE(stepPass());
    }
    pumpFor(50);
    EXPECT_TRUE(player.isOpen());
    EXPECT_EQ(listener.count('S'), 0);
}

// A player whose worker can be caught between its last unlock and its end,
// and whose worker priority can be read.
class ProbePlayer : public LSoundPlayer {
public:
    explicit ProbePlayer(WaveOutDevice& device) : LSoundPlayer(device) {}
    ~ProbePlayer() override {
        SetEvent(release);
        stop();
        CloseHandle(ended);
        CloseHandle(release);
    }
    int workerPriority() const { return thread != nullptr ? GetThreadPriority(thread) : THREAD_PRIORITY_ERROR_RETURN; }

    HANDLE ended = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    int lingerMs = 0;

protected:
    void onThreadEnd() override {
        SetEvent(ended);
        WaitForSingleObject(release, static_cast<DWORD>(lingerMs));
    }
};

// A worker that has played its source to the end and returned may not have
// ended yet when hold or seek comes; they must still get a new worker, which
// plays what is left and ends the player again.
TEST_F(PlayerTest, HoldAndSeekRestartAWorkerThatHasNotYetEnded) {
    struct Row {
        const char* name;
        void (*act)(LSoundPlayer&);
    };
    const Row rows[] = {
        {"seek", [](LSoundPlayer& p) { p.seek(0); }},
        {"hold", [](LSoundPlayer& p) {
             p.hold();
             p.resume();
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedWaveOut scripted;
        RecordingListener heard;
        ProbePlayer probe(scripted);
        probe.listener = &heard;
        probe.lingerMs = 300;
        SoundSourceRef source(new RampSource(1000, 1));
        ASSERT_TRUE(probe.open(source, 0));
        ASSERT_TRUE(scripted.waitForWrites(3));
        ASSERT_EQ(quietOn(scripted), 3u);
        ASSERT_EQ(scripted.complete(3), 3);
        // The worker has posted the end and left the lock for good.
        ASSERT_EQ(WaitForSingleObject(probe.ended, 5000), WAIT_OBJECT_0);
        ResetEvent(probe.ended);
        row.act(probe);
        SetEvent(probe.release);
        EXPECT_TRUE(pumpUntil([&] {
            scripted.complete(70);
            return heard.count('S') > 0;
        }, 3000)) << heard.summary();
    }
}

// The worker fills the ring at the lowest priority and raises itself to the
// highest once it is full; open, seek and hold each lower it for the refill.
// Every read of the refill is made at the lowest priority: open and seek
// refill all 70 buffers, hold the 69 behind the loop buffer it writes itself.
TEST_F(PlayerTest, TheWorkerFillsAtTheLowestPriorityAndPlaysAtTheHighest) {
    ScriptedWaveOut scripted;
    ProbePlayer probe(scripted);
    PrioritySource* noted = new PrioritySource();
    SoundSourceRef source(noted);
    struct Row {
        const char* name;
        void (*act)(LSoundPlayer&, const SoundSourceRef&);
        size_t workerReads;
    };
    const Row rows[] = {
        {"open", [](LSoundPlayer& p, const SoundSourceRef& s) { ASSERT_TRUE(p.open(s, 0)); }, 70},
        {"seek", [](LSoundPlayer& p, const SoundSourceRef&) { p.seek(0); }, 70},
        {"hold", [](LSoundPlayer& p, const SoundSourceRef&) { p.hold(); }, 69},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        noted->clear();
        const size_t before = scripted.writeCount();
        row.act(probe, source);
        ASSERT_TRUE(scripted.waitForWrites(before + LSoundPlayer::BufferCount));
        // The pass after the last write finds the ring full and raises the worker.
        ASSERT_TRUE(pumpUntil([&] { return probe.workerPriority() == THREAD_PRIORITY_HIGHEST; }, 2000));
        const std::vector<int> priorities = noted->priorities();
        EXPECT_EQ(priorities.size(), row.workerReads);
        EXPECT_EQ(std::count(priorities.begin(), priorities.end(), THREAD_PRIORITY_LOWEST),
                  static_cast<std::ptrdiff_t>(priorities.size()));
    }
    probe.resume();
    EXPECT_EQ(probe.workerPriority(), THREAD_PRIORITY_HIGHEST);
}

// stop gives the device one second in all, not per buffer, to let go of
// buffers it says are still playing; the ring is released either way.
TEST_F(PlayerTest, StopWaitsForStillPlayingBuffersOneSecondInAll) {
    struct Row {
        int stillPlaying;  // refusals before the device lets go; -1 never
        int calls;         // unprepare calls that stop makes
    };
    // 1,000 ms in 50 ms steps: the first buffer is asked at most 21 times,
    // the other 69 once each.
    const Row rows[] = {{0, 70}, {5, 75}, {20, 90}, {-1, 90}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stillPlaying);
        SoundSourceRef source(new PatternSource({0}, 1));
        ASSERT_TRUE(player.open(source, 0));
        ASSERT_TRUE(device.waitForWrites(70));
        device.stillPlayingAnswers = row.stillPlaying;
        const int before = device.unprepareCalls();
        player.stop();
        EXPECT_EQ(device.unprepareCalls() - before, row.calls);
        EXPECT_FALSE(player.isOpen());
        EXPECT_EQ(source->refCount, 1);
        device.stillPlayingAnswers = 0;
    }
}

TEST_F(PlayerTest, HoldLoopsTheHeardBlockAndRefillsBehindIt) {
    RampSource* ramp = new RampSource(44100 * 100, 2);
    SoundSourceRef source(ramp);
    ASSERT_TRUE(player.open(source, 0));
    ASSERT_TRUE(device.waitForWrites(70));
    // Five buffers heard: the listener is at frame 22,050 (5,000 units).
    ASSERT_EQ(device.complete(5), 5);
    ASSERT_TRUE(pumpUntil([&] { return hasPosition(5000); }));
    ASSERT_TRUE(device.waitForWrites(75));
    ASSERT_EQ(quiet(), 75u);

    player.hold();
    EXPECT_EQ(listener.events.back(), (ListenerEvent{'T', 5000}));
    EXPECT_EQ(listener.events[listener.events.size() - 2], (ListenerEvent{'H', 0}));
    EXPECT_EQ(ramp->seeks.back(), 22050);
    EXPECT_EQ(player.stateBits(), LSoundPlayer::Open | LSoundPlayer::Holding | LSoundPlayer::RaisePriority);
    ASSERT_TRUE(device.waitForWrites(76 + 69));
    std::vector<WriteRecord> writes = device.writes();
    // The loop buffer: q = 1,103 frames from the heard position, four times
    // over, the last copy cut to 1,101 frames.
    const WriteRecord& loop = writes[75];
    EXPECT_EQ(loop.buffer, 0);
    EXPECT_EQ(loop.flags & kLoopFlags, kLoopFlags);
    EXPECT_EQ(loop.loops, 0x7FFFFFFFu);
    ASSERT_EQ(loop.bytes, 17640u);
    for (int j = 0; j < 4410; ++j)
        for (int c = 0; c < 2; ++c)
            ASSERT_EQ(loop.samples[j * 2 + c], RampSource::valueAt(22050 + j % 1103, c, 2)) << j;
    // Behind it, buffers 1 to 69 go on from where the loop block ended.
    EXPECT_EQ(writes[76].buffer, 1);
    EXPECT_EQ(writes[76].flags & kLoopFlags, 0u);
    EXPECT_EQ(writes[76].samples.front(), RampSource::valueAt(22050 + 1103, 0, 2));
    EXPECT_EQ(writes[76 + 68].buffer, 69);

    // The loop plays until resume breaks it.
    EXPECT_EQ(device.complete(1), 0);
    player.resume();
    EXPECT_EQ(listener.events.back(), (ListenerEvent{'P', 0}));
    EXPECT_EQ(player.stateBits() & LSoundPlayer::Holding, 0);
    EXPECT_EQ(device.log().back(), "breakloop");
    ASSERT_EQ(device.complete(1), 1);
    // Its pass ends at the frame after the loop block: 23,153 frames = 5,250 units.
    ASSERT_TRUE(pumpUntil([&] { return hasPosition(5250); }));

    // Seeking resets the ring and refills it from the new frame.
    const size_t before = quiet();
    player.seek(100000);
    EXPECT_EQ(ramp->seeks.back(), 100000);
    EXPECT_EQ(listener.events.back(), (ListenerEvent{'T', framesToTime(100000, 44100)}));
    ASSERT_TRUE(device.waitForWrites(before + 70));
    writes = device.writes();
    EXPECT_EQ(writes[before].buffer, 0);
    EXPECT_EQ(writes[before].flags & kLoopFlags, 0u);
    EXPECT_EQ(writes[before].samples.front(), RampSource::valueAt(100000, 0, 2));
    EXPECT_EQ(writes[before + 69].buffer, 69);
}

// Requests that come at any point of the worker's loop, while the device
// finishes buffers on a thread of its own, lose no wake-up and no buffer:
// after each one a holding player has the loop buffer and the 69 behind it
// queued, and a playing one keeps writing as buffers come back.
TEST_F(PlayerTest, RequestsAtAnyPointOfTheWorkerLoopLoseNoBuffer) {
    SoundSourceRef source(new PatternSource({100, -100}, 1));
    ASSERT_TRUE(player.open(source, 0));
    device.startClock(std::chrono::microseconds(200));
    // h hold, r resume, s seek, p pause, o stop and open again.
    const std::string script = "hrhhsrspprhphrsohsorphhrrsspoh";
    for (int pass = 0; pass < 4; ++pass) {
        for (size_t i = 0; i < script.size(); ++i) {
            const char request = script[i];
            SCOPED_TRACE(std::string("pass ") + std::to_string(pass) + ", request " +
                         std::to_string(i) + " '" + request + "'");
            switch (request) {
            case 'h': player.hold(); break;
            case 'r': player.resume(); break;
            case 's': player.seek((static_cast<int>(i) * 997) % 44100); break;
            case 'p': player.pause(); break;
            case 'o':
                player.stop();
                ASSERT_TRUE(player.open(source, 0));
                break;
            }
            const uint16_t state = player.stateBits();
            ASSERT_TRUE(state & LSoundPlayer::Open);
            if (state & LSoundPlayer::Paused)
                continue;
            if (state & LSoundPlayer::Holding) {
                ASSERT_TRUE(pumpUntil([&] { return device.queued() == LSoundPlayer::BufferCount; }))
                    << device.queued() << " queued";
            } else {
                const size_t written = device.writeCount();
                ASSERT_TRUE(pumpUntil([&] { return device.writeCount() >= written + 10; }))
                    << device.writeCount() - written << " written";
            }
        }
    }
    device.stopClock();
    player.stop();
    EXPECT_FALSE(player.isOpen());
}

TEST_F(PlayerTest, SeekWhileHoldingLoopsTheNewFrame) {
    RampSource* ramp = new RampSource(44100 * 100, 1);
    SoundSourceRef source(ramp);
    ASSERT_TRUE(player.open(source, 0));
    ASSERT_TRUE(device.waitForWrites(70));
    player.hold();
    ASSERT_TRUE(device.waitForWrites(140));
    quiet();
    const size_t before = device.writeCount();
    player.seek(50000);
    ASSERT_TRUE(device.waitForWrites(before + 70));
    const std::vector<WriteRecord> writes = device.writes();
    EXPECT_EQ(writes[before].buffer, 0);
    EXPECT_EQ(writes[before].flags & kLoopFlags, kLoopFlags);
    EXPECT_EQ(writes[before].samples[0], RampSource::valueAt(50000, 0, 1));
    EXPECT_EQ(writes[before].samples[1103], RampSource::valueAt(50000, 0, 1));
    EXPECT_EQ(writes[before + 1].buffer, 1);
    EXPECT_EQ(writes[before + 1].samples[0], RampSource::valueAt(50000 + 1103, 0, 1));
    EXPECT_TRUE(player.stateBits() & LSoundPlayer::Holding);
}

TEST_F(PlayerTest, HoldOnAClosedPlayerAndASecondHoldDoNothing) {
    player.hold();
    EXPECT_TRUE(listener.events.empty());
    SoundSourceRef source(new PatternSource({0}, 1));
    ASSERT_TRUE(player.open(source, 0));
    ASSERT_TRUE(device.waitForWrites(70));
    player.hold();
    // The worker refills behind the held block for a while after the first
    // hold; only the second may add nothing.
    quiet();
    const size_t events = listener.events.size();
    const size_t calls = device.log().size();
    player.hold();
    EXPECT_EQ(listener.events.size(), events);
    EXPECT_EQ(device.log().size(), calls);
}

TEST_F(PlayerTest, OverviewGivesPeaksOnlyInHoldMode) {
    RampSource* ramp = new RampSource(44100 * 100, 2);
    SoundSourceRef source(ramp);
    ASSERT_TRUE(player.open(source, 0));
    ASSERT_TRUE(device.waitForWrites(70));
    uint8_t out[512];
    std::fill(out, out + 512, 0xAA);
    player.computeOverview(out, 0, 10000);
    EXPECT_TRUE(std::all_of(out, out + 512, [](uint8_t v) { return v == 0; }));

    player.hold();
    quiet();
    const int positionBefore = ramp->frame;
    // One second from 0.5 s: 44,100 frames from frame 22,050, 512 stretches.
    player.computeOverview(out, 5000, 10000);
    int previousEnd = 0;
    for (int i = 0; i < 512; ++i) {
        const int end = ((i + 1) * 44100) >> 9;
        int peak = 0;
        for (int f = previousEnd; f < end; ++f)
            for (int c = 0; c < 2; ++c)
                peak = std::max(peak, RampSource::valueAt(22050 + f, c, 2) * 16);
        previousEnd = end;
        ASSERT_EQ(out[i], std::min(peak >> 11, 255)) << i;
    }
    EXPECT_EQ(ramp->frame, positionBefore);
    // A span far past 4,194,303 frames does not overflow.
    player.computeOverview(out, 0, INT32_MAX);
    EXPECT_EQ(ramp->frame, positionBefore);
    player.computeOverview(nullptr, 0, 10000);
}

TEST_F(PlayerTest, ReopeningReportsTheOldStopBeforeTheNewStart) {
    SoundSourceRef first(new PatternSource({0}, 1));
    SoundSourceRef second(new PatternSource({0}, 2));
    ASSERT_TRUE(player.open(first, 0));
    ASSERT_TRUE(player.open(second, 0));
    EXPECT_EQ(listener.summary(), "P T0 S P T0");
    EXPECT_EQ(first->refCount, 1);
    EXPECT_EQ(second->refCount, 2);
    player.stop();
    EXPECT_EQ(second->refCount, 1);
    EXPECT_EQ(listener.summary(), "P T0 S P T0 S");
}

TEST_F(PlayerTest, StopOnAClosedPlayerCallsNoListener) {
    player.stop();
    EXPECT_TRUE(listener.events.empty());
    SoundSourceRef source(new PatternSource({0}, 1));
    ASSERT_TRUE(player.open(source, 0));
    player.stop();
    player.stop();
    EXPECT_EQ(listener.summary(), "P T0 S");
}

TEST_F(PlayerTest, OpenRefusesAbsentOrFailedSources) {
    EXPECT_FALSE(player.open(SoundSourceRef(), 0));
    SoundSourceRef failed(new PatternSource({0}, 1, 0));
    ASSERT_TRUE(failed->failed());
    EXPECT_FALSE(player.open(failed, 0));
    EXPECT_EQ(failed->refCount, 1);
    EXPECT_TRUE(device.log().empty());
    EXPECT_TRUE(listener.events.empty());
}

TEST_F(PlayerTest, OpenFallsBackToTheMapperAndFailsCleanlyWhenThatFailsToo) {
    SoundSourceRef source(new PatternSource({0}, 1));
    player.deviceId = 3;
    device.openResults = {MMSYSERR_BADDEVICEID, MMSYSERR_NOERROR, WAVERR_BADFORMAT, WAVERR_BADFORMAT};
    ASSERT_TRUE(player.open(source, 0));
    EXPECT_EQ(device.openIds(), (std::vector<UINT>{3, 3}));
    EXPECT_EQ(device.openFlags(),
              (std::vector<DWORD>{CALLBACK_EVENT, CALLBACK_EVENT | WAVE_MAPPED}));
    player.stop();

    EXPECT_FALSE(player.open(source, 0));
    EXPECT_FALSE(player.isOpen());
    EXPECT_EQ(source->refCount, 1);
    EXPECT_EQ(listener.summary(), "P T0 S");

    // Negative indexes are sign-extended: -1 is the wave mapper.
    player.deviceId = -1;
    ASSERT_TRUE(player.open(source, 0));
    EXPECT_EQ(device.openIds().back(), WAVE_MAPPER);
}

TEST_F(PlayerTest, ABufferThatCannotBePreparedFailsTheOpenAndReleasesTheRest) {
    SoundSourceRef source(new PatternSource({0}, 1));
    device.failPrepareAt = 37;
    EXPECT_FALSE(player.open(source, 0));
    EXPECT_FALSE(player.isOpen());
    EXPECT_EQ(source->refCount, 1);
    const std::vector<std::string> log = device.log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "unprepare"), 69);
    EXPECT_EQ(log.back(), "close");
    EXPECT_EQ(device.prepared(), 70);
    EXPECT_TRUE(listener.events.empty());
    // The next open prepares a whole ring again.
    ASSERT_TRUE(player.open(source, 0));
    EXPECT_EQ(device.prepared(), 140);
}

TEST_F(PlayerTest, DeviceFormatAndBufferSizeFollowTheSource) {
    struct Row {
        int32_t rate;
        uint8_t channels;
        DWORD bufferBytes;
    };
    const Row rows[] = {
        {44100, 2, 17640},   // 4,410 frames
        {44100, 1, 8820},
        {96000, 2, 8192 * 4},  // at most 8,192 frames
        {8000, 1, 1600},     // 800 frames
        {100, 1, 40},        // at least 20 frames
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rate);
        SoundSourceRef source(new PatternSource({0}, row.channels, row.rate));
        const size_t before = device.writeCount();
        ASSERT_TRUE(player.open(source, 0));
        ASSERT_TRUE(device.waitForWrites(before + 1));
        const WAVEFORMATEX format = device.format();
        EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(format.nChannels, row.channels);
        EXPECT_EQ(format.nSamplesPerSec, static_cast<DWORD>(row.rate));
        EXPECT_EQ(format.wBitsPerSample, 16);
        EXPECT_EQ(format.nBlockAlign, 2 * row.channels);
        EXPECT_EQ(format.nAvgBytesPerSec, static_cast<DWORD>(2 * row.channels * row.rate));
        EXPECT_EQ(format.cbSize, 0);
        EXPECT_EQ(device.writes()[before].bytes, row.bufferBytes);
        player.stop();
    }
}

TEST_F(PlayerTest, OnlySourcesAbove524272AreLimited) {
    // The limiter reads its upstream in blocks of rate / 35 frames; the
    // player alone reads whole buffers.
    struct Row {
        int32_t peak;
        int firstRead;
    };
    const Row rows[] = {{524272, 4410}, {524273, 1260}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.peak);
        RampSource* ramp = new RampSource(44100 * 10, 1, 44100, row.peak);
        SoundSourceRef source(ramp);
        ASSERT_TRUE(player.open(source, 0));
        ASSERT_TRUE(device.waitForWrites(device.writeCount() + 1));
        player.stop();
        ASSERT_FALSE(ramp->readSizes.empty());
        EXPECT_EQ(ramp->readSizes.front(), row.firstRead);
    }
}

TEST_F(PlayerTest, ConversionRoundsAndDoesNotClamp) {
    const std::vector<int32_t> in = {524272, -524288, 7, 8, -8, -9, -524280, 524279, 524288};
    const int16_t expected[] = {32767, -32768, 0, 1, 0, -1, -32767, 32767, -32768};
    SoundSourceRef source(new PatternSource(in, 1, 44100, 524272));
    ASSERT_TRUE(player.open(source, 0));
    ASSERT_TRUE(device.waitForWrites(1));
    const std::vector<int16_t> out = device.writes()[0].samples;
    for (size_t i = 0; i < in.size(); ++i)
        EXPECT_EQ(out[i], expected[i]) << in[i];
}

TEST_F(PlayerTest, MeteringReportsTheLevelsOfTheBlockHeard) {
    // Left: full-scale square; right: silence.
    SoundSourceRef source(new PatternSource({524288, 0, -524288, 0}, 2, 44100, 524288));
    player.meteringEnabled = 1;
    ASSERT_TRUE(player.open(source, 0));
    ASSERT_TRUE(device.waitForWrites(70));
    EXPECT_EQ(listener.count('L'), 0);
    ASSERT_EQ(device.complete(1), 1);
    ASSERT_TRUE(pumpUntil([&] { return listener.count('L') > 0; }));
    EXPECT_EQ(listener.lastLevels.count, 2);
    EXPECT_EQ(listener.lastLevels.levels[0], 15);
    EXPECT_EQ(listener.lastLevels.levels[1], -127);
}

}  // namespace
}  // namespace zelvaro
