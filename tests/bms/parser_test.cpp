#include "bms/parser.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "bms/bms.h"
#include "tests/test_util.h"

namespace {

using test_util::TempDir;

// Loads `text` as a chart file; null when the load fails.
std::unique_ptr<BmsBms> load(const TempDir& dir, const std::string& text) {
    BmsBms* chart = nullptr;
    if (!BmsLoad(dir.write("chart.bms", text).c_str(), &chart)) return nullptr;
    return std::unique_ptr<BmsBms>(chart);
}

TEST(BmsParserTest, ReportsCodeAndLine) {
    const struct {
        std::string text;
        int code;
        int line;
    } cases[] = {
        {"#0011:01\n", 11, 1},
        {"#00111 :01\n", 12, 1},
        {"#TITLE x\n# y\n", 5, 2},
        {"#\n", 5, 1},
        {"#00111:0101 ;comment\n", 8, 1},
        {"#00111:01 02\n", 8, 1},
        {"#00111:010\n", 7, 1},
        {"#00111:\n", 7, 1},
        {"#00111:0!\n", 7, 1},
        {"#00102: 0.75\n", 10, 1},
        {"#00102:0.75 \n", 9, 1},
        {"#00102:1.2.3\n", 9, 1},
        {"#00102:\n", 10, 1},
        {"#00102:0.75\n#00102:0.5\n", 2, 3},
        {"#TI_TLE x\n", 6, 1},
        {"#TITLE\x01x\n", 6, 1},
        {"#TITLE x", 14, 1},
        {"\n\n#TITLE", 14, 3},
        {"#", 14, 1},
        {"#WAV01 a.wav\n#00111:01", 14, 2},
        {"#00102:0.75", 9, 1},
        {"x\n#0a011:01\n", 13, 2},
        {"#00\n", 13, 1},
        {"#001\n", 11, 1},
        // Pass 1 finds the bar-length error of line 2 before pass 2 sees line 1.
        {"# bad\n#00102:x\n", 10, 2},
        // A key alone is dropped and still counts as exactly one line.
        {"#RANDOM\n#TITLE x\n# bad\n", 5, 3},
        // Tic counts beyond 2^31 - 1, alone or summed over all bars.
        {"#00102:99999999999\n", 10, 1},
        {"#00002:5000000\n#00102:600000\n", 10, 2},
        // CR LF is one newline; a lone CR is an ordinary character.
        {"#00102:0.5\r\n#00102:1\r\n", 2, 3},
        {"#00102:0.5\r#x\n", 9, 1},
        // A byte-order mark does not hide the first line.
        {"\xEF\xBB\xBF#00111 :01\n", 12, 1},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        BmsBms* chart = reinterpret_cast<BmsBms*>(&dir);
        EXPECT_FALSE(BmsLoad(dir.write("a.bms", c.text).c_str(), &chart));
        EXPECT_EQ(reinterpret_cast<BmsBms*>(&dir), chart);
        EXPECT_EQ(c.code, BmsGetErrorCode());
        EXPECT_STREQ(BmsErrorText(c.code), BmsGetErrorMessage());
        EXPECT_EQ(c.line, BmsGetErrorLine());
    }
}

TEST(BmsParserTest, MessagesByCode) {
    const struct {
        int code;
        const char* message;
    } cases[] = {
        {0, "正常に終了しました。"},
        {1, "なんかよくわかんないけどエラーが発生しました。"},
        {2, "小節長変更が2回指定されました。"},
        {3, "ヘッダの値の途中にEOFが検出されました。"},
        {4, "ファイルが開けませんでした。"},
        {5, "ヘッダのキーや小節番号の指定に英数字以外が指定されました。"},
        {6, "ヘッダのキー指定に不正な文字が使われました。"},
        {7, "オブジェ配列に不正な文字が使われました。"},
        {8, "オブジェ配列が正しく終了していません。"},
        {9, "小節長変更の小節番号指定が不正です。"},
        {10, "小節長変更の値指定が不正です。"},
        {11, "チャンネル番号指定に英数字以外が使われました。"},
        {12, "小節とチャンネルと値の間のコロンにコロンが使われていません。"},
        {13, "小節番号に数字が使われていません。"},
        {14, "予期せぬEOFを検出しました。"},
        {15, "なんかよくわかんないけどエラーが発生しました。"},
        {-1, "なんかよくわかんないけどエラーが発生しました。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_STREQ(c.message, BmsErrorText(c.code));
    }
}

TEST(BmsParserTest, UnopenableFileKeepsLine) {
    TempDir dir;
    BmsBms* chart = nullptr;
    EXPECT_FALSE(BmsLoad(dir.write("a.bms", "a\n#00111 :01\n").c_str(), &chart));
    EXPECT_EQ(2, BmsGetErrorLine());
    const std::string paths[] = {dir.file("missing.bms"), dir.mkdir("folder.bms"), ""};
    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(BmsLoad(path.c_str(), &chart));
        EXPECT_EQ(nullptr, chart);
        EXPECT_EQ(4, BmsGetErrorCode());
        EXPECT_EQ(2, BmsGetErrorLine());
    }
    EXPECT_FALSE(BmsLoad(nullptr, &chart));
    EXPECT_EQ(4, BmsGetErrorCode());
}

TEST(BmsParserTest, LoadsEmptyAndCommentOnlyFiles) {
    const char* texts[] = {"", "; comment\n\n  \t\nlast line without newline", "*#TITLE x",
                           "\xEF\xBB\xBF"};
    TempDir dir;
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        BmsLoad(dir.write("a.bms", "#00111 :01\n").c_str(), nullptr);
        std::unique_ptr<BmsBms> chart = load(dir, text);
        ASSERT_NE(nullptr, chart);
        EXPECT_EQ(0, BmsGetErrorCode());
        EXPECT_STREQ("正常に終了しました。", BmsGetErrorMessage());
        EXPECT_EQ(0, chart->getHeaders()->getCount());
        EXPECT_EQ(nullptr, chart->getFirstChannel());
    }
}

