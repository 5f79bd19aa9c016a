#include "library/archive_charts.h"

#ifdef _WIN32
#include <windows.h>

#include <direct.h>
#include <io.h>
#include <process.h>
#else
#include <locale.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <system_error>

#include "convert/sample_lookup.h"
#include "library/chart_finder.h"
#include "library/paths.h"
#include "library/render_cost.h"
#include "text/ascii.h"
#include "text/encoding.h"
#include "text/format.h"
#include "text/native_path.h"

namespace {

constexpr size_t BLOCK_SIZE = 1 << 16;

struct ArchiveCloser {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
using Reader = std::unique_ptr<archive, ArchiveCloser>;

// `options` (libarchive's option text) or none.
Reader openArchive(const std::string& path, const char* options) {
    Reader reader(archive_read_new());
    if (!reader) return reader;
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_zip(reader.get());
    archive_read_support_format_7zip(reader.get());
    archive_read_support_format_rar(reader.get());
    archive_read_support_format_rar5(reader.get());
    if ((options && archive_read_set_options(reader.get(), options) != ARCHIVE_OK) ||
        archive_read_open_filename(reader.get(), path.c_str(), BLOCK_SIZE) != ARCHIVE_OK)
        reader.reset();
    return reader;
}

// The next member; false at the end or on damage, with `*damaged` telling which.
bool nextHeader(archive* reader, archive_entry** entry, bool* damaged) {
    const int result = archive_read_next_header(reader, entry);
    *damaged = result != ARCHIVE_EOF && result != ARCHIVE_OK && result != ARCHIVE_WARN;
    return result == ARCHIVE_OK || result == ARCHIVE_WARN;
}

#ifdef _WIN32
// libarchive spells names through the code pages. Names that zip and RAR archives keep without
// their Unicode flag are read as Latin-1, which keeps every byte, and by a second reader as code
// page 437, which changes every byte above 127: a name that both read alike was stored in
// Unicode (or is ASCII).
constexpr char BYTE_NAMES[] = "zip:hdrcharset=CP28591,rar:hdrcharset=CP28591";
constexpr char CHECK_NAMES[] = "zip:hdrcharset=CP437,rar:hdrcharset=CP437";

bool keepsByteNames(archive* reader) {
    const int format = archive_format(reader) & ARCHIVE_FORMAT_BASE_MASK;
    return format == ARCHIVE_FORMAT_ZIP || format == ARCHIVE_FORMAT_RAR;
}

// `wide` in the ANSI code page; empty when the code page lacks one of its characters.
std::string ansiSpelling(const std::wstring& wide) {
    const int size = static_cast<int>(wide.size());
    BOOL lacking = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr,
                                           0, nullptr, &lacking);
    std::string spelling(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, &spelling[0], length,
                        nullptr, &lacking);
    return lacking ? std::string() : spelling;
}

// Whether the ANSI code page reads `bytes` as text, as the file functions will.
bool ansiText(const std::string& bytes) {
    return bytes.empty() || MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(),
                                                static_cast<int>(bytes.size()), nullptr, 0) > 0;
}
#else
// Names stored in Unicode are read as UTF-8, whatever the locale: libarchive spells them in the
// character set of the thread's locale and loses those that it cannot spell.
class Utf8Names {
public:
    Utf8Names() : utf8(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0))) {
        if (utf8) previous = uselocale(utf8);
    }
    ~Utf8Names() {
        if (!utf8) return;
        uselocale(previous);
        freelocale(utf8);
    }
    Utf8Names(const Utf8Names&) = delete;
    Utf8Names& operator=(const Utf8Names&) = delete;

private:
    const locale_t utf8;
    locale_t previous = LC_GLOBAL_LOCALE;
};
#endif

// The members of one archive in their order, with their names as stored: the bytes of names
// kept without a character set, UTF-8 for names stored in Unicode. On Windows both are given in
// the ANSI code page, as the file functions take them, and names that it cannot spell are
// empty. Used on one thread.
class Members {
public:
    bool open(const std::string& archivePath) {
        path = archivePath;
#ifdef _WIN32
        reader = openArchive(path, BYTE_NAMES);
#else
        reader = openArchive(path, nullptr);
#endif
        return reader != nullptr;
    }

    // False at the end or on damage, with `*damaged` telling which.
    bool next(bool* damaged) {
        if (!nextHeader(reader.get(), &entry, damaged)) return false;
#ifdef _WIN32
        if (!check && keepsByteNames(reader.get())) {
            check = openArchive(path, CHECK_NAMES);
            if (!check) *damaged = true;
        }
        if (check && !nextHeader(check.get(), &checkEntry, damaged)) *damaged = true;
        return !*damaged;
#else
        return true;
#endif
    }

