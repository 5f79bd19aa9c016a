#include "library/previews.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "convert/converter.h"
#include "library/paths.h"
#include "text/native_path.h"

namespace fs = std::filesystem;

namespace {

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool isFile(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(toFsPath(path), error);
}

}  // namespace

bool isPreviewName(const std::string& name) {
    const std::string lower = lowered(name);
    if (lower.compare(0, 7, "preview") != 0) return false;
    for (const char* extension : {".wav", ".ogg", ".mp3", ".flac"}) {
        if (endsWith(lower, extension)) return true;
    }
    return false;
}

std::string ownPreview(const std::string& folder) {
    std::error_code error;
    fs::directory_iterator entry(toFsPath(folder.empty() ? "." : folder), error);
    std::vector<std::string> found;
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        const std::string name = fromFsPath(entry->path().filename());
        if (isPreviewName(name) && lowered(name) != PREVIEW_NAME && isFile(joinPath(folder, name)))
            found.push_back(name);
    }
    if (found.empty()) return std::string();
    return joinPath(folder, *std::min_element(found.begin(), found.end()));
}

void choosePreviewChart(const std::vector<std::string>& charts, const RenderOptions& options,
                        std::string* chosen, std::string* named) {
    chosen->clear();
    named->clear();
    // The survey is no render: it leaves no trace lines.
    RenderOptions quiet = options;
    quiet.debug = false;
    int most = -1;
    for (const std::string& path : charts) {
        BmsConverter converter;
        converter.setOptions(quiet);
        converter.setChartPath(path.c_str());
        if (!converter.openChart()) continue;
        const std::string preview = converter.getPreviewFile();
        if (!preview.empty() && isFile(joinPath(folderOf(path), preview))) {
            *named = joinPath(folderOf(path), preview);
            chosen->clear();
            return;
        }
        const int notes = converter.countSoundedNotes();
        if (notes > most) {
            most = notes;
            *chosen = path;
        }
    }
    if (chosen->empty() && !charts.empty()) *chosen = charts.front();
}
