// What a library run renders: the charts found under its sources, each with the output it
// writes, grouped into the tasks that workers take one at a time.
#ifndef LIBRARY_PLAN_H_
#define LIBRARY_PLAN_H_

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "convert/render.h"
#include "library/render_cost.h"

struct FoundFile;

enum class ChartOutcome { PENDING, RENDERED, SKIPPED, FAILED };

// Why a chart failed without a render of its own, or why a preview's folder was passed over;
// NONE otherwise.
enum class LibraryFault {
    NONE,
    // A folder under the source cannot be read.
    FOLDER_UNREADABLE,
    // An earlier chart writes the same output.
    OUTPUT_TAKEN,
    ARCHIVE_UNREADABLE,
    ARCHIVE_TOO_LARGE,
    ARCHIVE_NOT_UNPACKED,
    // Skipped: the folder has a preview of its own, which the fault names.
    OWN_PREVIEW,
    // Skipped: players read no previews from archives.
    ARCHIVE_WITHOUT_PREVIEW,
};

struct LibraryChart {
    // The file the converter opens; for a member of an archive, its name inside the archive.
    // For a preview, the chart it is rendered from, once the run has chosen it.
    std::string path;
    // The chart as messages and the report name it; empty where that is `path`.
    std::string shown;
    // Empty for a chart that failed before it was given one.
    std::string output;
    ChartOutcome outcome = ChartOutcome::PENDING;
    LibraryFault fault = LibraryFault::NONE;
    // The folder, output or archive that the fault names.
    std::string faultPath;
    // The render's result, for a chart that was rendered or failed to render.
    RenderResult render;
    // Time spent on the chart, and the length of its written or kept output.
    double seconds = 0.0;
    double outputSeconds = 0.0;
    // For a preview: the charts of its folder, in the order found; empty otherwise.
    std::vector<std::string> candidates;
    // The guessed cost of the render (library/render_cost.h), for a preview that of its
    // costliest chart; the run starts the costliest first.
    int64_t cost = 0;
};

// A chart file, or every chart of one archive, which is unpacked once for all of them.
struct LibraryTask {
    std::string archive;
    std::vector<size_t> charts;
};

// Builds the plan from sources; each output goes next to its chart (next to the archive for a
// member of one) or, with an output folder, mirrors the chart's path below it. A plan of
// `previews` has one entry per folder that holds charts instead, its output PREVIEW_NAME in
// that folder (library/previews.h), and passes archives over.
class LibraryPlan {
public:
    explicit LibraryPlan(std::string outputFolder, bool previews = false)
        : previews(previews), outputFolder(std::move(outputFolder)) {}

    // Adds every chart and archive that lies at `source` (library/chart_finder.h), the outputs
    // mirroring the paths below it. False when nothing is there or it cannot be read.
    bool addSource(const std::string& source);
    // Adds one path of a list, the output mirroring the whole path; a path that leads nowhere
    // is still a chart, which then fails as a single run fails on it.
    void addListed(const std::string& path);

    std::vector<LibraryChart> charts;
    std::vector<LibraryTask> tasks;
    const bool previews;

private:
    void addToPreview(const FoundFile& found, const std::string& tree);
    void addFound(const FoundFile& found, const std::string& tree);
    void addChart(const std::string& path, const std::string& shown, const std::string& output,
                  int64_t cost, LibraryTask* task);
    void addFailure(const std::string& shown, LibraryFault fault, const std::string& faultPath);

    const std::string outputFolder;
    std::set<std::string> outputs;
    // A preview's source folder and its entry in `charts`.
    std::map<std::string, size_t> previewOf;
    LibraryCostGuess costs;
};

#endif  // LIBRARY_PLAN_H_
