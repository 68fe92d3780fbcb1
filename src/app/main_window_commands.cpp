// What the user commands in the main window: menus, buttons, keys, context
// menus, and how the buttons and menu items show the current state.
#include "app/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/resource.h"
#include "app/value_list_view.h"
#include "app/web_links.h"

namespace zelvaro {

namespace {

// Positions in menu resource 1 that the context menus take.
constexpr int kTonePopup = 1;
constexpr int kHelpPopup = 2;
constexpr int kInternetResourcesItem = 1;

POINT cursorPosition() {
    POINT cursor = {};
    GetCursorPos(&cursor);
    return cursor;
}

}  // namespace

void MainWindow::OnCommand(WORD id, WORD notification) {
    switch (id) {
    case IDC_PLAY:
    case IDM_PLAY:
        StartPlayback();
        return;
    case IDC_STOP:
    case IDM_STOP:
        StopPlayback();
        return;
    case IDC_INCREASE:
    case IDM_INCREASE:
        StepValues(Step::StepUp);
        return;
    case IDC_DECREASE:
    case IDM_DECREASE:
        StepValues(Step::StepDown);
        return;
    case IDM_EDIT_VALUE:
        EditValues();
        return;
    case IDC_STATUS:
        if (notification == STN_CLICKED)
            TrackSubMenu(kHelpPopup, kInternetResourcesItem, 0, cursorPosition());
        return;
    case IDM_ABOUT:
        ShowAbout();
        return;
    case IDM_SAVE_AS_WAV:
        OnSaveAsWav();
        return;
    case IDM_SAVE_AS_TONE:
        SaveAsTone();
        return;
    case IDM_LOAD_TONE:
        LoadTone();
        return;
    case IDM_PLAY_SETTINGS:
        OnPlaySettings();
        return;
    case IDM_EXIT:
        PostMessageA(window, WM_CLOSE, 0, 0);
        return;
    case IDM_CONTINUOUS:
    case IDM_DURATION:
    case IDM_SWEEP_LINEAR:
    case IDM_SWEEP_LOG: {
        static constexpr ToneKind kinds[] = {ToneKind::ConstantContinuous,
                                             ToneKind::ConstantDuration, ToneKind::SweepLinear,
                                             ToneKind::SweepLog};
        setToneKind(tone, kinds[id - IDM_CONTINUOUS]);
        ToneChanged();
        return;
    }
    case IDM_MONO:
    case IDM_STEREO:
        setStereo(tone, id == IDM_STEREO);
        ToneChanged();
        return;
    case IDM_VARIABLE_AMPLITUDE:
        toggleVariableAmplitude(tone);
        ToneChanged();
        return;
    }
    if (id >= IDM_TONES_1 && id <= IDM_TONES_16) {
        setToneCount(tone, id - IDM_TONES_BASE);
        ToneChanged();
    } else if (id >= IDM_SINE && id <= IDM_PINK_NOISE) {
        setWaveform(tone, id - IDM_SINE);
        ToneChanged();
    } else if (id >= IDM_LINK_FIRST && id <= IDM_LINK_LAST) {
        OpenWebLink(id);
    }
}

bool MainWindow::PreTranslateMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    // The keyboard sends F10 as a system key (it would open the menu bar);
    // without Alt (context bit 29) it is the Play key like F9, and with Shift
    // the context-menu key, as everywhere in the system.
    constexpr LPARAM kAltDown = 1 << 29;
    if ((message == WM_SYSKEYDOWN || message == WM_KEYDOWN) && wParam == VK_F10 && (lParam & kAltDown) == 0) {
        if (GetKeyState(VK_SHIFT) < 0)
            ShowValueMenuAtSelection();
        else
            StartPlayback();
        return true;
    }
    // The context-menu key: its release, left to the window, would ask for
    // the menu a second time (the system turns it into WM_CONTEXTMENU).
    if (wParam == VK_APPS && (message == WM_KEYDOWN || message == WM_KEYUP)) {
        if (message == WM_KEYDOWN)
            ShowValueMenuAtSelection();
        return true;
    }
    if (message == WM_KEYDOWN) {
        switch (wParam) {
        case VK_F1:
            OnHelp();
            return true;
        case VK_F3:
        case VK_F4:
        case VK_ESCAPE:
            StopPlayback();
            return true;
        case VK_F9:
            StartPlayback();
            return true;
        case VK_RETURN:
            EditValues();
            return true;
        case VK_PRIOR:
            StepValues(Step::BigStepUp);
            return true;
        case VK_NEXT:
            StepValues(Step::BigStepDown);
            return true;
        }
    } else if (message == WM_CHAR) {
        if (wParam == '+') {
            StepValues(Step::StepUp);
            return true;
        }
        if (wParam == '-') {
            StepValues(Step::StepDown);
            return true;
        }
    }
    return false;
}

