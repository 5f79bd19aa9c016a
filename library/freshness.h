// Whether an output is up to date: newer than the chart or archive it comes from and than
// every key sound file that rendering the chart reads, so that a library run that stopped
// resumes where it stopped.
#ifndef LIBRARY_FRESHNESS_H_
#define LIBRARY_FRESHNESS_H_

#include <filesystem>
#include <string>
#include <vector>

// Whether `output` is a non-empty file modified after `source`; its time then goes to `*time`.
bool outputNewer(const std::string& output, const std::string& source,
                 std::filesystem::file_time_type* time);

// Whether none of `files`, the key sound files that rendering a chart reads
// (BmsConverter::getSoundFiles), was modified at or after `outputTime`; a file that does not
// exist changes nothing.
bool soundsOlder(const std::vector<std::string>& files, std::filesystem::file_time_type outputTime);

#endif  // LIBRARY_FRESHNESS_H_
