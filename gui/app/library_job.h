// A library run for the window: every chart under a folder or in an archive, rendered on a
// worker thread as `keymix -a` renders them, the window hearing of it through posted messages.
#ifndef GUI_APP_LIBRARY_JOB_H_
#define GUI_APP_LIBRARY_JOB_H_

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "library/runner.h"
#include "library/summary.h"

// Posted to the window while a run goes on, whenever its progress changed; `latest` tells how.
constexpr UINT WM_LIBRARY_PROGRESS = WM_APP + 1;
// Posted once when the run has ended and its report is written; `finish` then returns at once.
constexpr UINT WM_LIBRARY_DONE = WM_APP + 2;

class LibraryJob : private LibraryObserver {
public:
    LibraryJob() = default;
    // Stops a run that still goes on and waits for it.
    ~LibraryJob();
    LibraryJob(const LibraryJob&) = delete;
    LibraryJob& operator=(const LibraryJob&) = delete;

    // Starts rendering what lies at `source` (a folder or an archive) with `options` on a new
    // thread, the outputs under `outputFolder` (empty: next to each chart) and the report at
    // `reportPath`; messages go to `window`. False when a run is still going on.
    bool start(HWND window, const std::string& source, const std::string& outputFolder,
               const std::string& reportPath, const LibraryOptions& options);
    bool isRunning() const { return thread.joinable(); }
    // No further chart starts; the charts being rendered finish.
    void stop() { cancel = true; }
    // Waits for the thread.
    void finish();

    LibraryProgress latest() const;
    // After `finish`: whether the source could be read, and how the run ended.
    bool sourceRead() const { return readable; }
    const LibrarySummary& summary() const { return result; }

private:
    void run(std::string source, std::string outputFolder, std::string reportPath,
             LibraryOptions options);
    void progress(const LibraryProgress& progress, bool last) override;

    HWND window = nullptr;
    std::thread thread;
    std::atomic<bool> cancel{false};
    mutable std::mutex lock;
    LibraryProgress current;
    bool readable = false;
    LibrarySummary result;
};

#endif  // GUI_APP_LIBRARY_JOB_H_
