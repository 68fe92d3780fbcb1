// A program's first call at start: a library beside the program is found
// before it and no longer after it.
#include "startup/library_search.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace zelvaro {
namespace {

// The only test of its program: the search stays limited for the rest of the
// process.
TEST(LibrarySearch, LibrariesAreLoadedFromTheSystemFolderOnly) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string folder = self;
    folder.resize(folder.find_last_of('\\') + 1);
    const std::string marker = folder + "zelvaro_planted.dll.loaded";
    DeleteFileA(marker.c_str());
    // Found beside the program before...
    HMODULE planted = LoadLibraryA("zelvaro_planted.dll");
    ASSERT_NE(planted, nullptr) << "the planted library is not beside the test";
    FreeLibrary(planted);
    EXPECT_NE(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileA(marker.c_str());
    // ...and no longer after the call, while the system's libraries still are.
    LoadLibrariesFromSystemFolderOnly();
    EXPECT_EQ(LoadLibraryA("zelvaro_planted.dll"), nullptr);
    EXPECT_EQ(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES);
    HMODULE system = LoadLibraryA("msacm32.dll");
    EXPECT_NE(system, nullptr);
    if (system)
        FreeLibrary(system);
}

}  // namespace
}  // namespace zelvaro
