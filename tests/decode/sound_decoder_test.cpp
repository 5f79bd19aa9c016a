#include "decode/sound_decoder.h"

#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

using test_util::Bytes;

// Damaged Ogg files as real downloads carry them, each beside the samples that the format's
// own command-line decoder writes for it (scripts/make_damaged_sounds.py): oggdec for Vorbis,
// exactly; opusdec --no-dither for Opus, within 1, its float arithmetic being free to round
// the other way. Every sample past the damage counts, so a decoder that stops at a hole, or
// refuses a cut-short file, or clamps where the reference soft-clips, fails here.
TEST(LuSoundDecoderTest, DecodesDamagedOggAsItsReferenceDecoder) {
    const struct {
        const char* name;
        int channels;
        int frequency;
        int tolerance;
    } cases[] = {
        {"vorbis_page_after_end.ogg", 1, 22050, 0},
        {"vorbis_missing_page.ogg", 1, 22050, 0},
        {"vorbis_page_after_end_and_missing_page.ogg", 1, 22050, 0},
        {"vorbis_last_page_cut.ogg", 1, 22050, 0},
        {"vorbis_cut_in_packet.ogg", 1, 22050, 0},
        {"opus_loud.opus", 2, 48000, 1},
        {"opus_missing_page.opus", 2, 48000, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = std::string("tests/decode/data/") + c.name;
        const Bytes file = test_util::readFile(path);
        const Bytes raw = test_util::readFile(path.substr(0, path.rfind('.')) + ".raw");
        ASSERT_FALSE(file.empty());
        ASSERT_FALSE(raw.empty());
        std::vector<int16_t> reference(raw.size() / 2);
        for (size_t i = 0; i < reference.size(); ++i)
            reference[i] = static_cast<int16_t>(raw[2 * i] | raw[2 * i + 1] << 8);

        LuDecodedSound sound;
        ASSERT_TRUE(LuDecodeSound(file.data(), file.size(), false, &sound));
        EXPECT_EQ(c.channels, sound.channels);
        EXPECT_EQ(c.frequency, sound.frequency);
        ASSERT_EQ(static_cast<int64_t>(reference.size()), sound.samples->getCount());
        const int16_t* samples = sound.samples->getSamples();
        int worst = 0;
        size_t first = reference.size();
        for (size_t i = 0; i < reference.size(); ++i) {
            const int difference = std::abs(samples[i] - reference[i]);
            if (difference > c.tolerance && first == reference.size()) first = i;
            if (difference > worst) worst = difference;
        }
        EXPECT_LE(worst, c.tolerance) << "first at sample " << first;
    }
}

}  // namespace
