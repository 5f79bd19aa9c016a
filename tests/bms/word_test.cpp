#include "bms/word.h"

#include <gtest/gtest.h>

#include "bms/channel_roles.h"

namespace {

TEST(BmsWordTest, NormalisesCharacters) {
    const struct {
        const char* text;
        char first;
        char second;
        int value;
    } cases[] = {
        {"a1", 'A', '1', 361},
        {"-1", '0', '1', 1},
        {"zz", 'Z', 'Z', 1295},
        {"", '0', '0', 0},
        {"1", '1', '0', 36},
        {"\xE9"
         "A",
         '0', 'A', 10},
        {"1Zx", '1', 'Z', 71},
        {" \t", '0', '0', 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        BmsWord word(c.text);
        EXPECT_EQ(c.first, word.getFirst());
        EXPECT_EQ(c.second, word.getSecond());
        EXPECT_EQ(c.value, word.toInt());
    }
    EXPECT_EQ(BmsWord("00"), BmsWord(static_cast<const char*>(nullptr)));
}

TEST(BmsWordTest, MadeFromNumber) {
    const struct {
        int number;
        const char* text;
    } cases[] = {{0, "00"},    {1, "01"},    {36, "10"}, {37, "11"},
                 {1295, "ZZ"}, {1296, "00"}, {-5, "00"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        char text[3];
        BmsWord(c.number).toText(text);
        EXPECT_STREQ(c.text, text);
    }
}

TEST(BmsWordTest, ComparesTextAsWritten) {
    BmsWord word("ab");
    EXPECT_TRUE(word.equals("AB"));
    EXPECT_FALSE(word.equals("ab"));
    EXPECT_TRUE(word.differs("ab"));
    EXPECT_FALSE(word.equals("A"));
    EXPECT_FALSE(word.equals(static_cast<const char*>(nullptr)));
    EXPECT_EQ(37 - 1, BmsWord("11").compare(1));
    EXPECT_EQ(37 - 2, BmsWord("11").compare('0', '2'));
    EXPECT_EQ(-1295, BmsWord().compare('z', 'z'));
}

TEST(BmsWordTest, DigitHelpers) {
    EXPECT_EQ('0', BmsDigitChar(0));
    EXPECT_EQ('Z', BmsDigitChar(35));
    EXPECT_EQ('0', BmsDigitChar(36));
    EXPECT_EQ('1', BmsDigitChar(37));
    EXPECT_EQ('Z', BmsDigitChar(-1));
    EXPECT_EQ(10 * 36 + 35, BmsDigitsValue('a', 'z'));
    EXPECT_EQ(0 * 36 + 5, BmsDigitsValue('?', '5'));
}

TEST(BmsWordTest, KnowsSoundChannels) {
    const struct {
        const char* id;
        bool sound;
    } cases[] = {{"01", true}, {"02", false}, {"03", false}, {"09", false}, {"10", false},
                 {"11", true}, {"1Z", true},  {"1z", true},  {"20", false}, {"21", true},
                 {"3A", true}, {"40", false}, {"4Z", true},  {"51", true},  {"60", false},
                 {"6Z", true}, {"70", false}, {"71", false}, {"00", false}, {"ZZ", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(c.sound, BmsIsSoundChannel(BmsWord(c.id)));
    }
}

}  // namespace
