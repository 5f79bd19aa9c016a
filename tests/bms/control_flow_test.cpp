#include "bms/control_flow.h"

#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "bms/bms.h"
#include "bms/parser.h"
#include "tests/test_util.h"

namespace {

using test_util::TempDir;

std::unique_ptr<BmsBms> loadSeeded(const TempDir& dir, const std::string& text, int64_t seed) {
    BmsLoadOptions options;
    options.evaluateRandom = true;
    options.seed = seed;
    BmsBms* chart = nullptr;
    if (!BmsLoad(dir.write("chart.bms", text).c_str(), &chart, options)) return nullptr;
    return std::unique_ptr<BmsBms>(chart);
}

// The one-letter headers A to F that the chart holds, in order.
std::string letters(const BmsBms& chart) {
    std::string found;
    for (const char* key : {"A", "B", "C", "D", "E", "F"}) {
        if (chart.getHeaders()->find(key)) found += key;
    }
    return found;
}

// The same numbers everywhere: the first output of the generator for seed 0
// is the published one, and draws follow from it without platform arithmetic.
TEST(BmsRandomGeneratorTest, GivesTheSameNumbersEverywhere) {
    EXPECT_EQ(UINT64_C(0xE220A8397B1DCDAF), BmsRandomGenerator(0).next());
    const struct {
        int64_t seed;
        int range;
        std::vector<int> values;
    } cases[] = {{0, 6, {2, 1, 2, 5, 2, 1, 6, 3}},
                 {-1, 6, {3, 4, 2, 1, 1, 2, 2, 3}},
                 {123456789, 1000000007, {18929813, 538391121}},
                 {5, 1, {1, 1, 1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seed);
        BmsRandomGenerator generator(static_cast<uint64_t>(c.seed));
        for (int value : c.values) EXPECT_EQ(value, generator.draw(c.range));
    }
}

// The rules, with #SETRANDOM fixing the numbers; A to F mark the lines read.
TEST(BmsControlFlowTest, TakesTheBranchesOfTheRules) {
    const struct {
        const char* name;
        const char* text;
        const char* read;
    } cases[] = {
        {"nested blocks",
         "#SETRANDOM 2\n#IF 2\n#SETRANDOM 1\n#IF 1\n#A 1\n#ENDIF\n#IF 2\n#B 1\n#ENDIF\n"
         "#ENDRANDOM\n#C 1\n#ENDIF\n#IF 1\n#D 1\n#ENDIF\n#ENDRANDOM\n#E 1\n",
         "ACE"},
        {"first matching #ELSEIF",
         "#SETRANDOM 3\n#IF 1\n#A 1\n#ELSEIF 3\n#B 1\n#ELSEIF 3\n#C 1\n"
         "#ELSE\n#D 1\n#ENDIF\n#E 1\n",
         "BE"},
        {"#ELSE once",
         "#SETRANDOM 3\n#IF 1\n#A 1\n#ELSEIF 2\n#B 1\n#ELSE\n#C 1\n#ELSE\n#D 1\n#ENDIF\n", "C"},
        {"#IF outside a block", "#IF 1\n#A 1\n#ELSE\n#B 1\n#ENDIF\n#C 1\n", "BC"},
        {"stray lines", "#ENDIF\n#ENDRANDOM\n#ELSE\n#ELSEIF 1\n#A 1\n", "A"},
        {"#IF without #ENDIF", "#SETRANDOM 2\n#IF 1\n#A 1\n#IF 2\n#B 1\n#ENDIF\n#C 1\n", "BC"},
        {"#RANDOM 0", "#RANDOM 0\n#IF 1\n#A 1\n#ELSE\n#B 1\n#ENDIF\n", "B"},
        {"#RANDOM x", "#RANDOM x\n#IF 1\n#A 1\n#ELSE\n#B 1\n#ENDIF\n", "B"},
        {"#SETRANDOM -1", "#SETRANDOM -1\n#IF -1\n#A 1\n#ENDIF\n", ""},
        {"number with trailing text", "#SETRANDOM 2 ; two\n#IF 2nd\n#A 1\n#ENDIF\n", "A"},
        {"unclosed at the end", "#B 1\n#SETRANDOM 1\n#IF 2\n#A 1", "B"},
        {"#ENDIF closes a block left open inside its branch",
         "#SETRANDOM 1\n#IF 1\n#SETRANDOM 2\n#IF 1\n#A 1\n#ENDIF\n#ENDIF\n#IF 1\n#B 1\n#ENDIF\n",
         "B"},
        {"#ENDRANDOM closes an open branch", "#SETRANDOM 1\n#IF 2\n#ENDRANDOM\n#A 1\n", "A"},
        {"a block where lines are not read",
         "#SETRANDOM 1\n#IF 2\n#SETRANDOM 3\n#IF 3\n#A 1\n#ELSE\n#B 1\n#ENDIF\n#ENDRANDOM\n#ENDIF\n"
         "#C 1\n",
         "C"},
        {"errors of lines not read",
         "#SETRANDOM 1\n#IF 2\n# bad\n#00102:x\n#TI_TLE\n#ENDIF\n#A 1\n", "A"},
        {"any case, CR LF, blanks", "  #setRandom\t2\r\n#if 2 \r\n#A 1\r\n#EndIf\r\n#B 1\r\n",
         "AB"},
        {"commands need the whole key", "#SETRANDOM 1\n#IFX 2\n#A 1\n#IF2\n#B 1\n", "AB"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<BmsBms> chart = loadSeeded(dir, c.text, 0);
        ASSERT_TRUE(chart) << BmsGetErrorCode() << " line " << BmsGetErrorLine();
        EXPECT_EQ(c.read, letters(*chart));
        EXPECT_TRUE(chart->getRandomDraws().empty());
        EXPECT_EQ(nullptr, chart->getHeaders()->find("SETRANDOM"));
    }
}

// One seed, one set of branches; over seeds every branch is reached, and the
// draws are recorded. Without the option the control lines are plain headers.
TEST(BmsControlFlowTest, SeedsChooseTheBranches) {
    const std::string text =
        "#TITLE x\n#RANDOM 3\n#IF 1\n#A 1\n#ELSEIF 2\n#B 1\n#ELSE\n#C 1\n#ENDIF\n#ENDRANDOM\n";
    TempDir dir;
    std::set<std::string> reached;
    for (int64_t seed = -10; seed < 30; ++seed) {
        SCOPED_TRACE(seed);
        std::unique_ptr<BmsBms> first = loadSeeded(dir, text, seed);
        std::unique_ptr<BmsBms> again = loadSeeded(dir, text, seed);
        ASSERT_TRUE(first && again);
        const std::string read = letters(*first);
        ASSERT_EQ(1u, read.size());
        EXPECT_EQ(read, letters(*again));
        ASSERT_EQ(1u, first->getRandomDraws().size());
        const BmsRandomDraw& draw = first->getRandomDraws()[0];
        EXPECT_EQ(2, draw.line);
        EXPECT_EQ(3, draw.range);
        EXPECT_EQ(std::string(1, static_cast<char>('A' + draw.value - 1)), read);
        reached.insert(read);
    }
    EXPECT_EQ(3u, reached.size());

    BmsBms* plain = nullptr;
    ASSERT_TRUE(BmsLoad(dir.write("plain.bms", text).c_str(), &plain));
    EXPECT_STREQ("3", plain->getHeaders()->get("RANDOM"));
    EXPECT_EQ("ABC", letters(*plain));
    EXPECT_TRUE(plain->getRandomDraws().empty());
    delete plain;
}

// The switch rules with #SETSWITCH fixing the numbers, alone and nested with #RANDOM blocks.
TEST(BmsControlFlowTest, TakesTheCasesOfTheSwitchRules) {
    const struct {
        const char* name;
        const char* text;
        const char* read;
    } cases[] = {
        {"the case of the number, to #SKIP",
         "#SETSWITCH 2\n#A 1\n#CASE 1\n#B 1\n#SKIP\n#CASE 2\n#C 1\n#SKIP\n#D 1\n#DEF\n#E 1\n"
         "#ENDSW\n#F 1\n",
         "CF"},
        {"falling through to #SKIP",
         "#SETSWITCH 1\n#CASE 1\n#A 1\n#CASE 2\n#B 1\n#DEF\n#C 1\n#SKIP\n#D 1\n#ENDSW\n", "ABC"},
        {"#DEF when no case was taken",
         "#SETSWITCH 5\n#CASE 1\n#A 1\n#SKIP\n#DEF\n#B 1\n#SKIP\n#ENDSW\n#C 1\n", "BC"},
        {"#DEF first, then a case",
         "#SETSWITCH 2\n#DEF\n#A 1\n#SKIP\n#CASE 2\n#B 1\n#SKIP\n#ENDSW\n", "A"},
        {"no number takes only #DEF", "#SETSWITCH x\n#CASE 0\n#A 1\n#DEF\n#B 1\n#ENDSW\n", "B"},
        {"stray lines", "#CASE 1\n#SKIP\n#DEF\n#ENDSW\n#A 1\n", "A"},
        {"a switch in a branch",
         "#SETRANDOM 1\n#IF 1\n#SETSWITCH 2\n#CASE 2\n#A 1\n#SKIP\n#B 1\n#ENDSW\n#C 1\n"
         "#ELSE\n#SETSWITCH 2\n#CASE 2\n#D 1\n#ENDSW\n#ENDIF\n#E 1\n",
         "ACE"},
        {"a block in a case",
         "#SETSWITCH 1\n#CASE 1\n#SETRANDOM 2\n#IF 2\n#A 1\n#ENDIF\n#ENDRANDOM\n#B 1\n#SKIP\n"
         "#CASE 2\n#SETRANDOM 2\n#IF 2\n#C 1\n#ENDIF\n#ENDRANDOM\n#ENDSW\n#D 1\n",
         "ABD"},
        {"#SKIP closes a block left open in its case",
         "#SETSWITCH 1\n#CASE 1\n#SETRANDOM 1\n#IF 1\n#A 1\n#SKIP\n#B 1\n#ENDSW\n#C 1\n", "AC"},
        {"#ENDIF closes a switch left open in its branch",
         "#SETRANDOM 1\n#IF 1\n#SETSWITCH 1\n#CASE 1\n#A 1\n#ENDIF\n#B 1\n", "AB"},
        {"#ENDRANDOM passes over a switch block", "#SETSWITCH 1\n#CASE 1\n#ENDRANDOM\n#A 1\n", "A"},
        {"#IF right inside a switch is not taken",
         "#SETSWITCH 1\n#CASE 1\n#IF 1\n#A 1\n#ELSE\n#B 1\n#ENDIF\n#C 1\n#ENDSW\n", "BC"},
        {"a switch where lines are not read",
         "#SETRANDOM 1\n#IF 2\n#SWITCH 3\n#DEF\n#A 1\n#ENDSW\n#ENDIF\n#B 1\n", "B"},
        {"any case", "#setSwitch 1\n#case 1\n#A 1\n#Skip\n#def\n#B 1\n#endsw\n#C 1\n", "AC"},
        {"commands need the whole key", "#SETSWITCH 1\n#CASE 2\n#DEFEXRANK 1\n#DEF\n#A 1\n", "A"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<BmsBms> chart = loadSeeded(dir, c.text, 0);
        ASSERT_TRUE(chart) << BmsGetErrorCode() << " line " << BmsGetErrorLine();
        EXPECT_EQ(c.read, letters(*chart));
        EXPECT_TRUE(chart->getRandomDraws().empty());
    }
}

// #SWITCH draws from the seed as #RANDOM does, the draws of both kept in the order of their lines.
TEST(BmsControlFlowTest, SeedsChooseTheCases) {
    const std::string text =
        "#RANDOM 2\n#IF 1\n#ENDIF\n#ENDRANDOM\n#SWITCH 3\n#CASE 1\n#A 1\n#SKIP\n#CASE 2\n"
        "#B 1\n#SKIP\n#DEF\n#C 1\n#ENDSW\n";
    TempDir dir;
    std::set<std::string> reached;
    for (int64_t seed = 0; seed < 30; ++seed) {
        SCOPED_TRACE(seed);
        std::unique_ptr<BmsBms> chart = loadSeeded(dir, text, seed);
        ASSERT_TRUE(chart);
        const std::string read = letters(*chart);
        ASSERT_EQ(2u, chart->getRandomDraws().size());
        EXPECT_FALSE(chart->getRandomDraws()[0].isSwitch);
        const BmsRandomDraw& draw = chart->getRandomDraws()[1];
        EXPECT_TRUE(draw.isSwitch);
        EXPECT_EQ(5, draw.line);
        EXPECT_EQ(3, draw.range);
        EXPECT_EQ(std::string(1, static_cast<char>('A' + draw.value - 1)), read);
        reached.insert(read);
    }
    EXPECT_EQ(3u, reached.size());
}

// Both passes take the same branches: bar lengths, objects and background
// lanes come from the lines read only, and errors keep their lines.
TEST(BmsControlFlowTest, BothPassesReadTheSameLines) {
    TempDir dir;
    std::unique_ptr<BmsBms> chart =
        loadSeeded(dir,
                   "#RANDOM 2\n#IF 1\n#00102:0.5\n#00101:01\n#00111:0A\n#ELSE\n#00102:0.25\n"
                   "#00101:02\n#00111:0B\n#ENDIF\n#00101:03\n",
                   7);
    ASSERT_TRUE(chart);
    const bool first = chart->getRandomDraws().at(0).value == 1;
    EXPECT_EQ(first ? 192 : 96, chart->getBar(1).getLength());
    const BmsChannel* background = chart->findChannel(BmsWord("01"));
    ASSERT_TRUE(background && background->getNextLane());
    EXPECT_EQ(BmsWord(first ? "01" : "02"), background->get(384));
    EXPECT_EQ(BmsWord("03"), background->getNextLane()->get(384));
    EXPECT_EQ(BmsWord(first ? "0A" : "0B"), chart->findChannel(BmsWord("11"))->get(384));

    EXPECT_FALSE(loadSeeded(dir, "#SETRANDOM 1\n#IF 1\n# bad\n#ENDIF\n", 0));
    EXPECT_EQ(BMS_ERROR_AFTER_SHARP, BmsGetErrorCode());
    EXPECT_EQ(3, BmsGetErrorLine());
    EXPECT_FALSE(loadSeeded(dir, "#SETRANDOM 1\n#IF 1\n#00102:0.5\n#00102:2\n", 0));
    EXPECT_EQ(BMS_ERROR_BAR_LENGTH_TWICE, BmsGetErrorCode());
    EXPECT_EQ(5, BmsGetErrorLine());
}

}  // namespace
