#include "library/chart_finder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "library/paths.h"
#include "text/ascii.h"
#include "text/native_path.h"

namespace fs = std::filesystem;

namespace {

// Adds the charts and archives under `folder`; false when it cannot be read.
bool walk(const std::string& root, const std::string& relative, std::vector<FoundFile>* found) {
    const std::string folder = relative.empty() ? root : joinPath(root, relative);
    std::error_code error;
    fs::directory_iterator entries(toFsPath(folder), error);
    if (error) return false;
    std::vector<std::string> names;
    for (; entries != fs::directory_iterator(); entries.increment(error)) {
        if (error) return false;
        names.push_back(fromFsPath(entries->path().filename()));
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string below = joinPath(relative, name);
        const std::string path = joinPath(root, below);
        const fs::file_status link = fs::symlink_status(toFsPath(path), error);
        if (fs::is_directory(link)) {
            if (!walk(root, below, found))
                found->push_back({FoundKind::UNREADABLE_FOLDER, path, below});
            continue;
        }
        if (!fs::is_regular_file(fs::status(toFsPath(path), error))) continue;
        if (isChartName(name)) found->push_back({FoundKind::CHART, path, below});
        if (isArchiveName(name)) found->push_back({FoundKind::ARCHIVE, path, below});
    }
    return true;
}

}  // namespace

bool isChartName(const std::string& name) {
    return endsWithIgnoringCase(name, ".bms") || endsWithIgnoringCase(name, ".bme") ||
           endsWithIgnoringCase(name, ".bml") || endsWithIgnoringCase(name, ".pms") ||
           endsWithIgnoringCase(name, ".bmson");
}

bool isArchiveName(const std::string& name) {
    return endsWithIgnoringCase(name, ".zip") || endsWithIgnoringCase(name, ".7z") ||
           endsWithIgnoringCase(name, ".rar");
}

bool findCharts(const std::string& root, std::vector<FoundFile>* found) {
    std::error_code error;
    const fs::file_status status = fs::status(toFsPath(root), error);
    if (fs::is_directory(status)) return walk(root, "", found);
    if (!fs::exists(status)) return false;
    const std::string name = fromFsPath(toFsPath(root).filename());
    found->push_back({isArchiveName(name) ? FoundKind::ARCHIVE : FoundKind::CHART, root, name});
    return true;
}
