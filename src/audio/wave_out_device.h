// The waveOut operations the player needs, behind an interface so that the
// ring logic can run against a scripted device as well as the real one.
//
// What the player expects of a device: open signals the given event whenever
// a buffer is done; write clears WHDR_DONE while the device holds a buffer and
// sets it again when done (with WHDR_BEGINLOOP | WHDR_ENDLOOP it plays the
// buffer dwLoops times); reset stops at once and marks every queued buffer
// done; breakLoop lets a looping buffer finish its pass and go on with the
// next; unprepareHeader answers WAVERR_STILLPLAYING while the device holds it.
#pragma once

#include <windows.h>
#include <mmsystem.h>

namespace zelvaro {

class WaveOutDevice {
public:
    virtual ~WaveOutDevice() = default;

    // flags is CALLBACK_EVENT, possibly with WAVE_MAPPED; 0 is success.
    virtual MMRESULT open(UINT deviceId, const WAVEFORMATEX& format, HANDLE event, DWORD flags) = 0;
    // Whether the device would open `format` (flags WAVE_FORMAT_QUERY, possibly
    // with WAVE_MAPPED), without opening it; a device layer that cannot tell
    // answers MMSYSERR_NOTSUPPORTED. `format` may head a WAVEFORMATEXTENSIBLE.
    virtual MMRESULT query(UINT deviceId, const WAVEFORMATEX& format, DWORD flags);
    virtual MMRESULT prepareHeader(WAVEHDR* header) = 0;
    virtual MMRESULT unprepareHeader(WAVEHDR* header) = 0;
    virtual MMRESULT write(WAVEHDR* header) = 0;
    virtual MMRESULT pause() = 0;
    virtual MMRESULT restart() = 0;
    virtual MMRESULT reset() = 0;
    virtual MMRESULT breakLoop() = 0;
    virtual MMRESULT close() = 0;
};

// The system's waveOut device.
class WinmmWaveOutDevice : public WaveOutDevice {
public:
    MMRESULT open(UINT deviceId, const WAVEFORMATEX& format, HANDLE event, DWORD flags) override;
    MMRESULT query(UINT deviceId, const WAVEFORMATEX& format, DWORD flags) override;
    MMRESULT prepareHeader(WAVEHDR* header) override;
    MMRESULT unprepareHeader(WAVEHDR* header) override;
    MMRESULT write(WAVEHDR* header) override;
    MMRESULT pause() override;
    MMRESULT restart() override;
    MMRESULT reset() override;
    MMRESULT breakLoop() override;
    MMRESULT close() override;

private:
    HWAVEOUT handle_ = nullptr;
};

}  // namespace zelvaro
