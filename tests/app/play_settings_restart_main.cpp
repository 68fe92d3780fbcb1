// Plays the default tone (a 1 kHz sine) from the real main window at 0 dB,
// then changes the volume to -20 dB in File > Play Settings... and presses
// OK, then plays on: recorded from the sound server by
// play_settings_restart_test.sh, whose recording must show the level fall.
// Exits 77 when there is no device to play on.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <thread>

#include "app/main_window.h"
#include "app/play_settings_dialog_res.h"
#include "app/resource.h"
#include "app/settings/settings_path.h"
#include "audio/output_devices.h"

using namespace zelvaro;

namespace {

MainWindow* g_main = nullptr;

void pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (g_main->window && g_main->PreTranslateMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam))
                continue;
            if (g_main->window && IsDialogMessageA(g_main->window, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

}  // namespace

int main() {
    InitCommonControls();
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "zelvaro-restart-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    SetCurrentDirectoryA(folder.c_str());
    const std::string ini = folder + "\\settings.ini";
    lstrcpynA(settingsPath, ini.c_str(), kSettingsPathSize);
    WritePrivateProfileStringA("settings", "playvolume", "0dB", settingsPath);
    WritePrivateProfileStringA("settings", "playdevice", "0", settingsPath);

    MainWindow main;
    g_main = &main;
    HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, LDialogProc,
                                     reinterpret_cast<LPARAM>(&main));
    if (!window) {
        std::fprintf(stderr, "the main window cannot be made\n");
        return 1;
    }
    pump(100);
    SendMessageA(window, WM_COMMAND, IDC_PLAY, 0);
    if (!main.player.isOpen()) {
        std::fprintf(stderr, "SKIP: no sound device to play on\n");
        DestroyWindow(window);
        return 77;
    }
    pump(1500);

    // The user: -20 in the volume box, then OK.
    std::thread user([] {
        for (int i = 0; i < 500; ++i) {
            HWND dialog = FindWindowA("#32770", "Play Settings");
            if (dialog && IsWindowVisible(dialog)) {
                HWND edit = GetDlgItem(GetDlgItem(dialog, IDC_PLAY_VOLUME), 100);
                SendMessageA(edit, EM_SETSEL, 0, -1);
                SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("-20"));
                PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
                return;
            }
            Sleep(20);
        }
    });
    SendMessageA(window, WM_COMMAND, IDM_PLAY_SETTINGS, 0);
    user.join();
    pump(1500);
    SendMessageA(window, WM_COMMAND, IDC_STOP, 0);
    pump(100);
    DestroyWindow(window);
    // Leave the mixer as the other sound tests expect to find it.
    setPlayVolume(0, 0, 0);
    DeleteFileA(ini.c_str());
    DeleteFileA((folder + "\\Current.tdf").c_str());
    SetCurrentDirectoryA(temp);
    RemoveDirectoryA(folder.c_str());
    return 0;
}
