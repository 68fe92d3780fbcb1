// File > Play Settings...: the play device, the playback volume, whether
// the tone plays at start-up, and pure synthesis with its rate, sample
// format and level, read from the settings file when the dialog opens and
// written back only by OK.
#pragma once

#include <windows.h>

#include <string>

#include "ui/l_dialog.h"

namespace zelvaro {

class PlaySettingsDialog final : public LDialog {
public:
    void OnInitDialog() override;
    // Writes "playdevice", "playvolume", "autoplay", "puresynthesis",
    // "samplerate", "sampleformat" and "level".
    bool OnOK() override;
    // Help topic 101 of the help file.
    void OnHelp() override;
    // The rate, format and level are for pure synthesis only and the volume
    // for the chain only; OK waits for a level it can read.
    void UpdateControls() override;
    void OnCommand(WORD id, WORD notification) override;
    // The level's arrows step it by 0.01 dB.
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // How the help file is opened: ShowHelp (WinHelp, or the HTML pages where
    // there is no WinHelp), or a test's recorder.
    static BOOL(WINAPI* openHelp)(HWND, LPCSTR, UINT, ULONG_PTR);

private:
    void ShowRms();
};

// Runs the dialog modally over `owner`; true when it was closed with OK, after
// which a running tone must be restarted to take the new values.
bool ShowPlaySettings(HWND owner);

// Whether Save As Wav and playback render on the double-precision path
// ("puresynthesis" in the settings file, off unless "true"), read now.
bool PureSynthesisChosen();

// What the last playback said of its format, shown in the dialog: empty
// when the device took the format asked for.
void SetPlaybackFormatNote(const std::string& note);
const std::string& PlaybackFormatNote();

}  // namespace zelvaro
