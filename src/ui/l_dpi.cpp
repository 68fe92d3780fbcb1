#include "ui/l_dpi.h"

#include <cstdlib>
#include <iterator>

namespace zelvaro {

int WindowDpi(HWND window) {
    // Looked up at run time: Windows 7 and 8 do not have it.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && window) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi > 0)
            return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDefaultDpi;
}

int ScaleToDpi(int pixelsAt96, int dpi) { return MulDiv(pixelsAt96, dpi, kDefaultDpi); }

int NearestPictureScale(int dpi) {
    int nearest = 0;
    for (int place = 1; place < static_cast<int>(std::size(kPictureScalesPercent)); ++place) {
        // Ties go to the larger picture: shrinking blurs less than stretching.
        if (std::abs(kPictureScalesPercent[place] * kDefaultDpi - dpi * 100) <=
            std::abs(kPictureScalesPercent[nearest] * kDefaultDpi - dpi * 100))
            nearest = place;
    }
    return nearest;
}

int ScaledPictureId(int id100, int dpi) { return id100 + NearestPictureScale(dpi) * kPictureScaleIdStep; }

}  // namespace zelvaro
