// Archives in a build without libarchive: none can be read, so a library run reads folders
// only.
#include "library/archive_charts.h"

bool archivesSupported() {
    return false;
}

bool listArchiveCharts(const std::string& /*archive*/, std::vector<ArchiveChart>* /*charts*/,
                       ArchiveFault* fault, const ArchiveLimits& /*limits*/) {
    *fault = ArchiveFault::UNREADABLE;
    return false;
}

std::string readableMemberName(const std::string& name) {
    return name;
}

UnpackedArchive::~UnpackedArchive() = default;

void UnpackedArchive::remove() {}

bool UnpackedArchive::unpack(const std::string& /*archive*/, ArchiveFault* fault,
                             const ArchiveLimits& /*limits*/) {
    *fault = ArchiveFault::UNREADABLE;
    return false;
}
