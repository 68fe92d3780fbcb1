// The program starts, shows its main dialog and ends when it is closed.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// tone.exe is built in src/app of the same build tree as this test (tests/app).
std::string toneExePath() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self);
    path.resize(path.find_last_of("\\/") + 1);
    return path + "..\\..\\src\\app\\tone.exe";
}

// The window is found as soon as it exists; it is shown once its
// initialisation has run.
HWND waitForVisibleWindow(const char* className, const char* title, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        HWND window = FindWindowA(className, title);
        if (window && IsWindowVisible(window))
            return window;
        Sleep(50);
    }
    return nullptr;
}

TEST(MainWindow, OpensAsDialogCaptionedZelvaroAndClosesWithExitCodeOne) {
    std::string exe = toneExePath();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process))
        << exe;

    HWND window = waitForVisibleWindow("#32770", "Zelvaro", 20000);
    ASSERT_NE(window, nullptr) << "no visible dialog captioned Zelvaro";
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the main window has a fixed size";

    PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 1u) << "a main window that ran and was closed ends with 1";
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace
