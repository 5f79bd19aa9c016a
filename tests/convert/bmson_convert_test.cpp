// bmson charts through the converter: the same loading and mixing as BMS charts, with the
// continuation flag, the lookup of extension-less names and option -m.
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "convert/converter.h"
#include "tests/test_util.h"
#include "wav/wav.h"

namespace {

using test_util::samplesOf;
using test_util::TempDir;

std::vector<int> progress;

std::unique_ptr<LuWav> render(BmsConverter& converter, const std::string& chartPath) {
    converter.setChartPath(chartPath.c_str());
    converter.setLoadingThreads(1);
    if (!converter.openChart()) {
        ADD_FAILURE() << converter.getParseError();
        return nullptr;
    }
    return std::unique_ptr<LuWav>(converter.convert());
}

// A stereo sound of `frames` frames whose frame i holds i + 1 on both sides.
test_util::Bytes ramp(int frames) {
    std::vector<int16_t> samples;
    for (int i = 0; i < frames; ++i)
        samples.insert(samples.end(), {int16_t(i + 1), int16_t(i + 1)});
    return test_util::pcmWav(2, 44100, 16, test_util::samples16(samples));
}

// 60 BPM at 441 pulses per beat: a pulse is 100 frames.
std::string chart(const std::string& channels) {
    return R"({"version":"1.0.0","info":{"init_bpm":60,"resolution":441},"sound_channels":[)" +
           channels + "]}";
}

// The demo song as bmson mixes byte for byte as its BMS form with retriggers cut: every play
// starts at the very frame of its BMS trigger (closer than the one frame that the rounding
// could allow). At half volume no sum saturates, so the order in which sounds of one frame
// are mixed, the chart's own, makes no difference.
TEST(BmsonConvertTest, DemoMixesAsTheBmsDemoWithRetriggersCut) {
    BmsConverter bms;
    bms.setCutOnRetrigger(true);
    bms.setVolume(50);
    testing::internal::CaptureStdout();
    std::unique_ptr<LuWav> expected = render(bms, "examples/demo.bms");
    testing::internal::GetCapturedStdout();
    BmsConverter bmson;
    bmson.setVolume(50);
    std::unique_ptr<LuWav> mix = render(bmson, "examples/demo.bmson");
    ASSERT_NE(nullptr, expected);
    ASSERT_NE(nullptr, mix);
    EXPECT_EQ(expected->getDataSize(), mix->getDataSize());
    EXPECT_TRUE(samplesOf(*expected) == samplesOf(*mix));
}

// A continued note goes on with the play of the note before; a restart cuts it at frame 100
// and plays the file again from there. The progress runs through every value once.
TEST(BmsonConvertTest, ContinuationKeepsThePlayAndRestartCutsIt) {
    struct Case {
        const char* flag;
        std::vector<int> starts;
    };
    const std::vector<Case> cases = {{"true", {0}}, {"false", {0, 100}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flag);
        TempDir dir;
        dir.write("ramp.wav", ramp(300));
        const std::string path = dir.write(
            "song.bmson", chart(R"({"name":"ramp.wav","notes":[{"x":1,"y":0},{"x":1,"y":1,"c":)" +
                                std::string(c.flag) + "}]}"));
        BmsConverter converter;
        progress.clear();
        converter.setProgressCallback(+[](int value) { progress.push_back(value); });
        std::unique_ptr<LuWav> mix = render(converter, path);
        ASSERT_NE(nullptr, mix);
        std::vector<int16_t> expected;
        for (size_t i = 0; i < c.starts.size(); ++i) {
            const int end = i + 1 < c.starts.size() ? c.starts[i + 1] : c.starts[i] + 300;
            for (int frame = c.starts[i]; frame < end; ++frame) {
                const int16_t value = static_cast<int16_t>(frame - c.starts[i] + 1);
                expected.insert(expected.end(), {value, value});
            }
        }
        EXPECT_EQ(expected, samplesOf(*mix));
        std::vector<int> values;
        for (int value = -1; value <= 200; ++value) values.push_back(value);
        EXPECT_EQ(values, progress);
    }
}

// Names are looked up as option -x does, one without an extension trying the known ones and
// backslashes standing for folders. A missing sound fails the conversion, or with -m is left
// silent and listed with its notes.
TEST(BmsonConvertTest, LooksSoundsUpAndSilencesMissingOnesWithOptionM) {
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent);
        TempDir dir;
        dir.mkdir("sub");
        dir.write("sub/Ramp.ogg", ramp(3));
        const std::string path =
            dir.write("song.bmson", chart(R"({"name":"gone.wav","notes":[{"y":0},{"y":2}]},)"
                                          R"({"name":"sub\\ramp","notes":[{"y":0}]})"));
        BmsConverter converter;
        converter.setMissingSamplesSilent(silent);
        std::unique_ptr<LuWav> mix = render(converter, path);
        EXPECT_EQ(dir.file("gone.wav"), converter.getFailedWavPath());
        if (!silent) {
            EXPECT_EQ(nullptr, mix);
            continue;
        }
        ASSERT_NE(nullptr, mix);
        EXPECT_EQ((std::vector<int16_t>{1, 1, 2, 2, 3, 3}), samplesOf(*mix));
        ASSERT_EQ(1u, converter.getSilencedSamples().size());
        EXPECT_EQ(dir.file("gone.wav"), converter.getSilencedSamples()[0].path);
        EXPECT_EQ(2, converter.getSilencedSamples()[0].notes);
    }
}

// A channel whose name is empty, or nothing but "." and separators, is a key sound that cannot
// be found, never the folder nor a file of the bare extension: it fails the conversion as a
// missing file does, or with -m is left silent and listed with its notes.
TEST(BmsonConvertTest, AnEmptyNameIsASoundThatCannotBeFound) {
    for (const char* name : {"", "./"}) {
        for (const bool silent : {false, true}) {
            SCOPED_TRACE(std::string(name) + (silent ? " silent" : ""));
            TempDir dir;
            dir.write(".wav", ramp(5));
            dir.write("ramp.wav", ramp(3));
            const std::string path = dir.write(
                "song.bmson", chart(R"({"name":")" + std::string(name) +
                                    R"(","notes":[{"y":0}]},{"name":"ramp","notes":[{"y":0}]})"));
            BmsConverter converter;
            converter.setMissingSamplesSilent(silent);
            std::unique_ptr<LuWav> mix = render(converter, path);
            EXPECT_EQ(dir.file(""), converter.getFailedWavPath());
            if (!silent) {
                EXPECT_EQ(nullptr, mix);
                continue;
            }
            ASSERT_NE(nullptr, mix);
            EXPECT_EQ((std::vector<int16_t>{1, 1, 2, 2, 3, 3}), samplesOf(*mix));
            ASSERT_EQ(1u, converter.getSilencedSamples().size());
            EXPECT_EQ(dir.file(""), converter.getSilencedSamples()[0].path);
            EXPECT_EQ(1, converter.getSilencedSamples()[0].notes);
        }
    }
}

}  // namespace
