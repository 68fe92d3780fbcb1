// The program as a separate process: its role by name and trailer, the
// single-instance rule, Current.tdf in its own folder and its exit codes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/program_role.h"
#include "tests/app/main_window_harness.h"

namespace zelvaro::test {
namespace {

// tone.exe is built in src/app of the same build tree as this test (tests/app).
std::string builtToneExe() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self);
    path.resize(path.find_last_of("\\/") + 1);
    return path + "..\\..\\src\\app\\tone.exe";
}

// A copy of the program in a folder of its own, optionally with a trailer.
std::string installCopy(const TempFolder& folder, const char* name, const std::string& trailer = "") {
    const std::string path = folder.file(name);
    std::string bytes = readFile(builtToneExe());
    EXPECT_FALSE(bytes.empty());
    writeFile(path, bytes + trailer);
    return path;
}

class Process {
public:
    // Started from a current directory other than the program's folder.
    explicit Process(const std::string& exe) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + exe + "\"";
        char tempDir[MAX_PATH];
        GetTempPathA(MAX_PATH, tempDir);
        started_ = CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                  nullptr, tempDir, &startup, &info_);
    }
    ~Process() {
        if (started_) {
            if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(info_.hProcess, 99);
            CloseHandle(info_.hThread);
            CloseHandle(info_.hProcess);
        }
    }
    bool started() const { return started_; }
    // The exit code, or -1 when the process has not ended within the time.
    long exitCode(DWORD timeoutMs) {
        if (!started_ || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return static_cast<long>(code);
    }
    DWORD id() const { return info_.dwProcessId; }
    HANDLE handle() const { return info_.hProcess; }

private:
    PROCESS_INFORMATION info_ = {};
    bool started_ = false;
};

// The process's visible dialog titled `title`.
HWND waitForWindow(DWORD processId, const char* title, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        HWND window = nullptr;
        while ((window = FindWindowExA(nullptr, window, "#32770", title)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == processId && IsWindowVisible(window))
                return window;
        }
        Sleep(50);
    }
    return nullptr;
}

// Moves the current directory of a running process, as its open-file dialog
// may: a thread started in it calls SetCurrentDirectoryA (the system's
// libraries sit at the same address in every process of the session).
bool moveCurrentDirectory(HANDLE process, const std::string& folder) {
    void* remote = VirtualAllocEx(process, nullptr, folder.size() + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote || !WriteProcessMemory(process, remote, folder.c_str(), folder.size() + 1, nullptr))
        return false;
    auto* call = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetCurrentDirectoryA")));
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, call, remote, 0, nullptr);
    if (!thread)
        return false;
    DWORD moved = 0;
    const bool done = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &moved);
    CloseHandle(thread);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return done && moved;
}

TEST(ProgramRole, NameAndTrailerChooseTheRole) {
    struct Case {
        const char* path;
        uint32_t marker;
        ProgramRole role;
    } const cases[] = {
        {"C:\\Zelvaro\\tone.exe", 0, ProgramRole::Application},
        {"C:\\Zelvaro\\tone.exe", 0x12345678, ProgramRole::Application},
        {"C:\\Zelvaro\\tone.exe", kInstallMarker, ProgramRole::Install},
        {"C:\\Zelvaro\\tone.exe", kUninstallMarker, ProgramRole::Uninstall},
        {"D:\\dl\\zelvaro-setup.exe", kInstallMarker, ProgramRole::Install},
        {"D:\\dl\\ZelvaroSetup.exe", 0, ProgramRole::CorruptSetup},
        {"D:\\dl\\zsetup2.EXE", kUninstallMarker, ProgramRole::CorruptSetup},
        // Only the file name counts, not the folder or the extension.
        {"D:\\Setup Files\\tone.exe", 0, ProgramRole::Application},
        {"D:\\dl\\tone.setup", 0, ProgramRole::Application},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(chooseRole(upperBaseName(c.path), c.marker), c.role);
    }
}

