// What the command-line tool needs to know about its console.
#pragma once

#include <cstdio>

namespace zelvaro::cli {

// True when the stream is an interactive terminal (not a file or a pipe).
bool isTerminal(std::FILE* stream);

}  // namespace zelvaro::cli
