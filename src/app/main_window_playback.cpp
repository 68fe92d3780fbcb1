// The main window's side of playing: the current tone becomes a source for
// the player, and every change of the tone restarts a running playback.
#include "app/main_window.h"
#include "app/settings/ini_file.h"
#include "app/settings/settings_path.h"
#include "audio/output_devices.h"
#include "signal/signal_source.h"

namespace zelvaro {

namespace {

constexpr const char* kPlayErrorTitle = "Sound Play Error";
constexpr const char* kPlayErrorText =
    "Unable to start playback.\r\n\r\nThis might be because the sound card is being used by some "
    "other applications or because you have not selected the correct Sound Play Device using "
    "Play Settings.";

}  // namespace

void MainWindow::StartPlayback() {
    player.deviceId = static_cast<int8_t>(ReadIniInt(settingsPath, "settings", "playdevice", 0));
    const DbValue volume = ReadIniDb(settingsPath, "settings", "playvolume", 0);
    setPlayVolume(player.deviceId, volume, 0);
    bool opened;
    {
        SoundSourceRef source = createSignalSource(tone);
        opened = player.open(source, 0);
    }
    if (!opened) {
        MessageBoxA(window, kPlayErrorText, kPlayErrorTitle, MB_OK | MB_ICONWARNING);
        FocusValueList();
    }
}

void MainWindow::StopPlayback() { player.stop(); }

void MainWindow::RestartIfPlaying() {
    if (player.isOpen())
        StartPlayback();
}

}  // namespace zelvaro
