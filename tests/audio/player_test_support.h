// Sources, a recording listener and message pumping for the player's tests.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "audio/sound_player_listener.h"
#include "signal/sound_source.h"

namespace zelvaro::test {

// Frame f of channel c holds ((f * channels + c) mod 30000) x 16, so every
// 16-bit value written names its frame. Seekable; records its reads and seeks.
class RampSource : public SoundSource {
public:
    RampSource(int frames, uint8_t channelCount, int32_t rate = 44100, int32_t peak = 524272)
        : SoundSource(rate, peak, channelCount), total(frames) {}

    static int16_t valueAt(int frame, int channel, int channels) {
        return static_cast<int16_t>((static_cast<int64_t>(frame) * channels + channel) % 30000);
    }

    void read(int32_t* samples, int frames) override {
        readSizes.push_back(frames);
        for (int j = 0; j < frames; ++j)
            for (int c = 0; c < channels; ++c)
                samples[j * channels + c] = valueAt(frame + j, c, channels) * 16;
        frame += frames;
    }
    void seek(int target) override {
        seeks.push_back(target);
        frame = target;
    }
    int position() override { return frame; }
    int length() override { return total; }

    int total;
    int frame = 0;
    std::vector<int> readSizes;
    std::vector<int> seeks;
};

// Interleaved samples repeated for ever: a continuous source (position 0,
// length 60 seconds), as the generators report.
class PatternSource : public SoundSource {
public:
    PatternSource(std::vector<int32_t> pattern, uint8_t channelCount, int32_t rate = 44100,
                  int32_t peak = 524272)
        : SoundSource(rate, peak, channelCount), values(std::move(pattern)) {}

    void read(int32_t* samples, int frames) override {
        for (int i = 0; i < frames * channels; ++i)
            samples[i] = values[(next + i) % values.size()];
        next = (next + static_cast<size_t>(frames) * channels) % values.size();
    }
    int position() override { return 0; }
    int length() override { return sampleRate * 60; }

    std::vector<int32_t> values;
    size_t next = 0;
};

// A continuous source of silence that notes the priority of the thread
// behind every read made on a thread other than its creator's (the worker's).
// It never makes a read wait: the player reads under its lock, so a read held
// back would hold back hold and seek on the creator's thread as well.
class PrioritySource : public SoundSource {
public:
    PrioritySource() : SoundSource(44100, 524272, 1), owner_(GetCurrentThreadId()) {}

    // Forgets what was noted so far.
    void clear() {
        std::lock_guard<std::mutex> guard(mutex_);
        priorities_.clear();
    }
    std::vector<int> priorities() {
        std::lock_guard<std::mutex> guard(mutex_);
        return priorities_;
    }

    void read(int32_t* samples, int frames) override {
        if (GetCurrentThreadId() != owner_) {
            std::lock_guard<std::mutex> guard(mutex_);
            priorities_.push_back(GetThreadPriority(GetCurrentThread()));
        }
        std::fill(samples, samples + static_cast<size_t>(frames) * channels, 0);
    }
    int position() override { return 0; }
    int length() override { return sampleRate * 60; }

private:
    DWORD owner_;
    std::mutex mutex_;
    std::vector<int> priorities_;
};

struct ListenerEvent {
    char kind;  // 'P' playing, 'S' stopped, 'H' holding, 'Z' paused, 'T' position, 'L' levels
    int32_t value;
    bool operator==(const ListenerEvent& other) const {
        return kind == other.kind && value == other.value;
    }
};

class RecordingListener : public LSoundPlayerListener {
public:
    void onPlaying(int32_t data) override { add('P', data); }
    void onStopped(int32_t data) override { add('S', data); }
    void onHolding(int32_t data) override { add('H', data); }
    void onPaused(int32_t data) override { add('Z', data); }
    void onPosition(int32_t data, int32_t time) override {
        (void)data;
        add('T', time);
    }
    void onLevels(const ChannelLevels* levels, int32_t data) override {
        (void)data;
        lastLevels = *levels;
        add('L', levels->count);
    }

    int count(char kind) const {
        int n = 0;
        for (const ListenerEvent& e : events)
            n += e.kind == kind ? 1 : 0;
        return n;
    }
    // Event kinds in order, positions with their time: "P T0 S".
    std::string summary() const {
        std::string text;
        for (const ListenerEvent& e : events) {
            if (!text.empty())
                text += ' ';
            text += e.kind;
            if (e.kind == 'T')
                text += std::to_string(e.value);
        }
        return text;
    }

    std::vector<ListenerEvent> events;
    ChannelLevels lastLevels = {};

private:
    void add(char kind, int32_t value) { events.push_back({kind, value}); }
};

// Dispatches this thread's messages until done() or the time-out.
inline bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(1);
    }
}

inline void pumpFor(DWORD ms) {
    pumpUntil([] { return false; }, ms);
}

}  // namespace zelvaro::test