TEST(ProgramRole, TheMarkerIsTheFilesLastFourBytesLittleEndian) {
    TempFolder folder;
    struct Case {
        std::string bytes;
        uint32_t marker;
    } const cases[] = {
        {std::string("MZ...\xF0\xF0\x0F\x0F", 9), kInstallMarker},
        {std::string("\x0F\x0F\xF0\xF0", 4), kUninstallMarker},
        {std::string("\x01\x02\x03", 3), 0},  // shorter than a marker
        {std::string(), 0},
    };
    for (const Case& c : cases) {
        writeFile(folder.file("x.exe"), c.bytes);
        EXPECT_EQ(readTrailerMarker(folder.file("x.exe").c_str()), c.marker) << c.bytes.size();
    }
    EXPECT_EQ(readTrailerMarker(folder.file("missing.exe").c_str()), 0u);
}

TEST(MainWindowProcess, RunsFromItsOwnFolderAndEndsWithOneAfterClosing) {
    TempFolder folder;
    Process program(installCopy(folder, "tone.exe"));
    ASSERT_TRUE(program.started());
    HWND window = waitForWindow(program.id(), "Zelvaro", 20000);
    ASSERT_NE(window, nullptr) << "no visible dialog captioned Zelvaro";
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the main window has a fixed size";

    TempFolder elsewhere;
    ASSERT_TRUE(moveCurrentDirectory(program.handle(), elsewhere.path()));
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.exitCode(20000), 1) << "a main window that ran and was closed ends with 1";
    ToneSettings defaults;
    setDefaults(defaults);
    EXPECT_EQ(readFile(folder.file("Current.tdf")), toneBytes(defaults))
        << "Current.tdf goes to the program's folder, whatever the current directory";
    EXPECT_EQ(readFile(elsewhere.file("Current.tdf")), "");
}

TEST(MainWindowProcess, ASecondStartBringsTheFirstWindowBackAndEndsWithZero) {
    TempFolder first, second;
    Process running(installCopy(first, "tone.exe"));
    HWND window = waitForWindow(running.id(), "Zelvaro", 20000);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_MINIMIZE);
    for (int i = 0; i < 50 && !IsIconic(window); ++i)
        Sleep(20);
    ASSERT_TRUE(IsIconic(window));

    Process again(installCopy(second, "tone.exe"));
    EXPECT_EQ(again.exitCode(20000), 0);
    for (int i = 0; i < 50 && IsIconic(window); ++i)
        Sleep(20);
    EXPECT_FALSE(IsIconic(window)) << "the first window is restored";
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(readFile(second.file("Current.tdf")), "") << "the second process touches nothing";

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(running.exitCode(20000), 1);
}

