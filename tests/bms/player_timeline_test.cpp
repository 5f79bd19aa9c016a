// The exact timeline of a chart read for a player: positions, tempo map, what sounds, long
// notes, base-62 ids and the repairs noted on the way. Frames at 120 BPM: a 4/4 bar is 2 s,
// 88200 frames.
#include "bms/player_timeline.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bms/bms.h"
#include "bms/parser.h"
#include "tests/test_util.h"

namespace {

using Triggers = std::vector<std::pair<int64_t, int>>;

std::unique_ptr<BmsBms> loadForPlayer(const test_util::TempDir& dir, const std::string& text) {
    BmsLoadOptions options;
    options.evaluateRandom = true;
    options.keepPlayerData = true;
    BmsBms* chart = nullptr;
    if (!BmsLoad(dir.write("a.bms", text).c_str(), &chart, options)) return nullptr;
    return std::unique_ptr<BmsBms>(chart);
}

Triggers triggersOf(BmsBms* chart) {
    std::vector<BmsPlayerTrigger> triggers;
    EXPECT_TRUE(BmsPlayerTriggers(chart, BmsPlayerLayout(), &triggers));
    Triggers out;
    for (const BmsPlayerTrigger& trigger : triggers) out.emplace_back(trigger.frame, trigger.id);
    return out;
}

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

TEST(BmsPlayerTimelineTest, PlacesObjectsAtExactTimes) {
    // Bar 030 starts at 30 * 0.333333 bars = 19.99998 s; on the tic grid each bar is 127 tics
    // and the note would come 156 ms early.
    std::string thirds;
    for (int bar = 0; bar < 30; ++bar)
        thirds += "#" + std::string(bar < 10 ? "00" : "0") + std::to_string(bar) + "02:0.333333\n";
    const struct {
        std::string text;
        Triggers expected;
    } cases[] = {
        {thirds + "#03001:01\n", {{881999, 1}}},
        // A stop of 96 is half a bar: the notes at its position start before it.
        {"#STOP01 96\n#00009:0001\n#00001:0101\n#00011:0002\n#00101:03\n",
         {{0, 1}, {44100, 1}, {44100, 2}, {132300, 3}}},
        // Tempo 240 and a stop of a whole bar at one position: the stop lasts 1 s, at 240.
        {"#STOP01 192\n#00009:0001\n#00003:00F0\n#00101:01\n", {{110250, 1}}},
        {"#EXBPM01 60\n#00008:01\n#00001:0001\n", {{88200, 1}}},
        {"#BPM02 60\n#EXBPM02 30\n#00008:02\n#00001:0001\n", {{88200, 1}}},
        {"#STOP01 9.6\n#00009:01\n#00101:01\n", {{92610, 1}}},
        {"#00002:0.5\n#00002:0.25\n#00101:01\n", {{22050, 1}}},
        // Pairs that are no ids keep their slots; an odd last character is ignored.
        {"#00001:01..0201\n", {{0, 1}, {44100, 2}, {66150, 1}}},
        {"#00001:01  0201\n", {{0, 1}, {44100, 2}, {66150, 1}}},
        {"#00001:01020\n", {{0, 1}, {44100, 2}}},
        // Tempo and stop objects naming nothing usable are passed over.
        {"#00008:01\n#00003:0G\n#00009:01\n#BPM02 0\n#00108:02\n#00201:01\n", {{176400, 1}}},
        // One key lane holds one note per position, the file's last; the background all.
        {"#00011:01\n#00011:0002\n#00011:03\n", {{0, 3}, {44100, 2}}},
        {"#00001:01\n#00001:0002\n#00001:03\n", {{0, 1}, {0, 3}, {44100, 2}}},
        // At one instant: by channel, then in the file's order.
        {"#00011:03\n#00001:01\n#00001:02\n", {{0, 1}, {0, 2}, {0, 3}}},
        // Only lanes beatoraja plays sound: not x7, 1A, invisible notes or landmines.
        {"#00017:01\n#0001A:01\n#00031:01\n#000D1:01\n#00018:02\n#00029:03\n", {{0, 2}, {0, 3}}},
        {"#LNOBJ ZZ\n#00011:01ZZ\n#00001:00ZZ\n", {{0, 1}, {44100, 1295}}},
        // The same ratio of different lines is one position.
        {"#00011:0001\n#00011:00000200\n", {{44100, 2}}},
    };
    test_util::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::unique_ptr<BmsBms> chart = loadForPlayer(dir, c.text);
        ASSERT_NE(nullptr, chart) << BmsGetErrorMessage();
        EXPECT_EQ(c.expected, triggersOf(chart.get()));
    }
}

