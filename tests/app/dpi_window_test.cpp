// The main window and the decibel control at the display's DPI, read back
// from the windows: run by dpi_window_test.sh with the display set to one of
// the rows below, in a process that is DPI aware as the program is.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "app/value_list_view.h"
#include "tests/app/main_window_harness.h"
#include "ui/l_db_edit.h"
#include "ui/l_dpi.h"

namespace zelvaro::test {
namespace {

struct DpiRow {
    int dpi;
    SIZE buttonPicture;  // every button's bitmap: the scale nearest the DPI
    int dbEditBox;       // the decibel control's edit box; the bar is the rest
    int valueMargins;    // beside the widest value in the value list
    int largeIcon;
    int smallIcon;
};

constexpr DpiRow kRows[] = {
    {96, {32, 24}, 32, 12, 32, 16},
    {120, {48, 36}, 40, 15, 40, 20},
    {144, {48, 36}, 48, 18, 48, 24},
    {192, {64, 48}, 64, 24, 64, 32},
};

const DpiRow* rowFor(int dpi) {
    for (const DpiRow& row : kRows)
        if (row.dpi == dpi)
            return &row;
    return nullptr;
}

SIZE bitmapSize(HBITMAP bitmap) {
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    return {info.bmWidth, info.bmHeight};
}

int iconSize(HICON icon) {
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info))
        return 0;
    const int size = bitmapSize(info.hbmColor ? info.hbmColor : info.hbmMask).cx;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return size;
}

class DpiWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        setInstanceHandle(GetModuleHandleA(nullptr));
        dpi = WindowDpi(nullptr);
        row = rowFor(dpi);
        ASSERT_NE(row, nullptr) << "no row for the display's " << dpi << " DPI";
        const char* wanted = std::getenv("ZELVARO_EXPECTED_DPI");
        if (wanted) {
            ASSERT_EQ(dpi, std::atoi(wanted)) << "the display was not set to the DPI the run asked for";
        }
    }
    int dpi = 0;
    const DpiRow* row = nullptr;
};

TEST_F(DpiWindowTest, MainWindowPicturesIconsAndValueColumnsFollowTheDpi) {
    TempFolder folder;
    MainWindowHarness harness(folder);
    HWND window = harness.open();
    ASSERT_NE(window, nullptr);
    harness.main->splash.Destroy();
    EXPECT_EQ(WindowDpi(window), dpi);
    harness.command(IDM_TONES_16);

    for (int id : {IDC_PLAY, IDC_STOP, IDC_INCREASE, IDC_DECREASE}) {
        SCOPED_TRACE(id);
        const SIZE size = bitmapSize(reinterpret_cast<HBITMAP>(SendDlgItemMessageA(window, id, BM_GETIMAGE, IMAGE_BITMAP, 0)));
        EXPECT_EQ(size.cx, row->buttonPicture.cx);
        EXPECT_EQ(size.cy, row->buttonPicture.cy);
    }
    EXPECT_EQ(iconSize(reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_BIG, 0))), row->largeIcon);
    EXPECT_EQ(iconSize(reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_SMALL, 0))), row->smallIcon);

    // A move to a monitor of another DPI: the window takes the rectangle the
    // system suggests and keeps the pictures of its DPI.
    RECT suggested = {40, 30, 40 + ScaleToDpi(300, dpi), 30 + ScaleToDpi(320, dpi)};
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT placed = {};
    GetWindowRect(window, &placed);
    EXPECT_TRUE(EqualRect(&placed, &suggested)) << placed.left << "," << placed.top << " " << placed.right << ","
                                                << placed.bottom;
    EXPECT_EQ(bitmapSize(reinterpret_cast<HBITMAP>(SendDlgItemMessageA(window, IDC_PLAY, BM_GETIMAGE, IMAGE_BITMAP, 0))).cx,
              row->buttonPicture.cx);

    // The value column is held at least as wide as the widest frequency with
    // its margins, at this DPI's font and margins: in a list 200 pixels wide at
    // 96 DPI that is more than the 30 % it has otherwise.
    HWND list = harness.list();
    RECT listRect = {};
    GetWindowRect(list, &listRect);
    SetWindowPos(list, nullptr, 0, 0, ScaleToDpi(200, dpi), listRect.bottom - listRect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    fitValueColumns(list);
    const int widest = static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0,
                                                     reinterpret_cast<LPARAM>("20000.00Hz")));
    RECT client = {};
    GetClientRect(list, &client);
    const int valueColumn = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0));
    ASSERT_GT(widest + row->valueMargins, client.right * 3 / 10) << "the margins would not show";
    EXPECT_EQ(valueColumn, widest + row->valueMargins) << "list " << client.right << " wide, widest value " << widest;
}

TEST_F(DpiWindowTest, DecibelControlSizesItsEditBoxAndBarFromTheDpi) {
    RegisterDbEditClass();
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    // A bar of 96 pixels at 96 DPI, so that its quarter is a whole pixel.
    const int bar = ScaleToDpi(96, dpi);
    const int width = row->dbEditBox + bar;
    HWND control = CreateWindowExA(0, "LDBEdit", "", WS_CHILD | WS_VISIBLE, 0, 0, width, ScaleToDpi(14, dpi), parent,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(control, nullptr);
    HWND edit = GetWindow(control, GW_CHILD);
    ASSERT_NE(edit, nullptr);
    RECT editRect = {};
    GetWindowRect(edit, &editRect);
    EXPECT_EQ(editRect.right - editRect.left, row->dbEditBox);

    // A click a quarter along the bar sets a quarter of the range (-36 to
    // +12 dB): the bar starts where the edit box ends.
    SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(row->dbEditBox + bar / 4, 2));
    SendMessageA(control, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(static_cast<SHORT>(static_cast<signed char>(SendMessageA(control, LDBM_GETVALUE, 0, 0) & 0xFF)), -24);
    DestroyWindow(parent);
}

}  // namespace
}  // namespace zelvaro::test
