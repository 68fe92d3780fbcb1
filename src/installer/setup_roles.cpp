#include "installer/setup_roles.h"

#include <windows.h>

#include "installer/install_folder.h"
#include "installer/setup_dialog.h"
#include "installer/shell_entries.h"

namespace zelvaro {

namespace {

// A running Zelvaro would keep its files open: ask it to close, and give it
// time to write its tone before the files are replaced or removed.
void CloseRunningInstance(DWORD waitMs) {
    HWND running = FindWindowA("#32770", "Zelvaro");
    if (!running)
        return;
    SendMessageTimeoutA(running, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, waitMs, nullptr);
    Sleep(waitMs);
}

template <typename Dialog>
void RunSetupDialog(Dialog& dialog) {
    ComputeInstallFolder(dialog.installFolder);
    WriteFolderValues(dialog.installFolder);
    dialog.Run(nullptr);
}

}  // namespace

bool HasCommandLineArgument(const char* commandLine) {
    const char* at = commandLine ? commandLine : "";
    if (*at == '"') {
        ++at;
        while (*at && *at != '"')
            ++at;
        if (*at)
            ++at;
    } else {
        while (*at && *at != ' ' && *at != '\t')
            ++at;
    }
    while (*at == ' ' || *at == '\t')
        ++at;
    return *at != '\0';
}

int RunInstall() {
    CloseRunningInstance(2000);
    InstallDialog dialog;
    RunSetupDialog(dialog);
    return 0;
}

int RunUninstall() {
    CloseRunningInstance(1500);
    UninstallDialog dialog(HasCommandLineArgument(GetCommandLineA()));
    RunSetupDialog(dialog);
    return 0;
}

}  // namespace zelvaro
