// LibraryQueue: the charts of unpacked archives first, then the costliest, then plan order.
#include "library/schedule.h"

#include <gtest/gtest.h>
#include <vector>

#include "library/archive_charts.h"

namespace {

TEST(LibraryQueueTest, StartsUnpackedThenCostliestThenEarliest) {
    const auto unpacked = std::make_shared<UnpackedArchive>();
    const struct {
        size_t chart;
        int64_t cost;
        bool unpacked;
    } pushed[] = {{0, 10, false}, {1, 30, false}, {2, 5, true}, {3, 30, false},
                  {4, 50, true},  {5, 0, false},  {6, 5, true}};
    LibraryQueue queue;
    for (const auto& p : pushed) {
        LibraryJob job;
        job.chart = p.chart;
        job.cost = p.cost;
        if (p.unpacked) job.unpacked = unpacked;
        queue.push(job);
    }
    std::vector<size_t> started;
    for (LibraryJob job; queue.pop(&job);) started.push_back(job.chart);
    EXPECT_EQ(std::vector<size_t>({4, 2, 6, 1, 3, 0, 5}), started);
    EXPECT_TRUE(queue.empty());
}

}  // namespace
