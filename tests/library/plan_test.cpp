// LibraryPlan: where each listed chart's output goes, a second chart for one output, and the
// guessed cost that orders the run.
#include "library/plan.h"

#include <gtest/gtest.h>
#include <string>

#include "tests/test_util.h"

namespace {

TEST(LibraryPlanTest, MirrorsListedPathsBelowTheOutputFolder) {
    const struct {
        bool beside;  // no output folder
        const char* listed;
        const char* output;  // empty: the output is taken
    } cases[] = {
        {false, "x/../y/song.bms", "out/x/y/song.wav"},
        {false, "/abs/s.bme", "out/abs/s.wav"},
        {false, "C:\\d\\t.bms", "out/d/t.wav"},
        {false, "./x/y/song.bme", ""},
        {true, "a/b.bmson", "a/b.wav"},
    };
    LibraryPlan plan("out/");
    LibraryPlan beside("");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.listed);
        LibraryPlan& into = c.beside ? beside : plan;
        into.addListed(c.listed);
        const LibraryChart& chart = into.charts.back();
        if (*c.output) {
            EXPECT_EQ(c.listed, chart.path);
            EXPECT_EQ(c.output, chart.output);
            EXPECT_EQ(ChartOutcome::PENDING, chart.outcome);
        } else {
            EXPECT_EQ("", chart.output);
            EXPECT_EQ(ChartOutcome::FAILED, chart.outcome);
            EXPECT_EQ(LibraryFault::OUTPUT_TAKEN, chart.fault);
            EXPECT_EQ("out/x/y/song.wav", chart.faultPath);
        }
    }
    EXPECT_EQ(3u, plan.tasks.size());
    EXPECT_EQ(1u, beside.tasks.size());
}

// A chart costs its own bytes and those of the sound files in its folder, none of another
// folder's; a preview costs what its costliest chart does.
TEST(LibraryPlanTest, GuessesCostFromChartAndSoundsBeside) {
    test_util::TempDir dir;
    dir.mkdir("a");
    dir.mkdir("a/sub");
    dir.write("a/one.bms", std::string(10, '#'));
    dir.write("a/two.bme", std::string(3, '#'));
    dir.write("a/kick.WAV", std::string(100, 'k'));
    dir.write("a/lead.ogg", std::string(20, 'o'));
    dir.write("a/notes.txt", std::string(1000, 'n'));
    dir.write("a/sub/three.bms", std::string(7, '#'));
    LibraryPlan songs("");
    LibraryPlan previews("", true);
    ASSERT_TRUE(songs.addSource(dir.path()));
    ASSERT_TRUE(previews.addSource(dir.path()));
    std::vector<int64_t> costs;
    for (const LibraryPlan* plan : {&songs, &previews}) {
        for (const LibraryChart& chart : plan->charts) costs.push_back(chart.cost);
    }
    EXPECT_EQ(std::vector<int64_t>({130, 7, 123, 130, 7}), costs);
}

}  // namespace
