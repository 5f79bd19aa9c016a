#include "gui/app/library_job.h"

#include <windows.h>

#include <utility>

#include "library/plan.h"

LibraryJob::~LibraryJob() {
    stop();
    finish();
}

bool LibraryJob::start(HWND target, const std::string& source, const std::string& outputFolder,
                       const std::string& reportPath, const LibraryOptions& options) {
    if (isRunning()) return false;
    window = target;
    cancel = false;
    current = LibraryProgress();
    readable = false;
    result = LibrarySummary();
    thread = std::thread(&LibraryJob::run, this, source, outputFolder, reportPath, options);
    return true;
}

void LibraryJob::finish() {
    if (thread.joinable()) thread.join();
}

LibraryProgress LibraryJob::latest() const {
    std::lock_guard<std::mutex> hold(lock);
    return current;
}

void LibraryJob::progress(const LibraryProgress& progress, bool /*last*/) {
    {
        std::lock_guard<std::mutex> hold(lock);
        current = progress;
    }
    PostMessageA(window, WM_LIBRARY_PROGRESS, 0, 0);
}

void LibraryJob::run(std::string source, std::string outputFolder, std::string reportPath,
                     LibraryOptions options) {
    LibraryPlan plan(outputFolder, options.render.finish.preview);
    readable = plan.addSource(source);
    if (readable) {
        runLibrary(&plan, options, cancel, *this);
        result = summariseLibrary(plan, reportPath);
    }
    PostMessageA(window, WM_LIBRARY_DONE, 0, 0);
}
