#include "library/paths.h"

#include <vector>

#include "text/make_path.h"

namespace {

std::string keptParts(const std::string& path, bool keepFolder, bool keepName) {
    std::vector<char> text(path.begin(), path.end());
    text.push_back('\0');
    makePath(text.data(), keepFolder, keepFolder, keepName, keepName);
    return text.data();
}

}  // namespace

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    const char last = folder.back();
    return last == '/' || last == '\\' ? folder + name : folder + "/" + name;
}

std::string folderOf(const std::string& path) {
    return keptParts(path, true, false);
}

std::string nameOf(const std::string& path) {
    return keptParts(path, false, true);
}

std::string mirroredPath(const std::string& path) {
    std::string result;
    std::string part;
    const size_t start = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    for (size_t i = start; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/' && path[i] != '\\') {
            part += path[i];
            continue;
        }
        if (!part.empty() && part != "." && part != "..") result = joinPath(result, part);
        part.clear();
    }
    return result;
}
