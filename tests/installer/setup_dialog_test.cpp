// The installer's dialog in-process: its Program Manager command against a
// server of the test's own, and the uninstaller's refusal of folders and
// files that are not the program's.
#include "installer/setup_dialog.h"

#include <dde.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "installer/shell_entries.h"
#include "installer/user_file_security.h"

namespace zelvaro {
namespace {

// A Program Manager stand-in: keeps the command it is sent, and acknowledges
// it only when told to.
struct FakeServer {
    bool answers = false;
    std::string received;
    bool unicodeClient = false;
};

LRESULT CALLBACK FakeServerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* server = reinterpret_cast<FakeServer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_DDE_EXECUTE && server) {
        UINT_PTR low = 0, memory = 0;
        UnpackDDElParam(WM_DDE_EXECUTE, lParam, &low, &memory);
        // A Unicode client's command is in UTF-16, as a real server reads it.
        const bool unicode = IsWindowUnicode(reinterpret_cast<HWND>(wParam));
        server->unicodeClient = unicode;
        if (const void* text = GlobalLock(reinterpret_cast<HGLOBAL>(memory))) {
            char ansi[512] = {};
            if (unicode)
                WideCharToMultiByte(CP_ACP, 0, static_cast<const wchar_t*>(text), -1, ansi, sizeof ansi, nullptr,
                                    nullptr);
            server->received = unicode ? ansi : static_cast<const char*>(text);
            GlobalUnlock(reinterpret_cast<HGLOBAL>(memory));
        }
        if (server->answers)
            PostMessageA(reinterpret_cast<HWND>(wParam), WM_DDE_ACK, reinterpret_cast<WPARAM>(window),
                         PackDDElParam(WM_DDE_ACK, 0x8000, memory));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class ProgmanProbe : public SetupDialog {
public:
    ProgmanProbe(HWND server, const char* command) : SetupDialog("Probe"), server(server), command(command) {}
    int Work() override {
        const DWORD start = GetTickCount();
        acknowledged = ExecuteOn(server, command);
        elapsedMs = GetTickCount() - start;
        return 1;
    }
    HWND server;
    const char* command;
    bool acknowledged = false;
    DWORD elapsedMs = 0;
};

TEST(SetupDialog, ProgramManagerCommandWaitsForItsAcknowledgementOnlySoLong) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = FakeServerProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ZelvaroFakeProgman";
    RegisterClassA(&windowClass);
    const char command[] = "[CreateGroup(\"Zelvaro\")][AddItem(\"C:\\Zelvaro\\tone.exe\",\"Zelvaro\")]";
    struct Case {
        const char* name;
        bool answers;
    } cases[] = {{"server answers", true}, {"server never answers", false}};
    for (const Case& c : cases) {
        FakeServer server;
        server.answers = c.answers;
        HWND window = CreateWindowA("ZelvaroFakeProgman", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&server));
        ProgmanProbe probe(window, command);
        ASSERT_EQ(probe.Run(nullptr), 1) << c.name;
        EXPECT_EQ(server.received, command) << c.name;
        EXPECT_TRUE(server.unicodeClient) << c.name << ": the folder's name reaches the shell whole";
        EXPECT_EQ(probe.acknowledged, c.answers) << c.name;
        if (c.answers)
            EXPECT_EQ(probe.progmanServer, window) << c.name;
        else
            EXPECT_GE(probe.elapsedMs + 100, SetupDialog::kAckTimeoutMs) << "gave up before its time";
        DestroyWindow(window);
    }
}

