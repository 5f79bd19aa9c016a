// Freshness reads the key sound files that rendering reads: with -x the chart's names are
// read in the encoding under which most of them are found, as the loader does.
#include "library/freshness.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "bms/bms.h"
#include "bms/parser.h"
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
    BmsBms* loaded = nullptr;
    ASSERT_TRUE(BmsLoad(chart.c_str(), &loaded));
    std::unique_ptr<BmsBms> parsed(loaded);

    const fs::file_time_type output = fs::file_time_type::clock::now();
    const auto hour = std::chrono::hours(1);
    fs::last_write_time(asWritten, output - hour);
    fs::last_write_time(secondRead, output - hour);
    fs::last_write_time(firstRead, output + hour);
    const struct {
        bool extended;
        bool older;
    } cases[] = {{false, true}, {true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extended);
        RenderOptions options;
        options.extendedSamples = c.extended;
        EXPECT_EQ(c.older, soundsOlder(*parsed, chart, options, output));
    }
    if (locale) {
        setenv("LC_ALL", previous.c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
}

}  // namespace
