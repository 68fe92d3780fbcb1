// Opens the program's help. Where the system has a working WinHelp viewer,
// "tone.hlp" opens in it; where it has none, or only the stub that newer
// Windows versions ship in its place (it merely says that WinHelp is gone),
// the same pages open as an HTML page, built into the program, in the web
// browser.
#pragma once

#include <windows.h>

#include <string>

namespace zelvaro {

enum class HelpViewer { WinHelp, Browser };

// True for the version description of the stub viewer.
bool IsWinHelpStub(const char* fileDescription);

// WinHelp unless the viewer "winhlp32.exe" cannot be found on the program's
// search path or is the stub.
HelpViewer FindHelpViewer();

// Writes the HTML pages into `folder` (which must exist) and gives the file to
// open for a WinHelp command and its data: the contents, or for HELP_CONTEXT
// the page of that context number. Empty when the files cannot be written.
std::string WriteHelpPages(const std::string& folder, UINT command, ULONG_PTR data);

// What the main window and the Play Settings dialog call for F1 and Help, in
// the shape of WinHelpA: `file` is the help file beside the program
// ("tone.hlp"), `command` HELP_CONTENTS with 0 or HELP_CONTEXT with a context
// number (101: Play Settings). FALSE when neither viewer could be started.
BOOL WINAPI ShowHelp(HWND owner, LPCSTR file, UINT command, ULONG_PTR data);

}  // namespace zelvaro
