#include "app/settings/ini_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <sstream>
#include <string>

namespace zelvaro {
namespace {

// A settings.ini of its own in a fresh temporary folder.
class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
        folder_ = std::string(temp) + "zelvaro-ini-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder_.c_str(), nullptr);
        path_ = folder_ + "\\settings.ini";
        DeleteFileA(path_.c_str());
    }
    void TearDown() override {
        DeleteFileA(path_.c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    void writeFile(const std::string& text) {
        std::ofstream out(path_, std::ios::binary);
        out << text;
    }
    std::string readFile() {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    const char* path() const { return path_.c_str(); }

    std::string folder_;
    std::string path_;
};

TEST_F(IniFileTest, AutoplayIsTrueOnlyForTheWordTrueInAnyCase) {
    writeFile("[settings]\r\na=TRUE\r\nb=yes\r\nc=true\r\nd=TrUe\r\ne=1\r\nf=\r\ng=trueish\r\n");
    struct Row {
        const char* key;
        bool defaultValue;
        bool expected;
    };
    const Row rows[] = {
        {"a", false, true},  {"b", true, false},  {"c", false, true}, {"d", false, true},
        {"e", true, false},  {"f", true, false},  {"g", false, false},
        {"missing", true, true}, {"missing", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.key) + (row.defaultValue ? " default true" : " default false"));
        EXPECT_EQ(ReadIniBool(path(), "settings", row.key, row.defaultValue), row.expected);
    }
}

TEST_F(IniFileTest, PlayVolumeReadsAndWritesTheDecibelTextForms) {
    writeFile("[settings]\r\nplayvolume=--dB\r\n");
    EXPECT_EQ(ReadIniDb(path(), "settings", "playvolume", 0), -127);
    EXPECT_EQ(ReadIniDb(path(), "settings", "missing", -6), -6);
    EXPECT_EQ(ReadIniDb(path(), "settings", "missing", kDbOff), -127);

    WriteIniDb(path(), "settings", "playvolume", -20);
    EXPECT_NE(readFile().find("playvolume=-20dB"), std::string::npos) << readFile();
    EXPECT_EQ(ReadIniDb(path(), "settings", "playvolume", 0), -20);

    WriteIniDb(path(), "settings", "playvolume", -127);
    EXPECT_NE(readFile().find("playvolume=--dB"), std::string::npos) << readFile();
    WriteIniDb(path(), "settings", "playvolume", 12);
    EXPECT_NE(readFile().find("playvolume=12dB"), std::string::npos) << readFile();
}

TEST_F(IniFileTest, PlayDeviceReadsLikeADecimalConversion) {
    writeFile("[settings]\r\na=abc\r\nb=-1\r\nc=  42xyz\r\nd=+7\r\ne=99999999999\r\n"
              "f=-99999999999\r\ng=\r\n");
    struct Row {
        const char* key;
        int expected;
    };
    const Row rows[] = {
        {"a", 0}, {"b", -1}, {"c", 42}, {"d", 7}, {"e", INT_MAX}, {"f", INT_MIN}, {"g", 0},
        {"missing", 5},  // the default
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        EXPECT_EQ(ReadIniInt(path(), "settings", row.key, 5), row.expected);
    }
    EXPECT_EQ(ReadIniInt(path(), "settings", "missing", -1), -1);

    WriteIniInt(path(), "settings", "playdevice", -1);
    EXPECT_NE(readFile().find("playdevice=-1"), std::string::npos) << readFile();
    EXPECT_EQ(ReadIniInt(path(), "settings", "playdevice", 0), -1);
}

TEST(ParseIniInt, Extremes) {
    EXPECT_EQ(ParseIniInt("2147483647"), INT_MAX);
    EXPECT_EQ(ParseIniInt("-2147483648"), INT_MIN);
    EXPECT_EQ(ParseIniInt("2147483648"), INT_MAX);
    EXPECT_EQ(ParseIniInt("-"), 0);
    EXPECT_EQ(ParseIniInt(nullptr), 0);
}

TEST_F(IniFileTest, AMissingFileGivesTheDefaults) {
    EXPECT_EQ(ReadIniInt(path(), "settings", "playdevice", 0), 0);
    EXPECT_EQ(ReadIniDb(path(), "settings", "playvolume", 0), 0);
    EXPECT_FALSE(ReadIniBool(path(), "settings", "autoplay", false));
}

}  // namespace
}  // namespace zelvaro
