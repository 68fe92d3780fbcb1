// File > Play Settings...: the play device, the playback volume, whether
// the tone plays at start-up and whether Save As Wav renders in double
// precision, read from the settings file when the dialog opens and written
// back only by OK.
#pragma once

#include <windows.h>

#include "ui/l_dialog.h"

namespace zelvaro {

class PlaySettingsDialog final : public LDialog {
public:
    void OnInitDialog() override;
    // Writes "playdevice", "playvolume", "autoplay" and "puresynthesis".
    bool OnOK() override;
    // Help topic 101 of the help file.
    void OnHelp() override;

    // How the help file is opened: ShowHelp (WinHelp, or the HTML pages where
    // there is no WinHelp), or a test's recorder.
    static BOOL(WINAPI* openHelp)(HWND, LPCSTR, UINT, ULONG_PTR);
};

// Runs the dialog modally over `owner`; true when it was closed with OK, after
// which a running tone must be restarted to take the new values.
bool ShowPlaySettings(HWND owner);

// Whether Save As Wav renders on the double-precision path ("puresynthesis"
// in the settings file, off unless "true"), read now. Playback always takes
// the program's own chain.
bool PureSynthesisChosen();

}  // namespace zelvaro
