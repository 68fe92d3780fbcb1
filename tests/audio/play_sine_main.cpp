// Plays a sine through waveOut so that a recording of the sound server can
// prove what reached the device. Exits 77 (skip) when there is no device.
//
//   play_sine [FREQ_HZ] [SECONDS] [PEAK_16BIT] [DEVICE]
#include <windows.h>
#include <mmsystem.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

constexpr double kPi = 3.14159265358979323846;

int main(int argc, char** argv) {
    const double freq = argc > 1 ? std::atof(argv[1]) : 1000.0;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 0.5;
    const double peak = argc > 3 ? std::atof(argv[3]) : 8192.0;
    const UINT device = argc > 4 ? static_cast<UINT>(std::atoi(argv[4])) : WAVE_MAPPER;

    if (waveOutGetNumDevs() == 0) {
        std::fprintf(stderr, "SKIP: no waveOut device\n");
        return 77;
    }
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = 88200;

    HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HWAVEOUT wave = nullptr;
    MMRESULT rc = waveOutOpen(&wave, device, &format, reinterpret_cast<DWORD_PTR>(done), 0,
                              CALLBACK_EVENT);
    if (rc != MMSYSERR_NOERROR) {
        std::fprintf(stderr, "SKIP: waveOutOpen failed (%u)\n", rc);
        return 77;
    }
    const size_t toneFrames = static_cast<size_t>(seconds * 44100.0);
    // The device reports a buffer done when the sound server has taken it, not
    // when it has been heard; closing at once would cut the tail off. Trailing
    // silence keeps the whole tone ahead of the close.
    const size_t frames = toneFrames + 44100 / 2;
    std::vector<short> samples(frames, 0);
    for (size_t i = 0; i < toneFrames; ++i)
        samples[i] = static_cast<short>(std::lround(peak * std::sin(2.0 * kPi * freq * i / 44100.0)));

    WAVEHDR header = {};
    header.lpData = reinterpret_cast<LPSTR>(samples.data());
    header.dwBufferLength = static_cast<DWORD>(frames * 2);
    waveOutPrepareHeader(wave, &header, sizeof header);
    ResetEvent(done);
    waveOutWrite(wave, &header, sizeof header);
    const DWORD budget = static_cast<DWORD>(seconds * 1000.0) + 5000;
    const DWORD start = GetTickCount();
    while (!(header.dwFlags & WHDR_DONE) && GetTickCount() - start < budget)
        WaitForSingleObject(done, 100);
    const bool finished = (header.dwFlags & WHDR_DONE) != 0;
    waveOutReset(wave);
    while (waveOutUnprepareHeader(wave, &header, sizeof header) == WAVERR_STILLPLAYING)
        Sleep(10);
    waveOutClose(wave);
    CloseHandle(done);
    if (!finished) {
        std::fprintf(stderr, "FAIL: the buffer never came back from the device\n");
        return 1;
    }
    std::printf("played %.2f s of %.1f Hz\n", seconds, freq);
    return 0;
}
