// Closes a dialog that the code under test shows modally (a message box, a
// common dialog): a helper thread waits for a visible, enabled top-level
// window of this process with the given class and caption, records what it
// shows, lets the test act on it and then presses one of its buttons, as a
// user would.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace zelvaro::test {

// A top-level window of this process with the given class and caption, or
// null. Test programs run side by side, and another one may show a window of
// the same class and caption at the same time.
inline HWND findOwnWindow(const char* className, const char* caption) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, caption)) != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId())
            return window;
    }
    return nullptr;
}

struct SeenDialog {
    bool found = false;
    HWND window = nullptr;
    HWND owner = nullptr;
    // The owner's caption while the dialog was up.
    std::string ownerCaption;
    // The text of a message box (its static control 0xFFFF).
    std::string text;
    // The icon a message box shows (its static icon control), or null.
    HICON icon = nullptr;
};

class DialogWatch {
public:
    // `act` runs on the helper thread once the window is up (may be empty);
    // then `button` is pressed (0 presses nothing).
    DialogWatch(std::string className, std::string caption, WORD button,
                std::function<void(HWND)> act = {}, DWORD timeoutMs = 20000)
        : className_(std::move(className)), caption_(std::move(caption)) {
        thread_ = std::thread([this, button, act, timeoutMs] {
            const DWORD start = GetTickCount();
            while (!stop_ && GetTickCount() - start < timeoutMs) {
                HWND window = find();
                if (window) {
                    seen_.found = true;
                    seen_.window = window;
                    seen_.owner = GetWindow(window, GW_OWNER);
                    char text[1024] = {};
                    GetWindowTextA(seen_.owner, text, sizeof text);
                    seen_.ownerCaption = text;
                    GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
                    seen_.text = text;
                    seen_.icon = shownIcon(window);
                    if (act) act(window);
                    if (button) PostMessageA(window, WM_COMMAND, button, 0);
                    return;
                }
                Sleep(20);
            }
        });
    }
    ~DialogWatch() { wait(); }

    // Call once the code under test has returned: stops looking and tells
    // what the helper saw.
    const SeenDialog& wait() {
        if (thread_.joinable()) {
            stop_ = true;
            thread_.join();
        }
        return seen_;
    }

private:
    HWND find() const {
        HWND window = nullptr;
        while ((window = FindWindowExA(nullptr, window, className_.c_str(), caption_.c_str())) != nullptr) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId() && IsWindowVisible(window) && IsWindowEnabled(window))
                return window;
        }
        return nullptr;
    }

    static HICON shownIcon(HWND window) {
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                return reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        }
        return nullptr;
    }

    std::string className_, caption_;
    SeenDialog seen_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace zelvaro::test
