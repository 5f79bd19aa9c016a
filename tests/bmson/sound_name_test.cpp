#include "bmson/sound_name.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(BmsonSoundNameTest, RefusesWhatLeavesTheFolderAndNormalizesTheRest) {
    using P = BmsonNameProblem;
    const struct {
        std::string name;
        P problem;
        const char* normal;
    } cases[] = {
        {"kick.wav", P::NONE, "kick.wav"},
        {"piano", P::NONE, "piano"},
        {"intro\\drum", P::NONE, "intro/drum"},
        {"a\\.\\b//c.wav", P::NONE, "a/b/c.wav"},
        {"song..wav", P::NONE, "song..wav"},
        {"..a/b", P::NONE, "..a/b"},
        {"", P::EMPTY, ""},
        {"./", P::EMPTY, ""},
        {"/etc/passwd", P::ABSOLUTE, "etc/passwd"},
        {"\\\\server\\share\\a.wav", P::ABSOLUTE, "server/share/a.wav"},
        {"C:\\password.txt", P::ABSOLUTE, "C:/password.txt"},
        {"c:a.wav", P::ABSOLUTE, "c:a.wav"},
        {"../../../var/www/html/config.php", P::PARENT, "../../../var/www/html/config.php"},
        {"a\\..\\..\\b.wav", P::PARENT, "a/../../b.wav"},
        {"a/.../b.wav", P::PARENT, "a/.../b.wav"},
        {"a/.. /b.wav", P::PARENT, "a/.. /b.wav"},
        {std::string("a\0.wav", 6), P::NUL, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.problem, BmsonCheckSoundName(c.name));
        if (c.normal) {
            EXPECT_EQ(c.normal, BmsonNormalizeSoundName(c.name));
        }
    }
}

}  // namespace
