// A plain visible top-level window standing for the main window, as the owner
// of a dialog under test.
#pragma once

#include <windows.h>

namespace zelvaro::test {

class OwnerWindow {
public:
    OwnerWindow() {
        handle = CreateWindowA("STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~OwnerWindow() { DestroyWindow(handle); }
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;

    HWND handle;
};

}  // namespace zelvaro::test
