// Finding a chart's key sound files when the file system spells their names differently from
// the chart.
#ifndef CONVERT_SAMPLE_LOOKUP_H_
#define CONVERT_SAMPLE_LOOKUP_H_

#include <string>

// The file that holds the key sound registered as `name` by a chart in `directory` (empty, or
// ending in a separator). Tried in order, the first existing file wins:
//   1. the path as written, `directory` followed by `name`;
//   2. on POSIX systems, the path whose parts after `directory` match the parts of `name` (split
//      at either slash) with ASCII letters compared case-insensitively, an exact match first;
//   3. on POSIX systems, `name` read as Shift-JIS (CP932) and converted to the encoding of the
//      locale that the environment names (UTF-8 under the C locale), matched as in 2;
//   4. steps 1 to 3 for `name` with the other extension of .wav and .ogg.
// Returns the path found, or an empty text when none exists.
std::string findSampleFile(const std::string& directory, const std::string& name);

#endif  // CONVERT_SAMPLE_LOOKUP_H_
