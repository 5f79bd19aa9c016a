#include "library/summary.h"

#include "library/chart_message.h"
#include "library/plan.h"
#include "library/report.h"

LibrarySummary summariseLibrary(const LibraryPlan& plan, const std::string& reportPath) {
    LibrarySummary summary;
    for (const LibraryChart& chart : plan.charts) {
        switch (chart.outcome) {
            case ChartOutcome::PENDING:
                ++summary.pending;
                break;
            case ChartOutcome::RENDERED:
                ++summary.written;
                break;
            case ChartOutcome::SKIPPED:
                ++summary.skipped;
                break;
            case ChartOutcome::FAILED:
                ++summary.failed;
                summary.failedCharts.push_back(chart.shown.empty() ? chart.path : chart.shown);
                break;
        }
    }
    summary.report = reportPath;
    summary.reported = writeLibraryReport(
        reportPath, plan, [](const LibraryChart& chart) { return chartMessage(chart); });
    return summary;
}
