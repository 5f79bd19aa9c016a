#include "convert/sample_lookup.h"

#include <sys/stat.h>

#ifndef _WIN32
#include <dirent.h>
#endif

#include <algorithm>
#include <map>

#include "text/ascii.h"
#include "text/encoding.h"

namespace {

// The extensions that stand in for each other, in the order they are tried.
const char* const EXTENSIONS[] = {".wav", ".ogg", ".flac", ".mp3", ".opus"};

bool isFile(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

char toUpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && lowerAscii(a) == lowerAscii(b);
}

// `name` with each other of the known extensions, in their order and in the case of the letter
// after the dot; none when `name` ends in no known extension.
std::vector<std::string> withOtherExtensions(const std::string& name) {
    std::vector<std::string> spellings;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot + 1 == name.size()) return spellings;
    const std::string extension = name.substr(dot);
    bool known = false;
    for (const char* candidate : EXTENSIONS)
        known = known || equalsIgnoringCase(extension, candidate);
    if (!known) return spellings;
    const bool upper = toUpperAscii(name[dot + 1]) == name[dot + 1];
    for (const char* candidate : EXTENSIONS) {
        std::string other = candidate;
        if (equalsIgnoringCase(extension, other)) continue;
        if (upper) {
            for (char& c : other) c = toUpperAscii(c);
        }
        spellings.push_back(name.substr(0, dot) + other);
    }
    return spellings;
}

// `name` followed by each known extension in their order; none when its last part has an
// extension (a dot after its first character).
std::vector<std::string> withAddedExtensions(const std::string& name) {
    std::vector<std::string> spellings;
    const size_t separator = name.find_last_of("/\\");
    const size_t start = separator == std::string::npos ? 0 : separator + 1;
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > start) return spellings;
    for (const char* extension : EXTENSIONS) spellings.push_back(name + extension);
    return spellings;
}

// Looks names up under one directory, keeping each folder's listing once it has been read.
class Finder {
public:
    Finder(const std::string& directory, bool addExtensions)
        : directory(directory), addExtensions(addExtensions) {}

    // Steps 1 to 3 for one reading of a name.
    std::string find(const std::string& name) {
        std::string found = findSpelling(name);
        std::vector<std::string> others = withOtherExtensions(name);
        if (addExtensions) {
            for (const std::string& added : withAddedExtensions(name)) others.push_back(added);
        }
        for (const std::string& other : others) {
            if (!found.empty()) break;
            found = findSpelling(other);
        }
        return found;
    }

private:
    // Steps 1 and 2.
    std::string findSpelling(const std::string& name) {
        if (isFile(directory + name)) return directory + name;
#ifndef _WIN32
        return matchIgnoringCase(name);
#else
        return "";
#endif
    }

#ifndef _WIN32
    static bool isDirectory(const std::string& path) {
        struct stat status;
        return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    }

    // The parts of a name between slashes of either kind, as charts written on Windows use
    // both.
    static std::vector<std::string> splitParts(const std::string& name) {
        std::vector<std::string> parts;
        std::string part;
        for (char c : name) {
            if (c == '/' || c == '\\') {
                if (!part.empty()) parts.push_back(part);
                part.clear();
            } else {
                part += c;
            }
        }
        if (!part.empty()) parts.push_back(part);
        return parts;
    }

    // The entries of `folder` by their names in lower case, each group in byte order.
    using Listing = std::map<std::string, std::vector<std::string>>;
    const Listing& listingOf(const std::string& folder) {
        auto known = listings.find(folder);
        if (known != listings.end()) return known->second;
        Listing& listing = listings[folder];
        if (DIR* entries = opendir(folder.empty() ? "." : folder.c_str())) {
            while (const dirent* entry = readdir(entries))
                listing[lowerAscii(entry->d_name)].push_back(entry->d_name);
            closedir(entries);
        }
        for (auto& group : listing) std::sort(group.second.begin(), group.second.end());
        return listing;
    }

    // The entry of `folder` that matches `part` ignoring case and is a folder (or, for the last
    // part, a file); of several, the first in byte order, so that the choice does not depend on
    // the order in which the folder lists them. Empty when there is none.
    std::string findEntry(const std::string& folder, const std::string& part, bool last) {
        const std::string exact = folder + part;
        if (last ? isFile(exact) : isDirectory(exact)) return part;
        const Listing& listing = listingOf(folder);
        const auto group = listing.find(lowerAscii(part));
        if (group == listing.end()) return "";
        for (const std::string& candidate : group->second) {
            const std::string path = folder + candidate;
            if (last ? isFile(path) : isDirectory(path)) return candidate;
        }
        return "";
    }

    // `directory` followed by the parts of `name`, each matched ignoring case; empty when a part
    // has no match.
    std::string matchIgnoringCase(const std::string& name) {
        const std::vector<std::string> parts = splitParts(name);
        if (parts.empty()) return "";
        std::string path = directory;
        for (size_t i = 0; i < parts.size(); ++i) {
            const bool last = i + 1 == parts.size();
            std::string entry;
            if (parts[i] == "." || parts[i] == "..") {
                if (last) return "";
                entry = parts[i];
            } else {
                entry = findEntry(path, parts[i], last);
                if (entry.empty()) return "";
            }
            path += entry;
            if (!last) path += '/';
        }
        return path;
    }

    std::map<std::string, Listing> listings;
#endif

    const std::string directory;
    const bool addExtensions;
};

#ifndef _WIN32
// The encodings in which a name is read besides as written, in the order they are tried.
const char* const ENCODINGS[] = {"CP932", "CP949", "UTF-8"};
#endif

}  // namespace

std::vector<std::string> findSampleFiles(const std::string& directory,
                                         const std::vector<std::string>& names,
                                         bool addExtensions) {
    Finder finder(directory, addExtensions);
    // What each reading finds for each name; reading 0 is the name as written.
    std::vector<std::vector<std::string>> found(1, std::vector<std::string>(names.size()));
    for (size_t i = 0; i < names.size(); ++i) {
        if (!names[i].empty()) found[0][i] = finder.find(names[i]);
    }
#ifndef _WIN32
    const std::string codeset = localeCodeset();
    for (const char* encoding : ENCODINGS) {
        TextConverter converter(codeset.c_str(), encoding);
        std::vector<std::string> reading(names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            std::string spelling;
            if (names[i].empty() || !converter.convert(names[i], &spelling)) continue;
            reading[i] = spelling == names[i] ? found[0][i] : finder.find(spelling);
        }
        found.push_back(reading);
    }
#endif

    size_t preferred = 0;
    size_t most = 0;
    for (size_t r = 0; r < found.size(); ++r) {
        size_t count = 0;
        for (const std::string& path : found[r]) count += !path.empty();
        if (count > most) {
            preferred = r;
            most = count;
        }
    }
    std::vector<std::string> files(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        files[i] = found[preferred][i];
        for (size_t r = 0; r < found.size() && files[i].empty(); ++r) files[i] = found[r][i];
    }
    return files;
}

std::string findSampleFile(const std::string& directory, const std::string& name) {
    return findSampleFiles(directory, {name})[0];
}
