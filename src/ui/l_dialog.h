// The dialog classes: one object bound to one dialog window made from a
// template. LDialogProc finds the object through the window's user data and
// turns messages into the virtual operations below.
#pragma once

#include <windows.h>

namespace zelvaro {

// The module whose resources every dialog, bitmap and icon comes from.
void setInstanceHandle(HINSTANCE instance);
HINSTANCE instanceHandle();

// At a DPI other than 96, replaces the icon of the dialog's static control
// `id` (made by the dialog manager at the 96 DPI size, 32 pixels) by icon
// `iconId` at the dialog's DPI. One per dialog; ReleaseDialogIcon, called as
// the dialog is destroyed, destroys it.
void ScaleDialogIcon(HWND dialog, int id, int iconId);
void ReleaseDialogIcon(HWND dialog);

class LDialog {
public:
    LDialog() = default;
    virtual ~LDialog() = default;
    LDialog(const LDialog&) = delete;
    LDialog& operator=(const LDialog&) = delete;

    virtual void OnInitDialog() {}
    // Returning false keeps the dialog open.
    virtual bool OnOK() { return true; }
    virtual bool OnCancel() { return true; }
    virtual void OnHelp() {}
    // Called after initialisation and after every command.
    virtual void UpdateControls() {}
    virtual void OnCommand(WORD id, WORD notification) {
        (void)id;
        (void)notification;
    }
    virtual void OnDestroy() {}
    // The dialog procedure's result for every message after WM_INITDIALOG.
    virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Runs the dialog modally; IDOK (1) after an accepted OK, IDCANCEL (2)
    // after an accepted Cancel, 0 when the object is already bound or the
    // template cannot be made.
    INT_PTR RunModal(HWND owner, LPCSTR dialogTemplate);

    void EnableMenuCommand(UINT id, bool enable);
    void CheckMenuCommand(UINT id, bool check);
    // Reads at most 259 characters of a control's text; the buffer holds 260.
    void GetItemText(int id, char* buffer);
    // `bitmapId` is the picture's 100 % id; the one nearest to the dialog's
    // DPI is shown (ui/l_dpi.h).
    void SetButtonBitmap(int id, int bitmapId);
    void ScaleItemIcon(int id, int iconId) { ScaleDialogIcon(window, id, iconId); }
    // One tooltip window (kept in `slot`, destroyed by the owner) serves all
    // controls of this dialog.
    void AddTooltip(HWND& slot, int id, const char* text);

    HWND window = nullptr;
};

class LModelessDialog : public LDialog {
public:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class LMainDialog : public LModelessDialog {
public:
    // Sees every queued message first; true when consumed.
    virtual bool PreTranslateMessage(HWND target, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // Creates the modeless dialog and runs the message loop until the window
    // is gone. False when already bound or when the window cannot be made.
    bool Run(HWND parent, LPCSTR dialogTemplate);
};

INT_PTR CALLBACK LDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace zelvaro
