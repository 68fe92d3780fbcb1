#include <windows.h>
#include <io.h>

#include "cli/terminal.h"

namespace zelvaro::cli {

// The CRT's isatty is also true for the NUL device; a console has a mode.
bool isTerminal(std::FILE* stream) {
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

Utf8Console::Utf8Console() {
    if (!isTerminal(stdout) && !isTerminal(stderr))
        return;
    const UINT previous = GetConsoleOutputCP();
    if (previous != 0 && previous != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
        previousCodePage_ = previous;
}

Utf8Console::~Utf8Console() {
    if (previousCodePage_ == 0)
        return;
    // Text still in the streams' buffers is UTF-8 and must reach the console
    // while it still reads UTF-8.
    std::fflush(stdout);
    std::fflush(stderr);
    SetConsoleOutputCP(previousCodePage_);
}

}  // namespace zelvaro::cli
