// The main window: the program's one modeless dialog, with its message loop,
// the tone being edited and the one player.
#pragma once

#include <windows.h>

#include <string>

#include "app/program_folder.h"
#include "audio/l_sound_player.h"
#include "audio/sound_player_listener.h"
#include "tone/tone_settings.h"
#include "tone/tone_value_list.h"
#include "ui/l_dialog.h"
#include "ui/l_splash_screen.h"

namespace zelvaro {

class MainWindow : public LMainDialog, public LSoundPlayerListener {
public:
    MainWindow();
    ~MainWindow() override;

    void OnInitDialog() override;
    // An OK command (Enter in the dialog) never closes the main window.
    bool OnOK() override { return false; }
    bool OnCancel() override { return true; }
    void OnHelp() override;
    void UpdateControls() override;
    void OnCommand(WORD id, WORD notification) override;
    void OnDestroy() override;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(HWND target, UINT message, WPARAM wParam, LPARAM lParam) override;

    void onPlaying(int32_t listenerData) override;
    void onStopped(int32_t listenerData) override;

    // Playback: start (again) with the current tone and the play settings;
    // a device that cannot be opened gives the Sound Play Error message.
    void StartPlayback();
    void StopPlayback();
    void RestartIfPlaying();
    // After a change that alters which rows exist: refill the list, restart.
    void ToneChanged();

    void SaveAsTone();
    void LoadTone();
    // File > Save As Wav... and File > Play Settings...
    void OnSaveAsWav();
    void OnPlaySettings();

    // How the help file is opened: ShowHelp (WinHelp, or the HTML pages where
    // there is no WinHelp), or a test's recorder.
    static BOOL(WINAPI* openHelp)(HWND, LPCSTR, UINT, ULONG_PTR);

    LSplashScreen splash;
    int statusTextIndex = 0;
    // What the status bar says instead of its texts while a playback runs in
    // another format than the one asked for; empty otherwise.
    std::string formatStatus;
    HWND tooltip = nullptr;
    LSoundPlayer player;
    ToneSettings tone;

private:
    HWND valueList() const;
    // Gives the value list the keyboard focus, as at start: called after
    // every dialog the window runs.
    void FocusValueList();
    // The window's icons at its DPI, replacing (and destroying) the ones it has.
    void LoadIcons();
    void OnDpiChanged(const RECT& suggested);
    void ShowNextStatusText(UINT_PTR timer);
    // `at` is the click's screen position, or (-1, -1) from the keyboard.
    void ShowContextMenu(HWND clicked, POINT at);
    // The Tone menu at the first selected row (the keyboard's context menu).
    void ShowValueMenuAtSelection();
    void TrackSubMenu(int popup, int item, UINT flags, POINT at);
    void StepValues(Step step);
    void EditValues();
    void ShowAbout();
    void OpenWebLink(WORD id);
};

}  // namespace zelvaro
