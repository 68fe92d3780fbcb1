// Reads back from the built programs what Windows reads from them before they
// run: the manifest (execution level, supported systems, common controls, DPI
// awareness) and the version block that the file's properties show.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/product_version.h"
#include "tests/support/program_manifest.h"

namespace {

struct Program {
    const char* variable;  // the environment variable that holds its path
    const char* level;     // requestedExecutionLevel
    const char* fileName;
};

const Program kPrograms[] = {
    {"ZELVARO_TONE_EXE", "asInvoker", "tone.exe"},
    {"ZELVARO_RENDER_EXE", "asInvoker", "zelvaro-render.exe"},
    // The setup file is the program with its level raised; it keeps the
    // program's version block, file name included.
    {"ZELVARO_SETUP_EXE", "requireAdministrator", "tone.exe"},
};

// Windows 7, 8, 8.1, 10 and 11 (and Vista) by the ids their loaders look for.
const char* const kSupportedSystems[] = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
};

// The text of the first <element ...>text</element> in the window settings of
// the asm.v3 application block, where Windows looks for it; "(none)" without.
std::string windowsSetting(const std::string& manifest, const std::string& element,
                           const std::string& nameSpace) {
    const size_t block = manifest.find("<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">");
    const size_t blockEnd = manifest.find("</application>", block);
    const size_t settings = manifest.find("<windowsSettings>", block);
    if (block == std::string::npos || blockEnd == std::string::npos || settings > blockEnd) return "(none)";
    const std::string open = "<" + element + " xmlns=\"" + nameSpace + "\">";
    const size_t start = manifest.find(open, settings);
    const size_t end = manifest.find("</" + element + ">", start);
    if (start == std::string::npos || end == std::string::npos || end > blockEnd) return "(none)";
    return manifest.substr(start + open.size(), end - start - open.size());
}

std::string versionString(const std::vector<char>& block, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return "(none)";
    return std::string(value, strnlen(value, length));
}

TEST(ProgramIdentity, ManifestsAndVersionBlocksReadBackFromTheBuiltPrograms) {
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.variable);
        const char* path = std::getenv(program.variable);
        ASSERT_NE(path, nullptr) << "the test is given each program's path";

        const std::string manifest = zelvaro::test::ManifestOf(path);
        ASSERT_FALSE(manifest.empty()) << "no manifest resource in " << path;
        EXPECT_NE(manifest.find(std::string("level=\"") + program.level + "\""), std::string::npos) << manifest;
        EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos);
        EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos)
            << "visual styles come with common controls 6";
        // Per-monitor v2 on Windows 10 and later; the older element, which
        // those systems ignore beside the newer one, makes the program system
        // aware on Windows 7 and 8.
        EXPECT_EQ(windowsSetting(manifest, "dpiAwareness", "http://schemas.microsoft.com/SMI/2016/WindowsSettings"),
                  "PerMonitorV2");
        EXPECT_EQ(windowsSetting(manifest, "dpiAware", "http://schemas.microsoft.com/SMI/2005/WindowsSettings"), "true");
        // Any file name through the ANSI file functions.
        EXPECT_EQ(windowsSetting(manifest, "activeCodePage", "http://schemas.microsoft.com/SMI/2019/WindowsSettings"),
                  "UTF-8");
        for (const char* system : kSupportedSystems)
            EXPECT_NE(manifest.find(system), std::string::npos) << "supported system " << system;

        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
        ASSERT_GT(size, 0u) << "no version block in " << path;
        std::vector<char> block(size);
        ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));
        EXPECT_EQ(versionString(block, "ProductName"), ZELVARO_PRODUCT_NAME);
        EXPECT_EQ(versionString(block, "ProductVersion"), ZELVARO_VERSION_TEXT);
        EXPECT_EQ(versionString(block, "FileVersion"), ZELVARO_VERSION_TEXT);
        EXPECT_EQ(versionString(block, "CompanyName"), ZELVARO_DISTRIBUTOR);
        EXPECT_EQ(versionString(block, "LegalCopyright"), ZELVARO_COPYRIGHT);
        EXPECT_EQ(versionString(block, "OriginalFilename"), program.fileName);
        EXPECT_NE(versionString(block, "FileDescription"), "(none)");

        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(ZELVARO_VERSION_MINOR, ZELVARO_VERSION_MAJOR)));
        EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    }
}

}  // namespace
