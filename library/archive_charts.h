// Song packages kept as archives (.zip, .7z, .rar): the charts they hold, and the package
// unpacked into a private folder so that a chart renders from there with its key sounds.
#ifndef LIBRARY_ARCHIVE_CHARTS_H_
#define LIBRARY_ARCHIVE_CHARTS_H_

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

// Fills `charts` with the names of the archive's chart members, sorted in byte order. Names
// are kept in the bytes the archive stores, with "/" between folders; members whose names
// lead outside the package (absolute, or with a ".." part) are left out. False when the
// archive cannot be read.
bool listArchiveCharts(const std::string& archive, std::vector<std::string>* charts);

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
    // `listArchiveCharts` gives it. False, with `*fault` telling why and nothing left on disk,
    // when the archive cannot be read, holds more than the limits allow or a file cannot be
    // written.
    bool unpack(const std::string& archive, ArchiveFault* fault);
    // The folder, ending in "/"; empty before a successful unpack.
    const std::string& getFolder() const { return folder; }

private:
    void remove();

    std::string folder;
};

#endif  // LIBRARY_ARCHIVE_CHARTS_H_
