#include "installer/execution_level.h"

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/executable_fixture.h"

namespace zelvaro {
namespace {

using test::executable;
using test::kAdministrator;
using test::kInvoker;

std::vector<uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(ExecutionLevel, IsChangedInPlaceOnlyInAManifestThatHoldsExactlyOneLevel) {
    const std::string head = "<requestedExecutionLevel ", tail = " uiAccess=\"false\"/>";
    const std::string invoker = head + kInvoker + tail, administrator = head + kAdministrator + tail;
    struct Row {
        const char* name;
        std::string image;
        ExecutionLevel level;
        bool changed;
        std::string expected;  // the image after
    } rows[] = {
        {"invoker raised", executable("", invoker), ExecutionLevel::kRequireAdministrator, true,
         executable("", administrator)},
        {"administrator lowered", executable("", administrator), ExecutionLevel::kAsInvoker, true,
         executable("", invoker)},
        {"set to what it is", executable("", invoker), ExecutionLevel::kAsInvoker, true, executable("", invoker)},
        // The program's own code holds the text it looks for.
        {"text in the code left alone", executable(kInvoker, invoker), ExecutionLevel::kRequireAdministrator, true,
         executable(kInvoker, administrator)},
        {"only in the code", executable(kInvoker, "<assembly/>"), ExecutionLevel::kRequireAdministrator, false,
         executable(kInvoker, "<assembly/>")},
        // Without the program's padding the level cannot change in place.
        {"unpadded", executable("", head + "level=\"asInvoker\"" + tail), ExecutionLevel::kRequireAdministrator,
         false, executable("", head + "level=\"asInvoker\"" + tail)},
        {"two levels", executable("", invoker + administrator), ExecutionLevel::kAsInvoker, false,
         executable("", invoker + administrator)},
        {"no executable", std::string("MZ") + kInvoker, ExecutionLevel::kRequireAdministrator, false,
         std::string("MZ") + kInvoker},
        {"cut short", executable("", invoker).substr(0, 0x250), ExecutionLevel::kRequireAdministrator, false,
         executable("", invoker).substr(0, 0x250)},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> image = bytes(row.image);
        EXPECT_EQ(setExecutionLevel(image, row.level), row.changed);
        EXPECT_EQ(image, bytes(row.expected));
    }
}

TEST(ExecutionLevel, AFileIsRewrittenInPlaceAndAFileWithoutALevelIsLeftAlone) {
    const std::string path = ::testing::TempDir() + "execution_level_test.exe";
    const std::string manifest = std::string("<requestedExecutionLevel ") + kInvoker + "/>";
    const std::string image = executable(std::string(70000, 'x'), manifest);
    auto write = [&](const std::string& text) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    };
    auto read = [&] {
        std::string text;
        std::FILE* f = std::fopen(path.c_str(), "rb");
        char block[4096];
        size_t n;
        while (f && (n = std::fread(block, 1, sizeof block, f)) > 0) text.append(block, n);
        if (f) std::fclose(f);
        return text;
    };
    write(image);
    EXPECT_EQ(setFileExecutionLevel(path, ExecutionLevel::kRequireAdministrator).error, "");
    EXPECT_EQ(read(), executable(std::string(70000, 'x'), std::string("<requestedExecutionLevel ") + kAdministrator + "/>"));
    // Lowering it again gives back the program's own bytes.
    EXPECT_EQ(setFileExecutionLevel(path, ExecutionLevel::kAsInvoker).error, "");
    EXPECT_EQ(read(), image);

    write("MZ not a program");
    EXPECT_NE(setFileExecutionLevel(path, ExecutionLevel::kAsInvoker).error, "");
    EXPECT_EQ(read(), "MZ not a program");
    std::remove(path.c_str());
    EXPECT_NE(setFileExecutionLevel(path, ExecutionLevel::kAsInvoker).error, "") << "a missing file";
}

}  // namespace
}  // namespace zelvaro