TEST(SetupDialog, UninstallerRemovesOnlyTheProgramsOwnFiles) {
    char buffer[MAX_PATH] = {};
    GetWindowsDirectoryA(buffer, MAX_PATH);
    const std::string windows = buffer;
    GetSystemDirectoryA(buffer, MAX_PATH);
    const std::string system = buffer;
    GetTempPathA(MAX_PATH, buffer);
    const std::string temporary = buffer;
    char documents[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, 0, documents);
    char programFiles[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programFiles);
    const ProtectedFolders machine = ProtectedFoldersOfThisMachine();
    for (const std::string& refused :
         {std::string(""), std::string("C:\\"), std::string("C:"), windows, system, temporary,
          temporary + "zelvaro", std::string(documents), std::string(programFiles), std::string("zelvaro-relative")})
        EXPECT_FALSE(RemoveProgramFiles(refused, machine)) << "\"" << refused << "\"";

    // Outside the temporary folder, which is one of the user's.
    const std::string folder = std::string(programFiles) + "\\zelvaro-guard-test";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\kept").c_str(), nullptr);
    const char* const programs[] = {"\\tone.exe", "\\tone.hlp", "\\uninst.exe", "\\Current.tdf",
                                    "\\settings.ini", "\\Current.tdf.77.1.tmp"};
    const char* const users[] = {"\\My tone.tdf", "\\take.wav", "\\kept\\tone.exe"};
    for (const char* name : programs)
        CloseHandle(CreateFileA((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (const char* name : users)
        CloseHandle(CreateFileA((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_FALSE(RemoveProgramFiles("\\\\?\\" + folder, machine)) << "the same folder in its device form";
    EXPECT_FALSE(RemoveProgramFiles(folder + ".", machine));
    EXPECT_NE(GetFileAttributesA((folder + "\\tone.exe").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(RemoveProgramFiles(folder, machine));
    for (const char* name : programs)
        EXPECT_EQ(GetFileAttributesA((folder + name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
    for (const char* name : users)
        EXPECT_NE(GetFileAttributesA((folder + name).c_str()), INVALID_FILE_ATTRIBUTES) << name << " is the user's";

    for (const char* name : users)
        DeleteFileA((folder + name).c_str());
    EXPECT_TRUE(RemoveProgramFiles(folder, machine));
    EXPECT_NE(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES) << "a subfolder keeps the folder";
    RemoveDirectoryA((folder + "\\kept").c_str());
    EXPECT_TRUE(RemoveProgramFiles(folder, machine));
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES) << "an emptied folder is removed";
}

// The rights the install gives the tone and settings files: what it asks of
// the system (Wine keeps only what file modes express, which leaves the users
// group out), and the files it makes or keeps.
TEST(SetupDialog, UsersMayWriteTheToneAndTheSettingsButNotReplaceThem) {
    EXPECT_STREQ(kUserWritableFiles[0], "Current.tdf");
    EXPECT_STREQ(kUserWritableFiles[1], "settings.ini");
    UserFileSecurity security;
    ASSERT_TRUE(security.built());
    PACL acl = security.accessList();
    ASSERT_EQ(acl->AceCount, 1);
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(acl, 0, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Header.AceFlags, 0) << "for the file alone, passed on to nothing";
    EXPECT_EQ(ace->Mask, static_cast<DWORD>(FILE_GENERIC_READ | FILE_GENERIC_WRITE));
    EXPECT_EQ(ace->Mask & (DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_ALL | FILE_DELETE_CHILD), 0u);
    BYTE users[SECURITY_MAX_SID_SIZE];
    DWORD usersSize = sizeof users;
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &usersSize));
    EXPECT_TRUE(EqualSid(&ace->SidStart, users));

    char programFiles[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programFiles);
    const std::string folder = std::string(programFiles) + "\\zelvaro-rights-test";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string made = folder + "\\Current.tdf";
    const std::string kept = folder + "\\settings.ini";
    std::ofstream(kept, std::ios::binary) << "[settings]\r\nautoplay=true\r\n";
    EXPECT_TRUE(security.Grant(made.c_str()));
    EXPECT_TRUE(security.Grant(kept.c_str()));
    auto bytes = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    EXPECT_NE(GetFileAttributesA(made.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(bytes(made), "");
    EXPECT_EQ(bytes(kept), "[settings]\r\nautoplay=true\r\n") << "an existing file keeps its bytes";
    EXPECT_FALSE(security.Grant((folder + "\\no such folder\\x").c_str()));
    DeleteFileA(made.c_str());
    DeleteFileA(kept.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
}  // namespace zelvaro
