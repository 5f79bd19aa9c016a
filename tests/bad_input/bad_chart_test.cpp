// Charts with very long lines, NUL and 0xFF bytes, random binary, bar lengths at the
// limits and object arrays far larger than their bars.
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "bms/bms.h"
#include "bms/parser.h"
#include "tests/test_util.h"

namespace {

using test_util::TempDir;

struct Loaded {
    bool ok;
    int code;
    int line;
    std::unique_ptr<BmsBms> chart;
};

Loaded load(const TempDir& dir, const std::string& text) {
    BmsBms* chart = nullptr;
    testing::internal::CaptureStdout();
    const bool ok = BmsLoad(dir.write("chart.bms", text).c_str(), &chart);
    testing::internal::GetCapturedStdout();
    return {ok, BmsGetErrorCode(), BmsGetErrorLine(),
            std::unique_ptr<BmsBms>(ok ? chart : nullptr)};
}

// Bytes of a fixed pseudo-random sequence (xorshift), the same on every run.
std::string randomBytes(size_t count, uint32_t seed) {
    std::string bytes;
    uint32_t state = seed;
    for (size_t i = 0; i < count; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes += static_cast<char>(state & 0xFF);
    }
    return bytes;
}

std::string without(std::string text, const std::string& removed) {
    std::string kept;
    for (char c : text)
        if (removed.find(c) == std::string::npos) kept += c;
    return kept;
}

TEST(BadChartTest, HostileBytesGiveTheirCodeAndLine) {
    // Adjacent literals keep "\0" and "\xff" apart from the characters after them.
    const struct {
        const char* name;
        std::string text;
        int code;
        int line;
    } cases[] = {
        {"NUL starting a comment", std::string("\0 comment\n#TITLE a\n", 19), 0, 3},
        {"NUL in a header key",
         std::string("#TI\0"
                     "TLE a\n",
                     10),
         6, 1},
        {"NUL after #", std::string("#TITLE a\n#\0\n", 12), 5, 2},
        {"NUL in a bar number",
         std::string("\n#0\0"
                     "111:01\n",
                     11),
         13, 2},
        {"NUL in a channel",
         std::string("#001\0"
                     "1:01\n",
                     10),
         11, 1},
        {"NUL before the colon",
         std::string("#00111\0"
                     "01\n",
                     10),
         12, 1},
        {"NUL in an object array", std::string("#00111:01\0\n", 11), 7, 1},
        {"NUL after an object array", std::string("#00111:01 \0\n", 12), 8, 1},
        {"NUL first in a bar length", std::string("#00102:\0\n", 9), 10, 1},
        {"NUL after a bar length", std::string("#00102:1\0\n", 10), 9, 1},
        {"0xFF starting a comment", "\xff\xfe junk\n", 0, 2},
        {"0xFF in a header key",
         "#TI\xff"
         "TLE a\n",
         6, 1},
        {"0xFF after #", "#\xff\n", 5, 1},
        {"0xFF in a bar number",
         "#00\xff"
         "11:01\n",
         13, 1},
        {"0xFF in an object array", "#00111:0\xff\n", 7, 1},
        {"0xFF ending the file in a header value", "#TITLE a\xff", 14, 1},
        {"a comment of a megabyte without newline", std::string(1 << 20, 'x'), 0, 1},
        {"a megabyte of newlines", std::string(1 << 20, '\n'), 0, (1 << 20) + 1},
        {"a header line of a megabyte ending the file", "#TITLE " + std::string(1 << 20, 'v'), 14,
         1},
        {"an object line of a megabyte with an odd count",
         "#00111:" + std::string((1 << 20) + 1, '1') + "\n", 7, 1},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded result = load(dir, c.text);
        EXPECT_EQ(c.code == 0, result.ok);
        EXPECT_EQ(c.code, result.code);
        EXPECT_EQ(c.line, result.line);
        EXPECT_STREQ(BmsErrorText(c.code), BmsGetErrorMessage());
    }
}

TEST(BadChartTest, HeaderValuesKeepHostileBytes) {
    const std::string random = randomBytes(4096, 12345);
    // A value ends at its newline; CR is left out so that no CR LF pair forms inside it.
    const std::string value = without(random, std::string("\n\r", 2));
    const std::string longKey(5000, 'K');
    const struct {
        const char* name;
        std::string text;
        const char* key;
        std::string value;
    } cases[] = {
        {"0xFF inside a value",
         "#TITLE a\xff"
         "b\n",
         "TITLE",
         "a\xff"
         "b"},
        {"NUL ends a value", std::string("#TITLE a\0b\n", 11), "TITLE", "a"},
        {"lone CR", "#TITLE a\rb\r\n", "TITLE", "a\rb"},
        {"a value of a megabyte", "#TITLE " + std::string(1 << 20, 'v') + "\n", "TITLE",
         std::string(1 << 20, 'v')},
        {"a key of 5000 letters", "#" + longKey + " v\n", longKey.c_str(), "v"},
        // The value starts with a letter: blanks right after the key are not part of it.
        {"random bytes", "#GENRE x" + value + "\n", "GENRE",
         "x" + value.substr(0, value.find('\0'))},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded result = load(dir, c.text);
        ASSERT_TRUE(result.ok) << result.code;
        EXPECT_EQ(c.value, result.chart->getHeaders()->get(c.key));
    }
}

TEST(BadChartTest, RandomBinaryWithoutSharpIsAllComment) {
    // With no '#' anywhere, every line is a comment, whatever bytes it holds.
    TempDir dir;
    for (uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        const Loaded result = load(dir, without(randomBytes(65536, seed), "#"));
        ASSERT_TRUE(result.ok) << result.code;
        EXPECT_EQ(nullptr, result.chart->getFirstChannel());
        EXPECT_EQ(0, result.chart->getHeaders()->getCount());
        EXPECT_EQ(0, result.chart->getWavs()->count());
    }
}

TEST(BadChartTest, BarLengthsAtTheLimits) {
    // The 999 other bars keep 384 tics, 383616 together, so one bar may take at most
    // 2147483647 - 383616 = 2147100031 tics: 5591406.3308 * 384 = 2147100031.03.
    const struct {
        const char* name;
        const char* text;
        int code;
        int line;
        int lastBarEnd;  // start of bar 1000 on success
    } cases[] = {
        {"the largest bar", "#00002:5591406.3308\n", 0, 2, 2147483647},
        {"one tic more", "#00002:5591406.3334\n", 10, 1, 0},
        {"a bar of 2^31 - 1 tics", "#00002:5592405.3333\n", 10, 1, 0},
        {"a bar of 2^31 tics", "#00002:5592405.3334\n", 10, 1, 0},
        {"thirty digits", "#00002:999999999999999999999999999999\n", 10, 1, 0},
        {"two bars that fit alone", "#00002:3000000\n#00102:3000000\n", 10, 2, 0},
        {"an exponent", "#00002:1e5\n", 9, 1, 0},
        {"a sign", "#00002:-1\n", 10, 1, 0},
        {"zero", "#99902:0\n", 0, 2, 383616},
        {"a lone point", "#00002:.\n", 0, 2, 383616},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded result = load(dir, c.text);
        EXPECT_EQ(c.code, result.code);
        EXPECT_EQ(c.line, result.line);
        if (result.ok) {
            EXPECT_EQ(c.lastBarEnd, result.chart->getBarStart(1000));
        }
    }

    // An object at the start of the bar after the largest one.
    const Loaded far = load(dir, "#00002:5591406.3308\n#00111:01\n");
    ASSERT_TRUE(far.ok);
    EXPECT_EQ(2147100031, far.chart->getLastPosition());
    EXPECT_EQ(BmsWord("01"), far.chart->findChannel(BmsWord("11"))->get(2147100031));
}

TEST(BadChartTest, ObjectArraysLargerThanTheirBars) {
    std::string alternating;
    for (int i = 0; i < 384; ++i) alternating += "0102";
    std::string many;
    for (int i = 0; i < 100000; ++i) many += "ZZ";
    TempDir dir;

    // 768 pairs in 384 tics: pairs 2t and 2t + 1 share tic t, and the later one stays.
    Loaded result = load(dir, "#00001:" + alternating + "\n");
    ASSERT_TRUE(result.ok);
    const BmsChannel* lane = result.chart->findChannel(BmsWord("01"));
    ASSERT_NE(nullptr, lane);
    EXPECT_EQ(384, lane->getUsedSize());
    EXPECT_FALSE(lane->contains(BmsWord("01")));
    for (int tic = 0; tic < 384; ++tic) EXPECT_EQ(BmsWord("02"), lane->get(tic)) << tic;

    // 100000 pairs step 0.00384 tics apart: every tic of the bar gets one.
    result = load(dir, "#00001:" + many + "\n");
    ASSERT_TRUE(result.ok);
    lane = result.chart->findChannel(BmsWord("01"));
    EXPECT_EQ(384, lane->getUsedSize());
    for (int tic = 0; tic < 384; ++tic) EXPECT_EQ(BmsWord("ZZ"), lane->get(tic)) << tic;

    // Other channels drop a line with more pairs than tics, and keep one that fits.
    result = load(dir, "#00011:" + many + "\n#00012:" + alternating.substr(0, 768) + "\n");
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(nullptr, result.chart->findChannel(BmsWord("11")));
    lane = result.chart->findChannel(BmsWord("12"));
    ASSERT_NE(nullptr, lane);
    EXPECT_EQ(BmsWord("01"), lane->get(0));
    EXPECT_EQ(BmsWord("02"), lane->get(383));

    // A thousand background lines of one bar make a thousand lanes.
    std::string lines;
    for (int i = 0; i < 1000; ++i) lines += "#99901:01\n";
    result = load(dir, lines);
    ASSERT_TRUE(result.ok);
    int lanes = 0;
    for (lane = result.chart->findChannel(BmsWord("01")); lane; lane = lane->getNextLane()) {
        EXPECT_EQ(BmsWord("01"), lane->get(383616));
        ++lanes;
    }
    EXPECT_EQ(1000, lanes);
}

}  // namespace
