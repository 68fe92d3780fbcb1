// The real setup file and uninstaller, run as a user runs them in a fresh
// Wine prefix (setup_run_test.sh makes it): the terms are answered, messages
// are read and closed from here, and what the runs leave behind is read back.
// The cases run in order: each starts from what the one before left.
#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/resource.h"
#include "installer/execution_level.h"
#include "installer/setup_dialog.h"
#include "tests/support/program_manifest.h"

namespace zelvaro {
namespace {

constexpr DWORD kTimeoutMs = 60000;
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zelvaro";
constexpr char kFolders[] = "Software\\Quorrel\\Zelvaro\\CurrentVersion\\Folders";

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string RegString(HKEY root, const char* key, const char* value) {
    char buffer[3 * MAX_PATH] = {};
    DWORD size = sizeof buffer - 1;
    if (RegGetValueA(root, key, value, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return "(missing)";
    return buffer;
}

bool KeyExists(HKEY root, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string InstallFolder() {
    return RegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir") +
           "\\Quorrel\\Zelvaro";
}

std::string DesktopShortcut() {
    const char* shell = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    std::string desktop = RegString(HKEY_LOCAL_MACHINE, shell, "Common Desktop");
    if (desktop == "(missing)")
        desktop = RegString(HKEY_CURRENT_USER, shell, "Desktop");
    return desktop + "\\Zelvaro.lnk";
}

std::string ProgramGroup() {
    char programs[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs);
    return std::string(programs) + "\\Zelvaro";
}

std::string ShortcutTarget(const std::string& link) {
    std::string target = "(unreadable)";
    CoInitialize(nullptr);
    IShellLinkW* shell = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shell)))) {
        IPersistFile* file = nullptr;
        wchar_t wide[MAX_PATH] = {};
        MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t path[MAX_PATH] = {};
            char text[3 * MAX_PATH] = {};
            if (SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(shell->GetPath(path, MAX_PATH, nullptr, 0)) &&
                WideCharToMultiByte(CP_ACP, 0, path, -1, text, sizeof text, nullptr, nullptr) > 0)
                target = text;
            file->Release();
        }
        shell->Release();
    }
    CoUninitialize();
    return target;
}

// The rights that the allow entries of a file's or folder's access list give
// a well-known group, generic rights mapped to file rights.
DWORD AllowedTo(const std::string& path, WELL_KNOWN_SID_TYPE group) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!CreateWellKnownSid(group, nullptr, sid, &sidSize) ||
        GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return 0xFFFFFFFF;
    DWORD rights = acl ? 0 : FILE_ALL_ACCESS;  // no list at all: everyone may do anything
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (GetAce(acl, i, reinterpret_cast<void**>(&ace)) && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
            !(ace->Header.AceFlags & INHERIT_ONLY_ACE) && EqualSid(&ace->SidStart, sid))
            rights |= ace->Mask;
    }
    LocalFree(descriptor);
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    MapGenericMask(&rights, &mapping);
    return rights;
}

HANDLE Start(const std::string& program) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + program + "\"";
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

DWORD WaitExit(HANDLE process) {
    DWORD code = 0xDEAD;
    if (WaitForSingleObject(process, kTimeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

HWND WaitWindow(const char* className, const char* title, DWORD timeoutMs = kTimeoutMs) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50)) {
        HWND window = FindWindowA(className, title);
        if (window && IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

bool WaitGone(const char* className, const char* title) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < kTimeoutMs; Sleep(50)) {
        if (!FindWindowA(className, title))
            return true;
    }
    return false;
}

void Press(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

std::string Text(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Wine's shell shows a program group in a folder window when it is made.
BOOL CALLBACK CloseFolderWindow(HWND window, LPARAM) {
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (Text(window) == "Zelvaro" && std::string(className) != "#32770")
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

void CloseFolderWindows() { EnumWindows(CloseFolderWindow, 0); }

// Runs the setup file and answers the terms; the setup process comes back.
HANDLE StartSetupAndAnswerTerms(const std::string& setup, int answer) {
    HANDLE process = Start(setup);
    if (!process)
        return nullptr;
    HWND terms = WaitWindow("#32770", "Zelvaro Licence Terms");
    if (!terms) {
        TerminateProcess(process, 1);
        CloseHandle(process);
        return nullptr;
    }
    Press(terms, answer);
    return process;
}

std::vector<uint8_t> WithMarker(std::vector<uint8_t> bytes, uint32_t marker) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<uint8_t>(marker >> (8 * i)));
    return bytes;
}

class SetupRun : public testing::Test {
protected:
    void SetUp() override {
        setup = Env("ZELVARO_SETUP");
        payload = ReadBytes(Env("ZELVARO_PAYLOAD_EXE"));
        help = ReadBytes(Env("ZELVARO_PAYLOAD_HLP"));
        folder = InstallFolder();
        ASSERT_TRUE(Exists(setup)) << setup;
        ASSERT_FALSE(payload.empty());
        ASSERT_FALSE(help.empty());
    }
    void ExpectNoShellEntries() {
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_FALSE(Exists(DesktopShortcut())) << DesktopShortcut();
        EXPECT_FALSE(Exists(folder + "\\uninst.exe"));
        EXPECT_FALSE(Exists(ProgramGroup())) << ProgramGroup();
    }
    std::string setup, folder;
    std::vector<uint8_t> payload, help;
};

TEST_F(SetupRun, A_DecliningTheTermsInstallsNothing) {
    HANDLE process = Start(setup);
    ASSERT_NE(process, nullptr);
    HWND terms = WaitWindow("#32770", "Zelvaro Licence Terms");
    ASSERT_NE(terms, nullptr);
    char text[64] = {};
    GetDlgItemTextA(terms, 101, text, sizeof text);
    EXPECT_EQ(std::string(text).substr(0, 21), "ZELVARO LICENCE TERMS");
    HWND progress = FindWindowA("#32770", kSetupTitle);
    ASSERT_NE(progress, nullptr) << "the terms show over the progress dialog";
    EXPECT_EQ(Text(GetDlgItem(progress, 100)), "Installing Zelvaro");
    EXPECT_EQ(Text(GetDlgItem(progress, 101)), "Licence Terms");
    EXPECT_EQ(Text(GetDlgItem(terms, IDOK)), "I Agree");
    EXPECT_EQ(Text(GetDlgItem(terms, IDCANCEL)), "I Do Not Agree");
    Press(terms, IDCANCEL);
    EXPECT_EQ(WaitExit(process), 0u);
    EXPECT_FALSE(Exists(folder + "\\tone.exe"));
    EXPECT_FALSE(Exists(folder + "\\tone.hlp"));
    ExpectNoShellEntries();
}

std::vector<uint8_t> WithByteChanged(std::vector<uint8_t> bytes, size_t changedByte) {
    bytes[changedByte] ^= 0x01;
    return bytes;
}

// A setup file of these bytes, as a damaged download would have them; the
// setup process comes back, answered.
HANDLE RunDamagedSetup(const std::vector<uint8_t>& bytes, std::string& copy) {
    char temporary[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temporary);
    copy = std::string(temporary) + "zelvaro-setup-damaged.exe";
    std::ofstream(copy, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
    return StartSetupAndAnswerTerms(copy, IDOK);
}

void CloseCorruptFileMessage() {
    HWND box = WaitWindow("#32770", kCorruptSetupTitle);
    ASSERT_NE(box, nullptr) << "no corrupt-file message";
    EXPECT_EQ(Text(GetDlgItem(box, 0xFFFF)), kCorruptSetupText);
    Press(box, IDOK);
}

// A setup file in a downloads folder, beside libraries that someone put
// there under the names of system libraries that are not the system's known
// ones. Wine takes them from the program's folder first, as Windows does,
// when told to prefer libraries that are not its own (setup_run_test.sh).
TEST_F(SetupRun, A2_LibrariesBesideTheSetupFileAreNotLoaded) {
    char temporary[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temporary);
    const std::string downloads = std::string(temporary) + "zelvaro-downloads";
    CreateDirectoryA(downloads.c_str(), nullptr);
    const std::string copy = downloads + "\\zelvaro-setup.exe";
    ASSERT_TRUE(CopyFileA(setup.c_str(), copy.c_str(), FALSE));
    const char* const planted[] = {"\\winmm.dll", "\\msacm32.dll"};
    for (const char* name : planted)
        ASSERT_TRUE(CopyFileA(Env("ZELVARO_PLANTED_DLL").c_str(), (downloads + name).c_str(), FALSE)) << name;
    HANDLE process = Start(copy);
    ASSERT_NE(process, nullptr);
    HWND terms = WaitWindow("#32770", "Zelvaro Licence Terms");
    if (terms)
        Press(terms, IDCANCEL);
    else
        TerminateProcess(process, 1);
    EXPECT_NE(terms, nullptr) << "the setup file did not start";
    EXPECT_EQ(WaitExit(process), 0u);
    for (const char* name : planted) {
        EXPECT_FALSE(Exists(downloads + name + ".loaded")) << name;
        DeleteFileA((downloads + name + ".loaded").c_str());
        DeleteFileA((downloads + name).c_str());
    }
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(downloads.c_str());
}

TEST_F(SetupRun, B_AChangedPayloadByteShowsTheCorruptFileMessageAndWritesNothing) {
    std::string corrupt;
    const size_t helpByte = payload.size() + 100;
    HANDLE process = RunDamagedSetup(WithByteChanged(ReadBytes(setup), helpByte), corrupt);
    ASSERT_NE(process, nullptr);
    CloseCorruptFileMessage();
    EXPECT_EQ(WaitExit(process), 0u);
    EXPECT_FALSE(Exists(folder + "\\tone.exe")) << "the sum is checked before anything is written";
    EXPECT_FALSE(Exists(folder + "\\tone.hlp"));
    ExpectNoShellEntries();
    DeleteFileA(corrupt.c_str());
}

TEST_F(SetupRun, C_InstallsFilesEntriesShortcutGroupAndStartsTheProgram) {
    HANDLE process = StartSetupAndAnswerTerms(setup, IDOK);
    ASSERT_NE(process, nullptr);
    HWND program = WaitWindow("#32770", "Zelvaro");
    ASSERT_NE(program, nullptr) << "the installed program did not start";
    EXPECT_EQ(WaitExit(process), 0u);
    PostMessageA(program, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitGone("#32770", "Zelvaro"));
    CloseFolderWindows();

    // The setup file's own copy of the program asks for administrator
    // rights; the installed program is the program as built again, and only
    // the uninstaller keeps the raised level.
    std::vector<uint8_t> raised = payload;
    ASSERT_TRUE(setExecutionLevel(raised, ExecutionLevel::kRequireAdministrator));
    EXPECT_EQ(ReadBytes(folder + "\\tone.exe"), WithMarker(payload, 0)) << "the payload and a zero trailer";
    EXPECT_EQ(ReadBytes(folder + "\\uninst.exe"), WithMarker(raised, 0xF0F00F0Fu));
    EXPECT_NE(test::ManifestOf(setup).find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(test::ManifestOf(folder + "\\tone.exe").find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(test::ManifestOf(folder + "\\uninst.exe").find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_EQ(ReadBytes(folder + "\\tone.hlp"), help);

    // Users may write the tone and the settings, and nothing else of the
    // folder. (Wine shows rights only as far as file modes express them; the
    // rights asked for are checked in-process: settings and installer tests.)
    const DWORD changes = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;
    for (WELL_KNOWN_SID_TYPE group : {WinWorldSid, WinBuiltinUsersSid, WinAuthenticatedUserSid}) {
        EXPECT_EQ(AllowedTo(folder, group) & changes, 0u) << "the folder, group " << group;
        for (const char* name : {"\\tone.exe", "\\uninst.exe"})
            EXPECT_EQ(AllowedTo(folder + name, group) & changes, 0u) << name << ", group " << group;
    }
    // Made by the install, with the users' right to write them (which Wine
    // does not keep: the access list asked for is checked in-process).
    for (const char* name : {"\\Current.tdf", "\\settings.ini"}) {
        EXPECT_TRUE(Exists(folder + name)) << name;
        EXPECT_EQ(AllowedTo(folder + name, WinWorldSid) & changes, 0u) << name;
    }

    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kFolders, "ProgramFiles"), folder);
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kFolders, "DataFiles"), folder);
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Zelvaro Uninstall");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), folder + "\\uninst.exe");

    EXPECT_STRCASEEQ(ShortcutTarget(DesktopShortcut()).c_str(), (folder + "\\tone.exe").c_str());
    // Wine's shell answers Program Manager by making the group a Start Menu folder.
    EXPECT_STRCASEEQ(ShortcutTarget(ProgramGroup() + "\\Zelvaro.lnk").c_str(), (folder + "\\tone.exe").c_str());
    EXPECT_STRCASEEQ(ShortcutTarget(ProgramGroup() + "\\Zelvaro Help.lnk").c_str(), (folder + "\\tone.hlp").c_str());
}

TEST_F(SetupRun, D_AnExistingUninstallEntryKeepsItsValues) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    const char kept[] = "Zelvaro (kept)";
    RegSetValueExA(key, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(kept), sizeof kept);
    RegCloseKey(key);
    HANDLE process = StartSetupAndAnswerTerms(setup, IDOK);
    ASSERT_NE(process, nullptr);
    HWND program = WaitWindow("#32770", "Zelvaro");
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(WaitExit(process), 0u);
    PostMessageA(program, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitGone("#32770", "Zelvaro"));
    CloseFolderWindows();
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), kept);
}

TEST_F(SetupRun, E_ADamagedSetupFileLeavesTheInstalledFilesAsTheyWere) {
    const char* const installed[] = {"\\tone.exe", "\\tone.hlp", "\\uninst.exe"};
    std::vector<std::vector<uint8_t>> before;
    for (const char* name : installed)
        before.push_back(ReadBytes(folder + name));
    ASSERT_FALSE(before[0].empty());
    const std::vector<uint8_t> intact = ReadBytes(setup);
    const size_t payloadEnd = payload.size() + help.size();
    // Zero bytes leave the byte sum as it was: only the sizes tell.
    std::vector<uint8_t> padded = intact;
    padded.insert(padded.begin() + static_cast<std::ptrdiff_t>(payloadEnd), {0, 0, 0, 0});
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } damaged[] = {
        {"a byte of the program changed", WithByteChanged(intact, 100)},
        {"the help file's last byte changed", WithByteChanged(intact, payloadEnd - 1)},
        {"4 zero bytes between the payload and the trailer", padded},
    };
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.name);
        std::string corrupt;
        HANDLE process = RunDamagedSetup(d.bytes, corrupt);
        ASSERT_NE(process, nullptr);
        CloseCorruptFileMessage();
        EXPECT_EQ(WaitExit(process), 0u);
        for (size_t i = 0; i < before.size(); ++i)
            EXPECT_EQ(ReadBytes(folder + installed[i]), before[i]) << installed[i];
        DeleteFileA(corrupt.c_str());
    }
}

