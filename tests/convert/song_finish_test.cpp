// Where the preview window starts in each of its forms, worked out from the mixed song and its
// triggers.
#include "convert/song_finish.h"

#include <gtest/gtest.h>
#include <string>

#include "convert/render.h"
#include "tests/test_util.h"

namespace {

TEST(SongFinishTest, PlacesEachStartForm) {
    const struct {
        const char* name;
        PreviewStartForm form;
        double start;
        int64_t firstKey;
        double seconds;
    } cases[] = {
        {"seconds ignore the song", PreviewStartForm::SECONDS, 2.5, 44100, 2.5},
        {"a share of the song", PreviewStartForm::PERCENT, 40, -1, 4.0},
        {"a share past the end", PreviewStartForm::PERCENT, 150, -1, 15.0},
        {"the first key note", PreviewStartForm::FIRST_KEY, 7, 66150, 1.5},
        {"no key note: the start", PreviewStartForm::FIRST_KEY, 7, -1, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SongFinish finish;
        finish.previewForm = c.form;
        finish.previewStart = c.start;
        SongMarks marks;
        marks.firstKey = c.firstKey;
        EXPECT_DOUBLE_EQ(c.seconds, previewStartSeconds(finish, marks, 441000));
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

}  // namespace
