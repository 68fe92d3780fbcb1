#include "app/program_role.h"

#include <cctype>
#include <cstring>

#include "app/program_folder.h"
#include "base/little_endian.h"
#include "base/path_size.h"

namespace zelvaro {

uint32_t readTrailerMarker(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    uint8_t bytes[4] = {};
    DWORD read = 0;
    uint32_t marker = 0;
    LARGE_INTEGER back;
    back.QuadPart = -4;
    if (SetFilePointerEx(file, back, nullptr, FILE_END) &&
        ReadFile(file, bytes, sizeof bytes, &read, nullptr) && read == sizeof bytes)
        marker = getLe32(bytes);
    CloseHandle(file);
    return marker;
}

std::string upperBaseName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    std::string base(name);
    const size_t dot = base.rfind('.');
    if (dot != std::string::npos)
        base.resize(dot);
    for (char& c : base)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return base;
}

ProgramRole chooseRole(const std::string& upperName, uint32_t marker) {
    if (upperName.find("SETUP") != std::string::npos && marker != kInstallMarker)
        return ProgramRole::CorruptSetup;
    if (marker == kInstallMarker)
        return ProgramRole::Install;
    if (marker == kUninstallMarker)
        return ProgramRole::Uninstall;
    return ProgramRole::Application;
}

ProgramRole chooseProgramRole() {
    // The module's own file rather than the command line's first word: a
    // program started by a bare name has no folder in that word.
    char module[kPathBytes] = {};
    const DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
    const std::string path(module, length < sizeof module ? length : 0);
    const size_t slash = path.find_last_of("\\/");
    if (slash != std::string::npos) {
        std::string folder = path.substr(0, slash + 1);
        SetCurrentDirectoryA(folder.c_str());
        setProgramFolder(folder);
    }
    return chooseRole(upperBaseName(path.c_str()), readTrailerMarker(path.c_str()));
}

}  // namespace zelvaro
