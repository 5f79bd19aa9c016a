#include "convert/converter.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "bms/bms.h"
#include "tests/test_util.h"
#include "wav/wav.h"

#ifdef _WIN32
#include <direct.h>
#define chdir _chdir
#define getcwd _getcwd
#else
#include <unistd.h>
#endif

namespace {

using test_util::Bytes;
using test_util::constantWav;
using test_util::leftAt;
using test_util::rightAt;
using test_util::TempDir;

// An object text of `pairs` pairs, "00" except at the given pair indexes.
std::string objects(int pairs, const std::map<int, std::string>& placed) {
    std::string text;
    for (int i = 0; i < pairs; ++i) {
        auto found = placed.find(i);
        text += found == placed.end() ? "00" : found->second;
    }
    return text;
}

// The frames whose left sample is not silent.
std::vector<int> soundingFrames(const LuWav& wav) {
    std::vector<int> frames;
    for (int frame = 0; frame < wav.data_size / 4; ++frame) {
        if (leftAt(wav, frame) != 0) frames.push_back(frame);
    }
    return frames;
}

// A WAV whose frame k holds k + 1 on both sides.
Bytes rampWav(int frames) {
    std::vector<int16_t> values;
    for (int k = 0; k < frames; ++k) {
        values.push_back(static_cast<int16_t>(k + 1));
        values.push_back(static_cast<int16_t>(k + 1));
    }
    return test_util::pcmWav(2, 44100, 16, test_util::samples16(values));
}

std::unique_ptr<LuWav> render(BmsConverter& converter, const TempDir& dir,
                              const std::string& chart) {
    converter.setChartPath(dir.write("chart.bms", chart).c_str());
    if (!converter.open()) {
        ADD_FAILURE() << "chart does not parse";
        return nullptr;
    }
    return std::unique_ptr<LuWav>(converter.convert());
}

std::unique_ptr<LuWav> render(const TempDir& dir, const std::string& chart) {
    BmsConverter converter;
    return render(converter, dir, chart);
}

// Samples of one frame each, so that every trigger shows as one sounding frame.
void writeClicks(const TempDir& dir) {
    dir.write("a.wav", constantWav(1, 1000));
    dir.write("b.wav", constantWav(1, 2000));
}

constexpr const char* CLICKS = "#WAV01 a.wav\n#WAV02 b.wav\n";

TEST(BmsConverterTest, PlacesTriggersAlongTheTempoMap) {
    const struct {
        const char* name;
        std::string chart;
        std::vector<int> frames;
    } cases[] = {
        // 229.6875 frames per tic at tempo 120.
        {"tempo 120", "#00011:01010100\n", {0, 22050, 44100}},
        {"bar 001 after a 3/4 bar", "#00002:0.75\n#00111:01\n", {66150}},
        // 2646000 / (96 * 150.5) = 183.1395..., 192 tics = 35162.79...
        {"truncated, not rounded", "#BPM 150.5\n#00011:0001\n", {35162}},
        {"starts at 60, 03 sets 120 at tic 0", "#BPM 60\n#00003:78\n#00011:00010000\n", {22050}},
        {"03 at tic 96 governs tic 96",
         "#00003:00F00000\n#00011:00010101\n",
         {22050, 33075, 44100}},
        {"03 object 1Z reads 1", "#00003:1Z\n#00011:00010000\n", {2646000}},
        // 192 tics of 2646000 / 24480 = 108.088... frames.
        {"03 object FF reads 255", "#00003:FF\n#00011:0101\n", {0, 20752}},
        {"08 tempo from its header", "#BPM01 90.5xyz\n#00008:01\n#00011:00010000\n", {29237}},
        {"08 wins over 03 at one tic",
         "#BPM01 240\n#00003:3C\n#00008:01\n#00011:00010000\n",
         {11025}},
        // 48 stop units of 2 tics at tempo 120 last 22050 frames.
        {"stop after the sounds of its tic",
         "#STOP01 48\n#00009:01\n#00011:02010000\n",
         {0, 44100}},
        {"stop measured at the new tempo",
         "#STOP01 48\n#00003:F0\n#00009:01\n#00011:0001\n",
         {11025 + 22050}},
        {"stop value read like strtol",
         "#STOP01  +48x\n#00009:01\n#00011:00010000\n",
         {22050 + 22050}},
        {"exponent in the starting tempo", "#BPM 1.2e2\n#00011:00010000\n", {22050}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeClicks(dir);
        auto mix = render(dir, std::string(CLICKS) + c.chart);
        ASSERT_TRUE(mix);
        EXPECT_EQ(c.frames, soundingFrames(*mix));
        EXPECT_EQ((c.frames.back() + 1) * 4, mix->getDataSize());
    }
}

TEST(BmsConverterTest, RefusesBadTempoAndStop) {
    const struct {
        const char* name;
        const char* chart;
    } cases[] = {
        {"header without a number", "#BPM abc\n"},
        {"header zero", "#BPM 0\n"},
        {"header negative", "#BPM -120\n"},
        {"header hexadecimal", "#BPM 0x78\n"},
        {"header inf", "#BPM inf\n"},
        {"header nan", "#BPM nan\n"},
        {"header beyond a double", "#BPM 1e400\n"},
        {"03 object Z1", "#00003:Z1\n"},
        {"03 object 0G reads 0", "#00003:0G\n"},
        {"08 header missing", "#00008:01\n"},
        {"08 header zero", "#BPM01 0.0\n#00008:01\n"},
        {"08 header without a number", "#BPM01 fast\n#00008:01\n"},
        {"09 header missing", "#00009:01\n"},
        {"09 header without a number", "#STOP01 long\n#00009:01\n"},
        {"09 negative stop", "#STOP01 -4\n#00009:01\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeClicks(dir);
        EXPECT_FALSE(render(dir, std::string(CLICKS) + c.chart + "#00011:01\n"));
    }
}

TEST(BmsConverterTest, LongNotesSoundAtTheirStartOnly) {
    TempDir dir;
    writeClicks(dir);
    BmsConverter converter;
    auto mix = render(converter, dir, std::string(CLICKS) + "#00051:01010202\n#00162:0202\n");
    ASSERT_TRUE(mix);
    // Starts at tics 0, 192 and 384; ends at 96, 288 and 576.
    EXPECT_EQ((std::vector<int>{0, 44100, 88200}), soundingFrames(*mix));
}

TEST(BmsConverterTest, ClearsLongNoteEndsAndInvisibleNotesInTheChart) {
    TempDir dir;
    writeClicks(dir);
    BmsConverter converter;
    converter.setChartPath(
        dir.write("chart.bms", std::string(CLICKS) + "#00051:0101\n#00031:02\n#0004Z:0202\n")
            .c_str());
    BmsBms* chart = converter.open();
    ASSERT_TRUE(chart);
    std::unique_ptr<LuWav> mix(converter.convert());
    ASSERT_TRUE(mix);
    EXPECT_EQ(std::vector<int>{0}, soundingFrames(*mix));
    EXPECT_TRUE(chart->findChannel(BmsWord("51"))->get(0).equals("01"));
    EXPECT_TRUE(chart->findChannel(BmsWord("51"))->get(192).equals("00"));
    EXPECT_EQ(0, chart->findChannel(BmsWord("31"))->clear());
    EXPECT_EQ(0, chart->findChannel(BmsWord("4Z"))->clear());
}

TEST(BmsConverterTest, RefusesMalformedLongNotes) {
    const char* charts[] = {
        "#00051:01020000\n",  // the end differs from the start
        "#00061:01010100\n",  // the last note has no end
        "#0005Z:01\n",
    };
    for (const char* chart : charts) {
        SCOPED_TRACE(chart);
        TempDir dir;
        writeClicks(dir);
        EXPECT_FALSE(render(dir, std::string(CLICKS) + chart));
    }
}

TEST(BmsConverterTest, SoundsOnlyOnSoundChannels) {
    TempDir dir;
    writeClicks(dir);
    // Bar 000 holds objects on channels that never sound (10, 50, 04, and the
    // invisible 3A, 31, 45); bar 001 sounds 01 at its tic 0 and 2Z at its tic 96.
    auto mix = render(dir, std::string(CLICKS) +
                               "#00010:01\n#00050:0001\n#00004:000001\n#0003A:00000001\n"
                               "#00031:01\n#00045:0001\n#00101:01\n#0012Z:00020000\n");
    ASSERT_TRUE(mix);
    EXPECT_EQ((std::vector<int>{88200, 88200 + 22050}), soundingFrames(*mix));
    EXPECT_EQ(1000, leftAt(*mix, 88200));
    EXPECT_EQ(2000, rightAt(*mix, 88200 + 22050));
}

TEST(BmsConverterTest, RetriggerCutsThePreviousPlay) {
    // Tempo 110.25 gives exactly 250 frames per tic: tic 4 is frame 1000.
    const std::string chart =
        "#BPM 110.25\n#WAV01 ramp.wav\n#00011:" + objects(96, {{0, "01"}, {1, "01"}}) + "\n";
    for (bool cut : {true, false}) {
        SCOPED_TRACE(cut ? "cut" : "overlap");
        TempDir dir;
        dir.write("ramp.wav", rampWav(3000));
        BmsConverter converter;
        converter.setCutOnRetrigger(cut);
        auto mix = render(converter, dir, chart);
        ASSERT_TRUE(mix);
        ASSERT_EQ(4000 * 4, mix->getDataSize());
        for (int frame : {0, 999, 1000, 1001, 2999, 3000, 3999}) {
            SCOPED_TRACE(frame);
            int expected = frame < 1000 ? frame + 1 : frame - 1000 + 1;
            if (!cut && frame >= 1000 && frame < 3000) expected += frame + 1;
            EXPECT_EQ(expected, leftAt(*mix, frame));
            EXPECT_EQ(expected, rightAt(*mix, frame));
        }
    }
}

TEST(BmsConverterTest, SameSampleInTwoLanesAtOneTic) {
    for (bool cut : {true, false}) {
        SCOPED_TRACE(cut ? "cut" : "overlap");
        TempDir dir;
        dir.write("a.wav", constantWav(10, 1000));
        BmsConverter converter;
        converter.setCutOnRetrigger(cut);
        auto mix = render(converter, dir, "#WAV01 a.wav\n#00001:01\n#00001:01\n");
        ASSERT_TRUE(mix);
        EXPECT_EQ(40, mix->getDataSize());
        EXPECT_EQ(cut ? 1000 : 2000, leftAt(*mix, 9));
    }
}

TEST(BmsConverterTest, RetriggerCutKeepsOtherSamples) {
    TempDir dir;
    dir.write("a.wav", constantWav(300, 1000));
    dir.write("b.wav", constantWav(300, 100));
    BmsConverter converter;
    converter.setCutOnRetrigger(true);
    // 01 at frames 0 and 250, 02 at frame 0: the cut leaves 02 alone.
    auto mix = render(converter, dir,
                      "#BPM 110.25\n#WAV01 a.wav\n#WAV02 b.wav\n#00011:" +
                          objects(384, {{0, "01"}, {1, "01"}}) + "\n#00012:02\n");
    ASSERT_TRUE(mix);
    EXPECT_EQ(550 * 4, mix->getDataSize());
    EXPECT_EQ(1100, leftAt(*mix, 249));
    EXPECT_EQ(1100, leftAt(*mix, 250));
    EXPECT_EQ(1100, leftAt(*mix, 299));
    EXPECT_EQ(1000, leftAt(*mix, 300));
    EXPECT_EQ(1000, leftAt(*mix, 549));
}

TEST(BmsConverterTest, OutputEndsWithTheLatestEndingSample) {
    const struct {
        const char* name;
        std::string chart;
        int dataSize;
    } cases[] = {
        // A 30000-frame sound at frame 0 outlasts a 10-frame one at 22050.
        {"long sound first", "#00011:0100\n#00012:00020000\n", 30000 * 4},
        {"short sound last", "#00011:0002\n", (44100 + 10) * 4},
        {"only undeclared ids", "#00011:0303\n#00001:ZZ\n", 0},
        {"no objects at all", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        dir.write("long.wav", constantWav(30000, 5));
        dir.write("short.wav", constantWav(10, 7));
        auto mix = render(dir, "#WAV01 long.wav\n#WAV02 short.wav\n" + c.chart);
        ASSERT_TRUE(mix);
        EXPECT_EQ(c.dataSize, mix->getDataSize());
        EXPECT_EQ(2, mix->channel_count);
        EXPECT_EQ(44100, mix->frequency);
        EXPECT_EQ(16, mix->bit_rate);
    }
}

TEST(BmsConverterTest, ScalesSamplesByTheVolume) {
    const struct {
        int volume;
        int16_t left;
    } cases[] = {{100, 1001}, {50, 500}, {0, 0}, {-20, -200}, {300, 3003}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.volume);
        TempDir dir;
        dir.write("a.wav", constantWav(2, 1001));
        BmsConverter converter;
        converter.setVolume(c.volume);
        auto mix = render(converter, dir, "#WAV01 a.wav\n#00011:01\n");
        ASSERT_TRUE(mix);
        EXPECT_EQ(c.left, leftAt(*mix, 1));
    }
}

// Records every question and answers as told.
struct Asker {
    bool answer = false;
    std::vector<std::string> asked;
    bool ask(const char* path) {
        asked.push_back(path);
        return answer;
    }
};

Asker* plainAsker = nullptr;
bool askPlain(const char* path) {
    return plainAsker->ask(path);
}

TEST(BmsConverterTest, AsksWhetherToGoOnWithoutAnUnusedSample) {
    const struct {
        const char* name;
        const char* missing;  // chart line of the sample whose file is missing
        const char* lane;     // where the chart uses it, if anywhere
        bool plain, bound, answer, asked, converts;
    } cases[] = {
        {"unused, yes", "#WAV02 gone.wav\n", "", true, false, true, true, true},
        {"unused, no", "#WAV02 gone.wav\n", "", true, false, false, true, false},
        {"unused, bound yes", "#WAV02 gone.wav\n", "", false, true, true, true, true},
        {"unused, no callback", "#WAV02 gone.wav\n", "", false, false, true, false, false},
        {"only on channel 04", "#WAV02 gone.wav\n", "#00004:02\n", true, false, true, true, true},
        {"id 00 is never used", "#WAV00 gone.wav\n", "", true, false, true, true, true},
        {"used on 11", "#WAV02 gone.wav\n", "#00011:0002\n", true, true, true, false, false},
        {"used on 01 lane 2", "#WAV02 gone.wav\n", "#00101:01\n#00101:0002\n", true, false, true,
         false, false},
        {"used on invisible 31", "#WAV02 gone.wav\n", "#00031:02\n", true, false, true, false,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeClicks(dir);
        Asker plain, bound;
        plain.answer = bound.answer = c.answer;
        plainAsker = &plain;
        BmsConverter converter;
        EXPECT_STREQ("", converter.getFailedWavPath());
        if (c.plain) converter.setContinueCallback(askPlain);
        if (c.bound) converter.setContinueCallback(&bound, &Asker::ask);
        auto mix = render(converter, dir,
                          std::string("#WAV01 a.wav\n") + c.missing + "#00011:01\n" + c.lane);
        EXPECT_EQ(c.converts, mix != nullptr);
        if (mix) {
            EXPECT_EQ(std::vector<int>{0}, soundingFrames(*mix));
        }
        const std::string path = dir.file("gone.wav");
        EXPECT_EQ(path, converter.getFailedWavPath());
        // The plain form takes precedence; the bound one is asked only alone.
        std::vector<std::string> expected;
        if (c.asked) expected.push_back(path);
        EXPECT_EQ(expected, c.plain ? plain.asked : bound.asked);
        if (c.plain) {
            EXPECT_TRUE(bound.asked.empty());
        }
    }
}

TEST(BmsConverterTest, GoesOnWithoutAHalfReadSample) {
    TempDir dir;
    writeClicks(dir);
    // The data chunk names 4000 bytes but holds 8: the read fails after
    // sizing its block, and the buffer is scaled and dropped, never mixed.
    Bytes broken = constantWav(2, 500);
    broken[40] = 0xA0;
    broken[41] = 0x0F;
    dir.write("broken.wav", broken);
    plainAsker = nullptr;
    BmsConverter converter;
    converter.setVolume(50);
    converter.setContinueCallback([](const char*) { return true; });
    auto mix = render(converter, dir, "#WAV01 a.wav\n#WAV02 broken.wav\n#00011:01\n");
    ASSERT_TRUE(mix);
    EXPECT_EQ(4, mix->getDataSize());
    EXPECT_EQ(500, leftAt(*mix, 0));
    EXPECT_EQ(dir.file("broken.wav"), converter.getFailedWavPath());
}

TEST(BmsConverterTest, FailedWavPathHoldsLongPathsWhole) {
    TempDir dir;
    const std::string name = std::string(1500, 'x') + ".wav";
    BmsConverter converter;
    EXPECT_FALSE(render(converter, dir, "#WAV01 " + name + "\n#00011:01\n"));
    EXPECT_EQ(dir.file(name), converter.getFailedWavPath());
}

TEST(BmsConverterTest, FindsSamplesRelativeToACurrentDirectoryChart) {
    TempDir dir;
    writeClicks(dir);
    dir.write("chart.bms", std::string(CLICKS) + "#00011:0102\n");
    char previous[4096];
    ASSERT_TRUE(getcwd(previous, sizeof previous));
    ASSERT_EQ(0, chdir(dir.path().c_str()));
    BmsConverter converter;
    converter.setChartPath("chart.bms");
    std::unique_ptr<LuWav> mix;
    if (converter.open()) mix.reset(converter.convert());
    ASSERT_EQ(0, chdir(previous));
    ASSERT_TRUE(mix);
    EXPECT_EQ((std::vector<int>{0, 44100}), soundingFrames(*mix));
}

// Records the progress values of the plain and the bound form.
struct ProgressLog {
    std::vector<int> values;
    void add(int value) { values.push_back(value); }
};

ProgressLog* plainLog = nullptr;
void logPlain(int value) {
    plainLog->add(value);
}

std::vector<int> range(int first, int last, int step = 1) {
    std::vector<int> values;
    for (int v = first; v <= last; v += step) values.push_back(v);
    return values;
}

std::vector<int> join(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<int> operator+(std::vector<int> values, int last) {
    values.push_back(last);
    return values;
}

TEST(BmsConverterTest, ReportsProgressInOrder) {
    const struct {
        const char* name;
        std::string chart;
        bool converts;
        std::vector<int> values;
    } cases[] = {
        // Three samples, the last object at tic 10: 110, 120 ... 190, then 200.
        {"three samples, last tic 10",
         "#WAV01 a.wav\n#WAV02 b.wav\n#WAV03 a.wav\n#00011:" +
             objects(384, {{0, "01"}, {10, "02"}}) + "\n",
         true, join(join({-1}, range(0, 100)), range(110, 200, 10))},
        {"one tic only", "#WAV01 a.wav\n#00011:01\n", true, join({-1}, range(0, 100)) + 200},
        {"no sample declared", "#00011:01\n", true, join({-1}, range(0, 100)) + 200},
        // A NUL byte right after the key leaves an empty name, which declares nothing.
        {"empty name", std::string("#WAV01 a.wav\n#WAV02 ") + '\0' + "x\n#00011:01\n", true,
         join({-1}, range(0, 100)) + 200},
        // Last tic 384: tic 3 gives 100 + 300 / 384 = 100, tic 4 gives 101, and
        // every integer up to 199 (tic 383) follows.
        {"long chart", "#WAV01 a.wav\n#00111:01\n", true, join({-1}, range(0, 200))},
        {"fails while loading", "#WAV01 a.wav\n#WAV02 gone.wav\n#00011:02\n", false,
         join({-1}, range(0, 50))},
        // Last tic 192, where the tempo fails: tic 191 gives 100 + 19100 / 192 = 199.
        {"fails while mixing", "#WAV01 a.wav\n#00003:00G0\n#00011:01\n", false,
         join({-1}, range(0, 199))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeClicks(dir);
        ProgressLog plain, bound;
        plainLog = &plain;
        BmsConverter converter;
        converter.setProgressCallback(logPlain);
        converter.setProgressCallback(&bound, &ProgressLog::add);
        auto mix = render(converter, dir, c.chart);
        EXPECT_EQ(c.converts, mix != nullptr);
        EXPECT_EQ(c.values, plain.values);
        EXPECT_EQ(c.values, bound.values);
    }
}

TEST(BmsConverterTest, RefusesTriggersBeyondTheIntRange) {
    const struct {
        const char* name;
        const char* chart;
        bool converts;
    } cases[] = {
        // Tempo 0.001: tic 192 lies at frame 192 * 27562500 = 5292000000.
        {"trigger frame too far", "#BPM 0.001\n#00011:0001\n", false},
        {"no trigger that far", "#BPM 0.001\n#00011:01\n#00004:0001\n", true},
        {"undeclared id that far", "#BPM 0.001\n#00011:0103\n", true},
        // Tic 96 at frame 2646000 / 0.004928563 = 536870483.3: a 1000-frame
        // sample would end at byte 2147485932, past 2^31 - 1.
        {"trigger end too far", "#BPM 0.004928563\n#00011:00020000\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        dir.write("a.wav", constantWav(1, 1000));
        dir.write("b.wav", constantWav(1000, 1000));
        auto mix = render(dir, std::string("#WAV01 a.wav\n#WAV02 b.wav\n") + c.chart);
        EXPECT_EQ(c.converts, mix != nullptr);
        if (mix) {
            EXPECT_EQ(4, mix->getDataSize());
        }
    }
}

TEST(BmsConverterTest, RendersObjectsFarOut) {
    // Bar 000 of 2796202 * 384 tics puts pair 2 of 3 of bar 001 at tic 2^30. At 28224000 BPM a
    // tic lasts 2^-10 frames, so that tic starts frame 2^20.
    const struct {
        const char* name;
        const char* chart;
        std::vector<int> frames;
    } cases[] = {
        {"nothing sounds", "#00002:87382\n#00104:01\n", {}},
        {"a note at tic 2^30",
         "#BPM 28224000\n#00002:2796202\n#00011:01\n#00111:000001\n",
         {0, 1 << 20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeClicks(dir);
        BmsConverter converter;
        ProgressLog log;
        plainLog = &log;
        converter.setProgressCallback(logPlain);
        auto mix = render(converter, dir, std::string(CLICKS) + c.chart);
        plainLog = nullptr;
        ASSERT_TRUE(mix);
        EXPECT_EQ(c.frames, soundingFrames(*mix));
        EXPECT_EQ(join({-1}, range(0, 200)), log.values);
    }
}

TEST(BmsConverterTest, PlayerModeDrawsBranchesEndsLongNotesAndScalesKeySounds) {
    // At 120 BPM pair 2 of 4 in bar 000 (tic 192) starts frame 44100.
    const std::string branches = "#RANDOM 2\n#IF 1\n#00012:01\n#ELSEIF 2\n#00013:02\n#ENDIF\n";
    const struct {
        const char* name;
        std::string chart;
        int volume;
        std::vector<std::pair<int, int>> plainFrames;   // frame, level without player mode
        std::vector<std::pair<int, int>> playerFrames;  // the same with it
    } cases[] = {
        {"#LNOBJ ends silently",
         "#LNOBJ 02\n#00011:01000200\n#00001:0002\n",
         100,
         {{0, 1000}, {44100, 4000}},
         {{0, 1000}, {44100, 2000}}},
        {"#VOLWAV on top of the volume", "#VOLWAV 50\n#00011:01\n", 80, {{0, 800}}, {{0, 400}}},
        {"#VOLWAV that is no number", "#VOLWAV x\n#00011:01\n", 80, {{0, 800}}, {{0, 800}}},
        {"#VOLWAV 99", "#VOLWAV +99 \n#00011:01\n", 80, {{0, 800}}, {{0, 790}}},
        {"#VOLWAV never louder", "#VOLWAV 150\n#00011:01\n", 80, {{0, 800}}, {{0, 800}}},
        {"#VOLWAV 100", "#VOLWAV 100\n#00011:01\n", 80, {{0, 800}}, {{0, 800}}},
        {"#VOLWAV 0 is the whole volume", "#VOLWAV 0\n#00011:01\n", 80, {{0, 800}}, {{0, 800}}},
        {"#VOLWAV below 0", "#VOLWAV -20\n#00011:01\n", 80, {{0, 800}}, {{0, 800}}},
        {"#VOLWAV with text after it", "#VOLWAV 40%\n#00011:01\n", 80, {{0, 800}}, {{0, 800}}},
        {"every branch read, or one", branches, 100, {{0, 3000}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool player : {false, true}) {
            TempDir dir;
            writeClicks(dir);
            BmsConverter converter;
            converter.setVolume(c.volume);
            converter.setCutOnRetrigger(false);
            converter.setPlayerMode(player, 1);
            auto mix = render(converter, dir, std::string(CLICKS) + c.chart);
            ASSERT_TRUE(mix);
            std::vector<std::pair<int, int>> frames;
            for (int frame : soundingFrames(*mix)) frames.push_back({frame, leftAt(*mix, frame)});
            if (player && c.playerFrames.empty()) {
                // One branch of two: a single note at frame 0.
                ASSERT_EQ(1u, frames.size());
                EXPECT_TRUE(frames[0] == std::make_pair(0, 1000) ||
                            frames[0] == std::make_pair(0, 2000));
            } else {
                EXPECT_EQ(player ? c.playerFrames : c.plainFrames, frames);
            }
        }
    }

    // Seeds reach both branches, one seed always the same one, and traces show the draws.
    std::set<int> levels;
    for (int seed = 0; seed < 16; ++seed) {
        TempDir dir;
        writeClicks(dir);
        int level = 0;
        for (int run = 0; run < 2; ++run) {
            BmsConverter converter;
            converter.setPlayerMode(true, seed);
            converter.setDebug(true);
            testing::internal::CaptureStdout();
            auto mix = render(converter, dir, std::string(CLICKS) + branches);
            const std::string out = testing::internal::GetCapturedStdout();
            ASSERT_TRUE(mix);
            if (run == 1) {
                EXPECT_EQ(level, leftAt(*mix, 0));
            }
            level = leftAt(*mix, 0);
            EXPECT_NE(std::string::npos,
                      out.find("RANDOM 2 (line 3) => " + std::to_string(level / 1000) + "\n"));
        }
        levels.insert(level);
    }
    EXPECT_EQ((std::set<int>{1000, 2000}), levels);
}

TEST(BmsConverterTest, ManyFarLanesAndMissingSamplesStayCheap) {
    // 300 lanes of channel 01 reaching the last bar and 300 missing samples that no lane uses:
    // walking each lane tic by tic, or each lane once per missing sample, would take minutes.
    std::string chart = "#BPM 100000\n#00002:80000\n";
    for (int i = 0; i < 300; ++i) {
        const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
        chart += std::string("#WAV") + digits[1 + i / 36] + digits[i % 36] + " gone.wav\n";
        chart += "#99901:01\n";
    }
    TempDir dir;
    writeClicks(dir);
    BmsConverter converter;
    converter.setCutOnRetrigger(false);
    converter.setContinueCallback([](const char*) { return true; });
    auto mix = render(converter, dir, std::string(CLICKS) + chart);
    ASSERT_TRUE(mix);
    // Each lane triggers a.wav at the start of bar 999, all at one frame:
    // 300 * 1000 saturates at 32767.
    EXPECT_EQ(std::vector<int>{static_cast<int>(mix->getDataSize() / 4 - 1)}, soundingFrames(*mix));
    EXPECT_EQ(32767, leftAt(*mix, mix->getDataSize() / 4 - 1));
}

TEST(BmsConverterTest, AnswersASecondCallWithAFailure) {
    TempDir dir;
    writeClicks(dir);
    BmsConverter unopened;
    EXPECT_FALSE(unopened.convert());

    BmsConverter converter;
    auto mix = render(converter, dir, std::string(CLICKS) + "#00011:01\n");
    EXPECT_TRUE(mix);
    EXPECT_FALSE(converter.open());
    EXPECT_FALSE(converter.convert());

    BmsConverter unparsed;
    unparsed.setChartPath(dir.file("missing.bms").c_str());
    EXPECT_FALSE(unparsed.open());
    EXPECT_FALSE(unparsed.convert());
}

TEST(BmsConverterTest, TracesTheTimeline) {
    TempDir dir;
    // Tempo 240 at tic 0, #BPM01 60 at tic 192, #STOP01 48 at tic 256; the
    // last tic is 256, 256 * 229.6875 = 58800 frames at the starting tempo.
    const std::string path = dir.write(
        "chart.bms",
        "#WAV02 gone.wav\n#BPM01 60\n#STOP01 48\n#00003:F0\n#00008:0001\n#00009:000001\n");
    BmsConverter converter;
    converter.setDebug(true);
    converter.setVolume(50);
    converter.setContinueCallback([](const char*) { return true; });
    converter.setChartPath(path.c_str());
    testing::internal::CaptureStdout();
    ASSERT_TRUE(converter.open());
    std::unique_ptr<LuWav> mix(converter.convert());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(mix);
    const std::string base = dir.path() + TempDir::separator();
    const std::string gone = base + "gone.wav";
    EXPECT_EQ("file open " + path + "\n" + base + "\n" + "----wav open " + gone +
                  "-------------------------\n" + "WAV READ error => " + gone + " \n" +
                  "changed 50%\n"
                  "max_data_size_of_wavs is 0\n"
                  "max position is 58800 tic\n"
                  "memory extended 524288\n"
                  "max position's data is 235200\n"
                  "bpm changed 120.000000 => 240.000000\n"
                  "exbpm changed 240.000000 => 60.000000\n"
                  "STOP 44100\n",
              out);
}

TEST(BmsConverterTest, TracesErrors) {
    const struct {
        const char* chart;
        const char* trace;
    } cases[] = {
        {"#BPM fast\n", "BPM error => fast\n"},
        {"#00003:0G\n", "bpm changed 120.000000 =>BPM error => 0G\n"},
        {"#BPM01 x\n#00008:01\n", "exbpm changed 120.000000 =>ex BPM error => BPM01 x\n"},
        {"#00008:0A\n", "exbpm changed 120.000000 =>ex BPM error => BPM0A \n"},
        {"#STOP01 -1\n#00009:01\n", "ex STOP error => STOP01 -1\n"},
        {"#00051:01\n", "LONG NOTE OBJECT FORMAT error \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chart);
        TempDir dir;
        BmsConverter converter;
        converter.setChartPath(dir.write("chart.bms", c.chart).c_str());
        ASSERT_TRUE(converter.open());
        converter.setDebug(true);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(converter.convert());
        const std::string out = testing::internal::GetCapturedStdout();
        ASSERT_GE(out.size(), std::string(c.trace).size());
        EXPECT_EQ(c.trace, out.substr(out.size() - std::string(c.trace).size()));
    }
}

}  // namespace
