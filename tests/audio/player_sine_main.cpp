// Plays a sine through LSoundPlayer at a playback volume set with
// setPlayVolume, so that a recording of the sound server can check the
// frequency and the level. Prints the speaker volume read back from the mixer.
// Exits 77 (skip) when there is no device.
//
//   player_sine FREQ_HZ SECONDS VOLUME_DB PEAK_16BIT
#include <windows.h>
#include <mmsystem.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "audio/l_sound_player.h"
#include "audio/output_devices.h"

namespace {

// A continuous sine, as the generators report one: position 0, length 60 s.
class SineSource : public zelvaro::SoundSource {
public:
    SineSource(double frequency, double peak16)
        : SoundSource(44100, static_cast<int32_t>(peak16 * 16), 1), step_(frequency / 44100.0),
          amplitude_(peak16 * 16) {}
    void read(int32_t* samples, int frames) override {
        for (int i = 0; i < frames; ++i) {
            samples[i] = static_cast<int32_t>(std::lround(amplitude_ * std::sin(6.283185307179586 * phase_)));
            phase_ += step_;
            if (phase_ >= 1.0)
                phase_ -= 1.0;
        }
    }
    int position() override { return 0; }
    int length() override { return sampleRate * 60; }

private:
    double step_;
    double amplitude_;
    double phase_ = 0.0;
};

class StopWatcher : public zelvaro::LSoundPlayerListener {
public:
    void onStopped(int32_t) override { stopped = true; }
    bool stopped = false;
};

}  // namespace

int main(int argc, char** argv) {
    const double frequency = argc > 1 ? std::atof(argv[1]) : 1000.0;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 1.0;
    const int volume = argc > 3 ? std::atoi(argv[3]) : 0;
    const double peak = argc > 4 ? std::atof(argv[4]) : 8192.0;
    if (waveOutGetNumDevs() == 0) {
        std::fprintf(stderr, "SKIP: no waveOut device\n");
        return 77;
    }
    zelvaro::setPlayVolume(0, static_cast<zelvaro::DbValue>(volume), 0);
    std::printf("volume %d dB: mixer value %u\n", volume,
                zelvaro::mixerVolumeValue(static_cast<zelvaro::DbValue>(volume)));

    StopWatcher watcher;
    zelvaro::LSoundPlayer player;
    player.listener = &watcher;
    zelvaro::SoundSourceRef source(new SineSource(frequency, peak));
    if (!player.open(source, 0)) {
        std::fprintf(stderr, "SKIP: the player could not open device 0\n");
        return 77;
    }
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(seconds * 1000.0) && !watcher.stopped) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(5);
    }
    player.stop();
    zelvaro::setPlayVolume(0, 0, 0);
    std::printf("played %.2f s of %.1f Hz at %d dB\n", seconds, frequency, volume);
    return watcher.stopped && GetTickCount() - start < static_cast<DWORD>(seconds * 1000.0) ? 1 : 0;
}
