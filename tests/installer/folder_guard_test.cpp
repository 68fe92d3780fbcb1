// The uninstaller empties only folders that can be the program's own.
#include "installer/folder_guard.h"

#include <gtest/gtest.h>

namespace zelvaro {
namespace {

TEST(FolderGuard, RefusesDrivesSystemFoldersAndTheirParents) {
    const std::vector<std::string> system = {"C:\\Windows", "C:\\Windows\\system32", "C:\\Users\\Ann\\Temp\\"};
    struct Case {
        const char* folder;
        bool isProtected;
    } cases[] = {
        {"C:\\Program Files\\Quorrel\\Zelvaro", false},
        {"c:/program files/quorrel/zelvaro/", false},
        {"\\\\server\\share\\Zelvaro", false},
        {"D:\\Zelvaro", false},
        {"C:\\Windows Tools", false},  // shares only a prefix with C:\Windows
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
        {"C:\\Users\\Ann\\Temp", true},
        {"C:\\Users", true},  // holds the temporary folder
        {"C:\\Program Files\\..\\Windows", true},
        {"C:\\Zelvaro\\.", true},
        {"C:\\Zelvaro\\ ..", true},
        {"C:\\Zel\\\\varo", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsProtectedFolder(c.folder, system), c.isProtected) << "\"" << c.folder << "\"";
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