    archive* get() const {
        return reader.get();
    }
    archive_entry* getEntry() const {
        return entry;
    }

    std::string storedName() const {
#ifdef _WIN32
        const wchar_t* wide = archive_entry_pathname_w(entry);
        if (!wide) return std::string();
        const std::wstring name = wide;
        const wchar_t* other = check ? archive_entry_pathname_w(checkEntry) : wide;
        if (other && name == other) return ansiSpelling(name);
        std::string bytes;
        for (wchar_t c : name) bytes += static_cast<char>(c);
        return ansiText(bytes) ? bytes : std::string();
#else
        const char* raw = archive_entry_pathname(entry);
        if (!raw) raw = archive_entry_pathname_utf8(entry);
        return raw ? raw : "";
#endif
    }

private:
#ifndef _WIN32
    Utf8Names utf8Names;
#endif
    std::string path;
    Reader reader;
    archive_entry* entry = nullptr;
#ifdef _WIN32
    Reader check;
    archive_entry* checkEntry = nullptr;
#endif
};

// The member's name with "/" between its parts and no empty or "." parts; false for names that
// lead outside the package, and on Windows for names that no file there can have.
bool memberName(const std::string& stored, std::string* name) {
    if (stored.empty() || stored[0] == '/' || stored[0] == '\\') return false;
    name->clear();
    std::string part;
    const std::string text = stored + "/";
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
#ifdef _WIN32
        // Backslashes separate folders there too, but not as the trail byte of a double-byte
        // character.
        if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 2 < text.size()) {
            part += c;
            part += text[++i];
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"|?*", c)) return false;
        const bool separator = c == '/' || c == '\\';
#else
        const bool separator = c == '/';
#endif
        if (!separator) {
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

#ifdef _WIN32
// `text` read in code page `from` and spelled in the ANSI code page; empty when it is no text
// there or the ANSI code page lacks one of its characters.
std::string convert(const std::string& text, UINT from) {
    const int size = static_cast<int>(text.size());
    const int length =
        MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) return std::string();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text.data(), size, &wide[0], length);
    return ansiSpelling(wide);
}

constexpr UINT UTF8 = CP_UTF8;
constexpr UINT SHIFT_JIS = 932;
constexpr UINT EUC_KR = 949;

// Members lie in a folder of their own below the system's temporary folder, named as the
// ANSI file functions reach it.
std::string makePrivateFolder() {
    char temporary[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof temporary, temporary);
    if (length == 0 || length > MAX_PATH) return std::string();
    static std::atomic<unsigned> next{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string folder = std::string(temporary, length) + "keymix-" +
                                   std::to_string(_getpid()) + "-" + std::to_string(next++);
        if (_mkdir(folder.c_str()) == 0) return folder + "/";
        if (errno != EEXIST) break;
    }
    return std::string();
}

int makeFolder(const std::string& path) {
    return _mkdir(path.c_str());
}

int createFile(const std::string& path) {
    return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}

// Whether a file or folder could not be created on its name rather than on the folder's state:
// the name is taken (by a file, a folder, or a file where a folder of the path should be) or is
// more than the file system can hold.
bool nameRefused() {
    return errno == EEXIST || errno == EACCES || errno == ENOENT || errno == ENAMETOOLONG;
}

bool seekFile(int fd, int64_t offset) {
    return _lseeki64(fd, offset, SEEK_SET) == offset;
}

int64_t writeFile(int fd, const char* bytes, size_t size) {
    return _write(fd, bytes, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
}

bool truncateFile(int fd, int64_t size) {
    return _chsize_s(fd, size) == 0;
}

int closeFile(int fd) {
    return _close(fd);
}
#else
// `text` converted from `from` to the locale's character set; empty when it does not convert.
std::string convert(const std::string& text, const char* from) {
    TextConverter converter(localeCodeset().c_str(), from);
    std::string spelling;
    return converter.convert(text, &spelling) ? spelling : "";
}

constexpr char SHIFT_JIS[] = "CP932";
constexpr char EUC_KR[] = "CP949";

std::string makePrivateFolder() {
    const char* temporary = std::getenv("TMPDIR");
    std::string pattern =
        std::string(temporary && *temporary ? temporary : "/tmp") + "/keymix-XXXXXX";
    return mkdtemp(&pattern[0]) ? pattern + "/" : std::string();
}

int makeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0700);
}

int createFile(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
}

bool nameRefused() {
    return errno == EEXIST || errno == ENOTDIR || errno == EISDIR || errno == ENAMETOOLONG ||
           errno == EILSEQ;
}

bool seekFile(int fd, int64_t offset) {
    return lseek(fd, offset, SEEK_SET) == offset;
}

