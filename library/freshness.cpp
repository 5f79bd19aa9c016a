#include "library/freshness.h"

#include <system_error>
#include <vector>

#include "text/native_path.h"

namespace fs = std::filesystem;

namespace {

bool modified(const std::string& path, fs::file_time_type* time) {
    std::error_code error;
    *time = fs::last_write_time(toFsPath(path), error);
    return !error;
}

}  // namespace

bool outputNewer(const std::string& output, const std::string& source, fs::file_time_type* time) {
    std::error_code error;
    const fs::path file = toFsPath(output);
    if (!fs::is_regular_file(file, error) || fs::file_size(file, error) == 0 || error) return false;
    fs::file_time_type sourceTime;
    return modified(output, time) && modified(source, &sourceTime) && *time > sourceTime;
}

bool soundsOlder(const std::vector<std::string>& files, fs::file_time_type outputTime) {
    for (const std::string& path : files) {
        fs::file_time_type time;
        if (!path.empty() && modified(path, &time) && time >= outputTime) return false;
    }
    return true;
}
