// The main window's side of playing: the current tone becomes a source for
// the player, and every change of the tone restarts a running playback.
#include "app/main_window.h"
#include "app/play_choices.h"
#include "app/play_settings_dialog.h"
#include "app/resource.h"
#include "app/settings/ini_file.h"
#include "app/settings/settings_path.h"
#include "audio/output_devices.h"
#include "audio/pure_playback.h"
#include "signal/random_generator.h"
#include "signal/signal_source.h"

namespace zelvaro {

namespace {

constexpr const char* kPlayErrorTitle = "Sound Play Error";
constexpr const char* kPlayErrorText =
    "Unable to start playback.\r\n\r\nThis might be because the sound card is being used by some "
    "other applications or because you have not selected the correct Sound Play Device using "
    "Play Settings.";

// "96 kHz", "44.1 kHz": short enough for the status bar.
std::string shortRate(int32_t rate) {
    std::string text = std::to_string(rate / 1000);
    if (rate % 1000 != 0)
        text += "." + std::to_string(rate % 1000 / 100);
    return text + " kHz";
}

std::string shortFormat(const PlayFormat& format) {
    return shortRate(format.sampleRate) + (format.encoding == SampleEncoding::kFloat32 ? " float"
                                           : format.encoding == SampleEncoding::kPcm24 ? " 24-bit"
                                                                                       : " 16-bit");
}

}  // namespace

void MainWindow::StartPlayback() {
    player.deviceId = static_cast<int8_t>(ReadIniInt(settingsPath, "settings", "playdevice", 0));
    const PlayChoices choices = ReadPlayChoices();
    bool opened;
    std::string note;
    formatStatus.clear();
    if (choices.pure) {
        // The level is in the samples, so the mixer is left as it is: a
        // value written there would change the level by the device's taper.
        PurePlayRequest request;
        request.format = choices.format;
        request.levelDbfs = LevelDbfs(choices);
        request.ditherSeed = DitherSeedFor(choices.format.encoding);
        request.noiseSeed = clockSeed();
        const PurePlayOutcome outcome = playPure(player, tone, request);
        opened = outcome.opened;
        if (opened && outcome.played != request.format) {
            note = "The device refused " + describePlayFormat(request.format) + "; it plays " +
                   describePlayFormat(outcome.played) + ".";
            formatStatus = "Plays " + shortFormat(outcome.played) + " (" + shortFormat(request.format) + " refused)";
        }
    } else {
        const DbValue volume = ReadIniDb(settingsPath, "settings", "playvolume", 0);
        setPlayVolume(player.deviceId, volume, 0);
        SoundSourceRef source = createSignalSource(tone);
        opened = player.open(source, 0);
    }
    SetPlaybackFormatNote(note);
    if (!formatStatus.empty())
        SetDlgItemTextA(window, IDC_STATUS, formatStatus.c_str());
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
