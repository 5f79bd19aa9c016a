#include "text/make_path.h"

#include <clocale>
#include <gtest/gtest.h>
#include <string>

#ifdef _WIN32
#include <mbctype.h>
#endif

namespace {

enum : unsigned { DRIVE = 1, DIR = 2, NAME = 4, EXT = 8, ALL = 15 };

std::string rebuilt(const std::string& input, unsigned keep) {
    std::string buffer = input;
    makePath(&buffer[0], keep & DRIVE, keep & DIR, keep & NAME, keep & EXT);
    return buffer.c_str();
}

TEST(MakePathTest, KeepsChosenComponents) {
    const struct {
        const char* path;
        unsigned keep;
        const char* expected;
    } cases[] = {
        {"D:\\charts\\song.bme", DRIVE | DIR | NAME, "D:\\charts\\song"},
        {"D:\\charts\\song.bme", NAME, "song"},
        {"D:\\charts\\song.bme", EXT, ".bme"},
        {"D:\\charts\\song.bme", DRIVE, "D:"},
        {"D:\\charts\\song.bme", DIR, "\\charts\\"},
        {"D:\\charts\\song.bme", DRIVE | DIR, "D:\\charts\\"},
        {"D:\\charts\\song.bme", NAME | EXT, "song.bme"},
        {"D:\\charts\\song.bme", 0, ""},
        {"a.b.bms", DRIVE | DIR | NAME, "a.b"},
        {"a.b.bms", EXT, ".bms"},
        {"song", DRIVE | DIR | NAME, "song"},
        {"D:\\set.2\\song", DRIVE | DIR | NAME, "D:\\set.2\\song"},
        {"D:\\set.2\\song", DIR, "\\set.2\\"},
        {"charts/sub/song.bms", DIR, "charts/sub/"},
        {"charts/sub\\song.bms", NAME, "song"},
        {"/abs/x.wav", DRIVE | DIR, "/abs/"},
        {"dir/..", DIR, "dir/.."},
        {"dir/..", NAME | EXT, ""},
        {".", DIR, "."},
        {"..", NAME | EXT, ""},
        {"dir/.hidden", NAME, ""},
        {"dir/.hidden", EXT, ".hidden"},
        {"dir/trailing.", NAME, "trailing"},
        {"dir/trailing.", EXT, "."},
        {"dir/", DIR, "dir/"},
        {"dir/", NAME | EXT, ""},
        {"a:b:c.txt", DRIVE, "a:"},
        {"a:b:c.txt", NAME, "b:c"},
        {"ab:c.txt", DRIVE, ""},
        {"ab:c.txt", NAME, "ab:c"},
        {"C:", DRIVE, "C:"},
        {"C:", NAME | EXT, ""},
        {"x", DRIVE | DIR, ""},
        {"", ALL, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " keep " + std::to_string(c.keep));
        EXPECT_EQ(c.expected, rebuilt(c.path, c.keep));
    }
}

TEST(MakePathTest, AllFlagsGiveTheInputAtAnyLength) {
    const std::string longDir(300, 'd');
    const std::string longName(700, 'n');
    const std::string inputs[] = {
        "D:\\charts\\song.bme",
        "C:" + longDir + "\\" + longDir + "/" + longName + ".bms",
        longName + "." + longName,
        "dir/..",
    };
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.size());
        EXPECT_EQ(input, rebuilt(input, ALL));
    }
    EXPECT_EQ(longName, rebuilt("C:" + longDir + "\\" + longName + ".bms", NAME));
    EXPECT_EQ("C:" + longDir + "\\" + longName,
              rebuilt("C:" + longDir + "\\" + longName + ".bms", DRIVE | DIR | NAME));
}

#ifndef _WIN32
// Without a Shift-JIS locale, bytes above 0x7F are single characters: 0x5C
// after 0x95 is a separator, as it is in UTF-8 or Latin-1 file names.
TEST(MakePathTest, HighBytesAreSingleCharactersOutsideShiftJis) {
    EXPECT_EQ("dir/\x95\\", rebuilt("dir/\x95\\.bms", DIR));
    EXPECT_EQ("\xE6\x9B\xB2.bms", rebuilt("dir/\xE6\x9B\xB2.bms", NAME | EXT));
}
#endif

// In Shift-JIS, U+8868 is 0x95 0x5C and U+80FD is 0x94 0x5C: their second byte
// must not split the path.
TEST(MakePathTest, ShiftJisTrailBytesAreNoSeparators) {
#ifdef _WIN32
    if (_setmbcp(932) != 0) GTEST_SKIP() << "code page 932 is not available";
#else
    const char* previous = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_CTYPE, "ja_JP.SJIS") && !std::setlocale(LC_CTYPE, "ja_JP.sjis"))
        GTEST_SKIP() << "no Shift-JIS locale";
#endif
    const std::string path = "D:\\\x95\\\x8E\xA6\\\x94\\.bms";  // D:\表示\能.bms
    EXPECT_EQ("D:\\\x95\\\x8E\xA6\\", rebuilt(path, DRIVE | DIR));
    EXPECT_EQ("\x94\\", rebuilt(path, NAME));
    EXPECT_EQ(".bms", rebuilt(path, EXT));
    EXPECT_EQ(path, rebuilt(path, ALL));
    EXPECT_EQ("\x94", rebuilt("\x94", ALL));  // a lead byte at the very end
#ifdef _WIN32
    _setmbcp(_MB_CP_ANSI);
#else
    std::setlocale(LC_CTYPE, saved.c_str());
#endif
}

}  // namespace
