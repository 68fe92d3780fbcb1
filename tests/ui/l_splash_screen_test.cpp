// LSplashScreen: where it opens, what closes it, and that nothing opens
// without its picture.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "tests/ui/timer_recorder.h"
#include "tests/ui/ui_test_resource.h"
#include "ui/l_splash_screen.h"

namespace zelvaro {
namespace {

void pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

class LSplashScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner = CreateWindowA("STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    }
    void TearDown() override {
        splash.Destroy();
        DestroyWindow(owner);
    }
    HWND owner = nullptr;
    LSplashScreen splash;
};

TEST_F(LSplashScreenTest, OpensCentredBelowTheMiddleWithRoomForItsText) {
    test::TimerRecorder timers;
    ASSERT_TRUE(timers.active());
    splash.Show(owner, MAKEINTRESOURCEA(IDB_TEST_SPLASH));
    ASSERT_NE(splash.window, nullptr);
    ASSERT_NE(splash.bitmap, nullptr);
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    RECT rect;
    GetWindowRect(splash.window, &rect);
    // A 340 x 198 picture: 344 x 286, at 340, 241 on a 1024 x 768 desktop.
    EXPECT_EQ(rect.right - rect.left, 344);
    EXPECT_EQ(rect.bottom - rect.top, 286);
    EXPECT_EQ(rect.left, (desktop.right - 344) >> 1);
    EXPECT_EQ(rect.top, (desktop.bottom - 286) >> 1);
    if (desktop.right == 1024 && desktop.bottom == 768) {
        EXPECT_EQ(rect.left, 340);
        EXPECT_EQ(rect.top, 241);
    }
    char className[32] = {};
    GetClassNameA(splash.window, className, sizeof className);
    EXPECT_STREQ(className, "LSplashScreen");
    const LONG style = GetWindowLongA(splash.window, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_EQ(GetWindow(splash.window, GW_OWNER), owner);
    // Its close timer runs, set to seven seconds.
    EXPECT_EQ(timers.periods(splash.window, 1), std::vector<UINT>{7000});
    EXPECT_TRUE(KillTimer(splash.window, 1));
}

TEST_F(LSplashScreenTest, AClickOrItsTimerClosesItAndFreesThePicture) {
    for (UINT message : {WM_LBUTTONDOWN, WM_TIMER}) {
        SCOPED_TRACE(message);
        splash.Show(owner, MAKEINTRESOURCEA(IDB_TEST_SPLASH));
        HWND window = splash.window;
        ASSERT_NE(window, nullptr);
        if (message == WM_TIMER)
            PostMessageA(window, WM_TIMER, 1, 0);
        else
            PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        pump();
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(splash.window, nullptr);
        EXPECT_EQ(splash.bitmap, nullptr);
    }
}

TEST_F(LSplashScreenTest, ASecondShowReplacesTheFirst) {
    splash.Show(owner, MAKEINTRESOURCEA(IDB_TEST_SPLASH));
    HWND first = splash.window;
    splash.Show(owner, MAKEINTRESOURCEA(IDB_TEST_SPLASH));
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(IsWindow(splash.window));
}

TEST_F(LSplashScreenTest, WithoutThePictureNothingOpens) {
    splash.Show(owner, MAKEINTRESOURCEA(4711));
    EXPECT_EQ(splash.window, nullptr);
    EXPECT_EQ(splash.bitmap, nullptr);
    EXPECT_EQ(FindWindowA("LSplashScreen", nullptr), nullptr);
}

}  // namespace
}  // namespace zelvaro