int64_t writeFile(int fd, const char* bytes, size_t size) {
    return ::write(fd, bytes, size);
}

bool truncateFile(int fd, int64_t size) {
    return ftruncate(fd, size) == 0;
}

int closeFile(int fd) {
    return ::close(fd);
}
#endif

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
        if (!seekFile(fd, offset)) return Unpacked::WRITE_FAILED;
        const char* bytes = static_cast<const char*>(block);
        size_t left = size;
        while (left > 0) {
            const int64_t done = writeFile(fd, bytes, left);
            if (done <= 0) return Unpacked::WRITE_FAILED;
            bytes += done;
            left -= static_cast<size_t>(done);
        }
        written = offset + static_cast<int64_t>(size);
    }
    return truncateFile(fd, written) ? Unpacked::WRITTEN : Unpacked::WRITE_FAILED;
}

// Copies the current member into a new file at `name` below `root`, which ends in "/". A
// member whose name is refused is passed over; the member that took the name first stays.
Unpacked writeMember(archive* reader, const std::string& root, const std::string& name,
                     int64_t limit, int64_t* total) {
    for (size_t slash = name.find('/'); slash != std::string::npos;
         slash = name.find('/', slash + 1)) {
        const std::string folder = root + name.substr(0, slash);
        if (makeFolder(folder) != 0 && errno != EEXIST)
            return nameRefused() ? Unpacked::WRITTEN : Unpacked::WRITE_FAILED;
    }
    const int fd = createFile(root + name);
    if (fd < 0) return nameRefused() ? Unpacked::WRITTEN : Unpacked::WRITE_FAILED;
    Unpacked result = copyData(reader, fd, limit, total);
    if (closeFile(fd) != 0 && result == Unpacked::WRITTEN) result = Unpacked::WRITE_FAILED;
    return result;
}

}  // namespace

bool archivesSupported() {
    return true;
}

bool listArchiveCharts(const std::string& archivePath, std::vector<ArchiveChart>* charts,
                       ArchiveFault* fault, const ArchiveLimits& limits) {
    *fault = ArchiveFault::UNREADABLE;
    Members entries;
    if (!entries.open(archivePath)) return false;
    bool damaged = false;
    std::vector<ArchiveChart> found;
    std::map<std::string, int64_t> soundBytes;
    // What the members to unpack claim, so that a package far beyond the limits fails before
    // any of its charts is planned.
    int members = 0;
    int64_t claimed = 0;
    while (entries.next(&damaged)) {
        archive_entry* entry = entries.getEntry();
        std::string name;
        if (!isRegularFile(entry) || !memberName(entries.storedName(), &name)) continue;
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
#ifdef _WIN32
    // UTF-8 names are spelled in the ANSI code page like the others.
    const bool ascii = std::all_of(name.begin(), name.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) return name;
    std::string converted = isUtf8(name) ? convert(name, UTF8) : std::string();
#else
    if (isUtf8(name)) return name;
    std::string converted;
#endif
    if (converted.empty()) converted = convert(name, SHIFT_JIS);
    if (converted.empty()) converted = convert(name, EUC_KR);
    return converted.empty() ? name : converted;
}

UnpackedArchive::~UnpackedArchive() {
    remove();
}

void UnpackedArchive::remove() {
    if (folder.empty()) return;
    std::error_code error;
    std::filesystem::remove_all(toFsPath(folder), error);
    folder.clear();
}

bool UnpackedArchive::unpack(const std::string& archivePath, ArchiveFault* fault,
                             const ArchiveLimits& limits) {
    remove();
    Members members;
    if (!members.open(archivePath)) {
        *fault = ArchiveFault::UNREADABLE;
        return false;
    }
    folder = makePrivateFolder();
    if (folder.empty()) {
        *fault = ArchiveFault::NOT_UNPACKED;
        return false;
    }
    bool damaged = false;
    Unpacked result = Unpacked::WRITTEN;
    int64_t total = 0;
    int count = 0;
    while (result == Unpacked::WRITTEN && members.next(&damaged)) {
        std::string name;
        if (!isRegularFile(members.getEntry()) || !memberName(members.storedName(), &name) ||
            isUnneeded(name))
            continue;
        result = ++count > limits.members
                     ? Unpacked::TOO_LARGE
                     : writeMember(members.get(), folder, name, limits.bytes, &total);
    }
    if (damaged) result = Unpacked::DAMAGED;
    if (result == Unpacked::WRITTEN) return true;
    remove();
    *fault = result == Unpacked::TOO_LARGE ? ArchiveFault::TOO_LARGE
             : result == Unpacked::DAMAGED ? ArchiveFault::UNREADABLE
                                           : ArchiveFault::NOT_UNPACKED;
    return false;
}
