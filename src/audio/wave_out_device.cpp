#include "audio/wave_out_device.h"

namespace zelvaro {

MMRESULT WinmmWaveOutDevice::open(UINT deviceId, const WAVEFORMATEX& format, HANDLE event,
                                  DWORD flags) {
    HWAVEOUT opened = nullptr;
    const MMRESULT result = waveOutOpen(&opened, deviceId, &format,
                                        reinterpret_cast<DWORD_PTR>(event), 0, flags);
    if (result == MMSYSERR_NOERROR)
        handle_ = opened;
    return result;
}

MMRESULT WaveOutDevice::query(UINT, const WAVEFORMATEX&, DWORD) { return MMSYSERR_NOTSUPPORTED; }

MMRESULT WinmmWaveOutDevice::query(UINT deviceId, const WAVEFORMATEX& format, DWORD flags) {
    // A query opens nothing: the handle stays as it is.
    return waveOutOpen(nullptr, deviceId, &format, 0, 0, flags | WAVE_FORMAT_QUERY);
}

MMRESULT WinmmWaveOutDevice::prepareHeader(WAVEHDR* header) {
    return waveOutPrepareHeader(handle_, header, sizeof *header);
}

MMRESULT WinmmWaveOutDevice::unprepareHeader(WAVEHDR* header) {
    return waveOutUnprepareHeader(handle_, header, sizeof *header);
}

MMRESULT WinmmWaveOutDevice::write(WAVEHDR* header) {
    return waveOutWrite(handle_, header, sizeof *header);
}

MMRESULT WinmmWaveOutDevice::pause() { return waveOutPause(handle_); }

MMRESULT WinmmWaveOutDevice::restart() { return waveOutRestart(handle_); }

MMRESULT WinmmWaveOutDevice::reset() { return waveOutReset(handle_); }

MMRESULT WinmmWaveOutDevice::breakLoop() { return waveOutBreakLoop(handle_); }

MMRESULT WinmmWaveOutDevice::close() {
    const MMRESULT result = waveOutClose(handle_);
    handle_ = nullptr;
    return result;
}

}  // namespace zelvaro
