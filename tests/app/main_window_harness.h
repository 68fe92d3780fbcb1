// The real main window inside the test program: made from the program's own
// resources, driven by the messages a user's actions produce and pumped by a
// loop that does what the program's message loop does.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "app/program_folder.h"
#include "app/resource.h"
#include "app/settings/settings_path.h"
#include "tone/tone_file.h"

namespace zelvaro::test {

using Row = std::pair<std::string, std::string>;

// A fresh folder that is the current directory for the length of one test.
// The harness makes it the program's folder, which holds settings.ini.
class TempFolder {
public:
    TempFolder() {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        static int counter = 0;
        path_ = std::string(base) + "zelvaro-window-" + std::to_string(GetCurrentProcessId()) +
                "-" + std::to_string(++counter);
        CreateDirectoryA(path_.c_str(), nullptr);
        char previous[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, previous);
        previous_ = previous;
        SetCurrentDirectoryA(path_.c_str());
    }
    ~TempFolder() {
        SetCurrentDirectoryA(previous_.c_str());
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((path_ + "\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = found.cFileName;
                if (name != "." && name != "..")
                    DeleteFileA((path_ + "\\" + name).c_str());
            } while (FindNextFileA(find, &found));
            FindClose(find);
        }
        RemoveDirectoryA(path_.c_str());
    }
    std::string file(const char* name) const { return path_ + "\\" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
};

inline std::string readFile(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    CloseHandle(file);
    return bytes;
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

inline std::string toneBytes(const ToneSettings& tone) {
    uint8_t image[kToneSettingsSize];
    encodeToneSettings(tone, image);
    return std::string(reinterpret_cast<const char*>(image), sizeof image);
}

class MainWindowHarness {
public:
    explicit MainWindowHarness(const TempFolder& folder) {
        std::string ini = folder.file("settings.ini");
        lstrcpynA(settingsPath, ini.c_str(), kSettingsPathSize);
        setProgramFolder(folder.path());
    }
    ~MainWindowHarness() { close(); }

    void writeSetting(const char* key, const char* value) {
        WritePrivateProfileStringA("settings", key, value, settingsPath);
    }
    // Room for a whole path in UTF-8, three bytes to a UTF-16 unit.
    std::string setting(const char* key) {
        char text[3 * MAX_PATH];
        GetPrivateProfileStringA("settings", key, "", text, sizeof text, settingsPath);
        return text;
    }

    // Opens the window as the program does (OnInitDialog, UpdateControls);
    // `window` may be a test's variant of the main window.
    HWND open(std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>()) {
        main = std::move(window);
        this->window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN),
                                          nullptr, LDialogProc, reinterpret_cast<LPARAM>(main.get()));
        pump(50);
        return this->window;
    }
    void close() {
        if (window && IsWindow(window))
            DestroyWindow(window);
        window = nullptr;
        main.reset();
    }

    // One pass of the program's loop over every waiting message, for `ms`.
    void pump(DWORD ms = 0) {
        const DWORD start = GetTickCount();
        do {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (main && main->window && main->PreTranslateMessage(msg.hwnd, msg.message,
                                                                      msg.wParam, msg.lParam))
                    continue;
                if (main && main->window && IsDialogMessageA(main->window, &msg))
                    continue;
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (ms)
                Sleep(10);
        } while (GetTickCount() - start < ms);
    }

