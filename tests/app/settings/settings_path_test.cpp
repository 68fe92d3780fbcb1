#include "app/settings/settings_path.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <cstring>
#include <vector>

#include "installer/install_folder.h"
#include "tests/support/import_patch.h"

namespace zelvaro {
namespace {

// Runs against the registry of the test's own Wine prefix (or machine); the
// "DataFiles" value is saved first and put back afterwards.
class SettingsPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFoldersKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            char value[MAX_PATH] = {};
            DWORD size = sizeof value - 1;
            DWORD type = 0;
            hadValue_ = RegQueryValueExA(key, "DataFiles", nullptr, &type,
                                         reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS;
            saved_ = value;
            RegCloseKey(key);
        }
    }
    void TearDown() override {
        if (hadValue_)
            setDataFiles(saved_.c_str());
        else
            deleteDataFiles();
    }

    static bool setDataFiles(const char* folder) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kFoldersKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return false;
        const LONG result = RegSetValueExA(key, "DataFiles", 0, REG_SZ,
                                           reinterpret_cast<const BYTE*>(folder),
                                           static_cast<DWORD>(strlen(folder) + 1));
        RegCloseKey(key);
        return result == ERROR_SUCCESS;
    }
    static void deleteDataFiles() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFoldersKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "DataFiles");
            RegCloseKey(key);
        }
    }
    static std::string programFiles() {
        char value[MAX_PATH] = {};
        DWORD size = sizeof value - 1;
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0,
                          KEY_READ, &key) == ERROR_SUCCESS) {
            RegQueryValueExA(key, "ProgramFilesDir", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(value), &size);
            RegCloseKey(key);
        }
        return value;
    }

    bool hadValue_ = false;
    std::string saved_;
};

TEST_F(SettingsPathTest, TheDataFilesValueNamesTheFolder) {
    if (!setDataFiles("D:\\Some Data\\Zelvaro"))
        GTEST_SKIP() << "the machine's registry cannot be written";
    char path[kSettingsPathSize];
    ComputeSettingsPath(path, sizeof path);
    EXPECT_STREQ(path, "D:\\Some Data\\Zelvaro\\settings.ini");
}

// What the program asks of the system when it creates folders: Wine keeps a
// folder's rights only as far as file modes express them, and an access list
// that gives everyone all rights is not among them. The test program's own
// import of CreateDirectoryA is pointed at a recorder for the calls made
// while it is alive.
class CreateDirectoryRecorder {
public:
    struct Call {
        std::string folder;
        bool withSecurity;
    };
    CreateDirectoryRecorder() : patch_(nullptr, "CreateDirectoryA", reinterpret_cast<void*>(&Record)) {
        real_ = reinterpret_cast<decltype(real_)>(patch_.original());
    }
    bool hooked() const { return patch_.active(); }
    static std::vector<Call>& calls() {
        static std::vector<Call> made;
        return made;
    }

private:
    static BOOL WINAPI Record(LPCSTR folder, LPSECURITY_ATTRIBUTES security) {
        calls().push_back({folder, security != nullptr});
        return real_(folder, security);
    }
    static inline BOOL(WINAPI* real_)(LPCSTR, LPSECURITY_ATTRIBUTES) = nullptr;
    test::ImportPatch patch_;
};

TEST_F(SettingsPathTest, WithoutDataFilesTheProgramFolderIsUsedAndCreated) {
    deleteDataFiles();
    const std::string base = programFiles();
    ASSERT_FALSE(base.empty()) << "no ProgramFilesDir in the registry";
    const std::string folder = base + "\\Quorrel\\Zelvaro";
    // Start without the folder so that its creation is seen.
    RemoveDirectoryA(folder.c_str());
    RemoveDirectoryA((base + "\\Quorrel").c_str());
    ASSERT_EQ(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);

    char path[kSettingsPathSize];
    CreateDirectoryRecorder::calls().clear();
    {
        CreateDirectoryRecorder recorder;
        ASSERT_TRUE(recorder.hooked());
        ComputeSettingsPath(path, sizeof path);
    }
    EXPECT_EQ(std::string(path), folder + "\\settings.ini");
    // Every user could otherwise replace the program, or put a library
    // beside it, that an administrator's setup or uninstall run then starts.
    ASSERT_FALSE(CreateDirectoryRecorder::calls().empty());
    for (const CreateDirectoryRecorder::Call& call : CreateDirectoryRecorder::calls())
        EXPECT_FALSE(call.withSecurity) << call.folder << " is made with rights of its own";
    EXPECT_EQ(CreateDirectoryRecorder::calls().back().folder, folder);
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);

    // A second call finds the folder as it is.
    char again[kSettingsPathSize];
    ComputeSettingsPath(again, sizeof again);
    EXPECT_STREQ(again, path);

    RemoveDirectoryA(folder.c_str());
    RemoveDirectoryA((base + "\\Quorrel").c_str());
}

TEST_F(SettingsPathTest, ADataFolderTooLongForTheFileNameFallsBackToTheProgramFolder) {
    const std::string longFolder = "C:\\" + std::string(250, 'x');
    if (!setDataFiles(longFolder.c_str()))
        GTEST_SKIP() << "the machine's registry cannot be written";
    char path[kSettingsPathSize];
    ComputeSettingsPath(path, sizeof path);
    EXPECT_EQ(std::string(path), programFiles() + "\\Quorrel\\Zelvaro\\settings.ini");
}

TEST_F(SettingsPathTest, ADestinationTooSmallGetsAnEmptyText) {
    if (!setDataFiles("C:\\Data"))
        GTEST_SKIP() << "the machine's registry cannot be written";
    char small[8] = "xxxxxxx";
    ComputeSettingsPath(small, sizeof small);
    EXPECT_STREQ(small, "");
}

}  // namespace
}  // namespace zelvaro
