#include "app/settings/settings_path.h"
#include "app/settings/shared_folder_security.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <cstring>

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
    ComputeSettingsPath(path, sizeof path);
    EXPECT_EQ(std::string(path), folder + "\\settings.ini");
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

namespace zelvaro {
namespace {

// The access list the program folder is created with (Wine keeps only what
// its file modes can express, so the list is checked as built).
TEST(SharedFolderSecurity, OneInheritedEntryGivesTheWorldGroupAllAccess) {
    SharedFolderSecurity security;
    ASSERT_TRUE(security.built());
    ASSERT_NE(security.attributes(), nullptr);
    PACL acl = security.accessList();
    EXPECT_EQ(acl->AclRevision, ACL_REVISION);
    EXPECT_EQ(acl->AclSize, 1024);
    ASSERT_EQ(acl->AceCount, 1);
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(acl, 0, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(ace->Mask, static_cast<DWORD>(GENERIC_ALL));
    PSID sid = &ace->SidStart;
    const SID_IDENTIFIER_AUTHORITY* authority = GetSidIdentifierAuthority(sid);
    const BYTE world[6] = {0, 0, 0, 0, 0, 1};
    EXPECT_EQ(std::memcmp(authority->Value, world, 6), 0);
    ASSERT_EQ(*GetSidSubAuthorityCount(sid), 1);
    EXPECT_EQ(*GetSidSubAuthority(sid, 0), 0u);
    BOOL present = FALSE, defaulted = TRUE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(security.attributes()->lpSecurityDescriptor, &present,
                                          &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_EQ(dacl, acl);
}

}  // namespace
}  // namespace zelvaro
