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

}  // namespace zelvaro::cli
