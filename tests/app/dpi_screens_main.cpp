// Hand-run by tools/dpi-screenshots, not a test: shows the main window with
// 16 tones, Play Settings, the Save As Wav progress dialog, the setup dialog
// and the licence terms over it, one after the other, each until the script
// has pictured the screen. For every view it writes FOLDER\NAME.ready with the
// window's rectangle on the screen and waits until the script removes it.
//
//   dpi_screens.exe FOLDER
#include <windows.h>

#include <string>
#include <thread>

#include "app/main_window.h"
#include "app/play_settings_dialog.h"
#include "app/program_folder.h"
#include "app/resource.h"
#include "app/settings/settings_path.h"
#include "installer/licence_terms_dialog.h"
#include "installer/setup_dialog.h"
#include "ui/l_progress_dialog.h"

namespace {

using namespace zelvaro;

std::string g_folder;

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Handles the thread's messages for a while, as the program's loop would.
void pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

// Announces `name` with the rectangle of `window` and waits until the script
// has taken its picture; `wait` keeps the windows alive meanwhile.
template <typename Wait>
void picture(const char* name, HWND window, Wait wait) {
    RECT r = {};
    GetWindowRect(window, &r);
    const std::string path = g_folder + "\\" + name + ".ready";
    const std::string text = std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                             std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top) + "\n";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    const DWORD start = GetTickCount();
    while (exists(path) && GetTickCount() - start < 60000)
        wait();
}

HWND findTitled(const char* title) {
    for (int i = 0; i < 500; ++i) {
        HWND found = FindWindowA(nullptr, title);
        if (found && IsWindowVisible(found))
            return found;
        Sleep(20);
    }
    return nullptr;
}

// A modal dialog pictured from a second thread, then cancelled.
void pictureModal(const char* name, const char* title) {
    std::thread([name, title] {
        HWND dialog = findTitled(title);
        if (!dialog)
            return;
        Sleep(500);  // its first paint
        picture(name, dialog, [] { Sleep(50); });
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }).detach();
}

// The progress dialog's template with a job's texts, held while pictured.
class Shown final : public LProgressDialog {
public:
    Shown(const char* title, const char* name, const char* line0, const char* line1, double fraction)
        : LProgressDialog(title), name(name), line0(line0), line1(line1), fraction(fraction) {}
    int Work() override {
        SetText(line0, 0);
        SetText(line1, 1);
        SetProgress(fraction);
        for (int i = 0; i < 50; ++i) {
            Pump();
            Sleep(10);
        }
        picture(name, window, [this] {
            Pump();
            Sleep(10);
        });
        return 1;
    }
    const char* name;
    const char* line0;
    const char* line1;
    double fraction;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    g_folder = argv[1];
    setInstanceHandle(GetModuleHandleA(nullptr));
    // The pointer in a corner, where it raises no tooltip.
    SetCursorPos(0, 0);
    const std::string ini = g_folder + "\\settings.ini";
    lstrcpynA(settingsPath, ini.c_str(), kSettingsPathSize);
    setProgramFolder(g_folder);

    MainWindow main;
    HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, LDialogProc,
                                     reinterpret_cast<LPARAM>(&main));
    if (!window)
        return 1;
    pump(1000);
    // Owned, the splash stays above the window on Windows; Wine's virtual
    // desktop leaves it below once the window is activated.
    if (main.splash.window)
        SetWindowPos(main.splash.window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    pump(300);
    picture("splash", main.splash.window ? main.splash.window : window, [] { pump(50); });
    main.splash.Destroy();
    SendMessageA(window, WM_COMMAND, IDM_TONES_16, 0);
    pump(1000);
    picture("main", window, [] { pump(50); });

    pictureModal("play-settings", "Play Settings");
    ShowPlaySettings(window);

    Shown saving("Saving Wave File", "save-as-wav", "Saving Wave File", "Please wait...", 0.4);
    saving.Run(window);

    Shown setup(kSetupTitle, "setup", "Installing Zelvaro", "tone.exe", 0.6);
    setup.Run(window);

    // The terms open over the setup dialog, as the setup run shows them.
    class WithTerms final : public LProgressDialog {
    public:
        WithTerms() : LProgressDialog(kSetupTitle) {}
        int Work() override {
            SetText("Installing Zelvaro", 0);
            SetText("Licence Terms", 1);
            pictureModal("licence", "Zelvaro Licence Terms");
            LicenceTermsDialog terms;
            terms.RunModal(window, "LicenceTermsDlg");
            return 1;
        }
    } terms;
    terms.Run(window);

    DestroyWindow(window);
    pump(200);
    return 0;
}
