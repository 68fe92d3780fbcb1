#include "base/db_value.h"

#include <gtest/gtest.h>

#include <string>

namespace zelvaro {
namespace {

TEST(ParseDbText, ReadsTheTextFormsLeniently) {
    struct Row {
        const char* text;
        int expected;
    };
    const Row rows[] = {
        {"--dB", -127},   // off
        {"-6dB", -6},
        {"6dB", 6},
        {"+6", 6},        // the plus sign is skipped
        {"0dB", 0},
        {"", 0},
        {"abc", 0},
        {"dB", 0},
        {"-200dB", -127}, // clamped
        {"200dB", 127},
        {"127dB", 127},
        {"-127dB", -127},
        {"- 1 2 dB", -12}, // blanks between digits are skipped too
        {"--5dB", -127},   // a second minus means off, whatever follows
        {"99999999999999999999", 127},  // a long run of digits must not overflow
        {"-99999999999999999999dB", -127},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseDbText(row.text), row.expected);
    }
    EXPECT_EQ(ParseDbText(nullptr), 0);
}

TEST(FormatDbText, WritesOffAsDashesAndOtherValuesWithTheirSign) {
    struct Row {
        int value;
        const char* expected;
    };
    const Row rows[] = {
        {-128, "--dB"}, {-127, "--dB"}, {-126, "-126dB"}, {-20, "-20dB"},
        {0, "0dB"},     {6, "6dB"},     {127, "127dB"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        char text[kDbTextSize];
        FormatDbText(static_cast<DbValue>(row.value), text, sizeof text);
        EXPECT_STREQ(text, row.expected);
        // Every written form reads back as the value (off for anything below -126).
        EXPECT_EQ(ParseDbText(text), row.value < -127 ? -127 : row.value);
    }
}

}  // namespace
}  // namespace zelvaro
