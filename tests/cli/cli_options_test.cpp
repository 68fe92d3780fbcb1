#include "cli/cli_options.h"

#include <gtest/gtest.h>

namespace zelvaro::cli {
namespace {

TEST(CliOptions, NumbersAreDigitsOnlyAndInRange) {
    struct Row {
        const char* text;
        bool ok;
    };
    const Row rows[] = {
        {"44100", true}, {"1", true},     {"192000", true}, {"0", false},   {"192001", false}, {"", false},
        {"+5", false},   {"-5", false},   {" 5", false},    {"5 ", false},  {"44.1", false},   {"1e3", false},
        {"0x10", false}, {"44100k", false}, {"99999999999999999999999", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(parseNumber(r.text, 1, 192000).has_value(), r.ok);
    }
    EXPECT_EQ(parseNumber("007", 0, 10), 7u);
}

TEST(CliOptions, OptionsInBothFormsAndPositionals) {
    const std::vector<OptionSpec> specs = {
        {"rate", 1, 192000, {}},
        {"bits", 8, 32, {8, 16, 32}},
        {"channels", 1, 2, {}},
        {"format", 0, 0, {}, {"pcm", "gsm", "choose"}}};
    ParsedArgs ok = parseArgs({"a.tdf", "--rate", "48000", "b.wav", "--bits=8", "--format", "gsm"}, specs, 2);
    EXPECT_EQ(ok.error, "");
    EXPECT_EQ(ok.positional, (std::vector<std::string>{"a.tdf", "b.wav"}));
    EXPECT_EQ(ok.value("rate"), 48000u);
    EXPECT_EQ(ok.value("bits"), 8u);
    EXPECT_FALSE(ok.value("seed").has_value());
    EXPECT_EQ(ok.word("format"), "gsm");
    EXPECT_FALSE(parseArgs({"a", "b"}, specs, 2).word("format").has_value());

    ParsedArgs dash = parseArgs({"--", "-odd.wav", "b.wav"}, specs, 2);
    EXPECT_EQ(dash.error, "");
    EXPECT_EQ(dash.positional[0], "-odd.wav");

    // A lone "-" names standard output.
    ParsedArgs stdoutName = parseArgs({"a.tdf", "-"}, specs, 2);
    EXPECT_EQ(stdoutName.error, "");
    EXPECT_EQ(stdoutName.positional[1], "-");

    struct Row {
        std::vector<std::string> args;
        const char* error;
    };
    const Row bad[] = {
        {{"a", "b", "--bits", "12"}, "--bits takes 8, 16 or 32, not \"12\""},
        {{"a", "b", "--rate", "0"}, "--rate takes 1 to 192000, not \"0\""},
        {{"a", "b", "--channels", "3"}, "--channels takes 1 or 2, not \"3\""},
        {{"a", "b", "--rate"}, "--rate needs a value"},
        {{"a", "b", "--rate=1", "--rate=2"}, "--rate given twice"},
        {{"a", "b", "--format=gsm", "--format", "pcm"}, "--format given twice"},
        {{"a", "b", "--format", "mp3"}, "--format takes pcm, gsm or choose, not \"mp3\""},
        {{"a", "b", "--format", "8"}, "--format takes pcm, gsm or choose, not \"8\""},
        {{"a", "b", "--speed", "2"}, "unknown option \"--speed\""},
        {{"a", "b", "-r", "2"}, "unknown option \"-r\""},
        {{"a"}, "missing arguments"},
        {{"a", "b", "c"}, "too many arguments"},
    };
    for (const Row& r : bad) {
        SCOPED_TRACE(r.error);
        EXPECT_EQ(parseArgs(r.args, specs, 2).error, r.error);
    }
}

}  // namespace
}  // namespace zelvaro::cli
