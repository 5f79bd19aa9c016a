// Conversions of charts whose tempos, stops, samples and paths are impossible: each fails
// with its trace and message, and no damaged or stray output file is left.
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "bms/bms.h"
#include "bms/parser.h"
#include "console/keymix.h"
#include "convert/converter.h"
#include "tests/test_util.h"
#include "wav/wav.h"

namespace {

using test_util::Bytes;
using test_util::constantWav;
using test_util::endsWith;
using test_util::leftAt;
using test_util::runInProcess;
using test_util::RunResult;
using test_util::TempDir;

struct Conversion {
    std::unique_ptr<LuWav> mix;
    std::string trace;
    std::string failedPath;
    std::vector<std::string> asked;
};

std::vector<std::string>* askedLog = nullptr;
bool answerYes(const char* path) {
    askedLog->push_back(path);
    return true;
}

// Converts `chart` with the debug traces on; a.wav is one frame of 1000 on both sides.
Conversion convert(const TempDir& dir, const std::string& chart) {
    dir.write("a.wav", constantWav(1, 1000));
    Conversion result;
    askedLog = &result.asked;
    BmsConverter converter;
    converter.setDebug(true);
    converter.setContinueCallback(answerYes);
    converter.setChartPath(dir.write("chart.bms", chart).c_str());
    testing::internal::CaptureStdout();
    if (converter.open()) result.mix.reset(converter.convert());
    result.trace = testing::internal::GetCapturedStdout();
    result.failedPath = converter.getFailedWavPath();
    askedLog = nullptr;
    return result;
}

TEST(BadRunTest, ImpossibleTempoAndStopFailWithTheirTrace) {
    const struct {
        const char* name;
        const char* chart;
        const char* traceEnd;
    } cases[] = {
        {"BPM 0", "#BPM 0\n", "BPM error => 0\n"},
        {"BPM negative", "#BPM -120\n", "BPM error => -120\n"},
        {"BPM nan", "#BPM nan\n", "BPM error => nan\n"},
        {"BPM inf", "#BPM inf\n", "BPM error => inf\n"},
        {"BPM beyond a double", "#BPM 1e400\n", "BPM error => 1e400\n"},
        {"BPM too small for a tic", "#BPM 1e-320\n", "BPM error => 1e-320\n"},
        {"BPM without a number", "#BPM abc\n", "BPM error => abc\n"},
        {"channel 03 reading 0", "#00003:0G\n", "bpm changed 120.000000 =>BPM error => 0G\n"},
        {"channel 03 without a number", "#00003:Z1\n",
         "bpm changed 120.000000 =>BPM error => Z1\n"},
        {"#BPMxx 0", "#BPM01 0\n#00008:01\n",
         "exbpm changed 120.000000 =>ex BPM error => BPM01 0\n"},
        {"#BPMxx negative", "#BPM01 -5\n#00008:01\n",
         "exbpm changed 120.000000 =>ex BPM error => BPM01 -5\n"},
        {"#BPMxx nan", "#BPM01 nan\n#00008:01\n",
         "exbpm changed 120.000000 =>ex BPM error => BPM01 nan\n"},
        {"#BPMxx infinity", "#BPM01 infinity\n#00008:01\n",
         "exbpm changed 120.000000 =>ex BPM error => BPM01 infinity\n"},
        {"#BPMxx missing", "#00008:02\n", "exbpm changed 120.000000 =>ex BPM error => BPM02 \n"},
        {"#STOPxx negative", "#STOP01 -1\n#00009:01\n", "ex STOP error => STOP01 -1\n"},
        {"#STOPxx without a number", "#STOP01 x\n#00009:01\n", "ex STOP error => STOP01 x\n"},
        {"#STOPxx missing", "#00009:01\n", "ex STOP error => STOP01 \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const Conversion result = convert(dir, std::string("#WAV01 a.wav\n#00011:01\n") + c.chart);
        EXPECT_EQ(nullptr, result.mix);
        EXPECT_TRUE(endsWith(result.trace, c.traceEnd)) << result.trace;
    }
}

TEST(BadRunTest, HugeStopsPushLaterSoundsOutOfRange) {
    // 99999999999 saturates at 2147483647 units: 2 * 2147483647 * 229.6875 frames, far beyond
    // any frame a sound can start at. A sound on the stop's own tic still starts at frame 0.
    TempDir dir;
    Conversion result = convert(dir, "#WAV01 a.wav\n#STOP01 99999999999\n#00009:01\n#00011:01\n");
    ASSERT_NE(nullptr, result.mix);
    EXPECT_NE(std::string::npos, result.trace.find("STOP 2147483647\n"));
    EXPECT_EQ(4, result.mix->getDataSize());
    EXPECT_EQ(1000, leftAt(*result.mix, 0));

    result = convert(dir, "#WAV01 a.wav\n#STOP01 99999999999\n#00009:01\n#00011:0001\n");
    EXPECT_EQ(nullptr, result.mix);
}

TEST(BadRunTest, SamplesThatAreFoldersOrNothing) {
    const struct {
        const char* name;
        const char* chart;
        const char* missing;  // the failed name, joined to the chart's folder
        bool converts;
        bool asked;
    } cases[] = {
        {"used folder", "#WAV02 sub\n#00011:02\n", "sub", false, false},
        {"used chart folder", "#WAV02 .\n#00011:02\n", ".", false, false},
        {"used nothing", "#WAV02 none.wav\n#00011:02\n", "none.wav", false, false},
#ifndef _WIN32
        // The name keeps its trailing blanks, so no file has it. Windows drops
        // trailing blanks when it opens a file: there the name finds a.wav.
        {"used name with blanks", "#WAV02 a.wav  \n#00011:02\n", "a.wav  ", false, false},
#endif
        {"unused folder", "#WAV02 sub\n#00011:01\n", "sub", true, true},
        {"unused nothing", "#WAV02 none.wav\n#00011:01\n", "none.wav", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        dir.mkdir("sub");
        const Conversion result = convert(dir, std::string("#WAV01 a.wav\n") + c.chart);
        EXPECT_EQ(c.converts, result.mix != nullptr);
        const std::string path = dir.file(c.missing);
        EXPECT_EQ(path, result.failedPath);
        EXPECT_EQ(c.asked ? std::vector<std::string>{path} : std::vector<std::string>{},
                  result.asked);
        if (result.mix) {
            EXPECT_EQ(4, result.mix->getDataSize());
            EXPECT_EQ(1000, leftAt(*result.mix, 0));
        }
    }
}

TEST(BadRunTest, ConsoleReportsEachHostileRun) {
    const std::string CANNOT_WRITE = "\n出力ファイルに書き込めません ";
    const std::string CONVERT_FAILED = "\nWAVへの変換失敗\n";
    // The sample under id 01 fails to load after id 00 reported progress 0.
    const std::string RULER = "0----------------------------------------------100\n";
    TempDir dir;
    dir.write("a.wav", constantWav(1, 1000));
    const std::string good = dir.write("good.bms", "#WAV01 a.wav\n#00011:01\n");
    const std::string folder = dir.mkdir("out.wav");
    const std::string nowhere = dir.file("missing") + TempDir::separator() + "out.wav";
    const std::string made = dir.file("made.wav");
    const std::string kept = dir.write("kept.wav", "precious");
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string err;
        std::string outEnd;  // how standard output ends
    } cases[] = {
        {"output is a folder",
         {"-o", folder, good},
         CANNOT_WRITE + folder + "\n",
         "VOLUME          : 50%\n"},
        {"output in a missing folder",
         {"-o", nowhere, good},
         CANNOT_WRITE + nowhere + "\n",
         "VOLUME          : 50%\n"},
        {"tempo nan",
         {"-d", "-o", made, dir.write("nan.bms", "#BPM nan\n#00011:01\n")},
         CONVERT_FAILED,
         "BPM error => nan\n"},
        {"sample missing",
         {"-o", made, dir.write("gone.bms", "#WAV01 gone.wav\n#00011:01\n")},
         CONVERT_FAILED,
         RULER},
        // 87382 * 384 tics at 120 BPM put the last note past the frames an output can hold.
        {"note too far",
         {"-o", made, dir.write("far.bms", "#WAV01 a.wav\n#00002:87382\n#00111:01\n")},
         CONVERT_FAILED,
         RULER + std::string(49, '*')},
        {"failure keeps an existing file",
         {"-o", kept, dir.file("gone.bms")},
         CONVERT_FAILED,
         RULER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult run = runInProcess(c.args);
        EXPECT_EQ(-1, run.status);
        EXPECT_EQ(c.err, run.err);
        EXPECT_TRUE(endsWith(run.out, c.outEnd)) << run.out;
        // No output file is made by a failed run, and a file already there is kept as it was.
        EXPECT_FALSE(test_util::fileExists(made));
        EXPECT_FALSE(test_util::fileExists(nowhere));
        EXPECT_EQ(Bytes({'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}), test_util::readFile(kept));
    }
}

TEST(BadRunTest, ChartThatIsAFolderKeepsThePreviousLine) {
    TempDir dir;
    BmsBms* chart = nullptr;
    // A load of three lines leaves the line counter at 3; opening a folder does not touch it.
    ASSERT_TRUE(BmsLoad(dir.write("two.bms", "#TITLE a\n#ARTIST b\n").c_str(), &chart));
    delete chart;
    const std::string folder = dir.mkdir("chart.bms");
    const RunResult run = runInProcess({folder});
    EXPECT_EQ(-1, run.status);
    EXPECT_EQ("\nBMSファイルの解析失敗 " + folder + "\nline 3 : ファイルが開けませんでした。\n",
              run.err);
    EXPECT_FALSE(test_util::fileExists(dir.file("chart.wav")));
}

}  // namespace