TEST(BmsParserTest, StoresHeaders) {
    TempDir dir;
    std::string longValue(5000, 'v');
    std::string longKey(3000, 'K');
    std::string text = std::string("  \t#title  My Song \t\n") + "#TITLE Other  Song  \n" +
                       "#RANDOM\n#IF  \t\n" + "#BPM 150\n#bpm01 90.5x\n#WAVE01 x\n" +
                       "#ARTIST a\rb\r\n#GENRE ab" + std::string(1, '\0') + "cd\n" +
                       "#COMMENT a\xFF" + "b\n#" + longKey + " " + longValue + "\n";
    std::unique_ptr<BmsBms> chart = load(dir, text);
    ASSERT_NE(nullptr, chart);
    const BmsHeaderHash* headers = chart->getHeaders();
    EXPECT_STREQ("Other  Song  ", headers->get("TITLE"));
    EXPECT_EQ(nullptr, headers->find("RANDOM"));
    EXPECT_EQ(nullptr, headers->find("IF"));
    EXPECT_STREQ("150", headers->get("BPM"));
    EXPECT_STREQ("90.5x", headers->get("BPM01"));
    EXPECT_STREQ("x", headers->get("WAVE01"));
    EXPECT_STREQ("a\rb", headers->get("ARTIST"));
    EXPECT_STREQ("ab", headers->get("GENRE"));
    EXPECT_STREQ(
        "a\xFF"
        "b",
        headers->get("COMMENT"));
    EXPECT_EQ(longValue, headers->get(longKey.c_str()));
    EXPECT_EQ(8, headers->getCount());
    EXPECT_EQ(0, chart->getWavs()->count());
}

TEST(BmsParserTest, RegistersWavAndBmpNames) {
    TempDir dir;
    testing::internal::CaptureStdout();
    std::unique_ptr<BmsBms> chart =
        load(dir, "#wav0a file.wav\n#WAV01 a.wav\n#Wav01 B C.WAV \n#BMP01 x.bmp\n#bmp01 y.bmp\n");
    EXPECT_EQ("wavs overwrite\nbmps overwrite\n", testing::internal::GetCapturedStdout());
    ASSERT_NE(nullptr, chart);
    EXPECT_STREQ("file.wav", chart->getWavs()->get(BmsWord("0A")));
    EXPECT_STREQ("B C.WAV ", chart->getWavs()->get(BmsWord("01")));
    EXPECT_EQ(2, chart->getWavs()->count());
    EXPECT_STREQ("y.bmp", chart->getBmps()->get(BmsWord("01")));
    EXPECT_EQ(0, chart->getHeaders()->getCount());
}

