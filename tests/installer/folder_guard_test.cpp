// The uninstaller empties only folders that can be the program's own.
#include "installer/folder_guard.h"

#include <gtest/gtest.h>

namespace zelvaro {
namespace {

// A machine whose Documents were moved to another drive.
const ProtectedFolders kMachine = {
    {"C:\\Windows", "C:\\Windows\\system32", "C:\\Users\\Ann\\Temp\\", "C:\\Users", "D:\\Docs"},
    {"C:\\Program Files", "C:\\ProgramData"},
};

TEST(FolderGuard, RefusesDrivesSystemAndUserFoldersTheirContentsAndTheirParents) {
    struct Case {
        const char* folder;
        bool isProtected;
    } cases[] = {
        {"C:\\Program Files\\Quorrel\\Zelvaro", false},
        {"c:/program files/quorrel/zelvaro/", false},
        {"\\\\server\\share\\Zelvaro", false},
        {"D:\\Zelvaro", false},
        {"C:\\ProgramData\\Zelvaro", false},  // inside a root, not a tree
        {"C:\\Windows Tools", false},         // shares only a prefix with C:\Windows
        {"D:\\Documents", false},             // shares only a prefix with D:\Docs
        {"", true},
        {"   ", true},
        {"Zelvaro", true},  // relative: would be taken from the current folder
        {".", true},
        {"\\Zelvaro", true},  // the current drive's folder, whichever it is
        {"C:", true},
        {"C:\\", true},
        {"c:/", true},
        {"C:\\\\", true},
        {"\\\\server\\share", true},
        {"\\\\server\\share\\", true},
        {"C:\\Windows", true},
        {"c:\\WINDOWS\\", true},
        {"C:\\Windows\\System32", true},
        {"C:\\Windows\\Temp\\Zelvaro", true},  // inside a tree
        {"C:\\Users\\Ann\\Temp", true},
        {"C:\\Users", true},
        {"C:\\Users\\Bob", true},                          // a profile
        {"C:\\Users\\Ann\\Documents\\Zelvaro", true},      // inside a profile
        {"D:\\Docs\\Zelvaro", true},                       // inside a moved user folder
        {"D:\\", true},
        {"C:\\Program Files", true},                       // a root itself
        {"c:\\program files\\", true},
        {"C:\\ProgramData", true},
        {"C:\\Program Files\\..\\Windows", true},
        {"C:\\Zelvaro\\.", true},
        {"C:\\Zelvaro\\ ..", true},
        {"C:\\Zel\\\\varo", true},
        {"\\\\?\\C:\\Zelvaro", true},                      // device forms, taken as they are
        {"\\\\.\\C:\\Zelvaro", true},
        {"\\\\?\\UNC\\server\\share\\Zelvaro", true},
        {"\\\\?\\C:\\Windows", true},
        {"C:\\Windows.", true},                            // the system drops trailing dots
        {"C:\\Windows. .", true},
        {"C:\\Zelvaro.", true},
        {"C:\\Zelvaro \\x", true},                         // and trailing blanks
        {"C:\\Windows::$INDEX_ALLOCATION", true},          // the folder's own stream
        {"C:\\Zelvaro:stream", true},
        {"C:\\Zelvaro\\*", true},
        {"C:\\Zel?aro", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsProtectedFolder(c.folder, kMachine), c.isProtected) << "\"" << c.folder << "\"";
}

// What the opened folder says of itself decides, after the text.
TEST(FolderGuard, RefusesJunctionsLinksAndFoldersThatLeadElsewhere) {
    const uint32_t folder = kAttributeDirectory;
    const uint32_t junction = kAttributeDirectory | kAttributeReparsePoint;
    struct Case {
        const char* name;
        const char* folder;
        FolderFacts facts;
        bool mayRemove;
    } cases[] = {
        {"the folder itself", "C:\\Program Files\\Quorrel\\Zelvaro",
         {folder, "\\\\?\\C:\\Program Files\\Quorrel\\Zelvaro"}, true},
        {"letter case and a trailing backslash", "c:\\program files\\quorrel\\zelvaro\\",
         {folder, "\\\\?\\C:\\Program Files\\Quorrel\\Zelvaro"}, true},
        {"a share", "\\\\server\\share\\Zelvaro", {folder, "\\\\?\\UNC\\server\\share\\Zelvaro"}, true},
        {"a final path without its prefix", "D:\\Zelvaro", {folder, "D:\\Zelvaro"}, true},
        {"a junction", "C:\\Program Files\\Quorrel\\Zelvaro",
         {junction, "\\\\?\\C:\\Program Files\\Quorrel\\Zelvaro"}, false},
        {"a junction on the way", "C:\\Program Files\\Quorrel\\Zelvaro",
         {folder, "\\\\?\\C:\\Users\\Admin\\Documents"}, false},
        {"a short name", "C:\\PROGRA~1\\Quorrel\\Zelvaro",
         {folder, "\\\\?\\C:\\Program Files\\Quorrel\\Zelvaro"}, false},
        {"a file", "C:\\Zelvaro", {0x20, "\\\\?\\C:\\Zelvaro"}, false},
        {"unreadable", "C:\\Zelvaro", {0, ""}, false},
        {"a protected folder", "C:\\Windows", {folder, "\\\\?\\C:\\Windows"}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MayRemoveFrom(c.folder, c.facts, kMachine), c.mayRemove) << c.name;

    EXPECT_TRUE(MayDeleteFile("tone.exe", 0x20));
    EXPECT_FALSE(MayDeleteFile("tone.exe", 0x20 | kAttributeReparsePoint)) << "a link in the folder";
    EXPECT_FALSE(MayDeleteFile("tone.exe", kAttributeDirectory));
    EXPECT_FALSE(MayDeleteFile("take.wav", 0x20));
}

TEST(FolderGuard, KnowsTheProgramsOwnFilesAndNoOthers) {
    struct Case {
        const char* name;
        bool isProgramFile;
    } cases[] = {
        {"tone.exe", true},
        {"TONE.EXE", true},
        {"tone.hlp", true},
        {"uninst.exe", true},
        {"Current.tdf", true},
        {"current.TDF", true},
        {"settings.ini", true},
        {"TONE.GID", true},
        {"Current.tdf.1234.7.tmp", true},  // an interrupted save of the tone
        {"My tone.tdf", false},
        {"take.wav", false},
        {"tone.exe.bak", false},
        {"atone.exe", false},
        {"tone.ex", false},
        {"tone.exe ", false},
        {"Current.tdf.tmp", false},
        {"Current.tdf.12.tmp", false},
        {"Current.tdf.1a.7.tmp", false},
        {"Current.tdf..7.tmp", false},
        {"Other.tdf.1234.7.tmp", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsProgramFileName(c.name), c.isProgramFile) << "\"" << c.name << "\"";
}

}  // namespace
}  // namespace zelvaro