    // A menu command or button click as it arrives from the menu.
    void command(WORD id, WORD code = 0) {
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, code), 0);
        pump();
    }
    // A key as the keyboard delivers it: queued for the focus window (the list).
    void keyDown(WPARAM key) {
        PostMessageA(list(), WM_KEYDOWN, key, 1);
        pump();
    }
    // F10, and any key with Alt, arrive as system keys.
    void systemKeyDown(WPARAM key) {
        PostMessageA(list(), WM_SYSKEYDOWN, key, 1);
        pump();
    }
    // A key pressed while Shift is held: the thread's key state says so while
    // the key's message is handled.
    void shiftedKey(UINT message, WPARAM key) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        const BYTE shift = keys[VK_SHIFT];
        keys[VK_SHIFT] |= 0x80;
        SetKeyboardState(keys);
        PostMessageA(list(), message, key, 1);
        pump();
        keys[VK_SHIFT] = shift;
        SetKeyboardState(keys);
    }
    void character(char c) {
        PostMessageA(list(), WM_CHAR, static_cast<WPARAM>(c), 1);
        pump();
    }

    HWND list() const { return GetDlgItem(window, IDC_VALUES); }

    std::vector<Row> rows() const {
        std::vector<Row> out;
        const int count = static_cast<int>(SendMessageA(list(), LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i)
            out.emplace_back(itemText(i, 0), itemText(i, 1));
        return out;
    }
    std::string itemText(int item, int column) const {
        char text[260] = {};
        LVITEMA lv = {};
        lv.iSubItem = column;
        lv.pszText = text;
        lv.cchTextMax = sizeof text;
        SendMessageA(list(), LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&lv));
        return text;
    }
    // Selects exactly the given rows, as clicks with Ctrl would.
    void select(std::initializer_list<int> items) {
        LVITEMA lv = {};
        lv.stateMask = LVIS_SELECTED;
        lv.state = 0;
        SendMessageA(list(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&lv));
        lv.state = LVIS_SELECTED;
        for (int item : items)
            SendMessageA(list(), LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&lv));
        pump();
    }

    UINT menuState(UINT id) const { return GetMenuState(GetMenu(window), id, MF_BYCOMMAND); }
    bool menuEnabled(UINT id) const { return !(menuState(id) & (MF_GRAYED | MF_DISABLED)); }
    bool menuChecked(UINT id) const { return (menuState(id) & MF_CHECKED) != 0; }

    // Which of the bitmap resources 11 to 18 a button shows; 0 for none of them.
    int buttonPicture(int id) const {
        HBITMAP shown = reinterpret_cast<HBITMAP>(
            SendDlgItemMessageA(window, id, BM_GETIMAGE, IMAGE_BITMAP, 0));
        if (!shown)
            return 0;
        const std::string bits = bitmapBits(shown);
        for (int resource = IDB_PLAY; resource <= IDB_DECREASE_GREY; ++resource) {
            HBITMAP loaded = static_cast<HBITMAP>(
                LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resource), IMAGE_BITMAP, 0, 0,
                           LR_LOADMAP3DCOLORS | LR_LOADTRANSPARENT));
            const bool same = loaded && bitmapBits(loaded) == bits;
            DeleteObject(loaded);
            if (same)
                return resource;
        }
        return 0;
    }

    std::unique_ptr<MainWindow> main;
    HWND window = nullptr;

private:
    static std::string bitmapBits(HBITMAP bitmap) {
        BITMAP info = {};
        GetObjectA(bitmap, sizeof info, &info);
        std::string bits(static_cast<size_t>(info.bmWidthBytes) * info.bmHeight, '\0');
        GetBitmapBits(bitmap, static_cast<LONG>(bits.size()), bits.data());
        return bits;
    }
};

// Closes the first window of `className` titled `title` that appears within
// `timeoutMs` by posting `command` to it, from a thread of its own, so that a
// modal loop on the test's thread can end. Join it with wait().
class WindowCloser {
public:
    WindowCloser(const char* title, WPARAM command, DWORD timeoutMs = 10000)
        : title_(title), command_(command), timeout_(timeoutMs) {
        thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
    }
    ~WindowCloser() { wait(); }
    // True when the window was found and closed.
    bool wait() {
        if (thread_) {
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
            thread_ = nullptr;
        }
        return found_;
    }
    std::string text;  // the static text of the window found (a message box's message)

private:
    static DWORD WINAPI run(void* self) {
        auto* closer = static_cast<WindowCloser*>(self);
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < closer->timeout_) {
            HWND found = FindWindowA("#32770", closer->title_.c_str());
            if (found && IsWindowVisible(found)) {
                EnumChildWindows(found, collectText, reinterpret_cast<LPARAM>(closer));
                closer->found_ = true;
                PostMessageA(found, WM_COMMAND, closer->command_, 0);
                return 0;
            }
            Sleep(20);
        }
        return 0;
    }
    static BOOL CALLBACK collectText(HWND child, LPARAM self) {
        char className[32] = {};
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") == 0) {
            char text[512] = {};
            GetWindowTextA(child, text, sizeof text);
            reinterpret_cast<WindowCloser*>(self)->text += text;
        }
        return TRUE;
    }

    std::string title_;
    WPARAM command_;
    DWORD timeout_;
    HANDLE thread_ = nullptr;
    bool found_ = false;
};

}  // namespace zelvaro::test

