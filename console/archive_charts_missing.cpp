// Archives in a build without libarchive: none can be read, so a library run reads folders
// only.
#include "console/archive_charts.h"

bool archivesSupported() {
    return false;
}

bool listArchiveCharts(const std::string& /*archive*/, std::vector<std::string>* /*charts*/,
                       std::string* /*message*/) {
    return false;
}

std::string readableMemberName(const std::string& name) {
    return name;
}

UnpackedArchive::~UnpackedArchive() = default;

void UnpackedArchive::remove() {}

bool UnpackedArchive::unpack(const std::string& /*archive*/, std::string* /*message*/) {
    return false;
}
