// The picture with the product's name shown for a few seconds when the main
// window opens. A plain popup window that closes itself after 7 seconds or
// when clicked; the owner does nothing else with it.
#pragma once

#include <windows.h>

namespace zelvaro {

class LSplashScreen {
public:
    LSplashScreen() = default;
    ~LSplashScreen();
    LSplashScreen(const LSplashScreen&) = delete;
    LSplashScreen& operator=(const LSplashScreen&) = delete;

    // Shows the bitmap resource `bitmapName` of the program over `owner`,
    // replacing a splash that is still open. Without the bitmap nothing is shown.
    // A numbered picture is taken at the scale nearest to the owner's DPI
    // where the program has it (ui/l_dpi.h), and the text under it follows.
    void Show(HWND owner, LPCSTR bitmapName);
    // Destroys the splash window when it still exists.
    void Destroy();

    HWND window = nullptr;
    HBITMAP bitmap = nullptr;
    // The DPI the splash was laid out for.
    int dpi = 96;

private:
    void Paint(HDC dc, const RECT& client);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace zelvaro