void MainWindow::UpdateControls() {
    if (!window)
        return;
    const int selected = static_cast<int>(SendMessageA(valueList(), LVM_GETSELECTEDCOUNT, 0, 0));
    const bool active = player.isOpen();

    SetButtonBitmap(IDC_PLAY, active ? IDB_PLAY_GREY : IDB_PLAY);
    SetButtonBitmap(IDC_STOP, active ? IDB_STOP : IDB_STOP_GREY);
    SetButtonBitmap(IDC_INCREASE, selected > 0 ? IDB_INCREASE : IDB_INCREASE_GREY);
    SetButtonBitmap(IDC_DECREASE, selected > 0 ? IDB_DECREASE : IDB_DECREASE_GREY);

    EnableMenuCommand(IDM_PLAY, !active);
    EnableMenuCommand(IDM_STOP, active);
    EnableMenuCommand(IDM_INCREASE, selected > 0);
    EnableMenuCommand(IDM_DECREASE, selected > 0);
    EnableMenuCommand(IDM_EDIT_VALUE, selected == 1);

    HMENU menu = GetMenu(window);
    CheckMenuRadioItem(menu, IDM_TONES_1, IDM_TONES_16, IDM_TONES_BASE + tone.toneCount,
                       MF_BYCOMMAND);
    UINT kind = IDM_SWEEP_LINEAR;
    if (!tone.fixedDuration())
        kind = IDM_CONTINUOUS;
    else if (!tone.sweep())
        kind = IDM_DURATION;
    else if (tone.logSweep())
        kind = IDM_SWEEP_LOG;
    CheckMenuRadioItem(menu, IDM_CONTINUOUS, IDM_SWEEP_LOG, kind, MF_BYCOMMAND);
    CheckMenuRadioItem(menu, IDM_MONO, IDM_STEREO, tone.stereo() ? IDM_STEREO : IDM_MONO,
                       MF_BYCOMMAND);
    CheckMenuRadioItem(menu, IDM_SINE, IDM_PINK_NOISE, IDM_SINE + tone.waveform, MF_BYCOMMAND);
    CheckMenuCommand(IDM_VARIABLE_AMPLITUDE, tone.variableAmplitude());
}

void MainWindow::ToneChanged() {
    rebuildValueList(valueList(), tone);
    RestartIfPlaying();
}

void MainWindow::StepValues(Step step) {
    stepSelected(valueList(), tone, step);
    RestartIfPlaying();
}

void MainWindow::EditValues() {
    const bool changed = editSelected(valueList(), window, tone);
    FocusValueList();
    if (changed)
        RestartIfPlaying();
}

void MainWindow::ShowContextMenu(HWND clicked, POINT at) {
    const bool fromKeyboard = at.x == -1 && at.y == -1;
    if (clicked == valueList() && fromKeyboard) {
        ShowValueMenuAtSelection();
        return;
    }
    if (clicked == GetDlgItem(window, IDC_STATUS))
        TrackSubMenu(kHelpPopup, kInternetResourcesItem, TPM_RIGHTBUTTON, cursorPosition());
    else if (clicked == valueList())
        TrackSubMenu(kTonePopup, -1, TPM_RIGHTBUTTON, cursorPosition());
}

void MainWindow::ShowValueMenuAtSelection() {
    HWND list = valueList();
    int row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0)
        row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    // Below the row's left end, so that the row stays in sight; the list's
    // top left corner when there is no row to point at.
    POINT at = {0, 0};
    RECT bounds = {LVIR_BOUNDS, 0, 0, 0};
    if (row >= 0) {
        SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
        if (SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds)))
            at = {bounds.left, bounds.bottom};
    }
    ClientToScreen(list, &at);
    TrackSubMenu(kTonePopup, -1, TPM_RIGHTBUTTON, at);
}

// Shows popup `popup` of menu resource 1 (or its item `item` when that is not
// -1) at `at`; the chosen item arrives as an ordinary WM_COMMAND.
void MainWindow::TrackSubMenu(int popup, int item, UINT flags, POINT at) {
    HMENU menu = LoadMenuA(instanceHandle(), MAKEINTRESOURCEA(IDR_MAIN_MENU));
    if (!menu)
        return;
    HMENU sub = GetSubMenu(menu, popup);
    if (sub && item >= 0)
        sub = GetSubMenu(sub, item);
    if (sub)
        TrackPopupMenu(sub, flags | TPM_LEFTALIGN, at.x, at.y, 0, window, nullptr);
    DestroyMenu(menu);
}

void MainWindow::ShowAbout() {
    class AboutDialog final : public LDialog {
        void OnInitDialog() override { ScaleItemIcon(IDC_ABOUT_ICON, IDI_LARGE); }
    } about;
    about.RunModal(window, "AboutDlg");
    FocusValueList();
}

void MainWindow::OpenWebLink(WORD id) {
    if (const char* address = webLinkAddress(id))
        ShellExecuteA(window, nullptr, address, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace zelvaro
