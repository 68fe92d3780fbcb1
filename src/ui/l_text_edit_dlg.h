// A small modal dialog with one line of text, OK and Cancel, made from the
// template "LTextEditDlg" (l_text_edit_dlg.rc).
#pragma once

#include "ui/l_dialog.h"

namespace zelvaro {

// Room in the caller's text buffer, with the terminating zero.
constexpr int kTextEditSize = 260;

class LTextEditDlg : public LDialog {
public:
    // The caller's buffer of kTextEditSize characters: the starting text, and
    // after OK the edited text (unchanged when the user typed nothing).
    char* text = nullptr;
    // The dialog's caption; not owned.
    const char* caption = nullptr;

    // IDOK (1) after OK, IDCANCEL (2) after Cancel.
    INT_PTR Run(HWND owner) { return RunModal(owner, "LTextEditDlg"); }

    void OnInitDialog() override;
    bool OnOK() override;
};

}  // namespace zelvaro