// The box belongs to the temporary copy, not to the uninstaller that was run.
std::string ProcessImageOf(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    char path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (process) {
        QueryFullProcessImageNameA(process, 0, path, &size);
        CloseHandle(process);
    }
    return path;
}

HWND RunUninstallerUntilItAsks(const std::string& uninstaller) {
    HANDLE first = Start(uninstaller);
    if (!first)
        return nullptr;
    EXPECT_EQ(WaitExit(first), 0u) << "the installed uninstaller only starts its copy";
    return WaitWindow("#32770", "Uninstall Zelvaro");
}

TEST_F(SetupRun, F_DecliningTheUninstallRemovesNothing) {
    HWND box = RunUninstallerUntilItAsks(folder + "\\uninst.exe");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Text(GetDlgItem(box, 0xFFFF)), "Are you sure you want to remove Zelvaro from this computer?");
    char temporary[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temporary);
    EXPECT_STRCASEEQ(ProcessImageOf(box).c_str(), (std::string(temporary) + "uninst.exe").c_str());
    Press(box, IDNO);
    EXPECT_TRUE(WaitGone("#32770", kSetupTitle));
    EXPECT_TRUE(Exists(folder + "\\tone.exe"));
    EXPECT_TRUE(Exists(folder + "\\uninst.exe"));
    EXPECT_TRUE(Exists(DesktopShortcut()));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_TRUE(Exists(ProgramGroup() + "\\Zelvaro.lnk"));
}

