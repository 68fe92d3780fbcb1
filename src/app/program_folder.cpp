#include "app/program_folder.h"

namespace zelvaro {

namespace {
// With its trailing backslash; empty until taken.
std::string g_folder;
}  // namespace

void setProgramFolder(const std::string& folder) {
    g_folder = folder;
    if (!g_folder.empty() && g_folder.back() != '\\' && g_folder.back() != '/')
        g_folder += '\\';
}

std::string programFile(const char* name) { return g_folder + name; }

}  // namespace zelvaro
