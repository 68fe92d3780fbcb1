// The decibel control in a real window: its messages, typing, clicking and
// dragging as a user does them, and its painting read back pixel by pixel
// from a bitmap.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/l_db_edit.h"

namespace zelvaro {
namespace {

constexpr int kControlId = 102;

// Records the notifications posted to the parent.
struct Notification {
    WORD id, code;
    LPARAM from;
};
std::vector<Notification> g_notifications;

LRESULT CALLBACK parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) g_notifications.push_back({LOWORD(wParam), HIWORD(wParam), lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

void pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// A parent window with one LDBEdit of 180 x 20 pixels (bar from x = 32 to 180,
// 148 pixels wide; with the sunken style from 33 to 179, 146 wide).
class DbEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterDbEditClass();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = parentProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "DbEditTestParent";
        RegisterClassA(&wc);
        parent = CreateWindowA("DbEditTestParent", "parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 120,
                               nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override { DestroyWindow(parent); }

    HWND make(DWORD style = 0) {
        control = CreateWindowA("LDBEdit", "", WS_CHILD | WS_VISIBLE | style, 10, 10, 180, 20, parent,
                                reinterpret_cast<HMENU>(kControlId), GetModuleHandleA(nullptr), nullptr);
        edit = GetDlgItem(control, 100);
        pump();
        g_notifications.clear();
        return control;
    }
    int value() { return static_cast<signed char>(SendMessageA(control, LDBM_GETVALUE, 0, 0) & 0xFF); }
    std::string text() {
        char t[32] = {};
        GetWindowTextA(edit, t, sizeof t);
        return t;
    }
    void setValue(int v) { SendMessageA(control, LDBM_SETVALUE, 0, static_cast<LPARAM>(v)); }
    void type(const char* keys) {
        for (const char* k = keys; *k; ++k) PostMessageA(edit, WM_CHAR, static_cast<BYTE>(*k), 1);
        pump();
    }
    void mouse(UINT message, int x, bool buttonHeld = true) {
        SendMessageA(control, message, message == WM_MOUSEMOVE && buttonHeld ? MK_LBUTTON : 0,
                     MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), 5));
        pump();
    }
    size_t notifications() {
        pump();
        for (const Notification& n : g_notifications) {
            EXPECT_EQ(n.id, kControlId);
            EXPECT_EQ(n.code, 0x300);
            EXPECT_EQ(n.from, reinterpret_cast<LPARAM>(control));
        }
        return g_notifications.size();
    }

    HWND parent = nullptr, control = nullptr, edit = nullptr;
};

TEST_F(DbEditTest, StartsAtZeroWithTheEditBoxEmptyAndTheChildPlacedByStyle) {
    struct Case {
        DWORD style;
        RECT editRect;
    } const cases[] = {
        {0, {0, 0, 32, 20}},
        {kDbEditSunken, {1, 1, 33, 19}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        make(c.style);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(SendMessageA(control, LDBM_GETVALUE, 0, 0), 0);
        EXPECT_EQ(text(), "");
        RECT r;
        GetWindowRect(edit, &r);
        MapWindowPoints(nullptr, control, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, c.editRect.left);
        EXPECT_EQ(r.top, c.editRect.top);
        EXPECT_EQ(r.right, c.editRect.right);
        EXPECT_EQ(r.bottom, c.editRect.bottom);
        EXPECT_EQ(GetWindowLongA(edit, GWL_STYLE) & ES_RIGHT, ES_RIGHT);
        DestroyWindow(control);
    }
}

TEST_F(DbEditTest, SetValueClampsToTheRangeWritesTheTextAndDoesNotNotify) {
    struct Case {
        int min, max;  // 0, 0: the default range -36..12
        LPARAM set;
        LRESULT word;
        const char* text;
    } const cases[] = {
        {0, 0, 0, 0, "0dB"},
        {0, 0, -10, 0xFFF6, "-10dB"},
        {0, 0, 20, 12, "12dB"},
        {0, 0, -50, 0xFFDC, "-36dB"},
        {0, 0, 12, 12, "12dB"},
        {0, 0, -36, 0xFFDC, "-36dB"},
        {0, 0, 0x1F6, 0xFFF6, "-10dB"},  // only the low 8 bits count
        {-127, 0, -127, 0xFF81, "--dB"},
        {-127, 0, -128, 0xFF81, "--dB"},  // 0x80 is -128: clamped to the minimum
        {-127, 127, 127, 127, "127dB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set);
        make();
        if (c.min || c.max) SendMessageA(control, LDBM_SETRANGE, static_cast<WPARAM>(c.min), c.max);
        EXPECT_EQ(SendMessageA(control, LDBM_SETVALUE, 0, c.set), 0);
        EXPECT_EQ(SendMessageA(control, LDBM_GETVALUE, 0, 0), c.word);
        EXPECT_EQ(text(), c.text);
        EXPECT_EQ(notifications(), 0u);
        DestroyWindow(control);
    }
}

TEST_F(DbEditTest, SetRangeLeavesTheValueUntilItsNextChange) {
    make();
    setValue(10);
    SendMessageA(control, LDBM_SETRANGE, static_cast<WPARAM>(-20), 5);
    EXPECT_EQ(value(), 10);
    EXPECT_EQ(text(), "10dB");
    setValue(8);
    EXPECT_EQ(value(), 5);
    setValue(-30);
    EXPECT_EQ(value(), -20);
}

// Entered text (a paste over the selected box: one change of the edit box):
// parsed leniently, clamped, and notified whenever it parses to something
// other than the stored value; the text stays as entered. The box is 32
// pixels wide and takes no more than fits, as typed text.
TEST_F(DbEditTest, EnteredTextSetsTheParsedValueAndNotifiesWhenItDiffers) {
    struct Case {
        int start;
        const char* entered;
        int value;
        size_t notified;
    } const cases[] = {
        {0, "-12", -12, 1},
        {0, "+6", 6, 1},
        {0, "1-2", -12, 1},
        {0, "-40", -36, 1},    // clamped, still shown as -40
        {-36, "-40", -36, 1},  // clamping leaves the value, yet the parse differed
        {0, "--", -36, 1},     // off, clamped to the minimum
        {-5, "-5", -5, 0},     // parses to the stored value
        {0, "abc", 0, 0},
        {3, "x", 0, 1},        // no digits: 0
        {0, "99", 12, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entered);
        make();
        setValue(c.start);
        EXPECT_EQ(notifications(), 0u) << "the text LDBM_SETVALUE writes parses back";
        SetFocus(control);
        SendMessageA(edit, EM_SETSEL, 0, -1);
        SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(c.entered));
        EXPECT_EQ(value(), c.value);
        EXPECT_EQ(text(), c.entered);
        EXPECT_EQ(notifications(), c.notified);
        DestroyWindow(control);
    }
}

TEST_F(DbEditTest, TypingKeyByKeyFollowsEveryChange) {
    make();
    setValue(-20);
    SetFocus(control);  // selects the text, so the first key replaces it
    type("-");          // parses to 0
    EXPECT_EQ(value(), 0);
    type("8");
    EXPECT_EQ(value(), -8);
    EXPECT_EQ(text(), "-8");
    EXPECT_EQ(notifications(), 2u);
}

TEST_F(DbEditTest, FocusGoesToTheEditBoxWithItsTextSelected) {
    make();
    setValue(-12);
    SetFocus(control);
    EXPECT_EQ(GetFocus(), edit);
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 5u);
}

// Bar of 148 pixels from x = 32, range -36..12 (48 dB): x = 32 + p gives
// -36 + p * 48 / 148.
TEST_F(DbEditTest, ClickAndDragSetTheValueFromXAndNotifyOnlyOnChange) {
    struct Step {
        UINT message;
        int x;
        int value;
        size_t notified;  // in total so far
        bool buttonHeld = true;
    } const steps[] = {
        {WM_LBUTTONDOWN, 20, 0, 0},     // on the edit box: no change, no capture
        {WM_MOUSEMOVE, 100, 0, 0},      // not captured
        {WM_LBUTTONDOWN, 32, -36, 1},   // left end of the bar: the minimum
        // The system's own move where the pointer really is (taking the
        // capture makes one): without the button it is no drag.
        {WM_MOUSEMOVE, 100, -36, 1, false},
        {WM_MOUSEMOVE, 32, -36, 1},     // no change, no notification
        {WM_MOUSEMOVE, 143, 0, 2},      // 111 * 48 / 148 = 36
        {WM_MOUSEMOVE, 144, 0, 2},      // 112 * 48 / 148 = 36.3, truncated
        {WM_MOUSEMOVE, 1000, 12, 3},    // beyond the right edge: the maximum
        {WM_MOUSEMOVE, -50, -36, 4},    // beyond the left edge: the minimum
        {WM_LBUTTONUP, 100, -36, 4},
        {WM_MOUSEMOVE, 100, -36, 4},    // released
        {WM_LBUTTONDBLCLK, 100, -36, 4},// the second press of a double click
    };
    make();
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << s.message << " at " << s.x);
        mouse(s.message, s.x, s.buttonHeld);
        EXPECT_EQ(value(), s.value);
        EXPECT_EQ(notifications(), s.notified);
    }
    EXPECT_EQ(text(), "-36dB");
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(GetCapture(), nullptr);
}

