// Context numbers in the help file: the build's tone.hlp leads 101 to Play
// Settings, and broken files are refused without harm.
#include "app/help/tool/help_context_map.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zelvaro {
namespace {

std::vector<uint8_t> BuiltHelpFile() {
    std::ifstream in(ZELVARO_HELP_FILE, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TitleOfContext(const std::vector<uint8_t>& help, uint32_t number) {
    std::vector<std::pair<uint32_t, uint32_t>> map;
    if (!ReadHelpContextMap(help, map))
        return "(no map)";
    for (const auto& entry : map) {
        std::string title;
        if (entry.first == number)
            return FindHelpTopicTitle(help, entry.second, title) ? title : "(no title)";
    }
    return "(not mapped)";
}

TEST(HelpContextMap, TopicHashFollowsTheHelpFileRule) {
    struct Case {
        const char* topic;
        uint32_t hash;
    } cases[] = {
        {"a", 17},
        {"A", 17},
        {"ab", 17 * 43 + 18},
        {"a-b", 17 * 43 + 18},  // characters outside the table count for nothing
        {"_0.", (13 * 43 + 10) * 43 + 12},
        {"z9", 42 * 43 + 9},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WinHelpTopicHash(c.topic), c.hash) << c.topic;
}

TEST(HelpContextMap, BuiltHelpFileOpensPlaySettingsAsContext101) {
    const std::vector<uint8_t> help = BuiltHelpFile();
    ASSERT_GT(help.size(), 1000u) << ZELVARO_HELP_FILE;
    EXPECT_EQ(TitleOfContext(help, 101), "Play Settings");
}

TEST(HelpContextMap, ReplacesTheMapWithTheGivenContexts) {
    std::vector<uint8_t> help = BuiltHelpFile();
    std::string error;
    ASSERT_TRUE(AddHelpContextMap(help, {{7, "setup"}, {101, "starting"}}, error)) << error;
    EXPECT_EQ(TitleOfContext(help, 7), "Setup and uninstall");
    EXPECT_EQ(TitleOfContext(help, 101), "Starting and playing");
    EXPECT_EQ(help[12] | help[13] << 8 | help[14] << 16 | help[15] << 24, static_cast<int>(help.size()))
        << "the header keeps the file's length";
}

TEST(HelpContextMap, RefusesBrokenFilesAndUnknownTopicsLeavingThemUnchanged) {
    const std::vector<uint8_t> good = BuiltHelpFile();
    ASSERT_FALSE(good.empty());
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* topic;
    } cases[] = {
        {"not a help file", {'h', 'e', 'l', 'l', 'o'}, "play_settings"},
        {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 16), "play_settings"},
        {"cut before the directory", std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2),
         "play_settings"},
        {"unknown topic", good, "no_such_topic"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = c.bytes;
        std::string error;
        EXPECT_FALSE(AddHelpContextMap(bytes, {{101, c.topic}}, error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_EQ(bytes, c.bytes) << c.name;
    }
}

TEST(HelpContextMap, SurvivesEveryTruncationAndCorruptedByte) {
    // Run under the sanitizers, this walks every bound of the reader.
    const std::vector<uint8_t> good = BuiltHelpFile();
    ASSERT_FALSE(good.empty());
    const uint32_t directory = good[4] | good[5] << 8 | good[6] << 16 | static_cast<uint32_t>(good[7]) << 24;
    for (size_t length = 0; length < good.size(); length += 97) {
        std::vector<uint8_t> bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
        std::string error;
        AddHelpContextMap(bytes, {{101, "play_settings"}}, error);
    }
    for (size_t at = directory; at < good.size(); ++at) {
        for (uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}, uint8_t{0x7F}}) {
            std::vector<uint8_t> bytes = good;
            bytes[at] = value;
            std::string error;
            std::vector<std::pair<uint32_t, uint32_t>> map;
            std::string title;
            if (AddHelpContextMap(bytes, {{101, "play_settings"}}, error) &&
                ReadHelpContextMap(bytes, map) && !map.empty())
                FindHelpTopicTitle(bytes, map[0].second, title);
        }
    }
}

}  // namespace
}  // namespace zelvaro
