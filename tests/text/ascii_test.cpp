#include "text/ascii.h"

#include <gtest/gtest.h>

namespace {

// Only A-Z fold: the bytes of Shift-JIS and UTF-8 names stay, so a trail byte that happens to
// be an ASCII capital (0x41-0x5A in Shift-JIS) is compared as the letter it is.
TEST(AsciiTest, EndsWithIgnoringCase) {
    const struct {
        const char* text;
        const char* ending;
        bool ends;
    } cases[] = {
        {"song.BMS", ".bms", true},
        {"song.Bmson", ".bmson", true},
        {"song.bms", ".bmson", false},
        {"bms", ".bms", false},
        {"", "", true},
        {"\x83\x41.ZIP", ".zip", true},
        {"\xe9\x9f\xb3.ogg", ".OGG", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.ends, endsWithIgnoringCase(c.text, c.ending));
    }
    EXPECT_EQ(
        "\x83\x61"
        "abc\xe9",
        lowerAscii("\x83\x41"
                   "AbC\xe9"));
}

}  // namespace
