#include "app/main_window.h"

namespace zelvaro {

bool MainWindow::PreTranslateMessage(HWND, UINT, WPARAM, LPARAM) { return false; }

}  // namespace zelvaro