TEST(BmsPlayerTimelineTest, KeepsEveryObjectOfALongLine) {
    test_util::TempDir dir;
    std::unique_ptr<BmsBms> chart = loadForPlayer(dir, "#00011:" + repeat("0102", 384) + "\n");
    ASSERT_NE(nullptr, chart);
    const Triggers triggers = triggersOf(chart.get());
    ASSERT_EQ(768u, triggers.size());
    // Object k at k/768 of a 2 s bar: k * 114.84375 frames.
    EXPECT_EQ(std::make_pair(int64_t{115}, 2), triggers[1]);
    EXPECT_EQ(std::make_pair(int64_t{88085}, 2), triggers[767]);
}

TEST(BmsPlayerTimelineTest, PlaysLongNotesAsBeatoraja) {
    const struct {
        const char* text;
        Triggers expected;
    } cases[] = {
        {"#00051:0102\n", {{0, 1}, {44100, 2}}},
        {"#00051:0101\n", {{0, 1}}},
        // The third object starts a long note that never ends.
        {"#00051:010101\n", {{0, 1}}},
        {"#00051:01\n#00052:0203\n", {{0, 2}, {44100, 3}}},
        {"#00051:01\n#00151:ZZ\n", {{0, 1}, {88200, 1295}}},
    };
    test_util::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::unique_ptr<BmsBms> chart = loadForPlayer(dir, c.text);
        ASSERT_NE(nullptr, chart);
        EXPECT_EQ(c.expected, triggersOf(chart.get()));
    }
}

TEST(BmsPlayerTimelineTest, Base62TellsCaseApart) {
    test_util::TempDir dir;
    std::unique_ptr<BmsBms> chart =
        loadForPlayer(dir, "#BASE 62\n#WAVaa low.wav\n#WAVAA up.wav\n#00001:aaAA\n");
    ASSERT_NE(nullptr, chart);
    EXPECT_EQ(BMS_BASE62_COUNT, BmsPlayerIdCount(*chart));
    // aa is 36 * 62 + 36, AA 10 * 62 + 10.
    EXPECT_EQ((Triggers{{0, 2268}, {44100, 630}}), triggersOf(chart.get()));
    EXPECT_EQ("low.wav", chart->getPlayerData()->getBase62Wavs()[2268]);
    EXPECT_EQ("up.wav", chart->getPlayerData()->getBase62Wavs()[630]);
}

TEST(BmsPlayerTimelineTest, NotesWhatItMends) {
    const struct {
        const char* text;
        BmsRepairKind kind;
        int line;
    } cases[] = {
        {"#TITLE x\n#00001:0..1\n", BmsRepairKind::OBJECT_PAIR, 2},
        {"#00001:010\n", BmsRepairKind::ODD_OBJECT, 1},
        {"#00002:0.5\n#00002:0.75\n", BmsRepairKind::BAR_LENGTH_TWICE, 2},
        {"\n#00003:0Z\n", BmsRepairKind::TEMPO_VALUE, 2},
        {"#00008:01\n", BmsRepairKind::TEMPO_VALUE, 1},
        {"#STOP01 x\n#00009:01\n", BmsRepairKind::STOP_VALUE, 2},
        {"#00051:0102\n", BmsRepairKind::LONG_NOTE_END, 1},
        {"#00051:01\n", BmsRepairKind::LONG_NOTE_END, 1},
    };
    test_util::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::unique_ptr<BmsBms> chart = loadForPlayer(dir, c.text);
        ASSERT_NE(nullptr, chart);
        triggersOf(chart.get());
        const auto& entries = chart->getRepairs()->getEntries();
        ASSERT_EQ(1u, entries.size());
        EXPECT_EQ(c.kind, entries[0].kind);
        EXPECT_EQ(std::vector<int>{c.line}, entries[0].lines);
    }
}

}  // namespace
