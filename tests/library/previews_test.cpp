// Which file names players take as a folder's preview.
#include "library/previews.h"

#include <gtest/gtest.h>

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

}  // namespace
