// Windows really run here: a window is created, answers messages and is gone
// after DestroyWindow.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

LRESULT CALLBACK countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 1)
        return static_cast<LRESULT>(wParam + lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(Window, CreatedWindowAnswersMessagesAndKeepsItsText) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = countingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZelvaroTestWindow";
    ASSERT_NE(RegisterClassA(&wc), 0);

    HWND window = CreateWindowA("ZelvaroTestWindow", "first", WS_OVERLAPPEDWINDOW, 10, 10, 200,
                                100, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SendMessageA(window, WM_USER + 1, 40, 2), 42);

    SetWindowTextA(window, "Zelvaro");
    char text[32] = {};
    GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ(text, "Zelvaro");

    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(IsWindow(window));
    UnregisterClassA("ZelvaroTestWindow", wc.hInstance);
}

}  // namespace
