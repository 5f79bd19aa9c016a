#include "console/library_command.h"

#include <csignal>
#include <cstdio>
#include <vector>

#include "library/chart_message.h"
#include "library/plan.h"
#include "library/report.h"
#include "library/summary.h"
#include "text/format.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

constexpr char PROGRESS[] = "譜面 %d / %d 完了  失敗 %d  経過 %s  残り %s";
constexpr char FAILED_CHART[] = "\n失敗した譜面 %s\n";
constexpr char SUMMARY[] = "\n書き込み %d  失敗 %d  スキップ %d\n";
// The same for previews, which count folders.
constexpr char FOLDER_PROGRESS[] = "フォルダ %d / %d 完了  失敗 %d  経過 %s  残り %s";
constexpr char FAILED_FOLDER[] = "\n失敗したフォルダ %s\n";
constexpr char FOLDER_SUMMARY[] = "\nフォルダ 書き込み %d  失敗 %d  スキップ %d\n";
constexpr char INTERRUPTED[] = "中断しました。未処理の譜面 %d\n";
constexpr char REPORT_WRITTEN[] = "結果一覧を書き込みました %s\n";
constexpr char REPORT_FAILED[] = "結果一覧を書き込めません %s\n";

// Without a terminal the progress line is printed anew at most this often.
constexpr double PLAIN_LINE_SECONDS = 2.0;

// Set by Ctrl-C: charts that have not started stay so.
std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) {
    interrupted = true;
}

std::string clock(double seconds) {
    const long total = static_cast<long>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    return text;
}

// The progress line: redrawn in place on a terminal, else printed anew when charts finished,
// at most every few seconds.
class ProgressLine : public LibraryObserver {
public:
    explicit ProgressLine(const char* form) : form(form), terminal(isatty(fileno(stdout)) != 0) {}

    void progress(const LibraryProgress& progress, bool last) override;

private:
    const char* const form;
    const bool terminal;
    size_t drawnLength = 0;
    double lastPlainLine = -PLAIN_LINE_SECONDS;
    int lastPlainDone = -1;
};

void ProgressLine::progress(const LibraryProgress& progress, bool last) {
    const int done = progress.done;
    const int total = progress.total;
    const double elapsed = progress.elapsed;
    const bool due =
        done > lastPlainDone && done > 0 && elapsed - lastPlainLine >= PLAIN_LINE_SECONDS;
    if (!terminal && !last && !due) return;
    const std::string remaining = done > 0 && done < total ? clock(elapsed * (total - done) / done)
                                  : done == total          ? clock(0)
                                                           : "-:--:--";
    std::string text = format(form, done, total, progress.failed, clock(elapsed), remaining);
    if (terminal) {
        const size_t length = text.size();
        if (length < drawnLength) text.append(drawnLength - length, ' ');
        drawnLength = length;
        std::printf("\r%s%s", text.c_str(), last ? "\n" : "");
    } else {
        std::printf("%s\n", text.c_str());
        lastPlainLine = elapsed;
        lastPlainDone = done;
    }
    std::fflush(stdout);
}

// Adds the paths of the list on standard input, one a line, blank lines passed over.
void addStandardInput(LibraryPlan* plan) {
    std::string line;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        line += buffer;
        if (line.back() != '\n' && !std::feof(stdin)) continue;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (!line.empty()) plan->addListed(line);
        line.clear();
    }
}

}  // namespace

bool runLibraryCommand(const std::string& source, const std::string& outputFolder,
                       const LibraryOptions& options) {
    const bool previews = options.render.finish.preview;
    LibraryPlan plan(outputFolder, previews);
    if (source == "-") {
        addStandardInput(&plan);
    } else if (!plan.addSource(source)) {
        std::fflush(stdout);
        std::fputs(faultMessage(LibraryFault::FOLDER_UNREADABLE, source).c_str(), stderr);
        return false;
    }

    ProgressLine progressLine(previews ? FOLDER_PROGRESS : PROGRESS);
    interrupted = false;
    void (*previous)(int) = std::signal(SIGINT, onInterrupt);
    runLibrary(&plan, options, interrupted, progressLine);
    std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous);

    const LibrarySummary summary = summariseLibrary(plan, libraryReportPath(source, outputFolder));
    for (const LibraryChart& chart : plan.charts) {
        // Archives passed over for previews are named with the failures.
        const bool named = chart.outcome == ChartOutcome::FAILED ||
                           chart.fault == LibraryFault::ARCHIVE_WITHOUT_PREVIEW;
        if (!named) continue;
        const std::string message = chartMessage(chart);
        if (chart.outcome == ChartOutcome::FAILED) {
            std::printf(previews ? FAILED_FOLDER : FAILED_CHART,
                        (chart.shown.empty() ? chart.path : chart.shown).c_str());
        }
        const bool leadingBreak = !message.empty() && message[0] == '\n';
        std::fputs(message.c_str() + (chart.outcome == ChartOutcome::FAILED && leadingBreak),
                   stdout);
    }
    std::printf(previews ? FOLDER_SUMMARY : SUMMARY, summary.written, summary.failed,
                summary.skipped);
    if (summary.pending > 0) std::printf(INTERRUPTED, summary.pending);
    std::printf(summary.reported ? REPORT_WRITTEN : REPORT_FAILED, summary.report.c_str());
    std::fflush(stdout);
    return summary.reported && summary.failed == 0 && summary.pending == 0;
}