// Read as a player reads lines, a lone CR ends a line and a #WAV name loses the blanks and control
// characters that end it, each shortened name noted with its line; read plainly, neither.
TEST(BmsParserTest, ReadsLinesAsAPlayerDoes) {
    const struct {
        const char* name;
        std::string text;
        const char* wav01;       // as a player reads it
        const char* plainWav01;  // null when the plain load fails
        int trimmed;
        std::vector<int> lines;
    } cases[] = {
        {"blanks", "#WAV01 a b.wav \t\n", "a b.wav", "a b.wav \t", 1, {1}},
        {"control characters", "#A x\n#WAV01 a.wav\x01\x1f \n", "a.wav", "a.wav\x01\x1f ", 1, {2}},
        {"up to a NUL byte", std::string("#WAV01 a.wav \0x\n", 16), "a.wav", "a.wav ", 1, {1}},
        {"nothing to trim", "#WAV01 a.wav\n#BMP01 b.bmp \n", "a.wav", "a.wav", 0, {}},
        {"lone CR", "#WAV01 a.wav\r#WAV02 b.wav \r#00111:0102\r", "a.wav", nullptr, 1, {2}},
        {"lone CR last", "#WAV01 a.wav\r", "a.wav", nullptr, 0, {}},
        {"CR CR LF", "#WAV01 a.wav\r\r\n#WAV02 b.wav \n", "a.wav", "a.wav\r", 1, {3}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<BmsBms> plain = load(dir, c.text);
        if (c.plainWav01) {
            ASSERT_TRUE(plain);
            EXPECT_STREQ(c.plainWav01, plain->getWavs()->get(BmsWord("01")));
            EXPECT_TRUE(plain->getRepairs()->empty());
        } else {
            EXPECT_FALSE(plain);
        }
        BmsLoadOptions options;
        options.loneCrEndsLine = true;
        options.trimWavNames = true;
        BmsBms* loaded = nullptr;
        ASSERT_TRUE(BmsLoad(dir.file("chart.bms").c_str(), &loaded, options));
        std::unique_ptr<BmsBms> chart(loaded);
        EXPECT_STREQ(c.wav01, chart->getWavs()->get(BmsWord("01")));
        const auto& entries = chart->getRepairs()->getEntries();
        ASSERT_EQ(c.trimmed ? 1u : 0u, entries.size());
        if (c.trimmed) {
            EXPECT_EQ(BmsRepairKind::WAV_NAME_TRIMMED, entries[0].kind);
            EXPECT_EQ(c.trimmed, entries[0].count);
            EXPECT_EQ(c.lines, entries[0].lines);
        }
    }
    // Lone CRs count lines: the bad line is the third.
    BmsLoadOptions options;
    options.loneCrEndsLine = true;
    EXPECT_FALSE(BmsLoad(dir.write("bad.bms", "#A 1\r\r# x\r").c_str(), nullptr, options));
    EXPECT_EQ(BMS_ERROR_AFTER_SHARP, BmsGetErrorCode());
    EXPECT_EQ(3, BmsGetErrorLine());
}

TEST(BmsParserTest, ReadsBarLengthsBeforeObjects) {
    TempDir dir;
    // The object line of bar 002 comes before the length of bar 001.
    std::unique_ptr<BmsBms> chart =
        load(dir, "#00211:01\n#00111:010203\n#00102:0.75\n#00302:1\n#00302:0.5\n#00402:.\n");
    ASSERT_NE(nullptr, chart);
    EXPECT_EQ(288, chart->getBar(1).getLength());
    EXPECT_EQ(192, chart->getBar(3).getLength());
    EXPECT_EQ(0, chart->getBar(4).getLength());
    const BmsChannel* lane = chart->findChannel(BmsWord("11"));
    ASSERT_NE(nullptr, lane);
    EXPECT_EQ(BmsWord("01"), lane->get(384));
    EXPECT_EQ(BmsWord("02"), lane->get(480));
    EXPECT_EQ(BmsWord("03"), lane->get(576));
    EXPECT_EQ(BmsWord("01"), lane->get(672));
    EXPECT_EQ(672, chart->getLastPosition());
}

TEST(BmsParserTest, ReachesFarIntoLongBars) {
    TempDir dir;
    // Bar 001 is 5000000 * 384 = 1920000000 tics; its second object sits halfway.
    std::unique_ptr<BmsBms> chart = load(dir, "#00102:5000000\n#00101:0102\n#00211:03\n");
    ASSERT_NE(nullptr, chart);
    const BmsChannel* lane = chart->findChannel(BmsWord("01"));
    ASSERT_NE(nullptr, lane);
    EXPECT_EQ(BmsWord("01"), lane->get(384));
    EXPECT_EQ(BmsWord("02"), lane->get(384 + 960000000));
    EXPECT_EQ(BmsWord("03"), chart->findChannel(BmsWord("11"))->get(1920000384));
    EXPECT_EQ(1920000384, chart->getLastPosition());
}

TEST(BmsParserTest, MergesLinesOfOneChannel) {
    TempDir dir;
    std::unique_ptr<BmsBms> chart =
        load(dir, "#00111:01020304\n#00111:0005000600000000 \t\n#00111:aa00\n#0011a:zz\n");
    ASSERT_NE(nullptr, chart);
    const BmsChannel* lane = chart->findChannel(BmsWord("11"));
    ASSERT_NE(nullptr, lane);
    EXPECT_EQ(nullptr, lane->getNextLane());
    const struct {
        int tic;
        const char* word;
    } expected[] = {{384, "AA"}, {432, "05"}, {480, "02"}, {528, "06"}, {576, "03"}, {672, "04"}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.tic);
        EXPECT_EQ(BmsWord(e.word), lane->get(e.tic));
    }
    ASSERT_NE(nullptr, chart->findChannel(BmsWord("1A")));
    EXPECT_EQ(BmsWord("ZZ"), chart->findChannel(BmsWord("1A"))->get(384));
    EXPECT_EQ(2, chart->getChannelCount());
}

