#include "library/plan.h"

#include <algorithm>

#include "convert/song_output.h"
#include "library/archive_charts.h"
#include "library/chart_finder.h"
#include "library/paths.h"
#include "library/previews.h"

void LibraryPlan::addFailure(const std::string& shown, LibraryFault fault,
                             const std::string& faultPath) {
    LibraryChart chart;
    chart.shown = shown;
    chart.outcome = ChartOutcome::FAILED;
    chart.fault = fault;
    chart.faultPath = faultPath;
    charts.push_back(chart);
}

void LibraryPlan::addChart(const std::string& path, const std::string& shown,
                           const std::string& output, int64_t cost, LibraryTask* task) {
    if (!outputs.insert(output).second) {
        addFailure(shown, LibraryFault::OUTPUT_TAKEN, output);
        return;
    }
    LibraryChart chart;
    chart.path = path;
    chart.shown = shown;
    chart.output = output;
    chart.cost = cost;
    task->charts.push_back(charts.size());
    charts.push_back(chart);
}

// Charts of one folder join one preview, whose task is made with its first chart.
void LibraryPlan::addToPreview(const FoundFile& found, const std::string& tree) {
    if (found.kind == FoundKind::ARCHIVE) {
        LibraryChart archive;
        archive.shown = found.path;
        archive.outcome = ChartOutcome::SKIPPED;
        archive.fault = LibraryFault::ARCHIVE_WITHOUT_PREVIEW;
        archive.faultPath = found.path;
        charts.push_back(archive);
        return;
    }
    const std::string folder = folderOf(found.path);
    const int64_t cost = costs.chartCost(found.path);
    const auto known = previewOf.find(folder);
    if (known != previewOf.end()) {
        LibraryChart& preview = charts[known->second];
        preview.candidates.push_back(found.path);
        preview.cost = std::max(preview.cost, cost);
        return;
    }
    const std::string output =
        outputFolder.empty() ? joinPath(folder, PREVIEW_NAME)
                             : joinPath(outputFolder, folderOf(mirroredPath(tree)) + PREVIEW_NAME);
    const std::string shown = folder.empty() ? "." : folder;
    LibraryTask task;
    addChart("", shown, output, cost, &task);
    if (task.charts.empty()) return;
    previewOf[folder] = task.charts.front();
    charts.back().candidates.push_back(found.path);
    tasks.push_back(task);
}

// `tree` is the path below the output folder that the found file mirrors.
void LibraryPlan::addFound(const FoundFile& found, const std::string& tree) {
    const std::string& out = outputFolder;
    LibraryTask task;
    if (found.kind == FoundKind::UNREADABLE_FOLDER) {
        addFailure(found.path, LibraryFault::FOLDER_UNREADABLE, found.path);
        return;
    }
    if (previews) {
        addToPreview(found, tree);
        return;
    }
    if (found.kind == FoundKind::CHART) {
        const std::string output = out.empty()
                                       ? proposeOutputPath(found.path)
                                       : joinPath(out, proposeOutputPath(mirroredPath(tree)));
        addChart(found.path, "", output, costs.chartCost(found.path), &task);
    } else {
        if (!archivesSupported()) return;
        std::vector<ArchiveChart> members;
        ArchiveFault fault;
        if (!listArchiveCharts(found.path, &members, &fault)) {
            addFailure(found.path,
                       fault == ArchiveFault::TOO_LARGE ? LibraryFault::ARCHIVE_TOO_LARGE
                                                        : LibraryFault::ARCHIVE_UNREADABLE,
                       found.path);
            return;
        }
        task.archive = found.path;
        const std::string folder =
            out.empty() ? folderOf(found.path) : joinPath(out, folderOf(mirroredPath(tree)));
        for (const ArchiveChart& member : members) {
            const std::string readable = readableMemberName(member.name);
            addChart(member.name, joinPath(found.path, readable),
                     folder + proposeOutputPath(nameOf(readable)), member.cost, &task);
        }
    }
    if (!task.charts.empty()) tasks.push_back(task);
}

bool LibraryPlan::addSource(const std::string& source) {
    std::vector<FoundFile> found;
    if (!findCharts(source, &found)) return false;
    for (const FoundFile& file : found) addFound(file, file.relative);
    return true;
}

void LibraryPlan::addListed(const std::string& path) {
    std::vector<FoundFile> found;
    if (!findCharts(path, &found)) found.push_back({FoundKind::CHART, path, path});
    for (const FoundFile& file : found) addFound(file, file.path);
}
