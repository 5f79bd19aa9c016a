// The library run of the console program (option -a): every chart under a folder, or named on
// standard input, rendered side by side, with one progress line, the failed charts and a
// closing summary on standard output, and a report file.
#ifndef CONSOLE_LIBRARY_COMMAND_H_
#define CONSOLE_LIBRARY_COMMAND_H_

#include <string>

#include "library/runner.h"

// A folder, a chart, an archive, or "-" for a list of such paths on standard input, one a line;
// the outputs go under `outputFolder` (empty: next to each chart). Ctrl-C starts no further
// chart. True when every chart was rendered or skipped and the report was written.
bool runLibraryCommand(const std::string& source, const std::string& outputFolder,
                       const LibraryOptions& options);

#endif  // CONSOLE_LIBRARY_COMMAND_H_
