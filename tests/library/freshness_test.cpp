// Freshness reads the key sound files that rendering reads: with -x the chart's names are
// read in the encoding under which most of them are found, as the loader does; a bmson
// chart's names always so, the extension free to be left out.
#include "library/freshness.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "convert/converter.h"
#include "tests/test_util.h"

namespace fs = std::filesystem;
using test_util::Bytes;

namespace {

TEST(LibraryFreshnessTest, SoundsAreThoseTheLoaderReads) {
    // The C locale spells names in UTF-8.
    const char* locale = std::getenv("LC_ALL");
    const std::string previous = locale ? locale : "";
    setenv("LC_ALL", "C", 1);
    test_util::TempDir dir;
    // Shift-JIS "ア.wav" and "イ.wav". As written only the first is found; read as Shift-JIS,
    // both are, so that reading wins for the first name too.
    const std::string chart = dir.write("song.bms", "#WAV01 \x83\x41.wav\n#WAV02 \x83\x43.wav\n");
    const Bytes sound = test_util::constantWav(1, 1);
    const std::string asWritten = dir.write("\x83\x41.wav", sound);
    const std::string firstRead = dir.write("\xE3\x82\xA2.wav", sound);
    const std::string secondRead = dir.write("\xE3\x82\xA4.wav", sound);
    const std::string bmson =
        dir.write("song.bmson", R"({"version":"1.0.0","info":{"init_bpm":120},"sound_channels":[)"
                                R"({"name":"\u30a2","notes":[]},{"name":"\u30a4","notes":[]}]})");

    const fs::file_time_type output = fs::file_time_type::clock::now();
    const auto hour = std::chrono::hours(1);
    fs::last_write_time(asWritten, output - hour);
    fs::last_write_time(secondRead, output - hour);
    fs::last_write_time(firstRead, output + hour);
    const struct {
        const std::string& chart;
        bool extended;
        bool older;
    } cases[] = {{chart, false, true}, {chart, true, false}, {bmson, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chart + (c.extended ? " -x" : ""));
        RenderOptions options;
        options.extendedSamples = c.extended;
        BmsConverter converter;
        converter.setOptions(options);
        converter.setChartPath(c.chart.c_str());
        ASSERT_TRUE(converter.openChart());
        EXPECT_EQ(c.older, soundsOlder(converter.getSoundFiles(), output));
    }
    if (locale) {
        setenv("LC_ALL", previous.c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
}

}  // namespace
