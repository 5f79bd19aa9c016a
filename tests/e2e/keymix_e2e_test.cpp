// Runs the built keymix program as a process inside a temporary folder and
// checks what it prints on each stream, its exit status and the file it writes.
#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/run_keymix.h"
#include "tests/test_util.h"

namespace {

using test_util::Bytes;
using test_util::TempDir;

using e2e::FAILED;
using e2e::readText;
using e2e::Result;
using e2e::runKeymix;

constexpr char USAGE[] = "Usage: keymix [-v volume(%)] [-o output] [-d] [-i] [-r] <input>\n";
constexpr char RULER[] = "0----------------------------------------------100\n";
const std::string STARS_49(49, '*');

std::string settings(const std::string& input, const std::string& output, int volume) {
    return "INPUT BMS FILE  : " + input + "\nOUTPUT WAV FILE : " + output +
           "\nVOLUME          : " + std::to_string(volume) + "%\n";
}

// The whole loading bar: 49 stars and the one of 100 under the ruler.
std::string loadingBar() {
    return std::string("WAV変換準備中 ......\nWAV読み込み中\n") + RULER + STARS_49 +
           "*\nWAV合成開始\n" + RULER;
}

std::string written(const std::string& output) {
    return "\nWAVファイルへ書き込みました " + output + "\n";
}

// Frames of the expected mix, built from runs of equal frames.
class Frames {
public:
    Frames& add(int count, int16_t left, int16_t right) {
        for (int i = 0; i < count; ++i) {
            samples.push_back(left);
            samples.push_back(right);
        }
        return *this;
    }
    Frames& add(int count, int16_t value) { return add(count, value, value); }
    Bytes wav() const { return test_util::pcmWav(2, 44100, 16, test_util::samples16(samples)); }

private:
    std::vector<int16_t> samples;
};

TEST(KeymixE2eTest, UsageLineEndsWithStatusZero) {
    const std::vector<std::vector<std::string>> cases = {{},
                                                         {"-v"},
                                                         {"-v", "abc", "song.bms"},
                                                         {"-z", "song.bms"},
                                                         {"a.bms", "b.bms"},
                                                         {"-p"},
                                                         {"-p", "seed", "song.bms"}};
    TempDir dir;
    for (const auto& args : cases) {
        SCOPED_TRACE(args.empty() ? "(none)" : args[0]);
        Result result = runKeymix(dir, args);
        EXPECT_EQ(0, result.status);
        EXPECT_EQ("", result.out);
        EXPECT_EQ(USAGE, result.err);
    }
}

TEST(KeymixE2eTest, ReportsChartThatDoesNotParse) {
    TempDir dir;
    dir.write("song.bms", "#TITLE x\n# y\n");
    Result result = runKeymix(dir, {"song.bms"});
    EXPECT_EQ(FAILED, result.status);
    EXPECT_EQ(settings("song.bms", "song.wav", 50), result.out);
    EXPECT_EQ(
        "\nBMSファイルの解析失敗 song.bms\n"
        "line 2 : ヘッダのキーや小節番号の指定に英数字以外が指定されました。\n",
        result.err);
    // The output test comes after parsing: nothing was created.
    EXPECT_FALSE(test_util::fileExists(dir.file("song.wav")));
}

TEST(KeymixE2eTest, ReportsChartThatCannotBeOpened) {
    TempDir dir;
    Result result = runKeymix(dir, {"-o", "out.wav", "missing.bms"});
    EXPECT_EQ(FAILED, result.status);
    EXPECT_EQ(settings("missing.bms", "out.wav", 50), result.out);
    // A fresh process has loaded nothing before: line 0.
    EXPECT_EQ("\nBMSファイルの解析失敗 missing.bms\nline 0 : ファイルが開けませんでした。\n",
              result.err);
    EXPECT_FALSE(test_util::fileExists(dir.file("out.wav")));
}

TEST(KeymixE2eTest, ReportsOutputThatCannotBeCreated) {
    TempDir dir;
    dir.write("song.bms", "#WAV01 a.wav\n#00011:01\n");
    dir.write("a.wav", test_util::constantWav(10, 100));
    dir.mkdir("folder.wav");
    const char* outputs[] = {"missing/out.wav", "folder.wav"};
    for (const char* output : outputs) {
        SCOPED_TRACE(output);
        Result result = runKeymix(dir, {"song.bms", "-o", output});
        EXPECT_EQ(FAILED, result.status);
        EXPECT_EQ(settings("song.bms", output, 50), result.out);
        EXPECT_EQ(std::string("\n出力ファイルに書き込めません ") + output + "\n", result.err);
    }
}

// A conversion that fails leaves no file of its own behind and leaves a file
// that was there before as it was.
TEST(KeymixE2eTest, FailedConversionKeepsOutputAsItWas) {
    TempDir dir;
    dir.write("used.bms", "#WAV01 gone.wav\n#00011:01\n");
    dir.write("unused.bms", "#WAV01 a.wav\n#WAV02 gone.wav\n#00011:01\n");
    dir.write("a.wav", test_util::constantWav(10, 100));
    const std::string head = std::string("WAV変換準備中 ......\nWAV読み込み中\n") + RULER;
    const struct {
        const char* chart;
        std::string progress;
    } cases[] = {
        // The one sample is used: loading stops right after id 00.
        {"used.bms", head},
        // Half the samples loaded when the unused one fails and -i is absent.
        {"unused.bms", head + std::string(25, '*')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chart);
        for (bool existed : {false, true}) {
            SCOPED_TRACE(existed ? "output existed" : "no output before");
            std::string output = dir.file("out.wav");
            if (existed) dir.write("out.wav", "precious");
            Result result = runKeymix(dir, {"-o", "out.wav", c.chart});
            EXPECT_EQ(FAILED, result.status);
            EXPECT_EQ(settings(c.chart, "out.wav", 50) + c.progress, result.out);
            EXPECT_EQ("\nWAVへの変換失敗\n", result.err);
            if (existed) {
                EXPECT_EQ("precious", readText(output));
                std::remove(output.c_str());
            } else {
                EXPECT_FALSE(test_util::fileExists(output));
            }
        }
    }
}

// Two samples at volume 50 without the retrigger cut. The bar of 0.01 is 3
// tics long, so the objects 01 and 02 sit at tics 0 and 1 (step 1.5); at 120
// BPM a tic lasts 2646000 / 11520 = 229.6875 frames, so 02 starts at frame 229.
TEST(KeymixE2eTest, RendersTwoSamplesAtDefaultVolume) {
    TempDir dir;
    dir.write("song.bms", "#BPM 120\n#WAV01 a.wav\n#WAV02 b.wav\n#00002:0.01\n#00011:0102\n");
    dir.write("a.wav", test_util::constantWav(300, 1000));
    dir.write("b.wav", test_util::constantWav(100, 3000));
    Result result = runKeymix(dir, {"song.bms"});
    EXPECT_EQ(0, result.status);
    // The last tic is 1: mixing reports 200 at once.
    EXPECT_EQ(settings("song.bms", "song.wav", 50) + loadingBar() + "*\n", result.out);
    EXPECT_EQ(written("song.wav"), result.err);
    // a halves to 500 on frames 0-299, b to 1500 on frames 229-328.
    Bytes expected = Frames().add(229, 500).add(71, 2000).add(29, 1500).wav();
    EXPECT_EQ(expected, test_util::readFile(dir.file("song.wav")));
}

// One sample triggered at frames 0 and 229: overlapping plays add; with -r the
// second trigger cuts what is left of the first.
TEST(KeymixE2eTest, RetriggerCutFollowsOptionR) {
    TempDir dir;
    dir.write("song.bms", "#WAV01 a.wav\n#00002:0.01\n#00011:0101\n");
    dir.write("a.wav", test_util::constantWav(300, 1000));
    const struct {
        std::vector<std::string> args;
        Bytes expected;
    } cases[] = {
        {{"-v", "100", "song.bms"}, Frames().add(229, 1000).add(71, 2000).add(229, 1000).wav()},
        {{"-r", "-v", "100", "song.bms"}, Frames().add(529, 1000).wav()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        Result result = runKeymix(dir, c.args);
        EXPECT_EQ(0, result.status);
        EXPECT_EQ(settings("song.bms", "song.wav", 100) + loadingBar() + "*\n", result.out);
        EXPECT_EQ(written("song.wav"), result.err);
        EXPECT_EQ(c.expected, test_util::readFile(dir.file("song.wav")));
    }
}

// Tempo, stop, a long note, two background lanes and samples in three formats.
// At tic 0 the tempo becomes F0 = 240 (114.84375 frames a tic) and a stop of 1
// unit (2 tics) pauses 229.6875 frames, so tic 1 starts at frame
// 229.6875 + 114.84375 = 344.53125, truncated 344.
TEST(KeymixE2eTest, RendersTempoStopLongNoteAndFormats) {
    TempDir dir;
    dir.write("song.bms",
              "*  a comment line\n"
              "#BPM 120\n#WAV01 a.wav\n#WAV02 b.wav\n#WAV03 c.wav\n#STOP01 1\n"
              "#00002:0.01\n#00003:F0\n#00009:0100\n"
              "#00001:01\n#00001:0002\n#00051:0303\n");
    // a: 100 frames of 1000, the output format already.
    dir.write("a.wav", test_util::constantWav(100, 1000));
    // b: 8-bit mono 22050 Hz, 50 bytes 0x90: (0x90 - 128) * 256 = 4096, 100 frames.
    dir.write("b.wav", test_util::pcmWav(1, 22050, 8, Bytes(50, 0x90)));
    // c: 16-bit mono, 200 samples of -2000: 200 frames.
    dir.write("c.wav", test_util::pcmWav(1, 44100, 16,
                                         test_util::samples16(std::vector<int16_t>(200, -2000))));
    Result result = runKeymix(dir, {"-v", "100", "song.bms", "-o", "mix.wav"});
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(settings("song.bms", "mix.wav", 100) + loadingBar() + "*\n", result.out);
    EXPECT_EQ(written("mix.wav"), result.err);
    // a and c from frame 0 (the long note's end at tic 1 is silent), b from 344.
    Bytes expected = Frames().add(100, -1000).add(100, -2000).add(144, 0).add(100, 4096).wav();
    EXPECT_EQ(expected, test_util::readFile(dir.file("mix.wav")));
}

// The output lands beside the chart, named after it; samples are found in the
// chart's folder, not in the current one.
TEST(KeymixE2eTest, DerivesOutputPathFromChartPath) {
    TempDir dir;
    dir.mkdir("charts");
    dir.write("charts/song.bme", "#WAV01 a.wav\n#00011:01\n");
    dir.write("charts/a.wav", test_util::constantWav(20, -600));
    Result result = runKeymix(dir, {"charts/song.bme"});
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(settings("charts/song.bme", "charts/song.wav", 50) + loadingBar() + "*\n",
              result.out);
    EXPECT_EQ(written("charts/song.wav"), result.err);
    EXPECT_EQ(Frames().add(20, -300).wav(), test_util::readFile(dir.file("charts/song.wav")));
}

// An unreadable sample that no sound channel uses stops the conversion unless
// -i answers the question with yes; an existing output is then replaced.
TEST(KeymixE2eTest, OptionIContinuesPastUnusedSample) {
    TempDir dir;
    dir.write("song.bms", "#WAV01 a.wav\n#WAV02 gone.wav\n#00011:01\n#00004:02\n");
    dir.write("a.wav", test_util::constantWav(4, 30000));
    dir.write("song.wav", "old content");
    Result result = runKeymix(dir, {"-i", "-v", "200", "song.bms"});
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(settings("song.bms", "song.wav", 200) + loadingBar() + "*\n", result.out);
    EXPECT_EQ(written("song.wav"), result.err);
    // 30000 doubled saturates.
    EXPECT_EQ(Frames().add(4, 32767).wav(), test_util::readFile(dir.file("song.wav")));
}

// With -m, key sounds that are missing or do not decode, used or not, play as silence: each is
// named once with its notes, and the song is the one of the chart without them.
TEST(KeymixE2eTest, OptionMSilencesUnreadableSamples) {
    TempDir dir;
    const std::string notes = "#00011:01020102\n#00012:0203\n";
    dir.write("song.bms",
              "#WAV01 a.wav\n#WAV02 gone.wav\n#WAV03 bad.wav\n#WAV04 none.wav\n" + notes);
    dir.write("without.bms", "#WAV01 a.wav\n" + notes);
    dir.write("a.wav", test_util::constantWav(40000, 1000));
    dir.write("bad.wav", "RIFF");
    Result plain = runKeymix(dir, {"song.bms"});
    EXPECT_EQ(FAILED, plain.status);
    EXPECT_EQ("\nWAVへの変換失敗\n", plain.err);

    Result silent = runKeymix(dir, {"-m", "song.bms"});
    EXPECT_EQ(0, silent.status);
    EXPECT_EQ(settings("song.bms", "song.wav", 50) + loadingBar() + STARS_49 + "*\n", silent.out);
    EXPECT_EQ(
        "\nWAVが読めないので無音にしました gone.wav (ノーツ数 3)\n"
        "WAVが読めないので無音にしました bad.wav (ノーツ数 1)\n"
        "WAVが読めないので無音にしました none.wav (ノーツ数 0)\n" +
            written("song.wav"),
        silent.err);
    ASSERT_EQ(0, runKeymix(dir, {"without.bms"}).status);
    EXPECT_EQ(test_util::readFile(dir.file("without.wav")),
              test_util::readFile(dir.file("song.wav")));
}

TEST(KeymixE2eTest, DebugAddsTracesButNotToTheSong) {
    TempDir dir;
    dir.write("song.bms", "#WAV01 a.wav\n#00011:01\n");
    dir.write("a.wav", test_util::constantWav(8, 1234));
    Result plain = runKeymix(dir, {"song.bms", "-o", "plain.wav"});
    ASSERT_EQ(0, plain.status) << plain.out << plain.err;
    Result traced = runKeymix(dir, {"-d", "song.bms", "-o", "traced.wav"});
    EXPECT_EQ(0, traced.status);
    EXPECT_EQ(0u, traced.out.find(settings("song.bms", "traced.wav", 50) + "file open song.bms\n"))
        << traced.out;
    EXPECT_NE(std::string::npos, traced.out.find("----wav open a.wav-------------------------\n"));
    EXPECT_EQ(written("traced.wav"), traced.err);
    Bytes song = test_util::readFile(dir.file("plain.wav"));
    EXPECT_EQ(Frames().add(8, 617).wav(), song);
    EXPECT_EQ(song, test_util::readFile(dir.file("traced.wav")));
}

#ifndef _WIN32
// A write cut short (here by a file size limit of 1 KiB, with the signal that
// would end the program ignored) is reported, and leaves the output as it was.
TEST(KeymixE2eTest, ReportsWriteThatFails) {
    TempDir dir;
    dir.write("song.bms", "#WAV01 a.wav\n#00011:01\n");
    dir.write("a.wav", test_util::constantWav(2000, 1000));
    std::string output = dir.file("song.wav");
    for (bool existed : {false, true}) {
        SCOPED_TRACE(existed ? "output existed" : "no output before");
        if (existed) dir.write("song.wav", "precious");
        Result result = runKeymix(dir, {"song.bms"}, "trap '' XFSZ; ulimit -f 1; exec ");
        EXPECT_EQ(FAILED, result.status);
        EXPECT_EQ(settings("song.bms", "song.wav", 50) + loadingBar() + "*\n", result.out);
        EXPECT_EQ("\nWAVファイルへの書き込みが失敗 song.wav\n", result.err);
        if (existed) {
            EXPECT_EQ("precious", readText(output));
        } else {
            EXPECT_FALSE(test_util::fileExists(output));
        }
    }
}
#endif

// The bundled example: five bars at 120, 140 (with a one-beat stop) and 100
// BPM. Its last tic is 1440 (bar 004), so both bars get 50 stars. Bars 000-001
// last 768 * 229.6875 = 176400 frames, bar 002 384 * 196.875 = 75600 plus the
// stop 2 * 48 * 196.875 = 18900, bar 003 (0.75) 288 * 275.625 = 79380: the
// closing chord starts at frame 350280. Its longest sound, kick.wav (6615
// bytes, 8-bit mono 22050 Hz), becomes 13230 frames: the song is 363510 frames.
TEST(KeymixE2eTest, RendersTheExampleChart) {
    TempDir dir;
    std::string chart = std::string(KEYMIX_EXAMPLES) + "/demo.bms";
    Result result = runKeymix(dir, {chart, "-o", "demo.wav"});
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(settings(chart, "demo.wav", 50) + loadingBar() + STARS_49 + "*\n", result.out);
    EXPECT_EQ(written("demo.wav"), result.err);
    Bytes song = test_util::readFile(dir.file("demo.wav"));
    ASSERT_EQ(44u + 363510u * 4, song.size());
    // The canonical header of 363510 frames; the samples themselves are not
    // worked out here.
    Bytes expectedHeader = test_util::pcmWav(2, 44100, 16, Bytes(363510 * 4, 0));
    expectedHeader.resize(44);
    Bytes header(song.begin(), song.begin() + 44);
    EXPECT_EQ(expectedHeader, header);
}

// The example of -p: one seed renders one play, the same every time; seeds differ in the
// branches they draw, which -d traces.
TEST(KeymixE2eTest, OptionPRendersTheRandomExampleAsOnePlay) {
    TempDir dir;
    const std::string chart = std::string(KEYMIX_EXAMPLES) + "/random.bms";
    std::set<Bytes> plays;
    for (const char* seed : {"1", "2", "3", "5", "7"}) {
        SCOPED_TRACE(seed);
        Result result = runKeymix(dir, {"-p", seed, "-d", chart, "-o", "play.wav"});
        EXPECT_EQ(0, result.status);
        EXPECT_NE(std::string::npos, result.out.find("RANDOM 3 (line 41) => ")) << result.out;
        EXPECT_EQ(written("play.wav"), result.err);
        const Bytes play = test_util::readFile(dir.file("play.wav"));
        EXPECT_EQ(0, runKeymix(dir, {"-p", seed, chart, "-o", "again.wav"}).status);
        EXPECT_EQ(play, test_util::readFile(dir.file("again.wav")));
        plays.insert(play);
    }
    EXPECT_LE(3u, plays.size());
}

// A player gives each key sound one voice: 300 notes of one sound at one tic sound as one (and
// saturate without -p). It finds the sound spelt in another case, plays a missing one as silence
// and names it, and -s keeps the background or the keys alone.
TEST(KeymixE2eTest, OptionPPlaysOneVoiceAndGoesPastMissingSounds) {
    TempDir dir;
    std::string crowd;
    for (int i = 0; i < 300; ++i) crowd += "#00001:01\n";
    dir.write("crowd.bms", "#WAV01 a.wav\n" + crowd);
    dir.write("player.bms",
              "#WAV01 A.WAV\n#WAV02 gone.wav\n#WAV03 b.wav\n#00011:02\n#00012:03\n" + crowd);
    dir.write("a.wav", test_util::constantWav(4, 1000));
    dir.write("b.wav", test_util::constantWav(4, 100));
    const auto silenced = [](int notes) {
        return "\nWAVが読めないので無音にしました gone.wav (ノーツ数 " + std::to_string(notes) +
               ")\n";
    };
    const struct {
        std::vector<std::string> args;
        int16_t level;
        std::string err;
    } cases[] = {
        {{"crowd.bms"}, 32767, ""},
        {{"-p", "1", "crowd.bms"}, 1000, ""},
        {{"-p", "1", "player.bms"}, 1100, silenced(1)},
        {{"-p", "1", "-s", "keys", "player.bms"}, 100, silenced(1)},
        {{"-p", "1", "-s", "bgm", "player.bms"}, 1000, silenced(0)},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& arg : c.args) line += arg + " ";
        SCOPED_TRACE(line);
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-v", "100", "-o", "song.wav"});
        Result result = runKeymix(dir, args);
        EXPECT_EQ(0, result.status);
        EXPECT_EQ(c.err + written("song.wav"), result.err);
        EXPECT_EQ(Frames().add(4, c.level).wav(), test_util::readFile(dir.file("song.wav")));
    }
}

// A player finds a key sound whose #WAV name ends in blanks and reads a lone CR as the end of a
// line; standard error tells each kind of mending once, with its count and first lines.
TEST(KeymixE2eTest, OptionPTellsWhatItMended) {
    TempDir dir;
    dir.write("a.wav", test_util::constantWav(4, 1000));
    dir.write("b.wav", test_util::constantWav(4, 100));
    dir.write("blanks.bms", "#WAV01 a.wav \n#WAV02 b.wav\t\n#00011:01\n#00012:02\n");
    dir.write("cr.bms", "#WAV01 a.wav\r#WAV02 b.wav \r#00011:01\r#00012:02\r");
    std::string many;
    for (const char* id : {"01", "03", "04", "05", "06", "07"})
        many += std::string("#WAV") + id + " a.wav  \n";
    dir.write("many.bms", many + "#WAV02 b.wav\n#00011:01\n#00012:02\n");
    const std::string trimmed = "\nWAVファイル名の末尾の空白を取り除きました ";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{"blanks.bms"}, FAILED, "\nWAVへの変換失敗\n"},
        {{"-p", "1", "blanks.bms"}, 0, trimmed + "2 箇所 (行 1, 2)\n" + written("song.wav")},
        {{"cr.bms"},
         FAILED,
         "\nBMSファイルの解析失敗 cr.bms\nline 1 : 予期せぬEOFを検出しました。\n"},
        {{"-p", "1", "cr.bms"}, 0, trimmed + "1 箇所 (行 2)\n" + written("song.wav")},
        {{"-p", "1", "many.bms"},
         0,
         trimmed + "6 箇所 (行 1, 2, 3, 4, 5, ...)\n" + written("song.wav")},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& arg : c.args) line += arg + " ";
        SCOPED_TRACE(line);
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-v", "100", "-o", "song.wav"});
        Result result = runKeymix(dir, args);
        EXPECT_EQ(c.status, result.status);
        EXPECT_EQ(c.err, result.err);
        if (c.status == 0) {
            EXPECT_EQ(Frames().add(4, 1100).wav(), test_util::readFile(dir.file("song.wav")));
        }
        std::remove(dir.file("song.wav").c_str());
    }
}

