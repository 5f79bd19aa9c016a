#include "library/report.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "library/paths.h"
#include "library/plan.h"
#include "text/native_path.h"
#include "wav/replacing_file.h"

namespace fs = std::filesystem;

namespace {

constexpr char REPORT_NAME[] = "keymix-report.tsv";
constexpr char REPORT_HEADER[] = "chart\tstatus\tmessage\tseconds\toutput\tlength\n";
// A run of previews has a line per folder, the chart each was rendered from last.
constexpr char PREVIEW_HEADER[] = "folder\tstatus\tmessage\tseconds\toutput\tlength\tchart\n";

// The text on one line: line ends and tabs become single spaces, none at the end.
std::string oneLine(const std::string& message) {
    std::string line;
    for (char c : message) {
        if (c == '\n' || c == '\t' || c == '\r') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

const char* statusWord(ChartOutcome outcome) {
    switch (outcome) {
        case ChartOutcome::RENDERED:
            return "rendered";
        case ChartOutcome::SKIPPED:
            return "skipped";
        default:
            return "failed";
    }
}

}  // namespace

std::string libraryReportPath(const std::string& source, const std::string& outputFolder) {
    if (!outputFolder.empty()) return joinPath(outputFolder, REPORT_NAME);
    std::error_code error;
    if (source != "-" && fs::is_directory(toFsPath(source), error))
        return joinPath(source, REPORT_NAME);
    return REPORT_NAME;
}

bool writeLibraryReport(const std::string& path, const LibraryPlan& plan,
                        const std::function<std::string(const LibraryChart&)>& message) {
    const std::string folder = folderOf(path);
    std::error_code error;
    if (!folder.empty()) fs::create_directories(toFsPath(folder), error);
    // Replaces the report of an earlier run, on Windows too, where a rename does not.
    LuReplacingFile replacing;
    if (!replacing.open(path.c_str())) return false;
    std::FILE* file = replacing.get();
    bool ok = std::fputs(plan.previews ? PREVIEW_HEADER : REPORT_HEADER, file) >= 0;
    for (const LibraryChart& chart : plan.charts) {
        if (chart.outcome == ChartOutcome::PENDING) continue;
        const std::string shown = chart.shown.empty() ? chart.path : chart.shown;
        std::string length;
        if (chart.outcome != ChartOutcome::FAILED) {
            char text[32];
            std::snprintf(text, sizeof text, "%.3f", chart.outputSeconds);
            length = text;
        }
        ok = ok && std::fprintf(file, "%s\t%s\t%s\t%.3f\t%s\t%s", oneLine(shown).c_str(),
                                statusWord(chart.outcome), oneLine(message(chart)).c_str(),
                                chart.seconds, chart.output.c_str(), length.c_str()) >= 0;
        if (plan.previews) ok = ok && std::fprintf(file, "\t%s", chart.path.c_str()) >= 0;
        ok = ok && std::fputc('\n', file) != EOF;
    }
    return ok && replacing.commit();
}
