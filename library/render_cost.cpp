#include "library/render_cost.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "library/paths.h"
#include "text/ascii.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t MAX_COST = INT64_C(1) << 62;

int64_t fileBytes(const fs::path& path) {
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    return error ? 0 : static_cast<int64_t>(std::min<uintmax_t>(size, MAX_COST));
}

}  // namespace

bool isSoundName(const std::string& name) {
    for (const char* ending : {".wav", ".ogg", ".flac", ".mp3", ".opus"}) {
        if (endsWithIgnoringCase(name, ending)) return true;
    }
    return false;
}

int64_t addCost(int64_t total, int64_t bytes) {
    if (bytes <= 0) return total;
    return bytes >= MAX_COST - total ? MAX_COST : total + bytes;
}

int64_t LibraryCostGuess::chartCost(const std::string& chart) {
    const std::string folder = folderOf(chart);
    auto known = soundBytes.find(folder);
    if (known == soundBytes.end()) {
        int64_t total = 0;
        std::error_code error;
        fs::directory_iterator entry(fs::path(folder.empty() ? "." : folder), error);
        for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
            if (isSoundName(entry->path().filename().string()))
                total = addCost(total, fileBytes(entry->path()));
        }
        known = soundBytes.emplace(folder, total).first;
    }
    return addCost(known->second, fileBytes(fs::path(chart)));
}
