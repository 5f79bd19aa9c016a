#include "convert/sample_lookup.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "convert/converter.h"
#include "tests/test_util.h"
#include "wav/wav.h"

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

#ifdef _WIN32
std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}
#endif

// The known extensions stand in for each other, in the case of the extension written and in
// the order .wav, .ogg, .flac, .mp3, .opus.
TEST(SampleLookupTest, TriesTheOtherExtensions) {
    TempDir dir;
    dir.write("a.ogg", "");
    dir.write("B.OGG", "");
    dir.write("c.wav", "");
    dir.write("d.mp3", "");
    dir.write("e.opus", "");
    dir.write("e.flac", "");
    dir.write("f.aiff", "");
    const std::string folder = folderOf(dir);
    const struct {
        const char* name;
        std::string expected;
    } cases[] = {
        {"a.wav", folder + "a.ogg"},
        {"B.WAV", folder + "B.OGG"},
        {"c.ogg", folder + "c.wav"},
        {"c.OPUS", folder + "c.wav"},
        {"d.wav", folder + "d.mp3"},
        {"e.wav", folder + "e.flac"},
        {"e.mp3", folder + "e.flac"},
        {"e.opus", folder + "e.opus"},
        {"d", ""},
        {"f.wav", ""},
        {"f.aiff.wav", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
#ifdef _WIN32
        // The file system ignores case: the stem with the extension in the case written is
        // already the file.
        EXPECT_EQ(lowerAscii(c.expected), lowerAscii(findSampleFile(folder, c.name)));
#else
        EXPECT_EQ(c.expected, findSampleFile(folder, c.name));
#endif
    }
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

// Whole charts with extended samples, whose names the file system spells in UTF-8. Each file
// holds one value, and each name sounds at frame 0, so the mix tells which files were taken.
// 가 (EUC-KR B0 A1) reads as ｰ｡ in Shift-JIS; the chart's other name is found only as EUC-KR,
// so EUC-KR is the chart's reading and 가 wins. 드럼\킥 is B5 E5 B7 B3 5C C5 B1.
TEST(SampleLookupTest, RendersChartsInTheirEncoding) {
    const struct {
        const char* what;
        std::vector<std::pair<std::string, int16_t>> files;
        std::vector<std::string> names;
        int16_t expected;
    } cases[] = {
        {"EUC-KR",
         {{"드럼/킥.wav", 1}, {"가.ogg", 2}, {"ｰ｡.wav", 4}},
         {"\xb5\xe5\xb7\xb3\\\xc5\xb1.wav", "\xb0\xa1.wav"},
         3},
        {"Shift-JIS",
         {{"ドラム/キック.wav", 1}},
         {"\x83\x68\x83\x89\x83\x80\\\x83\x4c\x83\x62\x83\x4e.WAV"},
         1},
        {"UTF-8 in another case",
         {{"Snare.wav", 1}, {"シンバル.flac", 2}},
         {"SNARE.WAV", "シンバル.wav"},
         3},
        {"backslash folder", {{"Drums/Kick.wav", 1}}, {"drums\\KICK.wav"}, 1},
    };
    ScopedEnvironment locale("LC_ALL", "C.UTF-8");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::string chart;
        for (size_t i = 0; i < c.names.size(); ++i) {
            chart += "#WAV0" + std::to_string(i + 1) + " " + c.names[i] + "\n";
            chart += "#0001" + std::to_string(i + 1) + ":0" + std::to_string(i + 1) + "\n";
        }
        for (const auto& file : c.files) {
            const size_t slash = file.first.find('/');
            if (slash != std::string::npos) dir.mkdir(file.first.substr(0, slash));
            dir.write(file.first, test_util::constantWav(4, file.second));
        }
        BmsConverter converter;
        converter.setChartPath(dir.write("song.bms", chart).c_str());
        converter.setExtendedSamples(true);
        ASSERT_NE(nullptr, converter.open());
        const std::unique_ptr<LuWav> mix(converter.convert());
        ASSERT_NE(nullptr, mix);
        EXPECT_EQ(std::vector<int16_t>(8, c.expected), test_util::samplesOf(*mix));
    }
}
#endif

}  // namespace