TEST_F(SetupRun, G_ConfirmingTheUninstallRemovesWhatTheInstallMadeAndKeepsTheUsersFiles) {
    // Saved into the program's folder, where the save dialogs first open.
    const std::vector<uint8_t> mine = {'m', 'i', 'n', 'e'};
    for (const char* name : {"\\My tone.tdf", "\\take.wav"})
        std::ofstream(folder + name, std::ios::binary).write(reinterpret_cast<const char*>(mine.data()), 4);
    HWND box = RunUninstallerUntilItAsks(folder + "\\uninst.exe");
    ASSERT_NE(box, nullptr);
    Press(box, IDYES);
    EXPECT_TRUE(WaitGone("#32770", kSetupTitle));
    CloseFolderWindows();
    for (const char* name : {"\\tone.exe", "\\tone.hlp", "\\uninst.exe", "\\Current.tdf", "\\settings.ini"})
        EXPECT_FALSE(Exists(folder + name)) << name;
    for (const char* name : {"\\My tone.tdf", "\\take.wav"})
        EXPECT_EQ(ReadBytes(folder + name), mine) << name << " is the user's";
    ExpectNoShellEntries();

    for (const char* name : {"\\My tone.tdf", "\\take.wav"})
        DeleteFileA((folder + name).c_str());
    RemoveDirectoryA(folder.c_str());
}

std::wstring Wide(const std::string& utf8) {
    std::wstring text(utf8.size() + 1, L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, text.data(), static_cast<int>(text.size())));
    if (!text.empty())
        text.pop_back();
    return text;
}

std::wstring RegWide(const wchar_t* key, const wchar_t* value) {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, value, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return L"(missing)";
    return buffer;
}

