// Finding the charts of a library: chart files and song-package archives under a folder, in a
// stable order.
#ifndef LIBRARY_CHART_FINDER_H_
#define LIBRARY_CHART_FINDER_H_

#include <string>
#include <vector>

enum class FoundKind { CHART, ARCHIVE, UNREADABLE_FOLDER };

struct FoundFile {
    FoundKind kind = FoundKind::CHART;
    // The path to open: the root joined with `relative`, or the root itself.
    std::string path;
    // The path below the root ("a/b/song.bms"); the file's name when the root is a file.
    std::string relative;
};

// Whether the name ends in .bms, .bme, .bml, .pms or .bmson, in any case.
bool isChartName(const std::string& name);
// Whether the name ends in .zip, .7z or .rar, in any case.
bool isArchiveName(const std::string& name);

// Adds what lies at `root` to `found`: every chart and archive under a folder, found
// recursively, each folder's entries in byte order of their names, links to folders not
// followed; a folder that cannot be read is added as UNREADABLE_FOLDER. A root that is a file
// is added as an archive when its name says so, else as a chart. False when nothing is at
// `root` or the root folder cannot be read.
bool findCharts(const std::string& root, std::vector<FoundFile>* found);

#endif  // LIBRARY_CHART_FINDER_H_