namespace zelvaro::test {

// Plays the user at a row of modal dialogs that the test's thread opens one
// after another: each step waits for a visible dialog titled `title`, records
// the text of its edit box, types `typed` (when set) and clicks `button`.
struct DialogStep {
    std::string title;
    const char* typed;  // nullptr: type nothing
    int button;
    int editId;         // the edit box that is read and typed into
};

class DialogDriver {
public:
    explicit DialogDriver(std::vector<DialogStep> steps, DWORD timeoutMs = 30000)
        : steps_(std::move(steps)), timeout_(timeoutMs) {
        thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
    }
    ~DialogDriver() { wait(); }
    bool finished() const { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; }
    // The number of steps done.
    size_t wait() {
        if (thread_) {
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
            thread_ = nullptr;
        }
        return done_;
    }
    std::vector<std::string> shownText;  // the edit box's text when each dialog came up

private:
    struct Search {
        int id;
        HWND found;
    };
    static BOOL CALLBACK findById(HWND child, LPARAM data) {
        auto* search = reinterpret_cast<Search*>(data);
        if (GetDlgCtrlID(child) == search->id) {
            search->found = child;
            return FALSE;
        }
        return TRUE;
    }
    // The control with `id` anywhere under the dialog; the file dialogs keep
    // their file name in a combo box with an edit inside, or in a plain edit.
    static HWND editOf(HWND dialog, int id) {
        for (int candidate : {id, 0x480 /* edt1 */}) {
            Search search = {candidate, nullptr};
            EnumChildWindows(dialog, findById, reinterpret_cast<LPARAM>(&search));
            if (!search.found)
                continue;
            char className[32] = {};
            GetClassNameA(search.found, className, sizeof className);
            if (lstrcmpiA(className, "ComboBoxEx32") == 0) {
                if (HWND edit = reinterpret_cast<HWND>(
                        SendMessageA(search.found, CBEM_GETEDITCONTROL, 0, 0)))
                    return edit;
            }
            if (lstrcmpiA(className, "ComboBox") == 0) {
                if (HWND edit = FindWindowExA(search.found, nullptr, "Edit", nullptr))
                    return edit;
            }
            return search.found;
        }
        return nullptr;
    }
    static DWORD WINAPI run(void* self) {
        auto* driver = static_cast<DialogDriver*>(self);
        for (const DialogStep& step : driver->steps_) {
            HWND dialog = nullptr;
            const DWORD start = GetTickCount();
            while (!dialog && GetTickCount() - start < driver->timeout_) {
                HWND found = FindWindowA("#32770", step.title.c_str());
                if (found && IsWindowVisible(found))
                    dialog = found;
                else
                    Sleep(20);
            }
            if (!dialog)
                return 0;
            Sleep(100);  // let the dialog finish its initialisation
            HWND edit = editOf(dialog, step.editId);
            char text[3 * MAX_PATH] = {};
            GetWindowTextA(edit, text, sizeof text);
            driver->shownText.push_back(text);
            if (step.typed) {
                // Put in as a paste would: the edit box counts as modified,
                // and the file dialogs' completion of typed keys stays out.
                SendMessageA(edit, EM_SETSEL, 0, -1);
                SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(step.typed));
            }
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(step.button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, step.button)));
            // Wait until this dialog is gone before looking for the next. A
            // dialog that stays (a message box over it) is cancelled, so that
            // the test fails instead of waiting for ever.
            const DWORD closing = GetTickCount();
            while (IsWindow(dialog) && IsWindowVisible(dialog) && GetTickCount() - closing < 5000)
                Sleep(20);
            if (IsWindow(dialog) && IsWindowVisible(dialog)) {
                cancelOwnedWindows();
                return 0;
            }
            ++driver->done_;
        }
        return 0;
    }

    static BOOL CALLBACK cancelOwned(HWND window, LPARAM) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId() && GetWindow(window, GW_OWNER) && IsWindowVisible(window))
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }
    static void cancelOwnedWindows() {
        for (int round = 0; round < 10; ++round) {
            EnumWindows(cancelOwned, 0);
            Sleep(200);
        }
    }

    std::vector<DialogStep> steps_;
    DWORD timeout_;
    HANDLE thread_ = nullptr;
    size_t done_ = 0;
};

// Waits for a popup menu to open, reads its items' texts and where it opened,
// and closes it.
class PopupMenuReader {
public:
    PopupMenuReader() { thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr); }
    RECT shownAt = {};
    ~PopupMenuReader() { wait(); }
    std::vector<std::string> wait() {
        if (thread_) {
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
            thread_ = nullptr;
        }
        return items_;
    }

private:
    static DWORD WINAPI run(void* self) {
        auto* reader = static_cast<PopupMenuReader*>(self);
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 10000) {
            HWND popup = FindWindowA("#32768", nullptr);
            if (popup && IsWindowVisible(popup)) {
                Sleep(100);
                GetWindowRect(popup, &reader->shownAt);
                HMENU menu = reinterpret_cast<HMENU>(SendMessageA(popup, 0x01E1 /* MN_GETHMENU */, 0, 0));
                for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
                    char text[64] = {};
                    GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
                    reader->items_.push_back(text);
                }
                PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
                PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
                return 0;
            }
            Sleep(20);
        }
        return 0;
    }
    HANDLE thread_ = nullptr;
    std::vector<std::string> items_;
};

// Stands between the player and the window, counting the starts.
class StartCounter final : public LSoundPlayerListener {
public:
    explicit StartCounter(MainWindow& main) : main(main) { main.player.listener = this; }
    ~StartCounter() { main.player.listener = &main; }
    void onPlaying(int32_t data) override {
        ++starts;
        main.onPlaying(data);
    }
    void onStopped(int32_t data) override { main.onStopped(data); }
    MainWindow& main;
    int starts = 0;
};

}  // namespace zelvaro::test
