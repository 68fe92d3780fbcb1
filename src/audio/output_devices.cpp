#include "audio/output_devices.h"

#include <cstring>
#include <vector>

namespace zelvaro {

namespace {

const char kRecordMixerEntry[] = "Windows Record Mixer";

bool mixerOf(MixerApi& api, int8_t device, DWORD objectFlag, UINT* mixer) {
    return api.getId(static_cast<UINT>(static_cast<uint8_t>(device)), mixer, objectFlag) ==
           MMSYSERR_NOERROR;
}

// The playback operations fall back to the first mixer when the device has none of its own.
UINT playbackMixer(MixerApi& api, int8_t device) {
    UINT mixer = 0;
    if (!mixerOf(api, device, MIXER_OBJECTF_WAVEOUT, &mixer))
        mixer = 0;
    return mixer;
}

bool lineByType(MixerApi& api, UINT mixer, DWORD componentType, MIXERLINEA* line) {
    std::memset(line, 0, sizeof *line);
    line->cbStruct = sizeof *line;
    line->dwComponentType = componentType;
    return api.getLineInfo(mixer, line, MIXER_GETLINEINFOF_COMPONENTTYPE) == MMSYSERR_NOERROR;
}

bool sourceLine(MixerApi& api, UINT mixer, const MIXERLINEA& destination, DWORD index,
                MIXERLINEA* line) {
    std::memset(line, 0, sizeof *line);
    line->cbStruct = sizeof *line;
    line->dwDestination = destination.dwDestination;
    line->dwSource = index;
    return api.getLineInfo(mixer, line, MIXER_GETLINEINFOF_SOURCE) == MMSYSERR_NOERROR;
}

// Every control of a line, read afresh for each operation.
bool lineControls(MixerApi& api, UINT mixer, const MIXERLINEA& line,
                  std::vector<MIXERCONTROLA>* controls) {
    if (line.cControls == 0)
        return false;
    controls->assign(line.cControls, MIXERCONTROLA());
    for (MIXERCONTROLA& control : *controls)
        control.cbStruct = sizeof control;
    MIXERLINECONTROLSA request;
    std::memset(&request, 0, sizeof request);
    request.cbStruct = sizeof request;
    request.dwLineID = line.dwLineID;
    request.cControls = line.cControls;
    request.cbmxctrl = sizeof(MIXERCONTROLA);
    request.pamxctrl = controls->data();
    return api.getLineControls(mixer, &request, MIXER_GETLINECONTROLSF_ALL) == MMSYSERR_NOERROR;
}

// One value for all channels; the result is not checked.
void setControlValue(MixerApi& api, UINT mixer, DWORD controlId, DWORD value) {
    MIXERCONTROLDETAILS_UNSIGNED detail;
    detail.dwValue = value;
    MIXERCONTROLDETAILS details;
    std::memset(&details, 0, sizeof details);
    details.cbStruct = sizeof details;
    details.dwControlID = controlId;
    details.cChannels = 1;
    details.cMultipleItems = 0;
    details.cbDetails = sizeof detail;
    details.paDetails = &detail;
    api.setControlDetails(mixer, &details, MIXER_SETCONTROLDETAILSF_VALUE);
}

void setItemValues(MixerApi& api, UINT mixer, const MIXERCONTROLA& control,
                   const std::vector<MIXERCONTROLDETAILS_BOOLEAN>& items) {
    MIXERCONTROLDETAILS details;
    std::memset(&details, 0, sizeof details);
    details.cbStruct = sizeof details;
    details.dwControlID = control.dwControlID;
    details.cChannels = 1;
    details.cMultipleItems = static_cast<DWORD>(items.size());
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_BOOLEAN);
    details.paDetails = const_cast<MIXERCONTROLDETAILS_BOOLEAN*>(items.data());
    api.setControlDetails(mixer, &details, MIXER_SETCONTROLDETAILSF_VALUE);
}

bool isLevelControl(DWORD type) {
    return type == MIXERCONTROL_CONTROLTYPE_FADER || type == MIXERCONTROL_CONTROLTYPE_VOLUME;
}

// What one line's controls are set to: level for faders and volumes, the
// mute state, and the on/off switch (left alone when setOnOff is false).
struct LineSetting {
    DWORD level;
    DWORD mute;
    bool setOnOff;
    DWORD onOff;
};

void applyToLine(MixerApi& api, UINT mixer, const MIXERLINEA& line, const LineSetting& setting) {
    std::vector<MIXERCONTROLA> controls;
    if (!lineControls(api, mixer, line, &controls))
        return;
    for (const MIXERCONTROLA& control : controls) {
        if (isLevelControl(control.dwControlType))
            setControlValue(api, mixer, control.dwControlID, setting.level);
        else if (control.dwControlType == MIXERCONTROL_CONTROLTYPE_MUTE)
            setControlValue(api, mixer, control.dwControlID, setting.mute);
        else if (setting.setOnOff && control.dwControlType == MIXERCONTROL_CONTROLTYPE_ONOFF)
            setControlValue(api, mixer, control.dwControlID, setting.onOff);
    }
}

DbValue clampDb(int value) {
    if (value > 127)
        return 127;
    if (value < -127)
        return -127;
    return static_cast<DbValue>(value);
}

// At most 31 characters of the line's name (which may hold 63).
void copyName(char* text, const char* name) {
    size_t length = 0;
    while (length < kLineNameSize - 1 && name[length] != '\0')
        ++length;
    std::memcpy(text, name, length);
    text[length] = '\0';
}

// The destination of a device's mixer; false when the device index is
// negative or has no mixer, or the mixer has no such destination.
bool destinationOf(MixerApi& api, int8_t device, DWORD objectFlag, DWORD componentType,
                   UINT* mixer, MIXERLINEA* destination) {
    if (device < 0 || !mixerOf(api, device, objectFlag, mixer))
        return false;
    return lineByType(api, *mixer, componentType, destination);
}

int8_t lineCount(MixerApi& api, int8_t device, DWORD objectFlag, DWORD componentType) {
    UINT mixer = 0;
    MIXERLINEA destination;
    if (!destinationOf(api, device, objectFlag, componentType, &mixer, &destination))
        return 0;
    return static_cast<int8_t>(destination.cConnections > 127 ? 127 : destination.cConnections);
}

void lineName(MixerApi& api, int8_t device, int8_t index, char* text, DWORD objectFlag,
              DWORD componentType) {
    text[0] = '\0';
    UINT mixer = 0;
    MIXERLINEA destination;
    if (index < 0 || !destinationOf(api, device, objectFlag, componentType, &mixer, &destination))
        return;
    if (static_cast<DWORD>(index) >= destination.cConnections)
        return;
    MIXERLINEA line;
    if (sourceLine(api, mixer, destination, static_cast<DWORD>(index), &line))
        copyName(text, line.szName);
}

void fillDeviceCombo(HWND dialog, int comboId, int8_t selected, UINT count,
                     bool (MixerApi::*nameOf)(UINT, char*), MixerApi& api) {
    SendDlgItemMessageA(dialog, comboId, CB_RESETCONTENT, 0, 0);
    if (count > 127)
        count = 127;
    for (UINT i = 0; i < count; ++i) {
        char name[MAXPNAMELEN];
        if (!(api.*nameOf)(i, name))
            name[0] = '\0';
        SendDlgItemMessageA(dialog, comboId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    // Sign-extended, so -1 clears the selection.
    SendDlgItemMessageA(dialog, comboId, CB_SETCURSEL,
                        static_cast<WPARAM>(static_cast<INT_PTR>(selected)), 0);
}

// The item of a multiplexer that stands for a source line: the first whose
// list text carries the line's id, else the item numbered like the line.
DWORD muxItemFor(MixerApi& api, UINT mixer, const MIXERLINEA& destination,
                 const MIXERCONTROLA& control, int8_t line) {
    MIXERLINEA source;
    if (!sourceLine(api, mixer, destination, static_cast<DWORD>(line), &source))
        return static_cast<DWORD>(line);
    std::vector<MIXERCONTROLDETAILS_LISTTEXTA> texts(control.cMultipleItems);
    MIXERCONTROLDETAILS details;
    std::memset(&details, 0, sizeof details);
    details.cbStruct = sizeof details;
    details.dwControlID = control.dwControlID;
    details.cChannels = 1;
    details.cMultipleItems = control.cMultipleItems;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_LISTTEXTA);
    details.paDetails = texts.data();
    if (api.getControlDetails(mixer, &details, MIXER_GETCONTROLDETAILSF_LISTTEXT) != MMSYSERR_NOERROR)
        return static_cast<DWORD>(line);
    for (DWORD i = 0; i < texts.size(); ++i)
        if (texts[i].dwParam1 == source.dwLineID)
            return i;
    return static_cast<DWORD>(line);
}

}  // namespace

uint32_t mixerVolumeValue(DbValue volume) {
    if (volume <= -36)
        return 0;
    const uint32_t value = static_cast<uint32_t>(volume + 36) * 1424u;
    return value > 65535u ? 65535u : value;
}

void fillPlayDeviceList(HWND dialog, int comboId, int8_t selected, MixerApi& api) {
    fillDeviceCombo(dialog, comboId, selected, api.waveOutDeviceCount(),
                    &MixerApi::waveOutDeviceName, api);
}

void setPlayVolume(int8_t device, DbValue volume, DbValue offset, MixerApi& api) {
    if (device < 0)
        return;
    const UINT mixer = playbackMixer(api, device);
    // The speaker (master) part and the wave-output part are independent: a
    // missing speaker line only skips the first.
    MIXERLINEA speakers;
    if (lineByType(api, mixer, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, &speakers))
        applyToLine(api, mixer, speakers, {mixerVolumeValue(volume), 0, false, 0});
    const DbValue wave = clampDb(volume + offset);
    MIXERLINEA waveOut;
    if (lineByType(api, mixer, MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, &waveOut))
        applyToLine(api, mixer, waveOut, {mixerVolumeValue(wave), 0, true, 1});
}

int8_t recordLineCount(int8_t device, MixerApi& api) {
    return lineCount(api, device, MIXER_OBJECTF_WAVEIN, MIXERLINE_COMPONENTTYPE_DST_WAVEIN);
}

int8_t playLineCount(int8_t device, MixerApi& api) {
    return lineCount(api, device, MIXER_OBJECTF_WAVEOUT, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
}

void recordLineName(int8_t device, int8_t index, char* text, MixerApi& api) {
    if (index < 0) {
        copyName(text, kRecordMixerEntry);
        return;
    }
    lineName(api, device, index, text, MIXER_OBJECTF_WAVEIN, MIXERLINE_COMPONENTTYPE_DST_WAVEIN);
}

void playLineName(int8_t device, int8_t index, char* text, MixerApi& api) {
    lineName(api, device, index, text, MIXER_OBJECTF_WAVEOUT, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
}

void fillRecordDeviceList(HWND dialog, int deviceComboId, int inputComboId, RecordChoice choice,
                          MixerApi& api) {
    fillDeviceCombo(dialog, deviceComboId, choice.device, api.waveInDeviceCount(),
                    &MixerApi::waveInDeviceName, api);
    fillRecordInputList(dialog, deviceComboId, inputComboId, api);
    SendDlgItemMessageA(dialog, inputComboId, CB_SETCURSEL,
                        static_cast<WPARAM>(static_cast<INT_PTR>(choice.input + 1)), 0);
}

void fillRecordInputList(HWND dialog, int deviceComboId, int inputComboId, MixerApi& api) {
    const LRESULT remembered = SendDlgItemMessageA(dialog, inputComboId, CB_GETCURSEL, 0, 0);
    const LRESULT deviceEntry = SendDlgItemMessageA(dialog, deviceComboId, CB_GETCURSEL, 0, 0);
    const int8_t device = static_cast<int8_t>(deviceEntry);
    SendDlgItemMessageA(dialog, inputComboId, CB_RESETCONTENT, 0, 0);
    const int8_t count = recordLineCount(device, api);
    for (int i = -1; i < count; ++i) {
        char name[kLineNameSize];
        recordLineName(device, static_cast<int8_t>(i), name, api);
        SendDlgItemMessageA(dialog, inputComboId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    SendDlgItemMessageA(dialog, inputComboId, CB_SETCURSEL,
                        static_cast<WPARAM>(remembered == CB_ERR ? 0 : remembered), 0);
}

void selectRecordInput(int8_t device, int8_t line, DbValue volume, MixerApi& api) {
    if (device < 0 || line < 0)
        return;
    UINT mixer = 0;
    MIXERLINEA destination;
    if (!destinationOf(api, device, MIXER_OBJECTF_WAVEIN, MIXERLINE_COMPONENTTYPE_DST_WAVEIN,
                       &mixer, &destination))
        return;
    const DWORD level = mixerVolumeValue(volume);
    std::vector<MIXERCONTROLA> controls;
    if (lineControls(api, mixer, destination, &controls)) {
        for (const MIXERCONTROLA& control : controls) {
            const DWORD type = control.dwControlType;
            if (isLevelControl(type)) {
                setControlValue(api, mixer, control.dwControlID, level);
            } else if (type == MIXERCONTROL_CONTROLTYPE_MUTE) {
                setControlValue(api, mixer, control.dwControlID, 0);
            } else if (type == MIXERCONTROL_CONTROLTYPE_ONOFF) {
                setControlValue(api, mixer, control.dwControlID, 1);
            } else if (type == MIXERCONTROL_CONTROLTYPE_MIXER ||
                       type == MIXERCONTROL_CONTROLTYPE_MUX) {
                if (control.cMultipleItems == 0)
                    continue;
                std::vector<MIXERCONTROLDETAILS_BOOLEAN> items(control.cMultipleItems);
                if (type == MIXERCONTROL_CONTROLTYPE_MIXER) {
                    for (MIXERCONTROLDETAILS_BOOLEAN& item : items)
                        item.fValue = 1;
                } else {
                    const DWORD chosen = muxItemFor(api, mixer, destination, control, line);
                    for (DWORD i = 0; i < items.size(); ++i)
                        items[i].fValue = i == chosen ? 1 : 0;
                }
                setItemValues(api, mixer, control, items);
            }
        }
    }
    for (DWORD i = 0; i < destination.cConnections; ++i) {
        MIXERLINEA source;
        if (!sourceLine(api, mixer, destination, i, &source))
            break;
        const bool chosen = i == static_cast<DWORD>(line);
        applyToLine(api, mixer, source,
                    {chosen ? level : 0, chosen ? 0u : 1u, true, chosen ? 1u : 0u});
    }
}

void setPlayLineVolume(int8_t device, int8_t line, DbValue volume, MixerApi& api) {
    if (device < 0 || line < 0)
        return;
    const UINT mixer = playbackMixer(api, device);
    MIXERLINEA speakers;
    if (!lineByType(api, mixer, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, &speakers))
        return;
    if (static_cast<DWORD>(line) >= speakers.cConnections)
        return;
    MIXERLINEA source;
    if (sourceLine(api, mixer, speakers, static_cast<DWORD>(line), &source))
        applyToLine(api, mixer, source, {mixerVolumeValue(volume), 0, true, 1});
}

}  // namespace zelvaro
