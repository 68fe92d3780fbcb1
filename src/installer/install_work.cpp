// The install run's job: terms, payload check and copy, shell entries and
// the first start of the installed program.
#include "installer/setup_dialog.h"

#include <cstdio>
#include <vector>

#include "base/ascii_path.h"
#include "installer/execution_level.h"
#include "installer/licence_terms_dialog.h"
#include "installer/payload_table.h"
#include "installer/setup_layout.h"
#include "installer/shell_entries.h"
#include "installer/user_file_security.h"

namespace zelvaro {

namespace {

constexpr DWORD kChunkSize = 4096;

bool ReadExactly(HANDLE file, void* buffer, DWORD size) {
    DWORD got = 0;
    return ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

std::string InstalledPath(const char* folder, const PayloadEntry& entry) {
    const std::string entryFolder = entry.folder ? entry.folder : "";
    std::string path = folder;
    if (!entryFolder.empty() && entryFolder != "ProgramFiles" && entryFolder != "DataFiles")
        path += "\\" + entryFolder;
    return path + "\\" + entry.name;
}

}  // namespace

int InstallDialog::Work() {
    SetText("Installing Zelvaro", 0);
    SetText("Licence Terms", 1);
    LicenceTermsDialog terms;
    if (terms.RunModal(window, "LicenceTermsDlg") != IDOK)
        return 0;
    if (Pump())
        return 0;

    char self[kPathBytes] = {};
    const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (length == 0 || length >= sizeof self)
        return 0;
    HANDLE setupFile = CreateFileA(self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (setupFile == INVALID_HANDLE_VALUE)
        return 0;
    const bool copied = CopyPayload(setupFile);
    CloseHandle(setupFile);
    if (!copied)
        return 0;
    FinishInstall();
    return 1;
}

namespace {

// The sizes and sum that end the setup file; false when the file cannot hold them.
bool ReadTrailer(HANDLE setupFile, size_t entries, SetupTrailerFields& trailer) {
    LARGE_INTEGER fileSize = {};
    std::vector<uint8_t> tail((entries + 2) * 4);
    if (!GetFileSizeEx(setupFile, &fileSize) || static_cast<uint64_t>(fileSize.QuadPart) < tail.size())
        return false;
    LARGE_INTEGER tailStart = {};
    tailStart.QuadPart = fileSize.QuadPart - static_cast<LONGLONG>(tail.size());
    return SetFilePointerEx(setupFile, tailStart, nullptr, FILE_BEGIN) &&
           ReadExactly(setupFile, tail.data(), static_cast<DWORD>(tail.size())) &&
           ReadSetupTrailer(tail.data(), entries, static_cast<uint64_t>(fileSize.QuadPart), trailer);
}

bool SeekToStart(HANDLE file) {
    const LARGE_INTEGER start = {};
    return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) != 0;
}

}  // namespace

// The setup file is read twice: once to check its sizes and byte sum, and
// only when they hold, once more to copy. A damaged download thus never
// overwrites a working installation. The file is open without write sharing,
// so it cannot change between the two reads. The bar covers both passes.
// False after a cancel (quietly) or a damaged file (with the message).
bool InstallDialog::CopyPayload(HANDLE setupFile) {
    const size_t entries = CountPayloadEntries(kPayloadTable);
    SetupTrailerFields trailer;
    bool intact = ReadTrailer(setupFile, entries, trailer) && SeekToStart(setupFile);
    uint64_t total = 0;
    for (uint32_t size : trailer.sizes)
        total += size;
    uint64_t doneBytes = 0;
    const double work = 2.0 * static_cast<double>(total);
    uint8_t chunk[kChunkSize];

    uint32_t sum = trailer.payloadSum;
    for (uint64_t left = total; intact && left > 0;) {
        const DWORD want = left < kChunkSize ? static_cast<DWORD>(left) : kChunkSize;
        if (!ReadExactly(setupFile, chunk, want)) {
            intact = false;
            break;
        }
        sum -= AddPayloadBytes(0, chunk, want);
        left -= want;
        doneBytes += want;
        SetProgress(static_cast<double>(doneBytes) / work);
        if (Pump())
            return false;
    }
    if (!intact || sum != 0 || !SeekToStart(setupFile)) {
        MessageBoxA(window, kCorruptSetupText, kCorruptSetupTitle, MB_ICONWARNING | MB_OK);
        return false;
    }

    for (size_t i = 0; i < entries; ++i) {
        uint32_t left = trailer.sizes[i];
        if (left == 0)
            continue;
        SetText(kPayloadTable[i].name, 1);
        const std::string target = InstalledPath(installFolder, kPayloadTable[i]);
        // A file that cannot be created is skipped; its bytes are still read past.
        HANDLE out = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        bool cancelled = false;
        bool readFailed = false;
        while (left > 0) {
            const DWORD want = left < kChunkSize ? left : kChunkSize;
            if (!ReadExactly(setupFile, chunk, want)) {
                readFailed = true;  // read whole a moment ago: only a failing disk gets here
                break;
            }
            DWORD written = 0;
            if (out != INVALID_HANDLE_VALUE)
                WriteFile(out, chunk, want, &written, nullptr);
            left -= want;
            doneBytes += want;
            SetProgress(static_cast<double>(doneBytes) / work);
            if (Pump()) {
                cancelled = true;
                break;
            }
        }
        if (out != INVALID_HANDLE_VALUE)
            CloseHandle(out);
        if (readFailed)
            MessageBoxA(window, kCorruptSetupText, kCorruptSetupTitle, MB_ICONWARNING | MB_OK);
        if (readFailed || cancelled || Pump())
            return false;
    }
    return true;
}

void InstallDialog::FinishInstall() {
    SetText("Finalizing", 1);
    const std::string program = std::string(installFolder) + "\\tone.exe";
    const std::string uninstaller = std::string(installFolder) + "\\uninst.exe";
    const std::string help = std::string(installFolder) + "\\tone.hlp";
    // Wine's Program Manager takes a command outside plain ASCII for a narrow
    // one, whether it is sent narrow or wide: the items name the files by
    // their short names where those are plain. (Windows takes the wide
    // command as it is.)
    auto forShell = [](const std::string& path) {
        const std::string ascii = AsciiPathOf(path);
        return ascii.empty() ? path : ascii;
    };
    char command[kPathBytes + 64];
    std::snprintf(command, sizeof command, "[CreateGroup(\"Zelvaro\")][AddItem(\"%s\",\"%s\")]",
                  forShell(program).c_str(), "Zelvaro");
    ProgmanCommand(command);
    CreateShortcut(program.c_str(), ShortcutPath());
    // The program came out of the setup file with the setup file's raised
    // execution level; installed, it runs with the rights of whoever starts
    // it, and only the uninstaller asks for more. A copy that cannot be
    // changed still works, asking for rights it does not need.
    setFileExecutionLevel(program, ExecutionLevel::kAsInvoker);
    CopyFileA(program.c_str(), uninstaller.c_str(), FALSE);
    setFileExecutionLevel(uninstaller, ExecutionLevel::kRequireAdministrator);
    AddUninstallEntry(uninstaller.c_str());
    AppendMarker(program.c_str(), kSetupMarkerApplication);
    AppendMarker(uninstaller.c_str(), kSetupMarkerUninstall);
    std::snprintf(command, sizeof command, "[CreateGroup(\"Zelvaro\")][AddItem(\"%s\",\"%s\")]",
                  forShell(help).c_str(), "Zelvaro Help");
    ProgmanCommand(command);
    // The only files of the folder that users write; made here, while the
    // run has the rights to.
    UserFileSecurity userFiles;
    for (const char* name : kUserWritableFiles)
        userFiles.Grant((std::string(installFolder) + "\\" + name).c_str());

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + program + "\"";
    if (CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, installFolder,
                       &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

}  // namespace zelvaro
