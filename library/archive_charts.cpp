#include "library/archive_charts.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "convert/sample_lookup.h"
#include "library/chart_finder.h"
#include "library/paths.h"
#include "library/render_cost.h"
#include "text/ascii.h"
#include "text/encoding.h"
#include "text/format.h"

namespace {

constexpr size_t BLOCK_SIZE = 1 << 16;

struct ArchiveCloser {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
using Reader = std::unique_ptr<archive, ArchiveCloser>;

Reader openArchive(const std::string& path) {
    Reader reader(archive_read_new());
    if (!reader) return reader;
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_zip(reader.get());
    archive_read_support_format_7zip(reader.get());
    archive_read_support_format_rar(reader.get());
    archive_read_support_format_rar5(reader.get());
    if (archive_read_open_filename(reader.get(), path.c_str(), BLOCK_SIZE) != ARCHIVE_OK)
        reader.reset();
    return reader;
}

// The next member; false at the end or on damage, with `*damaged` telling which.
bool nextMember(archive* reader, archive_entry** entry, bool* damaged) {
    const int result = archive_read_next_header(reader, entry);
    *damaged = result != ARCHIVE_EOF && result != ARCHIVE_OK && result != ARCHIVE_WARN;
    return result == ARCHIVE_OK || result == ARCHIVE_WARN;
}

// The member's name with "/" between its parts and no empty or "." parts; false for names that
// lead outside the package. A name that the locale cannot spell is taken in UTF-8.
bool memberName(archive_entry* entry, std::string* name) {
    const char* raw = archive_entry_pathname(entry);
    if (!raw) raw = archive_entry_pathname_utf8(entry);
    if (!raw || raw[0] == '/' || raw[0] == '\\') return false;
    name->clear();
    std::string part;
    const std::string text = std::string(raw) + "/";
    for (char c : text) {
        if (c != '/') {
            part += c;
            continue;
        }
        // A ".." between backslashes would climb out on systems that read them as separators.
        const std::string wrapped = "\\" + part + "\\";
        if (part == ".." || wrapped.find("\\..\\") != std::string::npos) return false;
        if (!part.empty() && part != ".") {
            if (!name->empty()) *name += '/';
            *name += part;
        }
        part.clear();
    }
    if (name->size() >= 2 && (*name)[1] == ':') return false;
    return !name->empty();
}

bool isRegularFile(archive_entry* entry) {
    return archive_entry_filetype(entry) == AE_IFREG;
}

// Members that rendering never reads: the videos and pictures of a package.
bool isUnneeded(const std::string& name) {
    static const char* const ENDINGS[] = {".mpg", ".mpeg", ".avi",  ".mp4", ".wmv", ".webm",
                                          ".mkv", ".m1v",  ".m2v",  ".flv", ".mov", ".bmp",
                                          ".png", ".jpg",  ".jpeg", ".gif"};
    for (const char* ending : ENDINGS) {
        if (endsWithIgnoringCase(name, ending)) return true;
    }
    return false;
}

bool isUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const int extra = c < 0x80         ? 0
                          : c < 0xC2       ? -1
                          : (c >> 5) == 6  ? 1
                          : (c >> 4) == 14 ? 2
                          : (c >> 3) == 30 ? 3
                                           : -1;
        if (extra < 0 || i + extra >= text.size() + (extra == 0 ? 1 : 0)) return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

// `text` converted from `from` to the locale's character set; empty when it does not convert.
std::string convert(const std::string& text, const char* from) {
    TextConverter converter(localeCodeset().c_str(), from);
    std::string spelling;
    return converter.convert(text, &spelling) ? spelling : "";
}

// What became of one member.
enum class Unpacked { WRITTEN, DAMAGED, TOO_LARGE, WRITE_FAILED };

// Writes the data of `fd`'s member from the reader, counting its bytes in `*total`.
Unpacked copyData(archive* reader, int fd, int64_t limit, int64_t* total) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    int64_t written = 0;
    for (;;) {
        const int result = archive_read_data_block(reader, &block, &size, &offset);
        if (result == ARCHIVE_EOF) break;
        if (result != ARCHIVE_OK && result != ARCHIVE_WARN) return Unpacked::DAMAGED;
        if (offset < written) return Unpacked::DAMAGED;
        // Sparse members leave holes, which count as the bytes they stand for.
        *total += static_cast<int64_t>(size) + (offset - written);
        if (*total > limit) return Unpacked::TOO_LARGE;
        if (lseek(fd, offset, SEEK_SET) != offset) return Unpacked::WRITE_FAILED;
        const char* bytes = static_cast<const char*>(block);
        size_t left = size;
        while (left > 0) {
            const ssize_t done = ::write(fd, bytes, left);
            if (done <= 0) return Unpacked::WRITE_FAILED;
            bytes += done;
            left -= static_cast<size_t>(done);
        }
        written = offset + static_cast<int64_t>(size);
    }
    return ftruncate(fd, written) == 0 ? Unpacked::WRITTEN : Unpacked::WRITE_FAILED;
}

// Whether creating a file or folder failed on its name rather than on the folder's state: the
// name is taken, runs through a file, or is more than the file system can hold.
bool nameRefused(int error) {
    return error == EEXIST || error == ENOTDIR || error == EISDIR || error == ENAMETOOLONG ||
           error == EILSEQ;
}

// Copies the current member into a new file at `name` below `root`, which ends in "/". A
// member whose name is refused is passed over; the member that took the name first stays.
Unpacked writeMember(archive* reader, const std::string& root, const std::string& name,
                     int64_t limit, int64_t* total) {
    for (size_t slash = name.find('/'); slash != std::string::npos;
         slash = name.find('/', slash + 1)) {
        const std::string folder = root + name.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return nameRefused(errno) ? Unpacked::WRITTEN : Unpacked::WRITE_FAILED;
    }
    const int fd = ::open((root + name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    if (fd < 0) return nameRefused(errno) ? Unpacked::WRITTEN : Unpacked::WRITE_FAILED;
    Unpacked result = copyData(reader, fd, limit, total);
    if (::close(fd) != 0 && result == Unpacked::WRITTEN) result = Unpacked::WRITE_FAILED;
    return result;
}

}  // namespace

bool archivesSupported() {
    return true;
}

bool listArchiveCharts(const std::string& archivePath, std::vector<ArchiveChart>* charts,
                       ArchiveFault* fault, const ArchiveLimits& limits) {
    *fault = ArchiveFault::UNREADABLE;
    Reader reader = openArchive(archivePath);
    if (!reader) return false;
    archive_entry* entry = nullptr;
    bool damaged = false;
    std::vector<ArchiveChart> found;
    std::map<std::string, int64_t> soundBytes;
    // What the members to unpack claim, so that a package far beyond the limits fails before
    // any of its charts is planned.
    int members = 0;
    int64_t claimed = 0;
    while (nextMember(reader.get(), &entry, &damaged)) {
        std::string name;
        if (!isRegularFile(entry) || !memberName(entry, &name)) continue;
        const int64_t size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
        if (!isUnneeded(name)) {
            claimed = addCost(claimed, size);
            if (++members > limits.members || claimed > limits.bytes) {
                *fault = ArchiveFault::TOO_LARGE;
                return false;
            }
        }
        if (isChartName(name)) {
            found.push_back({name, addCost(0, size)});
        } else if (isSoundName(name)) {
            int64_t& bytes = soundBytes[folderOf(name)];
            bytes = addCost(bytes, size);
        }
    }
    if (damaged) return false;
    // A name given twice is unpacked from its first member, and counted so.
    std::stable_sort(found.begin(), found.end(),
                     [](const ArchiveChart& a, const ArchiveChart& b) { return a.name < b.name; });
    found.erase(
        std::unique(found.begin(), found.end(),
                    [](const ArchiveChart& a, const ArchiveChart& b) { return a.name == b.name; }),
        found.end());
    for (ArchiveChart& chart : found)
        chart.cost = addCost(chart.cost, soundBytes[folderOf(chart.name)]);
    *charts = found;
    return true;
}

std::string readableMemberName(const std::string& name) {
    if (isUtf8(name)) return name;
    std::string converted = convert(name, "CP932");
    if (converted.empty()) converted = convert(name, "CP949");
    return converted.empty() ? name : converted;
}

UnpackedArchive::~UnpackedArchive() {
    remove();
}

void UnpackedArchive::remove() {
    if (folder.empty()) return;
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    folder.clear();
}

bool UnpackedArchive::unpack(const std::string& archivePath, ArchiveFault* fault,
                             const ArchiveLimits& limits) {
    remove();
    Reader reader = openArchive(archivePath);
    if (!reader) {
        *fault = ArchiveFault::UNREADABLE;
        return false;
    }
    const char* temporary = std::getenv("TMPDIR");
    std::string pattern =
        std::string(temporary && *temporary ? temporary : "/tmp") + "/keymix-XXXXXX";
    if (!mkdtemp(&pattern[0])) {
        *fault = ArchiveFault::NOT_UNPACKED;
        return false;
    }
    folder = pattern + "/";
    archive_entry* entry = nullptr;
    bool damaged = false;
    Unpacked result = Unpacked::WRITTEN;
    int64_t total = 0;
    int members = 0;
    while (result == Unpacked::WRITTEN && nextMember(reader.get(), &entry, &damaged)) {
        std::string name;
        if (!isRegularFile(entry) || !memberName(entry, &name) || isUnneeded(name)) continue;
        result = ++members > limits.members
                     ? Unpacked::TOO_LARGE
                     : writeMember(reader.get(), folder, name, limits.bytes, &total);
    }
    if (damaged) result = Unpacked::DAMAGED;
    if (result == Unpacked::WRITTEN) return true;
    remove();
    *fault = result == Unpacked::TOO_LARGE ? ArchiveFault::TOO_LARGE
             : result == Unpacked::DAMAGED ? ArchiveFault::UNREADABLE
                                           : ArchiveFault::NOT_UNPACKED;
    return false;
}
