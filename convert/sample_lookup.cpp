#include "convert/sample_lookup.h"

#include <sys/stat.h>

#ifndef _WIN32
#include <dirent.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#endif

#include <cstring>
#include <vector>

namespace {

bool isFile(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

char toLowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (toLowerAscii(a[i]) != toLowerAscii(b[i])) return false;
    }
    return true;
}

// `name` with .wav turned into .ogg or .ogg into .wav, in the case of the letter after the dot;
// empty for other names.
std::string withOtherExtension(const std::string& name) {
    if (name.size() < 4) return "";
    const std::string extension = name.substr(name.size() - 4);
    const char* other = nullptr;
    if (equalsIgnoringCase(extension, ".wav")) other = ".ogg";
    if (equalsIgnoringCase(extension, ".ogg")) other = ".wav";
    if (!other) return "";
    std::string result = name.substr(0, name.size() - 4) + other;
    if (extension[1] >= 'A' && extension[1] <= 'Z') {
        for (size_t i = name.size() - 3; i < result.size(); ++i)
            result[i] = static_cast<char>(result[i] - 'a' + 'A');
    }
    return result;
}

#ifndef _WIN32
bool isDirectory(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The parts of a name between slashes of either kind, as charts written on Windows use both.
std::vector<std::string> splitParts(const std::string& name) {
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

// The entry of `folder` that matches `part` ignoring case and is a folder (or, for the last
// part, a file); of several, the first in byte order, so that the choice does not depend on
// the order in which the folder lists them. Empty when there is none.
std::string findEntry(const std::string& folder, const std::string& part, bool last) {
    const std::string exact = folder + part;
    if (last ? isFile(exact) : isDirectory(exact)) return part;
    DIR* listing = opendir(folder.empty() ? "." : folder.c_str());
    if (!listing) return "";
    std::string found;
    while (const dirent* entry = readdir(listing)) {
        const std::string candidate = entry->d_name;
        if (!equalsIgnoringCase(candidate, part)) continue;
        if (!found.empty() && candidate >= found) continue;
        const std::string path = folder + candidate;
        if (last ? isFile(path) : isDirectory(path)) found = candidate;
    }
    closedir(listing);
    return found;
}

// `directory` followed by the parts of `name`, each matched ignoring case; empty when a part
// has no match.
std::string matchIgnoringCase(const std::string& directory, const std::string& name) {
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

// The character set of the locale that the environment names, read without changing the
// program's own locale. The C locale stands for UTF-8, which file systems use today.
std::string localeCodeset() {
    std::string codeset;
    const locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (locale) {
        const char* name = nl_langinfo_l(CODESET, locale);
        if (name) codeset = name;
        freelocale(locale);
    }
    if (codeset.empty() || codeset == "ANSI_X3.4-1968" || codeset == "ASCII" ||
        codeset == "US-ASCII")
        return "UTF-8";
    return codeset;
}

// `name` read as Shift-JIS in the locale's character set; empty when it is plain ASCII, does
// not convert, or converts to itself.
std::string fromShiftJis(const std::string& name) {
    bool ascii = true;
    for (char c : name) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return "";
    const iconv_t converter = iconv_open(localeCodeset().c_str(), "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) return "";
    std::vector<char> input(name.begin(), name.end());
    // Each Shift-JIS byte becomes at most 3 bytes of UTF-8; other targets need less.
    std::vector<char> output(name.size() * 4 + 4);
    char* in = input.data();
    size_t inLeft = input.size();
    char* out = output.data();
    size_t outLeft = output.size();
    const size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1) || inLeft != 0) return "";
    std::string converted(output.data(), out);
    return converted == name ? "" : converted;
}
#endif

// Steps 1 to 3 for one spelling of the name.
std::string findSpelling(const std::string& directory, const std::string& name) {
    if (isFile(directory + name)) return directory + name;
#ifndef _WIN32
    std::string found = matchIgnoringCase(directory, name);
    if (!found.empty()) return found;
    const std::string converted = fromShiftJis(name);
    if (!converted.empty()) {
        if (isFile(directory + converted)) return directory + converted;
        found = matchIgnoringCase(directory, converted);
        if (!found.empty()) return found;
    }
#endif
    return "";
}

}  // namespace

std::string findSampleFile(const std::string& directory, const std::string& name) {
    if (name.empty()) return "";
    std::string found = findSpelling(directory, name);
    if (found.empty()) {
        const std::string other = withOtherExtension(name);
        if (!other.empty()) found = findSpelling(directory, other);
    }
    return found;
}
