// Hand-run measurements of the player on the system's waveOut device (not a
// CTest test):
//   1. the worker thread's CPU time per second of audio while it plays 16
//      stereo tones (GetThreadTimes over a steady stretch after the ring is full);
//   2. the time from a restart (stop, then open) to the first buffer queued.
//
//   audio_player_bench [SECONDS] [RESTARTS] [pure RATE 16|24|float]
//
// (defaults 10 s and 20 restarts, the 16-bit chain). With "pure" the tones
// come from the pure path at RATE in that format, as the window plays them
// with pure synthesis; a restart then includes asking the device for the
// format and making the pure source, as the window's does.
//
// Under Wine, inside the test environment of tools/lib/winenv.sh:
//   source tools/lib/winenv.sh && zelvaro_env_start /tmp/bench-env
//   wine BUILD/tests/audio/audio_player_bench.exe 30 30; zelvaro_env_stop
// Wine reports thread times in 10 ms steps, so give the CPU figure 30 s or more.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <string>

#include "audio/l_sound_player.h"
#include "audio/pure_playback.h"
#include "signal/signal_source.h"
#include "tone/tone_settings.h"

namespace {

using namespace zelvaro;

// The system's device, noting when the first buffer after an open is queued.
class TimedWaveOut : public WaveOutDevice {
public:
    MMRESULT open(UINT id, const WAVEFORMATEX& format, HANDLE event, DWORD flags) override {
        firstWrite = 0;
        return real.open(id, format, event, flags);
    }
    MMRESULT query(UINT id, const WAVEFORMATEX& format, DWORD flags) override {
        return real.query(id, format, flags);
    }
    MMRESULT prepareHeader(WAVEHDR* h) override { return real.prepareHeader(h); }
    MMRESULT unprepareHeader(WAVEHDR* h) override { return real.unprepareHeader(h); }
    MMRESULT write(WAVEHDR* h) override {
        if (firstWrite == 0) {
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            firstWrite = now.QuadPart;
        }
        return real.write(h);
    }
    MMRESULT pause() override { return real.pause(); }
    MMRESULT restart() override { return real.restart(); }
    MMRESULT reset() override { return real.reset(); }
    MMRESULT breakLoop() override { return real.breakLoop(); }
    MMRESULT close() override { return real.close(); }

    WinmmWaveOutDevice real;
    volatile LONGLONG firstWrite = 0;
};

class BenchPlayer : public LSoundPlayer {
public:
    explicit BenchPlayer(WaveOutDevice& device) : LSoundPlayer(device) {}
    HANDLE worker() const { return thread; }
};

double threadSeconds(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return -1.0;
    auto value = [](const FILETIME& t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
    };
    return value(kernel) + value(user);
}

void pump(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(5);
    }
}

ToneSettings sixteenStereoToneSettings() {
    ToneSettings tone;
    setDefaults(tone);
    tone.flags = kFlagStereo;  // continuous, stereo
    tone.toneCount = kMaxTones;
    for (int i = 0; i < kMaxTones; ++i) {
        tone.startLeft[i] = tone.endLeft[i] = 110.0 * (i + 1);
        tone.startRight[i] = tone.endRight[i] = 113.0 * (i + 1);
    }
    return tone;
}

// Plays the sixteen tones from the chain, or with `pure` from the pure path.
bool openTones(LSoundPlayer& player, const PurePlayRequest* pure) {
    if (pure != nullptr)
        return playPure(player, sixteenStereoToneSettings(), *pure).opened;
    SoundSourceRef source = createSignalSource(sixteenStereoToneSettings());
    return player.open(source, 0);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int restarts = argc > 2 ? std::atoi(argv[2]) : 20;
    if (waveOutGetNumDevs() == 0) {
        std::fprintf(stderr, "SKIP: no waveOut device\n");
        return 77;
    }
    PurePlayRequest request;
    const bool pure = argc > 5 && std::string(argv[3]) == "pure";
    if (pure) {
        request.format.sampleRate = std::atoi(argv[4]);
        const std::string format = argv[5];
        request.format.encoding = format == "24"      ? SampleEncoding::kPcm24
                                  : format == "float" ? SampleEncoding::kFloat32
                                                      : SampleEncoding::kPcm16;
        if (request.format.encoding == SampleEncoding::kPcm16)
            request.ditherSeed = 1;
        std::printf("pure path: %s\n", describePlayFormat(request.format).c_str());
    }
    TimedWaveOut device;
    BenchPlayer player(device);
    if (!openTones(player, pure ? &request : nullptr)) {
        std::fprintf(stderr, "the device could not be opened\n");
        return 1;
    }
    // The ring holds 7 seconds; once it is full the worker refills one buffer
    // per tenth of a second, which is the steady cost measured.
    pump(8000);
    const double cpuStart = threadSeconds(player.worker());
    LARGE_INTEGER frequency, wallStart, wallEnd;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&wallStart);
    pump(static_cast<DWORD>(seconds) * 1000);
    const double cpuEnd = threadSeconds(player.worker());
    QueryPerformanceCounter(&wallEnd);
    const double audio = static_cast<double>(wallEnd.QuadPart - wallStart.QuadPart) / frequency.QuadPart;
    std::printf("16 stereo tones: worker CPU %.4f s over %.2f s of audio = %.3f %% of one core\n",
                cpuEnd - cpuStart, audio, 100.0 * (cpuEnd - cpuStart) / audio);

    std::vector<double> latencies;
    for (int i = 0; i < restarts; ++i) {
        LARGE_INTEGER before;
        QueryPerformanceCounter(&before);
        player.stop();
        if (!openTones(player, pure ? &request : nullptr)) {
            std::fprintf(stderr, "restart %d: the device could not be opened\n", i);
            return 1;
        }
        while (device.firstWrite == 0)
            Sleep(0);
        latencies.push_back(1000.0 * static_cast<double>(device.firstWrite - before.QuadPart) /
                            frequency.QuadPart);
        pump(300);
    }
    player.stop();
    std::sort(latencies.begin(), latencies.end());
    std::printf("restart (stop, open) to first buffer queued over %d restarts: median %.2f ms, "
                "min %.2f ms, max %.2f ms\n",
                restarts, latencies[latencies.size() / 2], latencies.front(), latencies.back());
    return 0;
}
