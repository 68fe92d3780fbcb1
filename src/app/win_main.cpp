// Program entry of the application role.
#include <windows.h>
#include <commctrl.h>

#include "app/main_window.h"
#include "app/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    zelvaro::setInstanceHandle(instance);
    zelvaro::MainWindow mainWindow;
    InitCommonControls();
    const bool ran = mainWindow.Run(nullptr, MAKEINTRESOURCEA(IDD_MAIN));
    return ran ? 1 : 0;
}
