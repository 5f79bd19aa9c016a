// Where the preview window starts in each of its forms, worked out from the mixed song and its
// triggers.
#include "convert/song_finish.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "convert/render.h"
#include "tests/test_util.h"
#include "wav/wav.h"

namespace {

constexpr double PI = 3.14159265358979323846;

TEST(SongFinishTest, PlacesEachStartForm) {
    const std::vector<int64_t> bars = {0, 88200, 176400};
    const struct {
        const char* name;
        PreviewStartForm form;
        double start;
        int64_t firstKey;
        std::vector<int64_t> bars;
        int64_t loudest;
        double seconds;
    } cases[] = {
        {"seconds ignore the song", PreviewStartForm::SECONDS, 2.5, 44100, bars, 88200, 2.5},
        {"a share of the song", PreviewStartForm::PERCENT, 40, -1, bars, 0, 4.0},
        {"a share past the end", PreviewStartForm::PERCENT, 150, -1, bars, 0, 15.0},
        {"the first key note", PreviewStartForm::FIRST_KEY, 7, 66150, bars, 0, 1.5},
        {"no key note: the start", PreviewStartForm::FIRST_KEY, 7, -1, bars, 0, 0.0},
        {"loudest on a bar line", PreviewStartForm::LOUDEST, 7, -1, bars, 88200, 2.0},
        {"loudest back to its bar", PreviewStartForm::LOUDEST, 7, -1, bars, 176399, 2.0},
        {"loudest past the last bar", PreviewStartForm::LOUDEST, 7, -1, bars, 300000, 4.0},
        {"loudest before the first bar", PreviewStartForm::LOUDEST, 7, -1, {44100}, 4410, 0.0},
        {"loudest without bars", PreviewStartForm::LOUDEST, 7, -1, {}, 300000, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SongFinish finish;
        finish.previewForm = c.form;
        finish.previewStart = c.start;
        SongMarks marks;
        marks.firstKey = c.firstKey;
        marks.bars = c.bars;
        EXPECT_DOUBLE_EQ(c.seconds, previewStartSeconds(finish, marks, 441000, c.loudest));
    }
}

// A background sound at bars 0 and 2 and a key at bar 1, each 1000 frames long: the song has
// 177400 frames and its first key note starts at frame 88200, in every kind of chart.
TEST(SongFinishTest, CutsFromTheFirstKeyNoteOrAShareOfTheSong) {
    test_util::TempDir dir;
    dir.write("a.wav", test_util::constantWav(1000, 1000));
    const std::string bms = dir.write("s.bms", "#WAV01 a.wav\n#00001:01\n#00111:01\n#00201:01\n");
    const std::string bmson =
        dir.write("s.bmson",
                  R"({"version":"1.0.0","info":{"init_bpm":120},"sound_channels":[{"name":"a.wav",)"
                  R"("notes":[{"x":0,"y":0},{"x":1,"y":960},{"x":0,"y":1920}]}]})");
    const struct {
        const char* name;
        std::string chart;
        bool player;
        SoundTrack track;
        PreviewStartForm form;
        double start;
        int64_t frames;
    } cases[] = {
        {"bms first", bms, false, SoundTrack::ALL, PreviewStartForm::FIRST_KEY, 0, 89200},
        {"bms as played first", bms, true, SoundTrack::ALL, PreviewStartForm::FIRST_KEY, 0, 89200},
        {"bmson first", bmson, false, SoundTrack::ALL, PreviewStartForm::FIRST_KEY, 0, 89200},
        {"bms background first", bms, false, SoundTrack::BACKGROUND, PreviewStartForm::FIRST_KEY, 0,
         177400},
        {"bms half", bms, false, SoundTrack::ALL, PreviewStartForm::PERCENT, 50, 88700},
        {"bmson half", bmson, false, SoundTrack::ALL, PreviewStartForm::PERCENT, 50, 88700},
        {"bms whole", bms, false, SoundTrack::ALL, PreviewStartForm::PERCENT, 100, -1},
    };
    RenderObserver quiet;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RenderOptions options;
        options.playerMode = c.player;
        options.track = c.track;
        options.finish.preview = true;
        options.finish.previewForm = c.form;
        options.finish.previewStart = c.start;
        options.finish.previewLength = 10.0;
        const RenderResult result = renderChart(c.chart, dir.file("o.wav"), options, quiet);
        if (c.frames < 0) {
            EXPECT_EQ(RenderStatus::PREVIEW_OUTSIDE_SONG, result.status);
        } else {
            EXPECT_EQ(RenderStatus::WRITTEN, result.status);
            EXPECT_EQ(c.frames, result.outputFrames);
        }
    }
}

// A half-second tone from the middle of bar 1 (frame 132300) in a song to bar 3: the loudest two
// seconds begin near frame 99000, moved back to bar 1 (frame 88200), so that the tone begins
// 44100 frames into the preview, on either bus.
TEST(SongFinishTest, StartsTheLoudestWindowOnTheBarLineBeforeIt) {
    test_util::TempDir dir;
    std::vector<int16_t> tone(22050 * 2);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<int16_t>(16000 * std::sin(2 * PI * 1000.0 * (i / 2) / 44100));
    dir.write("tone.wav", test_util::pcmWav(2, 44100, 16, test_util::samples16(tone)));
    dir.write("end.wav", test_util::constantWav(4, 0));
    const std::string chart =
        dir.write("s.bms", "#WAV01 tone.wav\n#WAV02 end.wav\n#00101:0001\n#00301:02\n");
    RenderObserver quiet;
    for (const bool normalise : {false, true}) {
        SCOPED_TRACE(normalise ? "normalised" : "saturating");
        RenderOptions options;
        options.volume = 100;
        options.finish.normalise = normalise;
        options.finish.preview = true;
        options.finish.previewForm = PreviewStartForm::LOUDEST;
        options.finish.previewLength = 2.0;
        const std::string output = dir.file("o.wav");
        ASSERT_EQ(RenderStatus::WRITTEN, renderChart(chart, output, options, quiet).status);
        LuWav song;
        ASSERT_TRUE(song.read(output.c_str()));
        const std::vector<int16_t> samples = test_util::samplesOf(song);
        ASSERT_EQ(88200u * 2, samples.size());
        const auto heard = [&](size_t from, size_t to) {
            return std::any_of(samples.begin() + from * 2, samples.begin() + to * 2,
                               [](int16_t sample) { return sample != 0; });
        };
        EXPECT_FALSE(heard(0, 44100));
        EXPECT_TRUE(heard(44100, 44200));
    }
}

}  // namespace
