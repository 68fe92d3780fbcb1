#include <cerrno>
#include <cstdio>
#include <unistd.h>

#include "cli/cli_output_file.h"

namespace zelvaro::cli {

bool isDeviceName(const std::string& path) {
    return path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0;
}

int moveOver(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

unsigned long processId() { return static_cast<unsigned long>(::getpid()); }

}  // namespace zelvaro::cli