TEST(BmsParserTest, GivesEachBackgroundLineItsLane) {
    TempDir dir;
    std::unique_ptr<BmsBms> chart =
        load(dir, "#00101:01\n#00101:0002\n#00101:03\n#00201:04\n#00111:05\n");
    ASSERT_NE(nullptr, chart);
    const BmsChannel* lanes[3] = {chart->findChannel(BmsWord("01"))};
    ASSERT_NE(nullptr, lanes[0]);
    lanes[1] = lanes[0]->getNextLane();
    ASSERT_NE(nullptr, lanes[1]);
    lanes[2] = lanes[1]->getNextLane();
    ASSERT_NE(nullptr, lanes[2]);
    EXPECT_EQ(nullptr, lanes[2]->getNextLane());
    EXPECT_EQ(BmsWord("01"), lanes[0]->get(384));
    EXPECT_EQ(BmsWord("04"), lanes[0]->get(768));
    EXPECT_EQ(BmsWord("00"), lanes[1]->get(384));
    EXPECT_EQ(BmsWord("02"), lanes[1]->get(576));
    EXPECT_EQ(BmsWord("03"), lanes[2]->get(384));
    EXPECT_EQ(BmsWord("00"), lanes[2]->get(768));
    EXPECT_EQ(2, chart->getChannelCount());
}

TEST(BmsParserTest, ManyBackgroundLinesOfOneBar) {
    // 20000 lines of one bar make 20000 lanes; lines of a later bar reuse them in order.
    // Stepping through the lanes before each new one would take minutes at this count.
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "#00001:01\n";
    text += "#00101:02\n#00101:03\n";
    TempDir dir;
    std::unique_ptr<BmsBms> chart = load(dir, text);
    ASSERT_NE(nullptr, chart);
    int count = 0;
    for (const BmsChannel* lane = chart->findChannel(BmsWord("01")); lane;
         lane = lane->getNextLane()) {
        EXPECT_EQ(BmsWord("01"), lane->get(0));
        const char* const later[] = {"02", "03"};
        EXPECT_EQ(BmsWord(count < 2 ? later[count] : "00"), lane->get(384));
        ++count;
    }
    EXPECT_EQ(20000, count);
    EXPECT_EQ(1, chart->getChannelCount());
}

TEST(BmsParserTest, OverFullLinesDropOrCollide) {
    TempDir dir;
    std::string pairs;
    for (int i = 0; i < 385; ++i) pairs += "0Z";
    std::unique_ptr<BmsBms> chart =
        load(dir, "#00011:" + pairs + "\n#00001:" + pairs + "\n#00102:0\n#00101:01\n");
    ASSERT_NE(nullptr, chart);
    EXPECT_EQ(nullptr, chart->findChannel(BmsWord("11")));
    const BmsChannel* background = chart->findChannel(BmsWord("01"));
    ASSERT_NE(nullptr, background);
    EXPECT_EQ(BmsWord("0Z"), background->get(0));
    EXPECT_EQ(BmsWord("0Z"), background->get(383));
    // Bar 001 has no tics: its lane exists but receives nothing.
    EXPECT_EQ(383, chart->getLastPosition());
}

}  // namespace
