#include "ui/l_db_edit.h"

#include <algorithm>

#include "ui/l_dialog.h"
#include "ui/l_dpi.h"

namespace zelvaro {

namespace {

constexpr char kClassName[] = "LDBEdit";

// Window extra bytes.
constexpr int kValueOffset = 0;
constexpr int kMaximumOffset = 2;
constexpr int kMinimumOffset = 4;
constexpr int kEditOffset = 8;
constexpr int kExtraBytes = 12;

// The edit box's width at 96 DPI; the bar takes the rest.
constexpr int kEditWidth = 32;
// Sent to the control after its parent has moved to a monitor of another DPI
// (Windows 10 1703 and later).
constexpr UINT kDpiChangedAfterParent = 0x02E3;
constexpr int kEditId = 100;
constexpr DbValue kDefaultMaximum = 12;
constexpr DbValue kDefaultMinimum = -36;

constexpr COLORREF kLowColour = RGB(0, 128, 0);
constexpr COLORREF kHighColour = RGB(192, 0, 0);
constexpr COLORREF kRestColour = RGB(0, 0, 0);
constexpr COLORREF kDisabledColour = RGB(128, 128, 128);
constexpr COLORREF kThumbColour = RGB(192, 192, 192);

DbValue lowByte(WORD word) { return static_cast<DbValue>(static_cast<BYTE>(word & 0xFF)); }

DbValue value(HWND window) { return lowByte(static_cast<WORD>(GetWindowWord(window, kValueOffset))); }
DbValue maximum(HWND window) { return lowByte(static_cast<WORD>(GetWindowWord(window, kMaximumOffset))); }
DbValue minimum(HWND window) { return lowByte(static_cast<WORD>(GetWindowWord(window, kMinimumOffset))); }

// Window handles keep their meaning in 32 bits, also in a 64-bit process.
HWND editBox(HWND window) {
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(GetWindowLongA(window, kEditOffset)));
}

int editWidth(HWND window) { return ScaleToDpi(kEditWidth, WindowDpi(window)); }

// The edit box's font: the stock one at 96 DPI, which does not grow with the
// DPI; a copy of it scaled to the DPI above that, owned by the control
// through this window property.
constexpr char kFontProperty[] = "LDBEditFont";

void setEditFont(HWND window, HWND edit, BOOL redraw) {
    HFONT font = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
    const int dpi = WindowDpi(window);
    if (dpi != kDefaultDpi) {
        LOGFONTA description = {};
        if (GetObjectA(font, sizeof description, &description)) {
            description.lfHeight = ScaleToDpi(description.lfHeight, dpi);
            description.lfWidth = ScaleToDpi(description.lfWidth, dpi);
            if (HFONT scaled = CreateFontIndirectA(&description))
                font = scaled;
        }
    }
    SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
    if (HANDLE previous = RemovePropA(window, kFontProperty))
        DeleteObject(previous);
    if (font != GetStockObject(ANSI_VAR_FONT))
        SetPropA(window, kFontProperty, font);
}

bool sunken(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & kDbEditSunken) != 0; }

int range(HWND window) {
    const int r = maximum(window) - minimum(window);
    return r <= 0 ? 1 : r;
}

void notifyParent(HWND window) {
    PostMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), kDbEditChanged),
                 reinterpret_cast<LPARAM>(window));
}

void UpdateDbText(HWND window) {
    char text[kDbTextSize];
    FormatDbText(value(window), text, sizeof text);
    SetWindowTextA(editBox(window), text);
}

void SetDbValue(HWND window, int newValue) {
    const DbValue v = static_cast<DbValue>(std::max<int>(std::min<int>(newValue, maximum(window)), minimum(window)));
    const DbValue old = value(window);
    SetWindowWord(window, kValueOffset, static_cast<WORD>(static_cast<SHORT>(v)));

    RECT r;
    GetClientRect(window, &r);
    if (sunken(window)) InflateRect(&r, -1, -1);
    const int barLeft = r.left + editWidth(window);
    const int width = r.right - barLeft;
    const int lower = std::min<int>(old, v) - minimum(window);
    const int higher = std::max<int>(old, v) - minimum(window);
    RECT band;
    GetClientRect(window, &band);
    band.left = barLeft + lower * width / range(window) - 2;
    band.right = barLeft + higher * width / range(window) + 2;
    InvalidateRect(window, &band, FALSE);
}

void SetDbValueFromX(HWND window, int x) {
    RECT r;
    GetClientRect(window, &r);
    const int edit = editWidth(window);
    const int width = std::max<int>(1, r.right - (r.left + edit));
    const int p = std::min(std::max(0, x - edit), width);
    SetDbValue(window, minimum(window) + p * (maximum(window) - minimum(window)) / width);
    UpdateDbText(window);
}

// Fills the part of [left, right) x [top, bottom) inside the update rectangle.
void fill(HDC dc, const RECT& update, int left, int top, int right, int bottom, COLORREF colour) {
    const RECT part = {left, top, right, bottom};
    RECT clipped;
    if (!IntersectRect(&clipped, &part, &update)) return;
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &clipped, brush);
    DeleteObject(brush);
}

void line(HDC dc, int stockPen, const POINT* points, int count) {
    HGDIOBJ previous = SelectObject(dc, GetStockObject(stockPen));
    MoveToEx(dc, points[0].x, points[0].y, nullptr);
    for (int i = 1; i < count; ++i) LineTo(dc, points[i].x, points[i].y);
    SelectObject(dc, previous);
}

