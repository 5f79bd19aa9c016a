#include "text/number.h"

#include <climits>
#include <gtest/gtest.h>
#include <string>

TEST(NumberTextTest, ReadsLikeStrtolAndSaturatesAtInt) {
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"42", 42},
        {"  +42x", 42},
        {"\t\n-20", -20},
        {"80%", 80},
        {"007", 7},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999999999999", INT_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int value = 0;
        EXPECT_TRUE(readDecimalInt(c.text, &value));
        EXPECT_EQ(c.value, value);
    }
}

TEST(NumberTextTest, RefusesTextWithoutDigits) {
    for (const char* text : {"", " ", "-", "+ 1", "abc", "x1", "--1"}) {
        SCOPED_TRACE(text);
        int value = 123;
        EXPECT_FALSE(readDecimalInt(text, &value));
        EXPECT_EQ(123, value);
    }
}

TEST(NumberTextTest, ReadsPlainDecimalsAndNothingElse) {
    const std::string huge(400, '9');
    const struct {
        std::string text;
        bool read;
        double value;
    } cases[] = {
        {"12", true, 12},    {"7.5", true, 7.5}, {".5", true, 0.5}, {"5.", true, 5},
        {"0", true, 0},      {"", false, 0},     {".", false, 0},   {"-1", false, 0},
        {"+1", false, 0},    {" 1", false, 0},   {"1 ", false, 0},  {"1e3", false, 0},
        {"1.2.3", false, 0}, {"0x10", false, 0}, {huge, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        double value = -1;
        EXPECT_EQ(c.read, readPlainDecimal(c.text, &value));
        if (c.read) {
            EXPECT_EQ(c.value, value);
        }
    }
}
