#include "audio/mixer_api.h"

#include <cstring>

namespace zelvaro {

namespace {

HMIXEROBJ mixerObject(UINT mixer) { return reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(mixer)); }

// The name of a waveOut or waveIn device, always terminated.
template <class Caps, class GetCaps>
bool deviceName(GetCaps getCaps, UINT device, char* name) {
    Caps caps;
    std::memset(&caps, 0, sizeof caps);
    if (getCaps(device, &caps, sizeof caps) != MMSYSERR_NOERROR)
        return false;
    std::memcpy(name, caps.szPname, MAXPNAMELEN);
    name[MAXPNAMELEN - 1] = '\0';
    return true;
}

class WinmmMixerApi : public MixerApi {
public:
    UINT waveOutDeviceCount() override { return waveOutGetNumDevs(); }

    bool waveOutDeviceName(UINT device, char* name) override {
        return deviceName<WAVEOUTCAPSA>(waveOutGetDevCapsA, device, name);
    }

    UINT waveInDeviceCount() override { return waveInGetNumDevs(); }

    bool waveInDeviceName(UINT device, char* name) override {
        return deviceName<WAVEINCAPSA>(waveInGetDevCapsA, device, name);
    }

    MMRESULT getId(UINT device, UINT* mixer, DWORD objectFlag) override {
        return mixerGetID(reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(device)), mixer,
                          objectFlag);
    }

    MMRESULT getLineInfo(UINT mixer, MIXERLINEA* line, DWORD flags) override {
        return mixerGetLineInfoA(mixerObject(mixer), line, MIXER_OBJECTF_MIXER | flags);
    }

    MMRESULT getLineControls(UINT mixer, MIXERLINECONTROLSA* controls, DWORD flags) override {
        return mixerGetLineControlsA(mixerObject(mixer), controls, MIXER_OBJECTF_MIXER | flags);
    }

    MMRESULT getControlDetails(UINT mixer, MIXERCONTROLDETAILS* details, DWORD flags) override {
        return mixerGetControlDetailsA(mixerObject(mixer), details, MIXER_OBJECTF_MIXER | flags);
    }

    MMRESULT setControlDetails(UINT mixer, MIXERCONTROLDETAILS* details, DWORD flags) override {
        return mixerSetControlDetails(mixerObject(mixer), details, MIXER_OBJECTF_MIXER | flags);
    }
};

}  // namespace

MixerApi& systemMixer() {
    static WinmmMixerApi api;
    return api;
}

}  // namespace zelvaro
