#include "app/main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <utility>

#include "app/help/help_viewer.h"
#include "app/resource.h"
#include "app/settings/ini_file.h"
#include "app/settings/settings_path.h"
#include "app/value_list_view.h"
#include "app/web_links.h"
#include "ui/l_dpi.h"
#include "tone/tone_file.h"

namespace zelvaro {

namespace {

constexpr UINT_PTR kStatusTimer = 1;
constexpr UINT kFirstStatusMs = 500;
constexpr UINT kStatusPeriodMs = 6000;

// The icons' sizes at 96 DPI.
constexpr int kLargeIconSize = 32;
constexpr int kSmallIconSize = 16;

static_assert(IDB_PLAY_150 == IDB_PLAY + kPictureScaleIdStep && IDB_SPLASH_200 == IDB_SPLASH + 2 * kPictureScaleIdStep,
              "the scaled pictures' ids are grouped as ui/l_dpi.h finds them");

struct Tooltip {
    int id;
    const char* text;
};
constexpr Tooltip kTooltips[] = {
    {IDC_PLAY, "Start tone"},
    {IDC_STOP, "Stop tone"},
    {IDC_INCREASE, "Increase selected tone value"},
    {IDC_DECREASE, "Decrease the selected tone value"},
    {IDC_STATUS, "Click to view Quorrel Internet Resources"},
    {IDC_VALUES, "Tone data values (double click to change)"},
};

}  // namespace

BOOL(WINAPI* MainWindow::openHelp)(HWND, LPCSTR, UINT, ULONG_PTR) = ShowHelp;

MainWindow::MainWindow() { setDefaults(tone); }

MainWindow::~MainWindow() {
    player.stop();
    player.listener = nullptr;
    if (tooltip)
        DestroyWindow(tooltip);
    splash.Destroy();
}

HWND MainWindow::valueList() const { return GetDlgItem(window, IDC_VALUES); }

void MainWindow::FocusValueList() {
    if (window && IsWindow(window))
        SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(valueList()), TRUE);
}

void MainWindow::LoadIcons() {
    // The icon files hold the sizes of every scale the program is drawn at.
    HINSTANCE instance = instanceHandle();
    const int dpi = WindowDpi(window);
    const int largeSize = ScaleToDpi(kLargeIconSize, dpi);
    const int smallSize = ScaleToDpi(kSmallIconSize, dpi);
    HANDLE large = LoadImageA(instance, MAKEINTRESOURCEA(IDI_LARGE), IMAGE_ICON, largeSize, largeSize, 0);
    HANDLE smallIcon = LoadImageA(instance, MAKEINTRESOURCEA(IDI_SMALL), IMAGE_ICON, smallSize, smallSize, 0);
    for (auto [size, icon] : {std::pair<WPARAM, HANDLE>{ICON_BIG, large}, {ICON_SMALL, smallIcon}}) {
        HICON previous = reinterpret_cast<HICON>(SendMessageA(window, WM_SETICON, size, reinterpret_cast<LPARAM>(icon)));
        if (previous && previous != icon)
            DestroyIcon(previous);
    }
}

void MainWindow::OnDpiChanged(const RECT& suggested) {
    // The dialog manager rescales the template's controls and fonts; the
    // window takes the place the system suggests, and the pictures and the
    // value list's columns are made again for the new DPI.
    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    LoadIcons();
    UpdateControls();
    fitValueColumns(valueList());
}

void MainWindow::OnInitDialog() {
    LoadIcons();

    splash.Show(window, MAKEINTRESOURCEA(IDB_SPLASH));
    for (const Tooltip& tip : kTooltips)
        AddTooltip(tooltip, tip.id, tip.text);

    loadToneFile(programFile(kCurrentToneFile).c_str(), tone);

    HWND list = valueList();
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    insertValueColumns(list);
    rebuildValueList(list, tone);

    player.listener = this;
    player.listenerData = 0;
    player.meteringEnabled = 0;

    if (ReadIniBool(settingsPath, "settings", "autoplay", false))
        StartPlayback();

    SetTimer(window, kStatusTimer, kFirstStatusMs, nullptr);
}

void MainWindow::OnDestroy() {
    player.stop();
    player.listener = nullptr;
    player.meteringEnabled = 0;
    // Written through a temporary file, so a failed write keeps the last good tone.
    saveToneFile(programFile(kCurrentToneFile).c_str(), tone);
    splash.Destroy();
    // The buttons and the window do not own their pictures and icons.
    for (int id : {IDC_PLAY, IDC_STOP, IDC_INCREASE, IDC_DECREASE}) {
        HGDIOBJ picture = reinterpret_cast<HGDIOBJ>(
            SendDlgItemMessageA(window, id, BM_SETIMAGE, IMAGE_BITMAP, 0));
        if (picture)
            DeleteObject(picture);
    }
    for (WPARAM size : {ICON_BIG, ICON_SMALL}) {
        HICON icon = reinterpret_cast<HICON>(SendMessageA(window, WM_SETICON, size, 0));
        if (icon)
            DestroyIcon(icon);
    }
}

void MainWindow::OnHelp() { openHelp(window, programFile(kHelpFile).c_str(), HELP_CONTENTS, 0); }

INT_PTR MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ENDSESSION:
        DestroyWindow(window);
        return TRUE;
    case WM_DPICHANGED:
        if (lParam)
            OnDpiChanged(*reinterpret_cast<const RECT*>(lParam));
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->idFrom == IDC_VALUES) {
            if (header->code == LVN_ITEMCHANGED) {
                const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
                if (change->uChanged & LVIF_STATE)
                    UpdateControls();
            } else if (header->code == NM_DBLCLK) {
                EditValues();
            }
        }
        return TRUE;
    }
    case WM_CONTEXTMENU:
        ShowContextMenu(reinterpret_cast<HWND>(wParam), {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        break;
    case WM_TIMER:
        ShowNextStatusText(wParam);
        return TRUE;
    }
    return LModelessDialog::HandleMessage(message, wParam, lParam);
}

void MainWindow::ShowNextStatusText(UINT_PTR timer) {
    KillTimer(window, timer);
    if (timer == kStatusTimer && !formatStatus.empty() && player.isOpen()) {
        // The refused format stays in view for as long as the fallback plays.
        SetDlgItemTextA(window, IDC_STATUS, formatStatus.c_str());
    } else if (timer == kStatusTimer) {
        SetDlgItemTextA(window, IDC_STATUS, kStatusTexts[statusTextIndex]);
        statusTextIndex = (statusTextIndex + 1) % kStatusTextCount;
    }
    SetTimer(window, kStatusTimer, kStatusPeriodMs, nullptr);
}

void MainWindow::onPlaying(int32_t) { UpdateControls(); }

void MainWindow::onStopped(int32_t) { UpdateControls(); }

}  // namespace zelvaro