// The painting, into a 24-bit bitmap through WM_PRINTCLIENT.
class Pixels {
public:
    // What the control paints for WM_PRINTCLIENT.
    Pixels(HWND control, int w, int h) : Pixels(w, h) {
        SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        GdiFlush();
    }
    // What the window shows on the screen now.
    static Pixels fromScreen(HWND control, int w, int h) {
        Pixels p(w, h);
        HDC screen = GetDC(control);
        BitBlt(p.dc, 0, 0, w, h, screen, 0, 0, SRCCOPY);
        ReleaseDC(control, screen);
        GdiFlush();
        return p;
    }
    Pixels(Pixels&& other) noexcept
        : width(other.width), dc(other.dc), bitmap(other.bitmap), old(other.old), bits(other.bits) {
        other.dc = nullptr;
    }
    ~Pixels() {
        if (!dc) return;
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    COLORREF at(int x, int y) const {
        const DWORD p = bits[y * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

private:
    Pixels(int w, int h) : width(w) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        old = SelectObject(dc, bitmap);
        // A colour the control never paints, to see what it leaves.
        RECT all = {0, 0, w, h};
        HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
        FillRect(dc, &all, blue);
        DeleteObject(blue);
    }

    int width;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    DWORD* bits = nullptr;
};

constexpr COLORREF kGreen = RGB(0, 128, 0), kRed = RGB(192, 0, 0), kBlack = RGB(0, 0, 0),
                   kGrey = RGB(128, 128, 128), kLight = RGB(192, 192, 192), kWhite = RGB(255, 255, 255);

std::string colourName(COLORREF c) {
    char t[32];
    snprintf(t, sizeof t, "(%d,%d,%d)", GetRValue(c), GetGValue(c), GetBValue(c));
    return t;
}

// Positions for the plain control (bar 32..180, 148 wide, range -36..12):
// 0 dB at 32 + 36 * 148 / 48 = 143; the thumb at value x - 1 and x, framed
// white at x - 2 and black at x + 1.
TEST_F(DbEditTest, PaintsTheSegmentsAndTheThumbAtTheirPixels) {
    struct Probe {
        int x;
        COLORREF colour;
    };
    struct Case {
        const char* name;
        int value;
        bool enabled;
        std::vector<Probe> probes;  // on row 10
    } const cases[] = {
        // 6 dB: x = 32 + 42 * 148 / 48 = 161.
        {"above 0 dB", 6, true,
         {{33, kGreen}, {142, kGreen}, {143, kRed}, {158, kRed}, {159, kWhite}, {160, kLight}, {161, kLight},
          {162, kBlack}, {163, kBlack}, {179, kBlack}}},
        // -12 dB: x = 32 + 24 * 148 / 48 = 106.
        {"below 0 dB", -12, true,
         {{33, kGreen}, {103, kGreen}, {104, kWhite}, {105, kLight}, {106, kLight}, {107, kBlack}, {143, kBlack},
          {179, kBlack}}},
        // The minimum: the thumb at 31 and 32, its white line at 30 (under
        // the edit box), no green.
        {"at the minimum", -36, true, {{31, kLight}, {32, kLight}, {33, kBlack}, {34, kBlack}, {179, kBlack}}},
        // The maximum: x = 180 would put the thumb on the edge: at 177.
        {"at the maximum", 12, true, {{142, kGreen}, {143, kRed}, {175, kRed}, {176, kWhite}, {177, kLight},
                                      {178, kLight}, {179, kBlack}}},
        {"disabled", 6, false, {{33, kGrey}, {142, kGrey}, {143, kGrey}, {158, kGrey}, {163, kGrey}, {179, kGrey},
                                {160, kLight}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        make();
        setValue(c.value);
        EnableWindow(control, c.enabled);
        Pixels pixels(control, 180, 20);
        for (const Probe& p : c.probes)
            EXPECT_EQ(colourName(pixels.at(p.x, 10)), colourName(p.colour)) << "x = " << p.x;
        // The bar covers the full height without the sunken style.
        EXPECT_EQ(colourName(pixels.at(170, 0)), colourName(pixels.at(170, 10)));
        EXPECT_EQ(colourName(pixels.at(170, 19)), colourName(pixels.at(170, 10)));
        EXPECT_EQ(IsWindowEnabled(edit) != FALSE, c.enabled);
        DestroyWindow(control);
    }
}

// Sunken: white bottom and right edges, black top and left; the bar is inset
// (33..179, 146 wide) and one more pixel short at its bottom.
TEST_F(DbEditTest, SunkenStyleDrawsItsBorderAndInsetsTheBar) {
    make(kDbEditSunken);
    setValue(0);  // 0 dB at 33 + 36 * 146 / 48 = 142
    Pixels pixels(control, 180, 20);
    struct Probe {
        int x, y;
        COLORREF colour;
    } const probes[] = {
        {100, 0, kBlack},   // top edge
        {0, 10, kBlack},    // left edge
        {100, 19, kWhite},  // bottom edge
        {179, 10, kWhite},  // right edge
        {179, 0, kWhite},   // top-right corner: the white line reaches it
        {34, 1, kGreen},    // first bar row
        {34, 17, kGreen},   // last bar row
        {34, 18, RGB(0, 0, 255)},  // the row left out
        {139, 10, kGreen},
        {140, 10, kWhite},
        {141, 10, kLight},
        {142, 10, kLight},
        {143, 10, kBlack},
        {178, 10, kBlack},
    };
    for (const Probe& p : probes)
        EXPECT_EQ(colourName(pixels.at(p.x, p.y)), colourName(p.colour)) << p.x << "," << p.y;
}

// A change repaints the band between the old and the new position: what the
// screen shows afterwards is what a full paint gives.
TEST_F(DbEditTest, AChangeRepaintsWhatItMovesOnTheScreen) {
    struct Case {
        int from, to;
    } const cases[] = {{-12, 6}, {6, -30}, {12, -36}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " to " << c.to);
        make();
        setValue(c.from);
        UpdateWindow(control);
        setValue(c.to);
        UpdateWindow(control);
        Pixels screen = Pixels::fromScreen(control, 180, 20);
        Pixels full(control, 180, 20);
        for (int x = 32; x < 180; ++x) {
            if (screen.at(x, 10) != full.at(x, 10)) {
                ADD_FAILURE() << "x = " << x << ": screen " << colourName(screen.at(x, 10)) << ", full paint "
                              << colourName(full.at(x, 10));
                break;
            }
        }
        DestroyWindow(control);
    }
}

}  // namespace
}  // namespace zelvaro