// The long form of a path that may hold short (8.3) names.
std::string LongPath(const std::string& path) {
    wchar_t wide[MAX_PATH] = {};
    if (!GetLongPathNameW(Wide(path).c_str(), wide, MAX_PATH))
        return path;
    char utf8[3 * MAX_PATH] = {};
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

// The file name box of a file dialog of another process, read with the wide
// message so that no code page stands between it and the test.
std::wstring FileNameBox(HWND dialog) {
    HWND box = GetDlgItem(dialog, 0x47c /* cmb13 */);
    HWND edit = box ? FindWindowExW(box, nullptr, L"Edit", nullptr) : GetDlgItem(dialog, 0x480 /* edt1 */);
    wchar_t text[MAX_PATH] = {};
    SendMessageTimeoutW(edit ? edit : box, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        5000, nullptr);
    return text;
}

// The program files folder named outside the code page, long enough that
// the program's folder takes more than MAX_PATH bytes in UTF-8: the program
// is installed under it, starts there, finds its settings and help beside
// itself, and the uninstaller removes it.
TEST_F(SetupRun, H_AFolderOutsideTheCodePage) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the programs' manifest asks for UTF-8";
    const char* const kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
    const std::string programFiles = RegString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
    std::string named = programFiles + "\\Zelvaro Tön ♪ 音 ";
    for (int i = 0; i < 70; ++i)
        named += "音";
    ASSERT_GT(named.size() + std::strlen("\\Quorrel\\Zelvaro\\settings.ini"), static_cast<size_t>(MAX_PATH));
    // The machine's program files folder has that name for the whole case.
    struct ProgramFilesNamed {
        std::wstring before;
        void set(const std::wstring& value) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_SET_VALUE,
                              &key) != ERROR_SUCCESS)
                return;
            RegSetValueExW(key, L"ProgramFilesDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
        ~ProgramFilesNamed() { set(before); }
    } programFilesNamed{Wide(programFiles)};
    programFilesNamed.set(Wide(named));
    const std::string installed = InstallFolder();
    ASSERT_EQ(installed, named + "\\Quorrel\\Zelvaro");

    HANDLE process = StartSetupAndAnswerTerms(setup, IDOK);
    HWND program = process ? WaitWindow("#32770", "Zelvaro") : nullptr;
    ASSERT_NE(process, nullptr);
    ASSERT_NE(program, nullptr) << "the installed program did not start";
    EXPECT_EQ(WaitExit(process), 0u);
    PostMessageA(program, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitGone("#32770", "Zelvaro"));
    CloseFolderWindows();

    // Read with the wide functions: the characters themselves, not '?'.
    const std::wstring installedWide = Wide(installed);
    EXPECT_NE(GetFileAttributesW(installedWide.c_str()), INVALID_FILE_ATTRIBUTES);
    for (const char* name : {"\\tone.exe", "\\tone.hlp", "\\uninst.exe", "\\Current.tdf", "\\settings.ini"})
        EXPECT_NE(GetFileAttributesW((installedWide + Wide(name)).c_str()), INVALID_FILE_ATTRIBUTES) << name;
    EXPECT_EQ(ReadBytes(installed + "\\tone.hlp"), help);
    const wchar_t* folders = L"Software\\Quorrel\\Zelvaro\\CurrentVersion\\Folders";
    EXPECT_EQ(RegWide(folders, L"ProgramFiles"), installedWide);
    EXPECT_EQ(RegWide(folders, L"DataFiles"), installedWide);
    EXPECT_EQ(RegWide(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zelvaro", L"UninstallString"),
              installedWide + L"\\uninst.exe");
    // The program group's items may name the files by their short names.
    EXPECT_STRCASEEQ(ShortcutTarget(DesktopShortcut()).c_str(), (installed + "\\tone.exe").c_str());
    EXPECT_STRCASEEQ(LongPath(ShortcutTarget(ProgramGroup() + "\\Zelvaro.lnk")).c_str(),
                     (installed + "\\tone.exe").c_str());
    EXPECT_STRCASEEQ(LongPath(ShortcutTarget(ProgramGroup() + "\\Zelvaro Help.lnk")).c_str(),
                     (installed + "\\tone.hlp").c_str());
    // Started from there, the program reads the settings beside itself: the
    // save dialog offers the file they name.
    const std::string settings = "[settings]\r\nfile=" + installed + "\\Zelvaro Tön ♪.tdf\r\nfiledir=" + installed + "\\\r\n";
    std::ofstream(installed + "\\settings.ini", std::ios::binary).write(settings.data(),
                                                                    static_cast<std::streamsize>(settings.size()));
    HANDLE started = Start(installed + "\\tone.exe");
    ASSERT_NE(started, nullptr);
    program = WaitWindow("#32770", "Zelvaro");
    ASSERT_NE(program, nullptr);
    PostMessageA(program, WM_COMMAND, IDM_SAVE_AS_TONE, 0);
    HWND save = WaitWindow("#32770", "Save As Tone");
    ASSERT_NE(save, nullptr);
    // Shown is not yet filled in: the box is read until it names the file.
    const std::wstring offered = Wide("Zelvaro Tön ♪.tdf");
    std::wstring shown;
    for (DWORD start = GetTickCount(); (shown = FileNameBox(save)) != offered && GetTickCount() - start < 5000;)
        Sleep(50);
    EXPECT_EQ(shown, offered);
    PostMessageA(save, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitGone("#32770", "Save As Tone"));

    // And its help: the viewer shows the file's contents, not an error.
    PostMessageA(program, WM_COMMAND, IDHELP, 0);
    HWND viewer = WaitWindow("MS_WINHELP", nullptr, 20000);
    EXPECT_NE(viewer, nullptr) << "no help window";
    if (viewer) {
        EXPECT_EQ(Text(viewer).find("Error"), std::string::npos) << Text(viewer);
        PostMessageA(viewer, WM_CLOSE, 0, 0);
    }
    PostMessageA(program, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitGone("#32770", "Zelvaro"));
    EXPECT_NE(WaitExit(started), 0xDEADu) << "the program did not end";

    HWND box = RunUninstallerUntilItAsks(installed + "\\uninst.exe");
    ASSERT_NE(box, nullptr);
    Press(box, IDYES);
    EXPECT_TRUE(WaitGone("#32770", kSetupTitle));
    CloseFolderWindows();
    EXPECT_EQ(GetFileAttributesW(installedWide.c_str()), INVALID_FILE_ATTRIBUTES) << "the folder is removed";
    ExpectNoShellEntries();
    RemoveDirectoryW((Wide(named) + L"\\Quorrel").c_str());
    RemoveDirectoryW(Wide(named).c_str());
}

}  // namespace
}  // namespace zelvaro