void paint(HWND window, HDC dc, const RECT& update) {
    RECT r;
    GetClientRect(window, &r);
    int barBottom = r.bottom;
    if (sunken(window)) {
        if (update.bottom >= r.bottom) {
            const POINT white[] = {{r.left, r.bottom - 1}, {r.right - 1, r.bottom - 1}, {r.right - 1, r.top - 1}};
            line(dc, WHITE_PEN, white, 3);
        }
        if (update.top <= r.top) {
            const POINT black[] = {{r.left, r.bottom - 1}, {r.left, r.top}, {r.right - 1, r.top}};
            line(dc, BLACK_PEN, black, 3);
        }
        InflateRect(&r, -1, -1);
        barBottom = r.bottom - 1;
    }
    const bool enabled = IsWindowEnabled(window) != FALSE;
    const int v = value(window);
    const int min = minimum(window);
    const int barLeft = r.left + editWidth(window);
    const int width = r.right - barLeft;
    const int position = (v - min) * width / range(window);
    const int valueX = barLeft + position;
    const int zeroX = barLeft + (0 - min) * width / range(window);

    const int lowEnd = v >= 0 ? zeroX : valueX;
    fill(dc, update, barLeft, r.top, lowEnd, barBottom, enabled ? kLowColour : kDisabledColour);
    int end = lowEnd;
    if (v >= 0) {
        fill(dc, update, zeroX, r.top, valueX, barBottom, enabled ? kHighColour : kDisabledColour);
        end = valueX;
    }
    fill(dc, update, end, r.top, r.right, barBottom, enabled ? kRestColour : kDisabledColour);

    int thumb = valueX - 1;
    if (thumb + 2 >= r.right) thumb = r.right - 3;
    fill(dc, update, thumb, r.top, thumb + 2, barBottom, kThumbColour);
    // Raised: light from the top left, the white line one pixel outside the
    // thumb on its left, the black one outside on its right.
    const POINT white[] = {{thumb - 1, barBottom - 1}, {thumb - 1, r.top}, {thumb + 2, r.top}};
    line(dc, WHITE_PEN, white, 3);
    const POINT black[] = {{thumb + 2, r.top}, {thumb + 2, barBottom - 1}, {thumb - 2, barBottom - 1}};
    line(dc, BLACK_PEN, black, 3);
}

void create(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    const bool inset = sunken(window);
    HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_RIGHT, inset ? 1 : 0, inset ? 1 : 0,
                                editWidth(window), inset ? r.bottom - 2 : r.bottom, window,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)),
                                reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)), nullptr);
    SetWindowLongA(window, kEditOffset, static_cast<LONG>(reinterpret_cast<LONG_PTR>(edit)));
    if (edit) setEditFont(window, edit, FALSE);
    SetWindowWord(window, kMaximumOffset, static_cast<WORD>(kDefaultMaximum));
    SetWindowWord(window, kMinimumOffset, static_cast<WORD>(static_cast<SHORT>(kDefaultMinimum)));
}

void onTextChanged(HWND window) {
    char text[7] = {};
    GetWindowTextA(editBox(window), text, sizeof text);
    const DbValue typed = ParseDbText(text);
    if (typed == value(window)) return;
    // The text stays as typed, also when the value is clamped.
    SetDbValue(window, typed);
    notifyParent(window);
}

void onPointer(HWND window, LPARAM lParam) {
    const DbValue before = value(window);
    SetDbValueFromX(window, static_cast<SHORT>(LOWORD(lParam)));
    if (value(window) != before) notifyParent(window);
}

}  // namespace

LRESULT CALLBACK DbEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        create(window);
        return 0;
    case WM_SETFOCUS:
        SetFocus(editBox(window));
        SendMessageA(editBox(window), EM_SETSEL, 0, 8);
        return 0;
    case WM_ENABLE:
        EnableWindow(editBox(window), static_cast<BOOL>(wParam));
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        paint(window, dc, ps.rcPaint);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_PRINTCLIENT: {
        // The whole client area into the given device context (a bitmap).
        RECT all;
        GetClientRect(window, &all);
        paint(window, reinterpret_cast<HDC>(wParam), all);
        return 0;
    }
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_LBUTTONDOWN:
        SetFocus(editBox(window));
        if (static_cast<SHORT>(LOWORD(lParam)) < editWidth(window)) return 0;
        onPointer(window, lParam);
        SetCapture(window);
        return 0;
    case WM_MOUSEMOVE:
        // Only a drag: the system also sends a move where the pointer really
        // is, without the button, when the capture is taken.
        if (GetCapture() == window && (wParam & MK_LBUTTON)) onPointer(window, lParam);
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == window) ReleaseCapture();
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) != EN_CHANGE) break;
        onTextChanged(window);
        return 0;
    case kDpiChangedAfterParent: {
        // The dialog manager has resized the control; its edit box follows.
        RECT r;
        GetClientRect(window, &r);
        const bool inset = sunken(window);
        SetWindowPos(editBox(window), nullptr, 0, 0, editWidth(window), inset ? r.bottom - 2 : r.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        setEditFont(window, editBox(window), TRUE);
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    }
    case WM_DESTROY:
        if (HANDLE font = RemovePropA(window, kFontProperty))
            DeleteObject(font);
        return 0;
    case LDBM_SETVALUE:
        SetDbValue(window, lowByte(static_cast<WORD>(lParam)));
        UpdateDbText(window);
        return 0;
    case LDBM_GETVALUE:
        return static_cast<WORD>(GetWindowWord(window, kValueOffset));
    case LDBM_SETRANGE:
        SetWindowWord(window, kMinimumOffset, static_cast<WORD>(wParam));
        SetWindowWord(window, kMaximumOffset, static_cast<WORD>(lParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterDbEditClass() {
    HINSTANCE instance = instanceHandle();
    WNDCLASSA wc = {};
    if (GetClassInfoA(instance, kClassName, &wc)) return;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = DbEditProc;
    wc.cbWndExtra = kExtraBytes;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
}

}  // namespace zelvaro
