// A library run of the console program (option -a): every chart under a folder, or named on
// standard input, rendered side by side on the machine's threads, with one progress line, a
// closing summary and a report file.
#ifndef CONSOLE_LIBRARY_RUN_H_
#define CONSOLE_LIBRARY_RUN_H_

#include <string>

#include "console/chart_run.h"

struct LibrarySettings {
    // A folder, a chart, an archive, or "-" for a list of such paths on standard input, one a
    // line.
    std::string source;
    // Where the outputs go, mirroring the tree below the source; empty puts each output next
    // to its chart, or next to the archive holding it.
    std::string outputFolder;
    // Renders charts whose output is up to date too.
    bool force = false;
    ChartSettings chart;
    // Charts rendered at once; 0 for as many as the machine has hardware threads.
    int workers = 0;
};

// Renders the library as `settings` say, printing the progress line and the summary on
// standard output and writing "keymix-report.tsv" into the output folder, else the source
// folder, else the current folder. True when every chart was rendered or skipped.
bool runLibrary(const LibrarySettings& settings);

#endif  // CONSOLE_LIBRARY_RUN_H_
