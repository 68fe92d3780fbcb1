// The install run's job: terms, payload copy with its sum check, shell
// entries and the first start of the installed program.
#include "installer/setup_dialog.h"

#include <cstdio>
#include <vector>

#include "installer/licence_terms_dialog.h"
#include "installer/payload_table.h"
#include "installer/setup_layout.h"
#include "installer/shell_entries.h"

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

    char self[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
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

// False after a cancel (quietly) or a sum mismatch (with the message).
bool InstallDialog::CopyPayload(HANDLE setupFile) {
    const size_t entries = CountPayloadEntries(kPayloadTable);
    LARGE_INTEGER fileSize = {};
    std::vector<uint8_t> tail((entries + 2) * 4);
    LARGE_INTEGER tailStart = {};
    SetupTrailerFields trailer;
    bool intact = GetFileSizeEx(setupFile, &fileSize) && static_cast<uint64_t>(fileSize.QuadPart) >= tail.size();
    if (intact) {
        tailStart.QuadPart = fileSize.QuadPart - static_cast<LONGLONG>(tail.size());
        intact = SetFilePointerEx(setupFile, tailStart, nullptr, FILE_BEGIN) &&
                 ReadExactly(setupFile, tail.data(), static_cast<DWORD>(tail.size())) &&
                 ReadSetupTrailer(tail.data(), entries, static_cast<uint64_t>(fileSize.QuadPart), trailer);
    }
    const LARGE_INTEGER start = {};
    intact = intact && SetFilePointerEx(setupFile, start, nullptr, FILE_BEGIN);

    uint64_t total = 0;
    for (uint32_t size : trailer.sizes)
        total += size;
    uint32_t sum = trailer.payloadSum;
    uint64_t copiedBytes = 0;
    bool cancelled = false;
    uint8_t chunk[kChunkSize];
    for (size_t i = 0; intact && !cancelled && i < entries; ++i) {
        uint32_t left = trailer.sizes[i];
        if (left == 0)
            continue;
        SetText(kPayloadTable[i].name, 1);
        const std::string target = InstalledPath(installFolder, kPayloadTable[i]);
        // A file that cannot be created is still read, so the sum stays whole.
        HANDLE out = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        while (left > 0) {
            const DWORD want = left < kChunkSize ? left : kChunkSize;
            if (!ReadExactly(setupFile, chunk, want)) {
                intact = false;
                break;
            }
            sum -= AddPayloadBytes(0, chunk, want);
            DWORD written = 0;
            if (out != INVALID_HANDLE_VALUE)
                WriteFile(out, chunk, want, &written, nullptr);
            left -= want;
            copiedBytes += want;
            SetProgress(static_cast<double>(copiedBytes) / static_cast<double>(total));
            if (Pump()) {
                cancelled = true;
                break;
            }
        }
        if (out != INVALID_HANDLE_VALUE)
            CloseHandle(out);
        cancelled = cancelled || Pump();
    }
    if (cancelled)
        return false;
    if (!intact || sum != 0) {
        MessageBoxA(window, kCorruptSetupText, kCorruptSetupTitle, MB_ICONWARNING | MB_OK);
        return false;
    }
    return true;
}

void InstallDialog::FinishInstall() {
    SetText("Finalizing", 1);
    const std::string program = std::string(installFolder) + "\\tone.exe";
    const std::string uninstaller = std::string(installFolder) + "\\uninst.exe";
    const std::string help = std::string(installFolder) + "\\tone.hlp";
    char command[3 * MAX_PATH];
    std::snprintf(command, sizeof command, "[CreateGroup(\"Zelvaro\")][AddItem(\"%s\",\"%s\")]", program.c_str(),
                  "Zelvaro");
    ProgmanCommand(command);
    CreateShortcut(program.c_str(), ShortcutPath());
    CopyFileA(program.c_str(), uninstaller.c_str(), FALSE);
    AddUninstallEntry(uninstaller.c_str());
    AppendMarker(program.c_str(), kSetupMarkerApplication);
    AppendMarker(uninstaller.c_str(), kSetupMarkerUninstall);
    std::snprintf(command, sizeof command, "[CreateGroup(\"Zelvaro\")][AddItem(\"%s\",\"%s\")]", help.c_str(),
                  "Zelvaro Help");
    ProgmanCommand(command);

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
