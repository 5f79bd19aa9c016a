#include "bms/regist_array.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(BmsRegistArrayTest, MatchesKeysOfItsPrefix) {
    BmsRegistArray wavs("wav");
    EXPECT_STREQ("WAV", wavs.getPrefix());
    const struct {
        const char* key;
        bool match;
        int slot;
    } cases[] = {
        {"WAV01", true, 1},   {"wav0z", true, 35},  {"Wav1A", true, 46}, {"WAV01 x", true, 1},
        {"WAV01\t", true, 1}, {"WAVE01", false, 0}, {"WAV1", false, 0},  {"WAV", false, 0},
        {"WAV0_", false, 0},  {"WAV012", false, 0}, {"BMP01", false, 0}, {"", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(c.match, wavs.matchKey(c.key));
        EXPECT_EQ(c.slot, wavs.slotOfKey(c.key).toInt());
    }
    EXPECT_FALSE(wavs.matchKey(nullptr));
    EXPECT_STREQ("", BmsRegistArray(nullptr).getPrefix());
}

TEST(BmsRegistArrayTest, StoresTakesAndClears) {
    BmsRegistArray wavs("WAV");
    EXPECT_STREQ("", wavs.get(BmsWord("01")));
    EXPECT_FALSE(wavs.set(BmsWord("01"), "kick.wav"));
    EXPECT_TRUE(wavs.set(BmsWord("01"), "Snare .WAV"));
    EXPECT_STREQ("Snare .WAV", wavs.get(BmsWord("01")));
    EXPECT_FALSE(wavs.set(BmsWord("zz"), ""));
    EXPECT_TRUE(wavs.exists(BmsWord("ZZ")));
    EXPECT_EQ(2, wavs.count());

    std::unique_ptr<char[]> taken = wavs.take(BmsWord("01"));
    ASSERT_NE(nullptr, taken);
    EXPECT_STREQ("Snare .WAV", taken.get());
    EXPECT_FALSE(wavs.exists(BmsWord("01")));
    EXPECT_EQ(nullptr, wavs.take(BmsWord("01")));
    EXPECT_FALSE(wavs.remove(BmsWord("01")));
    EXPECT_EQ(1, wavs.count());

    wavs.set(BmsWord("02"), "a");
    wavs.set(BmsWord("03"), "b");
    EXPECT_EQ(3, wavs.clear());
    EXPECT_EQ(0, wavs.count());
    EXPECT_STREQ("", wavs.get(BmsWord("ZZ")));
}

}  // namespace
