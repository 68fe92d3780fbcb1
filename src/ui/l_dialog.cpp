#include "ui/l_dialog.h"

#include <commctrl.h>

#include "ui/l_dpi.h"

namespace zelvaro {

namespace {
HINSTANCE g_instance = nullptr;
}

void setInstanceHandle(HINSTANCE instance) { g_instance = instance; }

HINSTANCE instanceHandle() { return g_instance ? g_instance : GetModuleHandleA(nullptr); }

INT_PTR CALLBACK LDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<LDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        if (dialog) {
            dialog->window = window;
            dialog->OnInitDialog();
            dialog->UpdateControls();
        }
        return TRUE;
    }
    auto* dialog = reinterpret_cast<LDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    // Messages before WM_INITDIALOG, or for a window the object no longer owns.
    if (!dialog || dialog->window != window)
        return FALSE;
    return dialog->HandleMessage(message, wParam, lParam);
}

INT_PTR LDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_DESTROY:
        OnDestroy();
        ReleaseDialogIcon(window);
        window = nullptr;
        return FALSE;
    case WM_HELP:
        OnHelp();
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            if (OnOK())
                EndDialog(window, IDOK);
            return TRUE;
        case IDCANCEL:
            if (OnCancel())
                EndDialog(window, IDCANCEL);
            return TRUE;
        case IDHELP:
            OnHelp();
            return TRUE;
        default:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            UpdateControls();
            return TRUE;
        }
    }
    return FALSE;
}

INT_PTR LDialog::RunModal(HWND owner, LPCSTR dialogTemplate) {
    if (window)
        return 0;
    INT_PTR result = DialogBoxParamA(instanceHandle(), dialogTemplate, owner, LDialogProc,
                                     reinterpret_cast<LPARAM>(this));
    return result < 0 ? 0 : result;
}

INT_PTR LModelessDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        const bool accepted = LOWORD(wParam) == IDOK ? OnOK() : OnCancel();
        if (accepted)
            DestroyWindow(window);
        return TRUE;
    }
    return LDialog::HandleMessage(message, wParam, lParam);
}

bool LMainDialog::Run(HWND parent, LPCSTR dialogTemplate) {
    if (window)
        return false;
    HWND created = CreateDialogParamA(instanceHandle(), dialogTemplate, parent, LDialogProc,
                                      reinterpret_cast<LPARAM>(this));
    if (!created)
        return false;
    if (parent)
        EnableWindow(parent, FALSE);
    MSG msg;
    while (window && IsWindow(window) && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (PreTranslateMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam))
            continue;
        if (window && IsDialogMessageA(window, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (parent) {
        EnableWindow(parent, TRUE);
        SetActiveWindow(parent);
        SetFocus(parent);
    }
    return true;
}

void LDialog::EnableMenuCommand(UINT id, bool enable) {
    EnableMenuItem(GetMenu(window), id, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void LDialog::CheckMenuCommand(UINT id, bool check) {
    CheckMenuItem(GetMenu(window), id, MF_BYCOMMAND | (check ? MF_CHECKED : MF_UNCHECKED));
}

void LDialog::GetItemText(int id, char* buffer) {
    buffer[0] = '\0';
    GetDlgItemTextA(window, id, buffer, 260);
}

void LDialog::SetButtonBitmap(int id, int bitmapId) {
    const UINT flags = LR_LOADMAP3DCOLORS | LR_LOADTRANSPARENT;
    HANDLE bitmap = LoadImageA(instanceHandle(), MAKEINTRESOURCEA(ScaledPictureId(bitmapId, WindowDpi(window))),
                               IMAGE_BITMAP, 0, 0, flags);
    // A picture the program has at 100 % only.
    if (!bitmap)
        bitmap = LoadImageA(instanceHandle(), MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, flags);
    if (!bitmap)
        return;
    HANDLE previous = reinterpret_cast<HANDLE>(SendDlgItemMessageA(
        window, id, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    if (previous)
        DeleteObject(previous);
}

namespace {
// The scaled icon and the control that shows it, as properties of the dialog.
constexpr char kScaledIcon[] = "ZelvaroScaledIcon";
constexpr char kScaledIconItem[] = "ZelvaroScaledIconItem";
}  // namespace

void ScaleDialogIcon(HWND dialog, int id, int iconId) {
    constexpr int kIconSize = 32;
    const int size = ScaleToDpi(kIconSize, WindowDpi(dialog));
    if (size == kIconSize || GetPropA(dialog, kScaledIcon))
        return;
    HANDLE icon = LoadImageA(instanceHandle(), MAKEINTRESOURCEA(iconId), IMAGE_ICON, size, size, 0);
    if (!icon)
        return;
    SendDlgItemMessageA(dialog, id, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    SetPropA(dialog, kScaledIcon, icon);
    SetPropA(dialog, kScaledIconItem, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(id)));
}

void ReleaseDialogIcon(HWND dialog) {
    HICON icon = static_cast<HICON>(RemovePropA(dialog, kScaledIcon));
    const int id = static_cast<int>(reinterpret_cast<INT_PTR>(RemovePropA(dialog, kScaledIconItem)));
    if (!icon)
        return;
    SendDlgItemMessageA(dialog, id, STM_SETICON, 0, 0);
    DestroyIcon(icon);
}

void LDialog::AddTooltip(HWND& slot, int id, const char* text) {
    if (!slot) {
        InitCommonControls();
        slot = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                               instanceHandle(), nullptr);
        if (!slot)
            return;
    }
    TTTOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(window, id));
    tool.lpszText = const_cast<char*>(text);
    SendMessageA(slot, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace zelvaro
