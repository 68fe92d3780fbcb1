#include <unistd.h>

#include "cli/terminal.h"

namespace zelvaro::cli {

bool isTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

}  // namespace zelvaro::cli