// Key sounds that are Ogg Vorbis files named .wav in the chart, one of them also spelt in
// another case and with the other extension on disk. Without -x the chart fails as with any
// unreadable sample; with -x it converts.
TEST(KeymixE2eTest, OptionXReadsOggKeySounds) {
    TempDir dir;
    dir.write("song.bms", "#WAV01 tone.wav\n#WAV02 LEFT.wav\n#00011:01\n#00012:02\n");
    dir.write("tone.wav", test_util::readFile("tests/wav/data/sine_mono_22050.ogg"));
    dir.write("left.ogg", test_util::readFile("tests/wav/data/sine_left_44100.ogg"));

    Result plain = runKeymix(dir, {"song.bms"});
    EXPECT_EQ(FAILED, plain.status);
    EXPECT_EQ(
        settings("song.bms", "song.wav", 50) + "WAV変換準備中 ......\nWAV読み込み中\n" + RULER,
        plain.out);
    EXPECT_EQ("\nWAVへの変換失敗\n", plain.err);
    EXPECT_FALSE(test_util::fileExists(dir.file("song.wav")));

    Result extended = runKeymix(dir, {"-x", "song.bms"});
    EXPECT_EQ(0, extended.status);
    EXPECT_EQ(settings("song.bms", "song.wav", 50) + loadingBar() + "*\n", extended.out);
    EXPECT_EQ(written("song.wav"), extended.err);
    // tone.wav holds 2205 frames at 22050 Hz, 4410 at 44100 Hz; LEFT.wav 2205 frames.
    Bytes song = test_util::readFile(dir.file("song.wav"));
    ASSERT_EQ(44u + 4410u * 4, song.size());
    Bytes header = test_util::pcmWav(2, 44100, 16, Bytes(4410 * 4, 0));
    EXPECT_EQ(Bytes(header.begin(), header.begin() + 44), Bytes(song.begin(), song.begin() + 44));
}

