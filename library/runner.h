// Running a library plan: its charts on a pool of workers, rendered side by side with the
// machine's threads shared between them, the costliest first (library/schedule.h), the charts
// of one archive too once it is unpacked; up-to-date outputs skipped.
#ifndef LIBRARY_RUNNER_H_
#define LIBRARY_RUNNER_H_

#include <atomic>

#include "convert/render.h"

class LibraryPlan;

struct LibraryOptions {
    // Renders charts whose output is up to date too.
    bool force = false;
    RenderOptions render;
    // Charts rendered at once; 0 for as many as the machine has hardware threads.
    int workers = 0;
};

struct LibraryProgress {
    // Charts done (rendered, skipped or failed) of all, and how many of them failed.
    int done = 0;
    int total = 0;
    int failed = 0;
    // Seconds since the run started.
    double elapsed = 0.0;
};

// What a front end hears while the library runs.
class LibraryObserver {
public:
    virtual ~LibraryObserver() = default;
    // Called on the thread that runs the library, one call at a time: when it starts, about
    // once a second and whenever a chart is done, then once more with `last` set when every
    // worker has stopped.
    virtual void progress(const LibraryProgress& /*progress*/, bool /*last*/) {}
};

// Renders the plan's pending charts as `options` say, leaving each chart's outcome, result
// and times in the plan; the folder of each output is made first. Once `cancel` is set no
// further chart starts, and the charts not started stay pending.
void runLibrary(LibraryPlan* plan, const LibraryOptions& options, const std::atomic<bool>& cancel,
                LibraryObserver& observer);

#endif  // LIBRARY_RUNNER_H_
