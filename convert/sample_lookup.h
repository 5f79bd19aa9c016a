// Finding a chart's key sound files when the file system spells their names differently from
// the chart.
#ifndef CONVERT_SAMPLE_LOOKUP_H_
#define CONVERT_SAMPLE_LOOKUP_H_

#include <string>
#include <vector>

// The files that hold the key sounds registered as `names` by a chart in `directory` (empty, or
// ending in a separator), one path per name, empty where none exists.
//
// A name is tried in readings: as written, then on POSIX systems read as Shift-JIS (CP932), as
// EUC-KR (CP949) and as UTF-8, each converted to the encoding of the locale that the environment
// names (UTF-8 under the C locale). Under one reading these are tried in order, the first
// existing file wins:
//   1. the path as written, `directory` followed by the name;
//   2. on POSIX systems, the path whose parts after `directory` match the parts of the name
//      (split at either slash) with ASCII letters compared case-insensitively, an exact match
//      first;
//   3. steps 1 and 2 for the same stem with .wav, .ogg, .flac, .mp3 and .opus in that order,
//      when the name ends in one of them (the case of the letter after its dot is kept), and,
//      with `addExtensions`, for the name followed by each of them when its last part has no
//      extension.
// A chart is written in one encoding, so the reading under which the most names are found
// (the earlier one of a tie) is tried first for every name, then the others in their order.
std::vector<std::string> findSampleFiles(const std::string& directory,
                                         const std::vector<std::string>& names,
                                         bool addExtensions = false);

// The file of a single name, as `findSampleFiles` finds it.
std::string findSampleFile(const std::string& directory, const std::string& name);

#endif  // CONVERT_SAMPLE_LOOKUP_H_
