// Which file names players take as a folder's preview.
#include "library/previews.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

TEST(LibraryPreviewsTest, NamesPlayersTakeAsPreviews) {
    const struct {
        const char* name;
        bool preview;
    } cases[] = {
        {"preview.ogg", true},        {"PREVIEW_x.FLAC", true},   {"Preview.mp3", true},
        {"preview_keymix.ogg", true}, {"preview.opus", false},    {"my_preview.wav", false},
        {"previe.wav", false},        {"preview.wav.txt", false}, {"preview", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.preview, isPreviewName(c.name));
    }
}

// A chart that names an existing clip (#PREVIEW, a bmson chart's preview_music) keeps the folder
// as its author made it; a name of another type or of no file leaves the choice to the notes.
TEST(LibraryPreviewsTest, ChartsNamingTheirClipLeaveTheFolderAlone) {
    const std::string bmson = R"({"version":"1.0.0","info":{"init_bpm":120,"preview_music":)";
    const std::string notes = R"(},"sound_channels":[{"name":"a.wav","notes":[{"y":0}]}]})";
    const struct {
        const char* name;
        const char* chart;
        std::string text;
        bool named;
    } cases[] = {
        {"BMS", "song.bms", "#PREVIEW clip.ogg\n#WAV01 a.wav\n#00111:01\n", true},
        {"bmson", "song.bmson", bmson + R"("clip.ogg")" + notes, true},
        {"bmson, no such file", "song.bmson", bmson + R"("gone.ogg")" + notes, false},
        {"bmson, a number", "song.bmson", bmson + "5" + notes, false},
        {"bmson, an object", "song.bmson", bmson + R"({"a":[1]})" + notes, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test_util::TempDir dir;
        dir.write("clip.ogg", "author's");
        const std::string chart = dir.write(c.chart, c.text);
        std::string chosen;
        std::string named;
        choosePreviewChart({chart}, RenderOptions(), &chosen, &named);
        EXPECT_EQ(c.named ? dir.file("clip.ogg") : "", named);
        EXPECT_EQ(c.named ? "" : chart, chosen);
    }
}

}  // namespace
