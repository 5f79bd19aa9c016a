// Arbitrary bytes as a song package (.zip, .7z, .rar): names that climb out, absolute and odd
// names, huge claimed sizes, links, bombs, many members and deep folders. Listing its charts
// and unpacking it must keep every file inside the private folder and within the limits, fail
// only for a fault of the archive, and leave nothing behind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz/fuzz_util.h"
#include "library/archive_charts.h"
#include "library/chart_finder.h"

namespace fs = std::filesystem;

namespace {

// Small limits keep each input quick; they take the paths that the real ones do.
ArchiveLimits fuzzLimits() {
    ArchiveLimits limits;
    limits.bytes = 4 << 20;
    limits.members = 300;
    return limits;
}

// The private folders go two levels below the work folder, so that a file written one or two
// levels above its own folder still shows.
const std::string& unpackRoot() {
    static const std::string root = [] {
        const std::string path = fuzz_util::workFolder() + "/t1/t2";
        std::error_code error;
        fs::create_directories(path, error);
        if (error || setenv("TMPDIR", path.c_str(), 1) != 0) std::abort();
        return path;
    }();
    return root;
}

// Whether a listed name stays inside the package: relative, no empty, "." or ".." parts.
bool insidePackage(const std::string& name) {
    if (name.empty() || name[0] == '/') return false;
    size_t start = 0;
    for (;;) {
        const size_t slash = name.find('/', start);
        const std::string part = name.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

// Whether the folder holds exactly the entries named.
bool holdsOnly(const std::string& folder, std::vector<std::string> names) {
    std::error_code error;
    for (fs::directory_iterator entry(folder, error); !error && entry != fs::directory_iterator();
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        bool known = false;
        for (std::string& expected : names) {
            if (expected == name) {
                expected.clear();
                known = true;
            }
        }
        if (!known) return false;
    }
    for (const std::string& name : names) {
        if (!name.empty()) return false;
    }
    return !error;
}

// Every entry below `folder` is a folder or a regular file, and the files stay within the
// limits.
bool unpackedWithinLimits(const std::string& folder, const ArchiveLimits& limits) {
    int files = 0;
    int64_t bytes = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator entry(folder, error);
         !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        const fs::file_status status = entry->symlink_status(error);
        if (fs::is_directory(status)) continue;
        if (!fs::is_regular_file(status)) return false;
        ++files;
        bytes += static_cast<int64_t>(entry->file_size(error));
    }
    return !error && files <= limits.members && bytes <= limits.bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using fuzz_util::check;
    const std::string& root = unpackRoot();
    static const std::string input = fuzz_util::pathIn("input");
    fuzz_util::writeFile(input, data, size);
    const ArchiveLimits limits = fuzzLimits();

    std::vector<ArchiveChart> charts;
    ArchiveFault fault = ArchiveFault::NOT_UNPACKED;
    const bool listed = listArchiveCharts(input, &charts, &fault, limits);
    check(listed || fault != ArchiveFault::NOT_UNPACKED);
    for (const ArchiveChart& chart : charts) {
        check(insidePackage(chart.name) && isChartName(chart.name) && chart.cost >= 0);
        check(!readableMemberName(chart.name).empty());
    }
    {
        UnpackedArchive unpacked;
        fault = ArchiveFault::NOT_UNPACKED;
        if (unpacked.unpack(input, &fault, limits)) {
            const std::string& folder = unpacked.getFolder();
            check(folder.compare(0, root.size() + 1, root + "/") == 0);
            check(unpackedWithinLimits(folder, limits));
        } else {
            // The temporary folder is writable and has room: a failure lies in the archive.
            check(fault != ArchiveFault::NOT_UNPACKED);
        }
    }
    // Nothing is left but the input: no private folder, and nothing that climbed out of one.
    check(holdsOnly(root, {}));
    check(holdsOnly(fuzz_util::workFolder(), {"input", "t1"}));
    check(holdsOnly(fuzz_util::workFolder() + "/t1", {"t2"}));
    return 0;
}