// Damaged Ogg key sounds, as real packages carry them, play as far as their decoders get: the
// chart renders, as long as its longest sound (the Vorbis file with a page after its end,
// 35164 frames at 22050 Hz).
TEST(KeymixE2eTest, OptionXPlaysDamagedOggKeySounds) {
    const char* const sounds[] = {"vorbis_page_after_end.ogg", "vorbis_missing_page.ogg",
                                  "vorbis_page_after_end_and_missing_page.ogg",
                                  "vorbis_last_page_cut.ogg", "vorbis_cut_in_packet.ogg",
                                  "opus_loud.opus", "opus_missing_page.opus"};
    TempDir dir;
    std::string chart;
    int id = 1;
    for (const char* sound : sounds) {
        dir.write(sound, test_util::readFile(std::string("tests/decode/data/") + sound));
        chart += "#WAV0" + std::to_string(id) + " " + sound + "\n#0001" + std::to_string(id) +
                 ":0" + std::to_string(id) + "\n";
        ++id;
    }
    dir.write("song.bms", chart);
    Result result = runKeymix(dir, {"-x", "song.bms"});
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_EQ(44u + 35164u * 2 * 4, test_util::readFile(dir.file("song.wav")).size());
}

// A bmson chart, told by its extension in any case, renders with the same bars and lines as
// the BMS demo and into the same song; one that does not read is named with the reader's reason.
TEST(KeymixE2eTest, RendersBmsonChartsAndNamesTheirFaults) {
    TempDir dir;
    const std::string chart = std::string(KEYMIX_EXAMPLES) + "/demo.bmson";
    Result bms = runKeymix(dir, {std::string(KEYMIX_EXAMPLES) + "/demo.bms", "-r", "-o", "a.wav"});
    Result bmson = runKeymix(dir, {chart, "-o", "b.wav"});
    EXPECT_EQ(0, bmson.status);
    EXPECT_EQ(settings(chart, "b.wav", 50) + loadingBar() + STARS_49 + "*\n", bmson.out);
    EXPECT_EQ(written("b.wav"), bmson.err);
    EXPECT_EQ(test_util::readFile(dir.file("a.wav")), test_util::readFile(dir.file("b.wav")));

    dir.write("bad.BMSON", R"({"version":"1.0.0","info":{"init_bpm":0}})");
    Result bad = runKeymix(dir, {"bad.BMSON"});
    EXPECT_EQ(FAILED, bad.status);
    EXPECT_EQ(settings("bad.BMSON", "bad.wav", 50), bad.out);
    EXPECT_EQ("\nBMSファイルの解析失敗 bad.BMSON\n$.info.init_bpm のテンポが正しくありません。\n",
              bad.err);
    EXPECT_FALSE(test_util::fileExists(dir.file("bad.wav")));
}

}  // namespace
