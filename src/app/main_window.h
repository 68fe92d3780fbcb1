// The main window: the program's one modeless dialog and its message loop.
#pragma once

#include "ui/l_dialog.h"

namespace zelvaro {

class MainWindow : public LMainDialog {
public:
    // An OK command (Enter in the dialog) never closes the main window.
    bool OnOK() override { return false; }
    bool PreTranslateMessage(HWND target, UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace zelvaro