// A first instance held inside its shut-down, as one busy closing: its
// window still exists but its thread answers nothing until released.
class HeldInShutDown final : public MainWindow {
public:
    ~HeldInShutDown() override {
        CloseHandle(release);
        CloseHandle(entered);
    }
    void OnDestroy() override {
        SetEvent(entered);
        WaitForSingleObject(release, 60000);
        MainWindow::OnDestroy();
    }
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

TEST(MainWindowProcess, ASecondStartWhileTheFirstIsClosingEndsWithoutWaitingForIt) {
    TempFolder second;  // made first: each TempFolder becomes the current directory
    TempFolder first;
    const std::string exe = installCopy(second, "tone.exe");
    MainWindowHarness ui(first);
    auto held = std::make_unique<HeldInShutDown>();
    HeldInShutDown& closing = *held;
    ASSERT_NE(ui.open(std::move(held)), nullptr);
    long exitCode = -2;
    std::thread user([&] {
        if (WaitForSingleObject(closing.entered, 20000) == WAIT_OBJECT_0) {
            Process again(exe);
            exitCode = again.exitCode(20000);
        }
        SetEvent(closing.release);
    });
    // Returns once the second start has ended, or after 20 s.
    DestroyWindow(ui.window);
    user.join();
    EXPECT_EQ(exitCode, 0) << "-1: the second start waited on the closing window";
    EXPECT_EQ(readFile(second.file("Current.tdf")), "") << "it left the closing instance alone";
}

TEST(MainWindowProcess, ASetupFileWithoutItsMarkerSaysItIsCorrupt) {
    TempFolder folder;
    Process setup(installCopy(folder, "ZelvaroSetup.exe"));
    HWND box = waitForWindow(setup.id(), "Install Error", 20000);
    ASSERT_NE(box, nullptr) << "no Install Error message";
    char text[512] = {};
    HWND child = nullptr;
    std::string all;
    while ((child = FindWindowExA(box, child, "Static", nullptr)) != nullptr) {
        GetWindowTextA(child, text, sizeof text);
        all += text;
    }
    EXPECT_NE(all.find("Installation file corrupt."), std::string::npos) << all;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(setup.exitCode(20000), 0);
    EXPECT_EQ(readFile(folder.file("Current.tdf")), "");
}

// The folder values that the installer's runs write, put back afterwards so
// that the settings tests find the registry as it was.
class SavedFolderValues {
public:
    SavedFolderValues() {
        for (int i = 0; i < 2; ++i)
            present_[i] = read(kNames[i], values_[i]);
    }
    ~SavedFolderValues() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            return;
        for (int i = 0; i < 2; ++i) {
            if (present_[i])
                RegSetValueExA(key, kNames[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(values_[i].c_str()),
                               static_cast<DWORD>(values_[i].size() + 1));
            else
                RegDeleteValueA(key, kNames[i]);
        }
        RegCloseKey(key);
    }

private:
    static constexpr const char* kKey = "Software\\Quorrel\\Zelvaro\\CurrentVersion\\Folders";
    static constexpr const char* kNames[2] = {"ProgramFiles", "DataFiles"};
    static bool read(const char* name, std::string& value) {
        char buffer[MAX_PATH + 1] = {};
        DWORD size = MAX_PATH;
        if (RegGetValueA(HKEY_LOCAL_MACHINE, kKey, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
            return false;
        value = buffer;
        return true;
    }
    bool present_[2] = {};
    std::string values_[2];
};

HWND waitForAnyWindow(const char* title, DWORD timeoutMs) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50)) {
        HWND window = FindWindowA("#32770", title);
        if (window && IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

// The two installer roles run the installer, never the main window. Answered
// "no" at once, they install and remove nothing.
TEST(MainWindowProcess, InstallerMarkersRunTheInstallerNotTheMainWindow) {
    SavedFolderValues saved;
    {
        SCOPED_TRACE("install marker");
        TempFolder folder;
        Process setup(installCopy(folder, "ZelvaroSetup.exe", std::string("\xF0\xF0\x0F\x0F", 4)));
        HWND terms = waitForWindow(setup.id(), "Zelvaro Licence Terms", 20000);
        ASSERT_NE(terms, nullptr) << "no licence terms";
        PostMessageA(terms, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(setup.exitCode(20000), 0);
        EXPECT_EQ(readFile(folder.file("Current.tdf")), "") << "no main window ran";
    }
    {
        SCOPED_TRACE("uninstall marker");
        TempFolder folder;
        Process uninstaller(installCopy(folder, "tone.exe", std::string("\x0F\x0F\xF0\xF0", 4)));
        EXPECT_EQ(uninstaller.exitCode(20000), 0) << "it only starts its temporary copy";
        HWND ask = waitForAnyWindow("Uninstall Zelvaro", 20000);
        ASSERT_NE(ask, nullptr) << "the temporary copy did not ask";
        PostMessageA(ask, WM_COMMAND, IDNO, 0);
        for (const DWORD start = GetTickCount();
             FindWindowA("#32770", "Installing Zelvaro v 2.00") && GetTickCount() - start < 20000;)
            Sleep(50);
        EXPECT_EQ(readFile(folder.file("Current.tdf")), "") << "no main window ran";
        EXPECT_NE(readFile(folder.file("tone.exe")), "") << "nothing removed";
    }
}

}  // namespace
}  // namespace zelvaro::test
