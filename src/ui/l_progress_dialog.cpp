#include "ui/l_progress_dialog.h"

#include <commctrl.h>

#include "ui/l_dialog.h"
#include "ui/l_progress_dialog_res.h"

namespace zelvaro {

LProgressDialog::LProgressDialog(const char* title) : title(title) { InitCommonControls(); }

INT_PTR LProgressDialog::HandleMessage(UINT, WPARAM, LPARAM) { return 0; }

INT_PTR CALLBACK LProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        auto* dialog = reinterpret_cast<LProgressDialog*>(lParam);
        if (dialog) {
            dialog->window = window;
            SetWindowTextA(window, dialog->title);
            SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
        }
        ScaleDialogIcon(window, IDC_PROGRESS_ICON, 1);
        return TRUE;
    }
    if (message == WM_DESTROY)
        ReleaseDialogIcon(window);
    auto* dialog = reinterpret_cast<LProgressDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        if (dialog && dialog->window == window)
            dialog->window = nullptr;
        DestroyWindow(window);
        return TRUE;
    }
    if (dialog && dialog->window == window)
        return dialog->HandleMessage(message, wParam, lParam);
    return FALSE;
}

int LProgressDialog::Run(HWND owner) {
    if (running)
        return 0;
    running = true;
    HWND created = CreateDialogParamA(instanceHandle(), "LProgressDialog", owner, LProgressDialogProc,
                                      reinterpret_cast<LPARAM>(this));
    if (!created) {
        running = false;
        return 0;
    }
    this->owner = owner;
    if (owner)
        EnableWindow(owner, FALSE);
    const int result = Pump() ? 0 : Work();
    if (window && IsWindow(window)) {
        DestroyWindow(window);
        window = nullptr;
    }
    if (owner) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
        SetFocus(owner);
    }
    this->owner = nullptr;
    running = false;
    return result;
}

bool LProgressDialog::Pump() {
    MSG msg;
    while (window && IsWindow(window) && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Left for the program's own loop, which ends on it once the job is done.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageA(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // The dialog also goes when its owner is destroyed under the job.
    if (window && !IsWindow(window))
        window = nullptr;
    return window == nullptr;
}

void LProgressDialog::SetText(const char* text, int line) {
    if (window && line >= 0 && line <= 1)
        SetDlgItemTextA(window, IDC_PROGRESS_LINE0 + line, text);
}

void LProgressDialog::SetProgress(double fraction) {
    if (!window)
        return;
    // The bar shows 0 to 100; the bounds only keep the conversion defined.
    const double percent = fraction * 100;
    const int position = percent >= 0 ? (percent < 100 ? static_cast<int>(percent) : 100) : 0;
    SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void LProgressDialog::ShowError(const char* text) {
    HWND boxOwner = window && IsWindow(window) ? window : owner && IsWindow(owner) ? owner : nullptr;
    MessageBoxA(boxOwner, text, "Error", MB_ICONEXCLAMATION | MB_OK);
}

}  // namespace zelvaro
