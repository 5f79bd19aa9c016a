#include "console/keymix.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "library/chart_message.h"
#include "tests/test_util.h"

#ifdef _WIN32
#define chdir _chdir
#define getcwd _getcwd
#endif

namespace {

constexpr char USAGE[] = "Usage: keymix [-v volume(%)] [-o output] [-d] [-i] [-r] <input>\n";

using test_util::runInProcess;
using test_util::RunResult;

// Makes `path` the current folder until the object goes away.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& path) {
        char buffer[4096];
        if (getcwd(buffer, sizeof buffer)) previous = buffer;
        EXPECT_EQ(0, chdir(path.c_str()));
    }
    ~CurrentDirectory() {
        if (!previous.empty() && chdir(previous.c_str()) != 0) ADD_FAILURE() << previous;
    }

private:
    std::string previous;
};

std::string join(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& arg : args) text += "[" + arg + "]";
    return text;
}

TEST(KeymixTest, PrintsUsageForBadCommandLines) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"-v"},
        {"song.bms", "-v"},
        {"-o"},
        {"song.bms", "-o"},
        {"-v", "abc", "song.bms"},
        {"-v", "", "song.bms"},
        {"-v", "-", "song.bms"},
        {"-v", " +", "song.bms"},
        {"-v", "-o", "song.bms"},
        {"-z", "song.bms"},
        {"-D", "song.bms"},
        {"-", "song.bms"},
        {"a.bms", "b.bms"},
        {"a.bms", "-d", "b.bms"},
        {"-o", "out.wav"},
        {"-d", "-i", "-r"},
        // The window of -w: START,LENGTH in decimal seconds, the length above zero.
        {"song.bms", "-w"},
        {"-w", "1", "song.bms"},
        {"-w", "1,0", "song.bms"},
        {"-w", "-1,2", "song.bms"},
        {"-w", "1,2s", "song.bms"},
        {"-w", ",2", "song.bms"},
        {"-w", "1e3,2", "song.bms"},
        {"-w", ".,2", "song.bms"},
        // Its other starts: a decimal share of the song, "first".
        {"-w", "%,2", "song.bms"},
        {"-w", "40 %,2", "song.bms"},
        {"-w", "-4%,2", "song.bms"},
        {"-w", "first%,2", "song.bms"},
        {"-w", "First,2", "song.bms"},
        {"-w", "auto", "song.bms"},
        {"-w", "auto,", "song.bms"},
        {"-w", "first,0", "song.bms"},
        {"song.bms", "-s"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(join(args));
        RunResult result = runInProcess(args);
        EXPECT_EQ(0, result.status);
        EXPECT_EQ("", result.out);
        EXPECT_EQ(USAGE, result.err);
    }
}

// A track of -s that is neither "bgm" nor "keys" is named before the usage line.
TEST(KeymixTest, NamesABadTrack) {
    for (const char* track : {"BGM", "", "all", "-o"}) {
        SCOPED_TRACE(track);
        RunResult result = runInProcess({"-s", track, "song.bms"});
        EXPECT_EQ(0, result.status);
        EXPECT_EQ("", result.out);
        EXPECT_EQ(
            std::string("練習トラックには bgm か keys を指定してください ") + track + "\n" + USAGE,
            result.err);
    }
}

