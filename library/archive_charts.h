// Song packages kept as archives (.zip, .7z, .rar): the charts they hold, and the package
// unpacked into a private folder so that a chart renders from there with its key sounds.
#ifndef LIBRARY_ARCHIVE_CHARTS_H_
#define LIBRARY_ARCHIVE_CHARTS_H_

#include <cstdint>
#include <string>
#include <vector>

// Why an archive gave no charts.
enum class ArchiveFault {
    // It cannot be read, or it is damaged.
    UNREADABLE,
    // It holds more than the limits allow.
    TOO_LARGE,
    // The private folder cannot be made or a file cannot be written there.
    NOT_UNPACKED,
};

// Whether this build reads archives; without, the functions below fail.
bool archivesSupported();

// Bounds against archives that unpack into far more than any song package holds; they count
// the members that are unpacked (below).
struct ArchiveLimits {
    // Bytes, the holes of sparse members included.
    int64_t bytes = INT64_C(2) << 30;
    int members = 100000;
};

// A chart member of an archive, and the guessed cost of rendering it (library/render_cost.h):
// its size and that of the sound members in its folder, in bytes as the archive's headers claim
// them.
struct ArchiveChart {
    std::string name;
    int64_t cost = 0;
};

// Fills `charts` with the archive's chart members, sorted in byte order of their names. Names
// are kept in the bytes the archive stores, with "/" between folders; members whose names
// lead outside the package (absolute, or with a ".." part) are left out. False, with `*fault`
// telling why, when the archive cannot be read or its headers claim more than the limits.
bool listArchiveCharts(const std::string& archive, std::vector<ArchiveChart>* charts,
                       ArchiveFault* fault, const ArchiveLimits& limits = ArchiveLimits());

// A member name as people read it: names that are not valid UTF-8 are read as Shift-JIS, else
// as EUC-KR, and given in the character set of the locale; the name itself when neither fits.
std::string readableMemberName(const std::string& name);

// The regular-file members of one archive, written under a new private folder that goes away
// with the object. Video and picture members are left out: rendering needs none of them.
class UnpackedArchive {
public:
    UnpackedArchive() = default;
    ~UnpackedArchive();
    UnpackedArchive(const UnpackedArchive&) = delete;
    UnpackedArchive& operator=(const UnpackedArchive&) = delete;

    // Unpacks `archive`; each member lands at the folder joined with its name as
    // `listArchiveCharts` gives it, unless an earlier member took that name or the file system
    // cannot hold it (a part too long, a file where a folder should be). False, with `*fault`
    // telling why and nothing left on disk, when the archive cannot be read, holds more than
    // the limits allow or a file cannot be written.
    bool unpack(const std::string& archive, ArchiveFault* fault,
                const ArchiveLimits& limits = ArchiveLimits());
    // The folder, ending in "/"; empty before a successful unpack.
    const std::string& getFolder() const { return folder; }

private:
    void remove();

    std::string folder;
};

#endif  // LIBRARY_ARCHIVE_CHARTS_H_
