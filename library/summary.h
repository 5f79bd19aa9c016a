// The end of a library run as both programs tell it: the counts of its outcomes, the charts
// that failed, and the report written with each chart's closing message.
#ifndef LIBRARY_SUMMARY_H_
#define LIBRARY_SUMMARY_H_

#include <string>
#include <vector>

class LibraryPlan;

struct LibrarySummary {
    int written = 0;
    int failed = 0;
    int skipped = 0;
    // Charts that a stopped run never started.
    int pending = 0;
    // The failed charts (for previews, folders) as messages name them, in the plan's order.
    std::vector<std::string> failedCharts;
    // Where the report went, and whether it could be written.
    std::string report;
    bool reported = false;
};

// Counts the outcomes of the plan's charts and writes its report to `reportPath`
// (library/report.h), each chart's message being its closing message (library/chart_message.h).
LibrarySummary summariseLibrary(const LibraryPlan& plan, const std::string& reportPath);

#endif  // LIBRARY_SUMMARY_H_