// Each accepted command line prints its three settings lines; the chart named
// here does not exist, so the run then stops at the parse failure.
TEST(KeymixTest, PrintsSettingsOfAcceptedCommandLines) {
    const struct {
        std::vector<std::string> args;
        const char* input;
        const char* output;
        const char* volume;
        bool traced = false;
    } cases[] = {
        {{"song.bms"}, "song.bms", "song.wav", "50"},
        {{"song.bme"}, "song.bme", "song.wav", "50"},
        {{"song"}, "song", "song.wav", "50"},
        {{"a.b.bms"}, "a.b.bms", "a.b.wav", "50"},
        {{"set.2/song"}, "set.2/song", "set.2/song.wav", "50"},
        {{"D:\\charts\\song.bme"}, "D:\\charts\\song.bme", "D:\\charts\\song.wav", "50"},
        {{"-o", "out.wav", "song.bms"}, "song.bms", "out.wav", "50"},
        {{"song.bms", "-o", "out.wav"}, "song.bms", "out.wav", "50"},
        {{"-o", "out.bms", "song.bms"}, "song.bms", "out.bms", "50"},
        {{"-o", "a.wav", "-o", "b.wav", "song.bms"}, "song.bms", "b.wav", "50"},
        {{"-o", "-v", "song.bms"}, "song.bms", "-v", "50"},
        {{"-v", "80x", "song.bms"}, "song.bms", "song.wav", "80"},
        {{"-v", "-20", "song.bms"}, "song.bms", "song.wav", "-20"},
        {{"-v", " \t+7", "song.bms"}, "song.bms", "song.wav", "7"},
        {{"-v", "0", "song.bms"}, "song.bms", "song.wav", "0"},
        {{"-v", "007", "song.bms"}, "song.bms", "song.wav", "7"},
        {{"-v", "250", "song.bms"}, "song.bms", "song.wav", "250"},
        {{"-v", "1", "-v", "2", "song.bms"}, "song.bms", "song.wav", "2"},
        {{"-v", "2147483647", "song.bms"}, "song.bms", "song.wav", "2147483647"},
        {{"-v", "99999999999", "song.bms"}, "song.bms", "song.wav", "2147483647"},
        {{"-v", "-2147483648", "song.bms"}, "song.bms", "song.wav", "-2147483648"},
        {{"-v", "-99999999999999999999999", "song.bms"}, "song.bms", "song.wav", "-2147483648"},
        // -debug counts as -d: the converter traces the opening.
        {{"-debug", "-input", "-rr", "song.bms"}, "song.bms", "song.wav", "50", true},
        {{"-d", "-d", "-i", "-r", "-r", "song.bms"}, "song.bms", "song.wav", "50", true},
        {{"-input", "-rr", "song.bms"}, "song.bms", "song.wav", "50"},
        // -x changes how samples load, nothing printed before; -xd counts as -x.
        {{"-x", "-x", "song.bms"}, "song.bms", "song.wav", "50"},
        {{"-xd", "song.bms", "-x"}, "song.bms", "song.wav", "50"},
        {{"-n", "-w", "1.5,.5", "song.bms"}, "song.bms", "song.wav", "50"},
        {{"-w", "0,30", "-o", "a.flac", "song.bms"}, "song.bms", "a.flac", "50"},
        {{"-w", "40%,30", "song.bms"}, "song.bms", "song.wav", "50"},
        {{"-w", "12.5%,30", "song.bms"}, "song.bms", "song.wav", "50"},
        {{"-w", "first,30", "song.bms"}, "song.bms", "song.wav", "50"},
        {{"-w", "auto,30", "song.bms"}, "song.bms", "song.wav", "50"},
        {{"song.pms"}, "song.pms", "song.wav", "50"},
        {{"-s", "bgm", "song.bms"}, "song.bms", "song.wav", "50"},
        {{"-p", "3", "-s", "keys", "song.bms"}, "song.bms", "song.wav", "50"},
    };
    // Run in an empty folder, so that none of the charts named here exists.
    test_util::TempDir dir;
    CurrentDirectory inside(dir.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(join(c.args));
        RunResult result = runInProcess(c.args);
        EXPECT_EQ(-1, result.status);
        EXPECT_EQ(std::string("INPUT BMS FILE  : ") + c.input + "\nOUTPUT WAV FILE : " + c.output +
                      "\nVOLUME          : " + c.volume + "%\n" +
                      (c.traced ? std::string("file open ") + c.input + "\n" : ""),
                  result.out);
        // The line number belongs to whatever this process loaded before.
        std::string failed = std::string("\nBMSファイルの解析失敗 ") + c.input + "\nline ";
        EXPECT_EQ(0u, result.err.find(failed)) << result.err;
        EXPECT_NE(std::string::npos, result.err.find(" : ファイルが開けませんでした。\n"));
        EXPECT_FALSE(test_util::fileExists(c.output));
    }
}

// What was mended comes before the closing lines, one line per kind: lines not known are left
// out, and a kind the console has no words for still gets a line.
TEST(KeymixTest, TellsWhatWasMendedBeforeTheClosingLines) {
    RenderResult result;
    result.status = RenderStatus::CONVERT_FAILED;
    result.repairs = {{BmsRepairKind::LONG_NOTE_END, 3, {4, 0, 9}},
                      {static_cast<BmsRepairKind>(1000), 2, {0, 0}}};
    EXPECT_EQ(
        "\nロングノートの終端を読み替えました 3 箇所 (行 4, 9)\n"
        "譜面の記述を読み替えました 2 箇所\n\nWAVへの変換失敗\n",
        chartMessage(result, "a.bms", "a.wav"));
    result.status = RenderStatus::STOPPED;
    EXPECT_EQ("", chartMessage(result, "a.bms", "a.wav"));
}

}  // namespace
