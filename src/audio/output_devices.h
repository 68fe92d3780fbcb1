// Device lists for the user to choose from and the playback volume, set
// through the system mixer. A device index is a signed 8-bit position in the
// system's device list; a negative index stands for the wave mapper and makes
// the mixer operations change nothing.
#pragma once

#include <windows.h>

#include <cstdint>

#include "audio/mixer_api.h"
#include "base/db_value.h"

namespace zelvaro {

// A recording choice: the waveIn device, then the source line of its
// recording destination; input -1 leaves the record mixer's selection alone.
struct RecordChoice {
    int8_t device;
    int8_t input;
};

// Line names hold this many characters with the terminator.
constexpr int kLineNameSize = 32;

// The value written to a mixer fader or volume control: 0 at -36 dB and
// below, else (dB + 36) * 1424, at most 65,535.
uint32_t mixerVolumeValue(DbValue volume);

// Lists every waveOut device (at most 127) in the combo box, one entry per
// index (an empty name where the device cannot be queried), and selects
// `selected` (-1 selects nothing).
void fillPlayDeviceList(HWND dialog, int comboId, int8_t selected, MixerApi& api = systemMixer());

// Sets the speaker volume to `volume` and the wave output feeding it to
// volume + offset, both unmuted.
void setPlayVolume(int8_t device, DbValue volume, DbValue offset, MixerApi& api = systemMixer());

// The recording side and the per-line playback volumes.
void fillRecordDeviceList(HWND dialog, int deviceComboId, int inputComboId, RecordChoice choice,
                          MixerApi& api = systemMixer());
void fillRecordInputList(HWND dialog, int deviceComboId, int inputComboId,
                         MixerApi& api = systemMixer());
int8_t recordLineCount(int8_t device, MixerApi& api = systemMixer());
// "Windows Record Mixer" for index -1; otherwise the source line's name, or
// empty when it cannot be read.
void recordLineName(int8_t device, int8_t index, char* text, MixerApi& api = systemMixer());
int8_t playLineCount(int8_t device, MixerApi& api = systemMixer());
void playLineName(int8_t device, int8_t index, char* text, MixerApi& api = systemMixer());
// Records from one source line at `volume`, silencing and muting the others.
void selectRecordInput(int8_t device, int8_t line, DbValue volume, MixerApi& api = systemMixer());
void setPlayLineVolume(int8_t device, int8_t line, DbValue volume, MixerApi& api = systemMixer());

}  // namespace zelvaro
