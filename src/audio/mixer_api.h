// The device-list and mixer calls that the device and volume operations use,
// behind an interface so that their control walks can be checked against a
// scripted mixer as well as the system's.
#pragma once

#include <windows.h>
#include <mmsystem.h>

namespace zelvaro {

class MixerApi {
public:
    virtual ~MixerApi() = default;

    virtual UINT waveOutDeviceCount() = 0;
    // Product name into name (MAXPNAMELEN characters); false when the
    // capabilities cannot be read.
    virtual bool waveOutDeviceName(UINT device, char* name) = 0;
    virtual UINT waveInDeviceCount() = 0;
    virtual bool waveInDeviceName(UINT device, char* name) = 0;

    // Maps a waveOut or waveIn device index (MIXER_OBJECTF_WAVEOUT or
    // MIXER_OBJECTF_WAVEIN) to its mixer.
    virtual MMRESULT getId(UINT device, UINT* mixer, DWORD objectFlag) = 0;
    // The remaining calls address the mixer by its index; flags are the query
    // flags (MIXER_GETLINEINFOF_..., MIXER_GETCONTROLDETAILSF_..., ...).
    virtual MMRESULT getLineInfo(UINT mixer, MIXERLINEA* line, DWORD flags) = 0;
    virtual MMRESULT getLineControls(UINT mixer, MIXERLINECONTROLSA* controls, DWORD flags) = 0;
    virtual MMRESULT getControlDetails(UINT mixer, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
    virtual MMRESULT setControlDetails(UINT mixer, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
};

// The system's devices and mixers (winmm).
MixerApi& systemMixer();

}  // namespace zelvaro
