// Loading key sounds on several threads against loading them one after the other, and the
// samples that the converter leaves silent on request.
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bms/word.h"
#include "convert/converter.h"
#include "tests/test_util.h"
#include "wav/wav.h"

namespace {

using test_util::TempDir;

// What a conversion lets its caller see.
struct Observed {
    bool converts = false;
    std::vector<int16_t> mix;
    std::vector<int> progress;
    std::vector<std::string> asked;
    std::string failed;
    std::string trace;

    void add(int value) { progress.push_back(value); }
    bool ask(const char* path) {
        asked.push_back(path);
        return true;
    }
};

Observed convertWith(const std::string& chart, int threads, bool debug, bool silent = false) {
    Observed seen;
    BmsConverter converter;
    converter.setChartPath(chart.c_str());
    converter.setDebug(debug);
    converter.setExtendedSamples(true);
    converter.setMissingSamplesSilent(silent);
    converter.setLoadingThreads(threads);
    converter.setProgressCallback(&seen, &Observed::add);
    converter.setContinueCallback(&seen, &Observed::ask);
    if (debug) testing::internal::CaptureStdout();
    if (converter.open()) {
        const std::unique_ptr<LuWav> mix(converter.convert());
        seen.converts = mix != nullptr;
        if (mix) seen.mix = test_util::samplesOf(*mix);
    }
    if (debug) seen.trace = testing::internal::GetCapturedStdout();
    seen.failed = converter.getFailedWavPath();
    return seen;
}

std::string idText(int id) {
    char text[3];
    BmsWord(id).toText(text);
    return text;
}

// 400 samples of different lengths and values, each sounding once on its own tic of a bar of
// 384 tics; every 13th file is missing and not used. With `usedMissing`, samples 200 and 300
// are missing too.
std::string writeManySamples(const TempDir& dir, bool usedMissing) {
    std::string chart = "#BPM 300\n";
    std::string lanes[2];
    for (int id = 1; id <= 400; ++id) {
        const std::string name = "s" + std::to_string(id) + ".wav";
        chart += "#WAV" + idText(id) + " " + name + "\n";
        const bool unused = id % 13 == 0;
        lanes[id > 384] += unused ? "00" : idText(id);
        if (unused || (usedMissing && (id == 200 || id == 300))) continue;
        dir.write(name, test_util::pcmWav(1 + id % 2, id % 3 ? 44100 : 22050, 16,
                                          test_util::samples16(std::vector<int16_t>(
                                              100 + id * 7, static_cast<int16_t>(id * 50)))));
    }
    return dir.write("song.bms", chart + "#00011:" + lanes[0] + "\n#00012:" + lanes[1] + "\n");
}

TEST(BmsConverterLoadingTest, ThreadsChangeNothingThatCanBeSeen) {
    for (bool usedMissing : {false, true}) {
        SCOPED_TRACE(usedMissing ? "fails at sample 200" : "converts");
        TempDir dir;
        const std::string chart = writeManySamples(dir, usedMissing);
        for (bool debug : {false, true}) {
            const Observed serial = convertWith(chart, 1, debug);
            const Observed parallel = convertWith(chart, 8, debug);
            EXPECT_EQ(!usedMissing, serial.converts);
            EXPECT_EQ(serial.converts, parallel.converts);
            EXPECT_EQ(serial.mix, parallel.mix);
            EXPECT_EQ(serial.progress, parallel.progress);
            EXPECT_EQ(serial.asked, parallel.asked);
            EXPECT_EQ(usedMissing ? 15u : 30u, serial.asked.size());
            EXPECT_EQ(serial.failed, parallel.failed);
            EXPECT_EQ(dir.file(usedMissing ? "s200.wav" : "s390.wav"), parallel.failed);
            EXPECT_EQ(serial.trace, parallel.trace);
            EXPECT_EQ(debug, !parallel.trace.empty());
        }
    }
}

// Missing, shared and undecodable files play as silence and are listed once each with their
// notes; no question is asked, and the mix is the one without them.
TEST(BmsConverterLoadingTest, SilencesUnreadableSamplesOnRequest) {
    TempDir dir;
    dir.write("a.wav", test_util::constantWav(3000, 700));
    dir.write("broken.wav", "RIFF....WAVE");
    const std::string notes = "#00011:01020300\n#00001:0203\n#00004:04\n";
    const std::string chart = dir.write(
        "song.bms", "#WAV01 a.wav\n#WAV02 gone.wav\n#WAV03 gone.wav\n#WAV04 broken.wav\n" + notes);
    const std::string without = dir.write("without.bms", "#WAV01 a.wav\n" + notes);

    BmsConverter converter;
    converter.setChartPath(chart.c_str());
    converter.setMissingSamplesSilent(true);
    Observed seen;
    converter.setContinueCallback(&seen, &Observed::ask);
    ASSERT_NE(nullptr, converter.open());
    const std::unique_ptr<LuWav> mix(converter.convert());
    ASSERT_NE(nullptr, mix);
    EXPECT_TRUE(seen.asked.empty());
    std::vector<std::pair<std::string, int>> silenced;
    for (const auto& sample : converter.getSilencedSamples())
        silenced.emplace_back(sample.path, sample.notes);
    const std::vector<std::pair<std::string, int>> expected = {{dir.file("gone.wav"), 4},
                                                               {dir.file("broken.wav"), 0}};
    EXPECT_EQ(expected, silenced);
    EXPECT_EQ(convertWith(without, 0, false).mix, test_util::samplesOf(*mix));
}

}  // namespace
