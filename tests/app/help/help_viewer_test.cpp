// Which viewer shows the help, and the HTML pages written for systems
// without WinHelp.
#include "app/help/help_viewer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace zelvaro {
namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The build's HTML page lies beside tone.exe, in src/app of the same tree.
std::string BuiltHelpPage() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self);
    path.resize(path.find_last_of("\\/") + 1);
    return ReadText(path + "..\\..\\..\\src\\app\\tone.html");
}

class HelpPages : public testing::Test {
protected:
    void SetUp() override {
        char temporary[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temporary);
        folder = std::string(temporary) + "zelvaro-help-test";
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    void TearDown() override {
        DeleteFileA((folder + "\\tone.html").c_str());
        DeleteFileA((folder + "\\play-settings.html").c_str());
        RemoveDirectoryA(folder.c_str());
    }
    std::string folder;
};

TEST(HelpViewer, OnlyTheStubViewerCountsAsMissing) {
    struct Case {
        const char* description;
        bool stub;
    } cases[] = {
        {"Windows Winhlp32 Stub", true},
        {"WINHLP32 STUB", true},
        {"Windows Winhlp32", false},
        {"Windows Help Engine", false},
        {"", false},  // Wine's viewer carries no description
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsWinHelpStub(c.description), c.stub) << c.description;
}

TEST(HelpViewer, WineHasARealWinHelpViewer) { EXPECT_EQ(FindHelpViewer(), HelpViewer::WinHelp); }

TEST_F(HelpPages, ContentsAreTheBuiltPageAndContext101ForwardsToPlaySettings) {
    const std::string built = BuiltHelpPage();
    ASSERT_NE(built.find("name=\"PlaySettings\""), std::string::npos) << "the chapter's anchor";

    struct Case {
        UINT command;
        ULONG_PTR data;
        const char* page;
    } cases[] = {
        {HELP_CONTENTS, 0, "tone.html"},
        {HELP_CONTEXT, 101, "play-settings.html"},
        {HELP_CONTEXT, 55, "tone.html"},  // a number without a page opens the contents
    };
    // An older, longer page from an earlier run is replaced whole.
    const std::string older(built.size() + 4096, 'x');
    std::ofstream(folder + "\\tone.html", std::ios::binary) << older;
    for (const Case& c : cases) {
        const std::string page = WriteHelpPages(folder, c.command, c.data);
        EXPECT_EQ(page, folder + "\\" + c.page) << c.data;
        EXPECT_EQ(ReadText(folder + "\\tone.html"), built) << c.data;
    }
    EXPECT_NE(ReadText(folder + "\\play-settings.html").find("url=tone.html#PlaySettings\""), std::string::npos);
}

TEST_F(HelpPages, AFolderThatCannotBeWrittenGivesNoPage) {
    EXPECT_EQ(WriteHelpPages(folder + "\\missing\\deeper", HELP_CONTENTS, 0), "");
}

}  // namespace
}  // namespace zelvaro
