// The practice tracks as both kinds of chart hand out their triggers: the background alone, or
// the notes a player presses alone.
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "convert/converter.h"
#include "tests/test_util.h"
#include "wav/wav.h"

namespace {

TEST(ChartSourceTest, TracksKeepTheBackgroundOrTheKeys) {
    // Every note sits at the start, each sound four frames of its own level at volume 100: a
    // background 1000, a key 100, a sound on both 10, an invisible note 1, so that the level
    // tells which notes sounded.
    test_util::TempDir dir;
    const int levels[] = {1000, 100, 10, 1};
    const char* const names[] = {"a.wav", "b.wav", "c.wav", "d.wav"};
    for (int i = 0; i < 4; ++i) dir.write(names[i], test_util::constantWav(4, levels[i]));
    // BMS: the background lane, a key lane, a long note (its end is not heard) and an invisible
    // lane, which never sounds.
    dir.write("song.bms",
              "#WAV01 a.wav\n#WAV02 b.wav\n#WAV03 c.wav\n#WAV04 d.wav\n"
              "#00001:01\n#00011:02\n#00051:0303\n#00031:04\n");
    // bmson: a note on no lane and one on lane 1; c.wav once on each at one pulse, which sounds
    // once in the whole song.
    dir.write("song.bmson",
              R"({"version":"1.0.0","info":{"init_bpm":120},"sound_channels":[)"
              R"({"name":"a.wav","notes":[{"y":0}]},{"name":"b.wav","notes":[{"x":1,"y":0}]},)"
              R"({"name":"c.wav","notes":[{"x":0,"y":0},{"x":2,"y":0}]}]})");
    const struct {
        const char* chart;
        SoundTrack track;
        int level;
    } cases[] = {
        {"song.bms", SoundTrack::ALL, 1110},          {"song.bms", SoundTrack::BACKGROUND, 1000},
        {"song.bms", SoundTrack::KEYS, 110},          {"song.bmson", SoundTrack::ALL, 1110},
        {"song.bmson", SoundTrack::BACKGROUND, 1010}, {"song.bmson", SoundTrack::KEYS, 110},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.chart) + " " + std::to_string(static_cast<int>(c.track)));
        RenderOptions options;
        options.volume = 100;
        options.track = c.track;
        options.loaderThreads = 1;
        BmsConverter converter;
        converter.setOptions(options);
        converter.setChartPath(dir.file(c.chart).c_str());
        ASSERT_TRUE(converter.openChart()) << converter.getParseError();
        std::unique_ptr<LuWav> mix(converter.convert());
        ASSERT_NE(nullptr, mix);
        EXPECT_EQ(std::vector<int16_t>(8, static_cast<int16_t>(c.level)),
                  test_util::samplesOf(*mix));
    }
}

TEST(ChartSourceTest, PlayerModeSoundsBase62IdsAndLongNoteEnds) {
    // #BASE 62: aa and AA are two sounds on the background; a long note from bb to CC sounds
    // CC at its end. Each sound four frames of its own level, the end half a bar (44100
    // frames) after the start.
    test_util::TempDir dir;
    const int levels[] = {1000, 100, 10, 1};
    const char* const names[] = {"a.wav", "b.wav", "c.wav", "d.wav"};
    for (int i = 0; i < 4; ++i) dir.write(names[i], test_util::constantWav(4, levels[i]));
    dir.write("song.bms",
              "#BASE 62\n#WAVaa a.wav\n#WAVAA b.wav\n#WAVbb c.wav\n#WAVCC d.wav\n"
              "#00001:aaAA\n#00051:bbCC\n");
    const struct {
        SoundTrack track;
        int start;
        int end;
    } cases[] = {
        {SoundTrack::ALL, 1010, 101},
        {SoundTrack::BACKGROUND, 1000, 100},
        {SoundTrack::KEYS, 10, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.track));
        RenderOptions options;
        options.volume = 100;
        options.track = c.track;
        options.playerMode = true;
        options.loaderThreads = 1;
        BmsConverter converter;
        converter.setOptions(options);
        converter.setChartPath(dir.file("song.bms").c_str());
        ASSERT_TRUE(converter.openChart()) << converter.getParseError();
        std::unique_ptr<LuWav> mix(converter.convert());
        ASSERT_NE(nullptr, mix);
        const std::vector<int16_t> samples = test_util::samplesOf(*mix);
        ASSERT_EQ(2u * 44104, samples.size());
        EXPECT_EQ(c.start, samples[0]);
        EXPECT_EQ(c.end, samples[2 * 44100]);
    }
}

}  // namespace
