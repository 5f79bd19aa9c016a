// The converter with extended samples: the lookup and the decoders take part in loading, and a
// failure still names the sample by its path as the chart writes it.
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "convert/converter.h"
#include "tests/test_util.h"
#include "wav/wav.h"

namespace {

using test_util::Bytes;
using test_util::samplesOf;
using test_util::TempDir;

std::unique_ptr<LuWav> render(BmsConverter& converter, const std::string& chartPath,
                              bool extended) {
    converter.setChartPath(chartPath.c_str());
    converter.setExtendedSamples(extended);
    if (!converter.open()) {
        ADD_FAILURE() << "chart does not parse";
        return nullptr;
    }
    return std::unique_ptr<LuWav>(converter.convert());
}

// Kick.WAV is kick.wav on disk, 24-bit mono: 0x010000 keeps its top 16 bits, 256. snare.wav is
// snare.ogg on disk, but a float WAV inside: 0.25 and -0.25 are 8192 and -8192. Both sound at
// frame 0.
TEST(BmsConverterExtendedTest, LoadsSamplesThroughTheLookupAndTheDecoders) {
    TempDir dir;
    const std::string chart =
        dir.write("song.bms", "#WAV01 Kick.WAV\n#WAV02 snare.wav\n#00011:01\n#00012:02\n");
    Bytes kick;
    for (int i = 0; i < 10; ++i) kick.insert(kick.end(), {0x00, 0x00, 0x01});
    dir.write("kick.wav", test_util::pcmWav(1, 44100, 24, kick));
    Bytes snare;
    for (int i = 0; i < 5; ++i) {
        test_util::putLe32(snare, 0x3E800000);  // 0.25f
        test_util::putLe32(snare, 0xBE800000);  // -0.25f
    }
    Bytes chunks;
    test_util::putChunk(chunks, "fmt ", test_util::fmtPayload(2, 44100, 32, 3));
    test_util::putChunk(chunks, "data", snare);
    dir.write("snare.ogg", test_util::riffWave(chunks));

    BmsConverter plain;
    EXPECT_EQ(nullptr, render(plain, chart, false));
    EXPECT_EQ(dir.file("Kick.WAV"), plain.getFailedWavPath());

    BmsConverter extended;
    std::unique_ptr<LuWav> mix = render(extended, chart, true);
    ASSERT_NE(nullptr, mix);
    std::vector<int16_t> expected;
    for (int i = 0; i < 5; ++i) expected.insert(expected.end(), {256 + 8192, 256 - 8192});
    for (int i = 0; i < 5; ++i) expected.insert(expected.end(), {256, 256});
    EXPECT_EQ(expected, samplesOf(*mix));
    EXPECT_STREQ("", extended.getFailedWavPath());
}

// A file that the lookup finds but that does not decode counts as unreadable; the question and
// the failed path name the sample as written.
TEST(BmsConverterExtendedTest, NamesUndecodableSamplesAsWritten) {
    TempDir dir;
    const std::string chart = dir.write("song.bms", "#WAV01 Kick.wav\n#00004:01\n");
    dir.write("kick.ogg", Bytes{'O', 'g', 'g', 'S', 0, 2, 0, 0});
    static std::string asked;
    asked.clear();
    BmsConverter converter;
    converter.setContinueCallback(+[](const char* path) {
        asked = path;
        return false;
    });
    EXPECT_EQ(nullptr, render(converter, chart, true));
    EXPECT_EQ(dir.file("Kick.wav"), asked);
    EXPECT_EQ(dir.file("Kick.wav"), converter.getFailedWavPath());
}

}  // namespace
