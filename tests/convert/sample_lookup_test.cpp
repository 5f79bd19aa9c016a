#include "convert/sample_lookup.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

using test_util::TempDir;

// The chart's folder as the converter passes it: ending in a separator.
std::string folderOf(const TempDir& dir) {
    return dir.path() + TempDir::separator();
}

TEST(SampleLookupTest, TakesThePathAsWrittenFirst) {
    TempDir dir;
    dir.write("kick.wav", "a");
    dir.write("kick.ogg", "b");
    EXPECT_EQ(folderOf(dir) + "kick.wav", findSampleFile(folderOf(dir), "kick.wav"));
    EXPECT_EQ("", findSampleFile(folderOf(dir), ""));
    EXPECT_EQ("", findSampleFile(folderOf(dir), "snare.wav"));
}

// .wav and .ogg stand in for each other, in the case of the extension written.
TEST(SampleLookupTest, TriesTheOtherExtension) {
    TempDir dir;
    dir.write("a.ogg", "");
    dir.write("B.OGG", "");
    dir.write("c.wav", "");
    dir.write("d.mp3", "");
    const std::string folder = folderOf(dir);
    EXPECT_EQ(folder + "a.ogg", findSampleFile(folder, "a.wav"));
    EXPECT_EQ(folder + "B.OGG", findSampleFile(folder, "B.WAV"));
    EXPECT_EQ(folder + "c.wav", findSampleFile(folder, "c.ogg"));
    EXPECT_EQ("", findSampleFile(folder, "d.wav"));
    EXPECT_EQ("", findSampleFile(folder, "d"));
}

#ifndef _WIN32
// Sets an environment variable until the object goes away.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name(name) {
        const char* old = std::getenv(name);
        if (old) previous = old;
        hadValue = old != nullptr;
        setenv(name, value, 1);
    }
    ~ScopedEnvironment() {
        if (hadValue) {
            setenv(name, previous.c_str(), 1);
        } else {
            unsetenv(name);
        }
    }

private:
    const char* name;
    std::string previous;
    bool hadValue = false;
};

TEST(SampleLookupTest, MatchesEachPartIgnoringCase) {
    TempDir dir;
    dir.mkdir("Sounds");
    dir.mkdir("Sounds/Drums");
    dir.write("Sounds/Drums/Kick.wav", "");
    dir.write("Sounds/kick.wav", "");
    // A folder that matches the file's name does not count.
    dir.mkdir("snare.wav");
    dir.mkdir("Snare");
    dir.write("Snare/snare.wav", "");
    // Of two matches the first in byte order counts, unless one matches exactly.
    dir.write("HAT.wav", "");
    dir.write("Hat.wav", "");
    dir.write("hat.wav", "");
    dir.write("tom.WAV", "");
    const std::string folder = folderOf(dir);
    const struct {
        const char* name;
        std::string expected;
    } cases[] = {
        {"SOUNDS/DRUMS/KICK.WAV", folder + "Sounds/Drums/Kick.wav"},
        // Charts written on Windows separate folders with backslashes.
        {"sounds\\drums\\kick.wav", folder + "Sounds/Drums/Kick.wav"},
        {"sounds//KICK.wav", folder + "Sounds/kick.wav"},
        {"Sounds/./Drums/../kick.WAV", folder + "Sounds/./Drums/../kick.wav"},
        {"SNARE.WAV", ""},
        {"SNARE/SNARE.WAV", folder + "Snare/snare.wav"},
        {"hAT.wav", folder + "HAT.wav"},
        {"Hat.wav", folder + "Hat.wav"},
        {"Sounds/Drums", ""},
        {"kick.wav/", ""},
        // Case first, then the other extension: TOM.ogg finds tom.WAV.
        {"TOM.ogg", folder + "tom.WAV"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, findSampleFile(folder, c.name));
    }
}

// Without a folder, parts are matched in the current one.
TEST(SampleLookupTest, MatchesInTheCurrentFolderWithoutAFolder) {
    TempDir dir;
    dir.write("Kick.wav", "");
    char previous[4096];
    ASSERT_NE(nullptr, getcwd(previous, sizeof previous));
    ASSERT_EQ(0, chdir(dir.path().c_str()));
    const std::string found = findSampleFile("", "KICK.WAV");
    ASSERT_EQ(0, chdir(previous));
    EXPECT_EQ("Kick.wav", found);
}

// Shift-JIS names from charts made on Windows, spelt in UTF-8 by the file system: キック is
// 83 4C 83 62 83 4E, 表 is 95 5C (its second byte is a backslash).
TEST(SampleLookupTest, ConvertsShiftJisNamesToTheLocaleEncoding) {
    TempDir dir;
    dir.mkdir("ドラム");
    dir.write("ドラム/キック.wav", "");
    dir.write("表.ogg", "");
    const std::string folder = folderOf(dir);
    const struct {
        const char* locale;
        const char* name;
        std::string expected;
    } cases[] = {
        {"C.UTF-8", "\x83\x68\x83\x89\x83\x80/\x83\x4c\x83\x62\x83\x4e.wav",
         folder + "ドラム/キック.wav"},
        {"C.UTF-8", "\x83\x68\x83\x89\x83\x80\\\x83\x4c\x83\x62\x83\x4e.WAV",
         folder + "ドラム/キック.wav"},
        {"C.UTF-8", "\x95\x5c.wav", folder + "表.ogg"},
        // The C locale stands for UTF-8.
        {"C", "\x95\x5c.OGG", folder + "表.ogg"},
        // Not Shift-JIS: a lead byte followed by a dot.
        {"C.UTF-8", "\x83.wav", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnvironment locale("LC_ALL", c.locale);
        EXPECT_EQ(c.expected, findSampleFile(folder, c.name));
    }
}
#endif

}  // namespace
