// The practice tracks as both kinds of chart hand out their triggers: the background alone, or
// the notes a player presses alone.
#include "convert/chart_source.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "bms/bms.h"
#include "bms/parser.h"
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

namespace {

// The frames of a source's bar lines, once its triggers are out.
std::vector<int64_t> barsOf(ChartSource* source) {
    source->start(false, false, SoundTrack::ALL, {});
    EXPECT_TRUE(source->begin(0, [](int64_t) {}));
    ChartTrigger trigger;
    while (source->next(&trigger)) {
    }
    return source->barFrames();
}

TEST(ChartSourceTest, BarLinesLieWhereTheirBarsStart) {
    // 120 BPM, bar 1 half as long, 240 BPM and a stop of one 4/4 bar (1 second then) at bar 2:
    // the bars start at 0, 2, 3 and, past the stop, 5 seconds.
    test_util::TempDir dir;
    const std::string bms = dir.write("song.bms",
                                      "#WAV01 a.wav\n#STOP01 192\n#00102:0.5\n#00201:01\n"
                                      "#00203:F0\n#00209:01\n#00301:01\n");
    const std::vector<int64_t> bmsBars = {0, 88200, 132300, 220500};
    for (const bool player : {false, true}) {
        SCOPED_TRACE(player ? "bms as played" : "bms");
        BmsLoadOptions options;
        options.keepPlayerData = player;
        BmsBms* loaded = nullptr;
        ASSERT_TRUE(BmsLoad(bms.c_str(), &loaded, options));
        std::unique_ptr<BmsBms> chart(loaded);
        EXPECT_EQ(bmsBars, barsOf(makeBmsSource(chart.get(), player).get()));
    }
    // bmson at 120 BPM, a beat 22050 frames, a stop of one beat at pulse 960: its lines in any
    // order, the line at the stop before it; without lines, each beat up to the last note.
    const auto bmson = [](const std::string& lines) {
        return R"({"version":"1.0.0","info":{"init_bpm":120},)" + lines +
               R"("stop_events":[{"y":960,"duration":240}],"sound_channels":[)"
               R"({"name":"a.wav","notes":[{"y":0},{"x":1,"y":600}]}]})";
    };
    const struct {
        const char* name;
        std::string text;
        std::vector<int64_t> bars;
    } cases[] = {
        {"lines", bmson(R"("lines":[{"y":1440},{"y":0},{"y":960}],)"), {0, 88200, 154350}},
        {"beats", bmson(""), {0, 22050, 44100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        std::unique_ptr<ChartSource> source =
            openBmsonSource(dir.write("song.bmson", c.text), false, &error);
        ASSERT_NE(nullptr, source) << error;
        EXPECT_EQ(c.bars, barsOf(source.get()));
    }
}

}  // namespace
