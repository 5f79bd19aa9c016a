// The report of a library run, "keymix-report.tsv": a header line, then one line per chart
// done, giving its path, status, closing message, seconds spent, output and output length; for
// previews one line per folder, with the chart rendered at the end.
#ifndef LIBRARY_REPORT_H_
#define LIBRARY_REPORT_H_

#include <functional>
#include <string>

class LibraryPlan;
struct LibraryChart;

// Where the report goes: into the output folder, else into the source when it is a folder,
// else into the current folder.
std::string libraryReportPath(const std::string& source, const std::string& outputFolder);

// Writes the report of the plan's charts that are done to `path`, their folder made first;
// `message` words each chart's closing message, which the report gives on one line. The file
// appears only once complete. False when it cannot be written.
bool writeLibraryReport(const std::string& path, const LibraryPlan& plan,
                        const std::function<std::string(const LibraryChart&)>& message);

#endif  // LIBRARY_REPORT_H_
