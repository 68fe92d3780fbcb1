// File > Play Settings...: the play device, the playback volume and whether
// the tone plays at start-up, read from the settings file when the dialog
// opens and written back only by OK.
#pragma once

#include <windows.h>

#include "ui/l_dialog.h"

namespace zelvaro {

class PlaySettingsDialog final : public LDialog {
public:
    void OnInitDialog() override;
    // Writes "playdevice", "playvolume" and "autoplay".
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

}  // namespace zelvaro
