#include "cli/cli_command.h"

#include <cstdio>

namespace zelvaro::cli {

void printError(const std::string& message) { std::fprintf(stderr, "zelvaro-render: %s\n", message.c_str()); }

}  // namespace zelvaro::cli
