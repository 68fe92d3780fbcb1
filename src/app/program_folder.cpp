#include "app/program_folder.h"

#include <windows.h>

namespace zelvaro {

namespace {
// With its trailing backslash; empty until taken.
std::string g_folder;
}  // namespace

void ComputeProgramFolder() {
    char module[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    const std::string path(module, length);
    const size_t slash = path.find_last_of("\\/");
    if (slash != std::string::npos)
        g_folder = path.substr(0, slash + 1);
}

void setProgramFolder(const std::string& folder) {
    g_folder = folder;
    if (!g_folder.empty() && g_folder.back() != '\\' && g_folder.back() != '/')
        g_folder += '\\';
}

std::string programFile(const char* name) { return g_folder + name; }

}  // namespace zelvaro
