#include "ui/l_splash_screen.h"

#include "base/product_version.h"
#include "ui/l_dialog.h"
#include "ui/l_dpi.h"

namespace zelvaro {

namespace {

constexpr char kClassName[] = "LSplashScreen";
constexpr UINT_PTR kCloseTimer = 1;
constexpr UINT kShowMs = 7000;

// The text under the picture, in pixels at 96 DPI.
constexpr int kFrameWidth = 4;
constexpr int kTextHeight = 88;
constexpr int kFontHeight = 16;

HFONT makeFont(int weight, int dpi) {
    return CreateFontA(ScaleToDpi(kFontHeight, dpi), 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, nullptr);
}

}  // namespace

LSplashScreen::~LSplashScreen() { Destroy(); }

void LSplashScreen::Destroy() {
    if (window && IsWindow(window))
        DestroyWindow(window);
    window = nullptr;
    if (bitmap) {
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
}

void LSplashScreen::Show(HWND owner, LPCSTR bitmapName) {
    Destroy();
    WNDCLASSA existing;
    if (!GetClassInfoA(instanceHandle(), kClassName, &existing)) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = instanceHandle();
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = kClassName;
        if (!RegisterClassA(&wc))
            return;
    }
    dpi = WindowDpi(owner);
    if (IS_INTRESOURCE(bitmapName))
        bitmap = static_cast<HBITMAP>(LoadImageA(
            instanceHandle(), MAKEINTRESOURCEA(ScaledPictureId(LOWORD(bitmapName), dpi)), IMAGE_BITMAP, 0, 0, 0));
    if (!bitmap)
        bitmap = static_cast<HBITMAP>(LoadImageA(instanceHandle(), bitmapName, IMAGE_BITMAP, 0, 0, 0));
    if (!bitmap)
        return;
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    const int width = info.bmWidth + ScaleToDpi(kFrameWidth, dpi);
    const int height = info.bmHeight + ScaleToDpi(kTextHeight, dpi);
    const int x = (desktop.right - width) >> 1;
    const int y = (desktop.bottom - height) >> 1;
    window = CreateWindowExA(0, kClassName, "", WS_POPUP | WS_VISIBLE | WS_DLGFRAME, x, y,
                             width, height, owner, nullptr,
                             instanceHandle(), nullptr);
    if (window) {
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        UpdateWindow(window);
    }
}

void LSplashScreen::Paint(HDC dc, const RECT& client) {
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previousBitmap = SelectObject(memory, bitmap);
    BitBlt(dc, 0, 0, client.right - client.left, client.bottom - client.top, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previousBitmap);
    DeleteDC(memory);

    const UINT format = DT_WORDBREAK | DT_NOPREFIX;
    RECT text = {ScaleToDpi(2, dpi), info.bmHeight + ScaleToDpi(1, dpi), info.bmWidth - ScaleToDpi(4, dpi),
                 info.bmHeight + ScaleToDpi(83, dpi)};
    const LONG top = text.top;
    HFONT bold = makeFont(FW_BOLD, dpi);
    HGDIOBJ previousFont = SelectObject(dc, bold);
    text.top += DrawTextA(dc, ZELVARO_PRODUCT_NAME, -1, &text, format);
    HFONT normal = makeFont(FW_NORMAL, dpi);
    SelectObject(dc, normal);
    DeleteObject(bold);
    text.top += DrawTextA(dc, ZELVARO_PRODUCT_NAME " v " ZELVARO_VERSION_TEXT, -1, &text, format);
    text.top = top;
    DrawTextA(dc, "Distributed by:\n" ZELVARO_DISTRIBUTOR, -1, &text, format | DT_RIGHT);
    SelectObject(dc, previousFont);
    DeleteObject(normal);
}

LRESULT CALLBACK LSplashScreen::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    auto* splash = reinterpret_cast<LSplashScreen*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_CREATE:
        SetTimer(window, kCloseTimer, kShowMs, nullptr);
        return 0;
    case WM_TIMER:
    case WM_LBUTTONDOWN:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        KillTimer(window, kCloseTimer);
        if (splash && splash->window == window) {
            splash->window = nullptr;
            if (splash->bitmap) {
                DeleteObject(splash->bitmap);
                splash->bitmap = nullptr;
            }
        }
        return 0;
    case WM_PAINT:
        // Left unvalidated until the object is attached, so the first paint
        // after attaching draws the picture.
        if (!splash || splash->window != window)
            return 0;
        {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            RECT client;
            GetClientRect(window, &client);
            splash->Paint(dc, client);
            EndPaint(window, &ps);
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace zelvaro
