// The install and uninstall runs: progress dialogs whose job installs or
// removes the program, and which talk to the shell's Program Manager service
// over DDE while they work.
#pragma once

#include <windows.h>

#include "installer/install_folder.h"
#include "ui/l_progress_dialog.h"

namespace zelvaro {

constexpr char kSetupTitle[] = "Installing Zelvaro v 2.00";
constexpr char kCorruptSetupText[] =
    "Installation file corrupt.\n\nA checksum error was detected in your install file, please "
    "redownload file and install again.";
constexpr char kCorruptSetupTitle[] = "Install Error";

class SetupDialog : public LProgressDialog {
public:
    explicit SetupDialog(const char* title) : LProgressDialog(title) {}

    // Sends one command string to Program Manager. False when no server
    // answered, or none acknowledged the command within kAckTimeoutMs, so a
    // shell without the service never holds the run up for long.
    bool ProgmanCommand(const char* command);

    // The execute half of ProgmanCommand, to a server already found: true
    // when the server acknowledged the command within kAckTimeoutMs. The
    // command goes in UTF-16 from a Unicode window of the dialog's.
    bool ExecuteOn(HWND server, const char* command);

    static constexpr DWORD kAckTimeoutMs = 3000;

    HWND progmanServer = nullptr;
    char installFolder[kInstallFolderSize] = {};

protected:
    ~SetupDialog();

private:
    bool WaitForAck();
    // The window that talks to the server, made on first use.
    HWND ConversationWindow();
    static LRESULT CALLBACK ConversationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND conversation = nullptr;
    LPARAM ackParameter = 0;
};

class InstallDialog : public SetupDialog {
public:
    InstallDialog() : SetupDialog(kSetupTitle) {}
    // Terms, payload copy with its sum check, shell entries, first start.
    int Work() override;

private:
    bool CopyPayload(HANDLE setupFile);
    void FinishInstall();
};

class UninstallDialog : public SetupDialog {
public:
    // `hasArgument`: started with "/uninstall" (the temporary copy) rather
    // than as the installed uninstaller.
    explicit UninstallDialog(bool hasArgument) : SetupDialog(kSetupTitle), hasArgument(hasArgument) {}
    // Hands over to a temporary copy, or asks and removes the installation.
    int Work() override;

private:
    bool SpawnTemporaryCopy();
    void RemoveInstallation();
    bool hasArgument;
};

}  // namespace zelvaro
