// Program entry: one executable that is the application, its setup file and
// its uninstaller, told apart by the trailer of its own file.
#include <windows.h>
#include <commctrl.h>

#include "app/instance_handoff.h"
#include "app/main_window.h"
#include "app/program_role.h"
#include "app/resource.h"
#include "app/settings/settings_path.h"
#include "startup/library_search.h"

namespace {

constexpr const char* kCorruptSetupText =
    "Installation file corrupt.\n\nA checksum error was detected in your install file, please "
    "redownload file and install again.";
constexpr const char* kCorruptSetupTitle = "Install Error";
// How long a second start waits for the running instance to answer, and then
// for it to end.
constexpr DWORD kHandOffWaitMs = 3000;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    zelvaro::LoadLibrariesFromSystemFolderOnly();
    zelvaro::setInstanceHandle(instance);
    HWND running = FindWindowA("#32770", "Zelvaro");

    switch (zelvaro::chooseProgramRole()) {
    case zelvaro::ProgramRole::CorruptSetup:
        MessageBoxA(nullptr, kCorruptSetupText, kCorruptSetupTitle, MB_OK | MB_ICONWARNING);
        return 0;
    case zelvaro::ProgramRole::Install:
        return zelvaro::runInstallRole();
    case zelvaro::ProgramRole::Uninstall:
        return zelvaro::runUninstallRole();
    case zelvaro::ProgramRole::Application:
        break;
    }

    // A first instance that is closing may not answer for a while; once it
    // has ended, this start takes its place.
    if (running && zelvaro::handOffToRunningInstance(running, kHandOffWaitMs) != zelvaro::HandOff::Gone)
        return 0;

    zelvaro::ComputeSettingsPath(zelvaro::settingsPath, zelvaro::kSettingsPathSize);
    bool ran = false;
    {
        zelvaro::MainWindow mainWindow;
        InitCommonControls();
        ran = mainWindow.Run(nullptr, MAKEINTRESOURCEA(IDD_MAIN));
    }
    return ran ? 1 : 0;
}
