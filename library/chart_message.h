// The closing message for one chart, as the console program prints it after a single run and as
// a library run lists a failed chart and puts it into its report, in both programs.
#ifndef LIBRARY_CHART_MESSAGE_H_
#define LIBRARY_CHART_MESSAGE_H_

#include <string>

#include "convert/render.h"
#include "library/plan.h"

// The message after rendering the chart named `shown` into `output`, each line ended by a
// newline: what a player mended of the chart, if anything, then the closing lines; empty for a
// render that the observer stopped.
std::string chartMessage(const RenderResult& result, const std::string& shown,
                         const std::string& output);

// The message of a library chart that failed for `fault`, naming `path`; empty for NONE.
std::string faultMessage(LibraryFault fault, const std::string& path);

// The message of a chart that a library run is done with.
std::string chartMessage(const LibraryChart& chart);

#endif  // LIBRARY_CHART_MESSAGE_H_
