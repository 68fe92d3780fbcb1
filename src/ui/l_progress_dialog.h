// A long job run on the user-interface thread behind a small modeless dialog
// with two text lines, a progress bar and Cancel. The job keeps the dialog
// alive by calling Pump between its steps.
#pragma once

#include <windows.h>

namespace zelvaro {

class LProgressDialog {
public:
    // `title` is the caption; the caller keeps the text alive.
    explicit LProgressDialog(const char* title);
    LProgressDialog(const LProgressDialog&) = delete;
    LProgressDialog& operator=(const LProgressDialog&) = delete;

    // The job; its result is Run's.
    virtual int Work() = 0;
    // The dialog procedure's result for the messages it does not handle
    // itself; the base handles none.
    virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Shows the dialog (owner disabled meanwhile), runs Work and removes the
    // dialog. Work's result; 0 when Work did not run: the dialog could not be
    // made, was cancelled before the job began, or Run is already running.
    int Run(HWND owner);
    // Handles every message waiting in the thread's queue without waiting for
    // more; true when the dialog no longer exists (the user cancelled).
    bool Pump();
    // Line 0 or 1 of the text; other lines and a closed dialog are ignored.
    void SetText(const char* text, int line);
    // The bar at fraction (0 to 1) x 100, truncated.
    void SetProgress(double fraction);
    // A message box titled "Error" owned by the dialog; once the dialog is
    // gone (the user cancelled), by Run's owner, so that the box cannot open
    // behind the owner that Run still keeps disabled.
    void ShowError(const char* text);

    HWND window = nullptr;
    const char* title;
    bool running = false;
    // Run's owner while Run is active.
    HWND owner = nullptr;

protected:
    // Objects live on their caller's stack, never deleted through the base.
    ~LProgressDialog() = default;
};

INT_PTR CALLBACK LProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace zelvaro
