// Save As Tone and Load Tone: tone data files chosen in the common file
// dialogs, remembered in the settings "file" and "filedir".
#include "app/main_window.h"

#include "app/file_dialog.h"
#include "app/play_settings_dialog.h"
#include "app/save_as_wav.h"
#include "app/settings/settings_path.h"
#include "tone/tone_file.h"

namespace zelvaro {

namespace {

// Runs the save or open dialog preset with the last file; on OK remembers the
// chosen file and leaves its path in `path`.
bool chooseToneFile(HWND owner, bool save, char (&path)[kFileNameSize]) {
    GetPrivateProfileStringA("settings", "file", "", path, kFileNameSize, settingsPath);
    FileDialogRequest request;
    request.save = save;
    request.title = save ? "Save As Tone" : "Load Tone";
    request.filter = "Tone Data Files\0*.tdf\0";
    request.defaultExtension = "TDF";
    if (!askFileName(owner, request, path))
        return false;
    WritePrivateProfileStringA("settings", "file", path, settingsPath);
    return true;
}

}  // namespace

void MainWindow::SaveAsTone() {
    char path[kFileNameSize];
    const bool chosen = chooseToneFile(window, true, path);
    FocusValueList();
    if (chosen)
        saveToneFile(path, tone);
}

void MainWindow::LoadTone() {
    char path[kFileNameSize];
    const bool chosen = chooseToneFile(window, false, path);
    FocusValueList();
    if (!chosen)
        return;
    loadToneFile(path, tone);
    ToneChanged();
}

void MainWindow::OnSaveAsWav() {
    SaveAsWav(window, tone);
    FocusValueList();
}

void MainWindow::OnPlaySettings() {
    const bool accepted = ShowPlaySettings(window);
    FocusValueList();
    // A running tone takes the new device and volume only when it starts again.
    if (accepted)
        RestartIfPlaying();
}

}  // namespace zelvaro
