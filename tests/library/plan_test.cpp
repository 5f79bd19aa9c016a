// LibraryPlan: where each listed chart's output goes, and a second chart for one output.
#include "library/plan.h"

#include <gtest/gtest.h>
#include <string>

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

}  // namespace
