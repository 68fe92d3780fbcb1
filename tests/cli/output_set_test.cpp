#include "cli/cli_output_set.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace zelvaro::cli {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// A folder of its own with a.txt and b.txt holding "old a" and "old b".
fs::path Folder(const char* name) {
    const fs::path folder = fs::path(testing::TempDir()) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    Write(folder / "a.txt", "old a");
    Write(folder / "b.txt", "old b");
    return folder;
}

TEST(OutputSet, AllOutputsTakeTheirNamesTogether) {
    const fs::path folder = Folder("output-set-commit");
    OutputSet set;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) set.addOutput((folder / name).string(), name);
    bool refused = true;
    ASSERT_EQ(set.check(refused), "");
    std::string error;
    for (size_t i = 0; i < 3; ++i) ASSERT_TRUE(set.write(i, Bytes("new " + std::to_string(i)), error)) << error;
    // Nothing is in place before the commit.
    EXPECT_EQ(Read(folder / "a.txt"), "old a");
    EXPECT_FALSE(fs::exists(folder / "c.txt"));
    ASSERT_TRUE(set.commit(error)) << error;
    EXPECT_EQ(Read(folder / "a.txt"), "new 0");
    EXPECT_EQ(Read(folder / "b.txt"), "new 1");
    EXPECT_EQ(Read(folder / "c.txt"), "new 2");
    EXPECT_EQ(Names(folder), (std::set<std::string>{"a.txt", "b.txt", "c.txt"}));
}

// The second output's rename fails after the first is in place (its
// temporary file is taken away): every file is put back as it was.
TEST(OutputSet, ARenameFailingHalfWayPutsBackWhatWasReplaced) {
    const fs::path folder = Folder("output-set-roll-back");
    OutputSet set;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) set.addOutput((folder / name).string(), name);
    std::string error;
    for (size_t i = 0; i < 3; ++i) ASSERT_TRUE(set.write(i, Bytes("new"), error)) << error;
    for (const std::string& name : Names(folder))
        if (name.rfind("b.txt.", 0) == 0) fs::remove(folder / name);
    EXPECT_FALSE(set.commit(error));
    EXPECT_NE(error.find("b.txt"), std::string::npos) << error;
    EXPECT_EQ(Read(folder / "a.txt"), "old a");
    EXPECT_EQ(Read(folder / "b.txt"), "old b");
    EXPECT_EQ(Names(folder), (std::set<std::string>{"a.txt", "b.txt"}));
}

// Dropped without a commit, a set leaves no temporary file.
TEST(OutputSet, AnUncommittedSetLeavesNothing) {
    const fs::path folder = Folder("output-set-dropped");
    {
        OutputSet set;
        set.addOutput((folder / "a.txt").string(), "a");
        set.addOutput((folder / "new.txt").string(), "new");
        std::string error;
        ASSERT_TRUE(set.write(0, Bytes("new"), error));
        ASSERT_TRUE(set.write(1, Bytes("new"), error));
    }
    EXPECT_EQ(Read(folder / "a.txt"), "old a");
    EXPECT_EQ(Names(folder), (std::set<std::string>{"a.txt", "b.txt"}));
}

TEST(OutputSet, RefusesCollisionsAndNamesTheReason) {
    const fs::path folder = Folder("output-set-check");
    fs::create_directory(folder / "dir.txt");
    const std::string a = (folder / "a.txt").string();
    struct Case {
        const char* name;
        std::string input, first, second;
        bool refused;
        const char* text;
    } cases[] = {
        {"output over the input", a, a, (folder / "x").string(), true, "over the input"},
        {"another spelling", a, (folder / "dir.txt" / ".." / "a.txt").string(), (folder / "x").string(), true,
         "over the input"},
        {"two outputs one name, not there yet", a, (folder / "n.txt").string(), (folder / "." / "n.txt").string(),
         true, "would be the same file"},
        {"a folder in the way", a, (folder / "dir.txt").string(), (folder / "x").string(), false, "it is a folder"},
        {"no such folder", a, (folder / "none" / "x").string(), (folder / "y").string(), false, "no such folder"},
        {"standard output among two", a, "-", (folder / "y").string(), true, "standard output"},
    };
    for (const Case& c : cases) {
        OutputSet set;
        set.addInput(c.input, "the input");
        set.addOutput(c.first, "the first", true);
        set.addOutput(c.second, "the second");
        bool refused = !c.refused;
        const std::string problem = set.check(refused);
        EXPECT_NE(problem.find(c.text), std::string::npos) << c.name << ": " << problem;
        EXPECT_EQ(refused, c.refused) << c.name;
    }
}

}  // namespace
}  // namespace zelvaro::cli
