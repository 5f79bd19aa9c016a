#include "library/chart_finder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

// PMS charts are BMS charts for nine buttons and are found as such, in any case.
TEST(ChartFinderTest, FindsPmsChartsBesideBmsOnes) {
    test_util::TempDir dir;
    for (const char* name : {"a.pms", "B.PMS", "c.bms", "d.pmsx", "e.pms.txt"}) dir.write(name, "");
    std::vector<FoundFile> found;
    ASSERT_TRUE(findCharts(dir.path(), &found));
    std::vector<std::string> charts;
    for (const FoundFile& file : found) {
        EXPECT_EQ(FoundKind::CHART, file.kind);
        charts.push_back(file.relative);
    }
    EXPECT_EQ((std::vector<std::string>{"B.PMS", "a.pms", "c.bms"}), charts);
}

}  // namespace
