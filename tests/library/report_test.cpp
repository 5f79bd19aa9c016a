// The library report: a second run replaces the report of the first, on Windows too.
#include "library/report.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

#include "library/plan.h"
#include "tests/test_util.h"

namespace {

std::string readAll(const std::string& path) {
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[256];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            text.append(buffer, got);
        std::fclose(file);
    }
    return text;
}

TEST(LibraryReportTest, ReplacesTheReportOfAnEarlierRun) {
    test_util::TempDir dir;
    const std::string path = dir.file("keymix-report.tsv");
    LibraryPlan plan("");
    plan.charts.resize(1);
    LibraryChart& chart = plan.charts.back();
    chart.path = "a.bms";
    chart.output = "a.wav";
    chart.outcome = ChartOutcome::SKIPPED;
    chart.outputSeconds = 1.5;
    for (const char* message : {"first", "second"}) {
        SCOPED_TRACE(message);
        ASSERT_TRUE(writeLibraryReport(path, plan, [&](const LibraryChart&) { return message; }));
        EXPECT_EQ(std::string("chart\tstatus\tmessage\tseconds\toutput\tlength\na.bms\tskipped\t") +
                      message + "\t0.000\ta.wav\t1.500\n",
                  readAll(path));
    }
}

}  // namespace
