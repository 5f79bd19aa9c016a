// renderChart: what the observer hears and when, what becomes of the output at each way out,
// and what the result tells.
#include "convert/render.h"

#include <gtest/gtest.h>
#include <string>

#include "convert/converter.h"
#include "bms/parser.h"
#include "tests/test_util.h"

namespace {

using test_util::Bytes;

// Notes the moments in order and answers as told; progress shows as its first and last value.
class Recorder : public RenderObserver {
public:
    bool goOnParsed = true;
    bool goOnReady = true;
    bool answer = false;
    std::string events;
    int firstProgress = 1000;
    int lastProgress = 1000;

    bool chartParsed(const BmsConverter& chart, bool outputExists) override {
        events += std::string("parsed(") + (chart.getBmsChart() ? "bms" : "null") + "," +
                  (outputExists ? "exists" : "new") + ") ";
        return goOnParsed;
    }
    bool outputReady() override {
        events += "ready ";
        return goOnReady;
    }
    void progress(int value) override {
        if (firstProgress == 1000) firstProgress = value;
        lastProgress = value;
    }
    bool continuePastUnusedSample(const char* path) override {
        events += std::string("ask(") + path + ") ";
        return answer;
    }
};

TEST(RenderTest, ObserverMomentsAndOutput) {
    test_util::TempDir dir;
    dir.write("a.wav", test_util::constantWav(100, 1000));
    const std::string a = dir.path() + test_util::TempDir::separator();
    const char* plays = "#WAV01 a.wav\n#00001:01\n";
    const char* missingUsed = "#WAV01 none.wav\n#00001:01\n";
    const char* missingUnused = "#WAV01 a.wav\n#WAV02 none.wav\n#00001:01\n";
    const Bytes kept = {'k', 'e', 'p', 't'};
    enum Output { NEW, EXISTING, FOLDER };
    const struct {
        const char* name;
        const char* chart;
        Output output;
        bool goOnParsed, goOnReady, answer, continueOption;
        RenderStatus status;
        std::string events;
        bool outputLeft;  // a song, or for a failure the file that was there
    } cases[] = {
        {"written", plays, EXISTING, true, true, false, false, RenderStatus::WRITTEN,
         "parsed(bms,exists) ready ", true},
        {"stopped on parse", plays, EXISTING, false, true, false, false, RenderStatus::STOPPED,
         "parsed(bms,exists) ", true},
        {"stopped when ready", plays, NEW, true, false, false, false, RenderStatus::STOPPED,
         "parsed(bms,new) ready ", false},
        {"stopped when ready, kept", plays, EXISTING, true, false, false, false,
         RenderStatus::STOPPED, "parsed(bms,exists) ready ", true},
        {"unwritable", plays, FOLDER, true, true, false, false, RenderStatus::OUTPUT_UNWRITABLE,
         "parsed(bms,exists) ", true},
        {"used sound missing", missingUsed, NEW, true, true, true, false,
         RenderStatus::CONVERT_FAILED, "parsed(bms,new) ready ", false},
        {"unused missing, no", missingUnused, NEW, true, true, false, false,
         RenderStatus::CONVERT_FAILED, "parsed(bms,new) ready ask(" + a + "none.wav) ", false},
        {"unused missing, yes", missingUnused, NEW, true, true, true, false, RenderStatus::WRITTEN,
         "parsed(bms,new) ready ask(" + a + "none.wav) ", true},
        {"unused missing, option", missingUnused, NEW, true, true, false, true,
         RenderStatus::WRITTEN, "parsed(bms,new) ready ", true},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = "out" + std::to_string(run++) + ".wav";
        const std::string output = dir.file(name);
        if (c.output == EXISTING) dir.write(name, kept);
        if (c.output == FOLDER) dir.mkdir(name);
        Recorder recorder;
        recorder.goOnParsed = c.goOnParsed;
        recorder.goOnReady = c.goOnReady;
        recorder.answer = c.answer;
        RenderOptions options;
        options.continuePastUnusedSamples = c.continueOption;
        const RenderResult result =
            renderChart(dir.write("chart.bms", c.chart), output, options, recorder);
        EXPECT_EQ(c.status, result.status);
        EXPECT_EQ(c.events, recorder.events);
        if (c.output != FOLDER) {
            EXPECT_EQ(c.outputLeft, test_util::fileExists(output));
        }
        if (c.status == RenderStatus::WRITTEN) {
            EXPECT_EQ(-1, recorder.firstProgress);
            EXPECT_EQ(200, recorder.lastProgress);
        } else if (c.outputLeft && c.output == EXISTING) {
            EXPECT_EQ(kept, test_util::readFile(output));
        }
    }
}

TEST(RenderTest, ResultTellsWhatHappened) {
    test_util::TempDir dir;
    dir.write("a.wav", test_util::constantWav(100, 1000));
    RenderObserver quiet;
    RenderOptions options;
    RenderResult result =
        renderChart(dir.write("bad.bms", "#0011:01\n"), dir.file("o.wav"), options, quiet);
    EXPECT_EQ(RenderStatus::PARSE_FAILED, result.status);
    EXPECT_EQ(BMS_ERROR_CHANNEL, result.parseErrorCode);
    EXPECT_EQ(1, result.parseErrorLine);
    EXPECT_EQ(std::string("line 1 : ") + BmsErrorText(BMS_ERROR_CHANNEL), result.parseError);

    // One 100-frame sound at the very start: 400 bytes of song.
    options.missingSamplesSilent = true;
    result = renderChart(dir.write("s.bms", "#WAV01 a.wav\n#WAV02 no.wav\n#00001:0102\n"),
                         dir.file("o.wav"), options, quiet);
    EXPECT_EQ(RenderStatus::WRITTEN, result.status);
    EXPECT_EQ(400, result.outputBytes);
    EXPECT_EQ(100, result.outputFrames);
    EXPECT_DOUBLE_EQ(100 / 44100.0, result.outputSeconds);
    ASSERT_EQ(1u, result.silenced.size());
    EXPECT_EQ(dir.file("no.wav"), result.silenced[0].path);
    EXPECT_EQ(1, result.silenced[0].notes);
    EXPECT_EQ(dir.file("no.wav"), result.failedSoundPath);

    options.finish.preview = true;
    options.finish.previewStart = 10.0;
    options.finish.previewLength = 1.0;
    result = renderChart(dir.file("s.bms"), dir.file("p.wav"), options, quiet);
    EXPECT_EQ(RenderStatus::PREVIEW_OUTSIDE_SONG, result.status);
    EXPECT_FALSE(test_util::fileExists(dir.file("p.wav")));
}

}  // namespace
