#include "library/runner.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "library/archive_charts.h"
#include "library/freshness.h"
#include "library/paths.h"
#include "library/plan.h"
#include "library/previews.h"
#include "text/native_path.h"
#include "wav/wav.h"

namespace fs = std::filesystem;

namespace {

constexpr double BYTES_PER_SECOND = LU_BYTES_PER_SECOND;
constexpr int WAV_HEADER_BYTES = 44;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void makeOutputFolder(const std::string& output) {
    const std::string folder = folderOf(output);
    std::error_code error;
    if (!folder.empty()) fs::create_directories(toFsPath(folder), error);
}

LibraryFault faultOf(ArchiveFault fault) {
    switch (fault) {
        case ArchiveFault::TOO_LARGE:
            return LibraryFault::ARCHIVE_TOO_LARGE;
        case ArchiveFault::NOT_UNPACKED:
            return LibraryFault::ARCHIVE_NOT_UNPACKED;
        default:
            return LibraryFault::ARCHIVE_UNREADABLE;
    }
}

// Stops the render of a chart whose output is newer than the chart, once the chart shows that
// its key sounds are older too. A bmson chart is always rendered.
class FreshnessCheck : public RenderObserver {
public:
    FreshnessCheck(const std::string& chartPath, const RenderOptions& options)
        : chartPath(chartPath), options(options) {}

    bool chartParsed(const BmsBms* chart, bool /*outputExists*/) override {
        return !(outputIsNewer && chart && soundsOlder(*chart, chartPath, options, outputTime));
    }

    bool outputIsNewer = false;
    fs::file_time_type outputTime;

private:
    const std::string& chartPath;
    const RenderOptions& options;
};

class LibraryRun {
public:
    LibraryRun(LibraryPlan* plan, const LibraryOptions& options, const std::atomic<bool>& cancel)
        : plan(*plan), options(options), cancel(cancel) {}

    void run(LibraryObserver& observer);

private:
    void work();
    void runChart(size_t index);
    void runArchive(const LibraryTask& task);
    void runPreview(size_t index);
    void finish(size_t index, const RenderResult& result, double seconds);
    void fail(size_t index, LibraryFault fault, const std::string& faultPath, double seconds);
    void count(const LibraryChart& chart);
    LibraryProgress progress() const;

    LibraryPlan& plan;
    const LibraryOptions& options;
    const std::atomic<bool>& cancel;
    RenderOptions renderOptions;

    std::atomic<size_t> nextTask{0};
    std::mutex lock;
    std::condition_variable changed;
    int done = 0;
    int failed = 0;
    int workersLeft = 0;
    Clock::time_point start;
};

void LibraryRun::count(const LibraryChart& chart) {
    ++done;
    if (chart.outcome == ChartOutcome::FAILED) ++failed;
}

void LibraryRun::finish(size_t index, const RenderResult& result, double seconds) {
    std::lock_guard<std::mutex> hold(lock);
    LibraryChart& chart = plan.charts[index];
    chart.render = result;
    chart.seconds = seconds;
    if (result.status == RenderStatus::WRITTEN) {
        chart.outcome = ChartOutcome::RENDERED;
        chart.outputSeconds = result.outputSeconds;
    } else if (result.status == RenderStatus::STOPPED && !chart.candidates.empty()) {
        chart.outcome = ChartOutcome::SKIPPED;
    } else if (result.status == RenderStatus::STOPPED) {
        chart.outcome = ChartOutcome::SKIPPED;
        // The kept output's length, read from its size as a WAV file's.
        std::error_code error;
        const uintmax_t size = fs::file_size(toFsPath(chart.output), error);
        if (!error && size >= WAV_HEADER_BYTES)
            chart.outputSeconds = (size - WAV_HEADER_BYTES) / BYTES_PER_SECOND;
    } else {
        chart.outcome = ChartOutcome::FAILED;
    }
    count(chart);
    changed.notify_all();
}

void LibraryRun::fail(size_t index, LibraryFault fault, const std::string& faultPath,
                      double seconds) {
    std::lock_guard<std::mutex> hold(lock);
    LibraryChart& chart = plan.charts[index];
    chart.outcome = ChartOutcome::FAILED;
    chart.fault = fault;
    chart.faultPath = faultPath;
    chart.seconds = seconds;
    count(chart);
    changed.notify_all();
}

void LibraryRun::runChart(size_t index) {
    const LibraryChart& chart = plan.charts[index];
    const Clock::time_point began = Clock::now();
    FreshnessCheck check(chart.path, renderOptions);
    check.outputIsNewer =
        !options.force && outputNewer(chart.output, chart.path, &check.outputTime);
    makeOutputFolder(chart.output);
    const RenderResult result = renderChart(chart.path, chart.output, renderOptions, check);
    finish(index, result, secondsSince(began));
}

// A folder with a preview of its own keeps it; else the chart chosen renders as any other.
void LibraryRun::runPreview(size_t index) {
    const Clock::time_point began = Clock::now();
    const LibraryChart& preview = plan.charts[index];
    std::string own = ownPreview(folderOf(preview.candidates.front()));
    std::string chosen;
    if (own.empty()) choosePreviewChart(preview.candidates, renderOptions, &chosen, &own);
    std::lock_guard<std::mutex> hold(lock);
    LibraryChart& chart = plan.charts[index];
    chart.path = chosen;
    if (own.empty()) return;
    chart.outcome = ChartOutcome::SKIPPED;
    chart.fault = LibraryFault::OWN_PREVIEW;
    chart.faultPath = own;
    chart.seconds = secondsSince(began);
    count(chart);
    changed.notify_all();
}

void LibraryRun::runArchive(const LibraryTask& task) {
    const Clock::time_point began = Clock::now();
    std::vector<size_t> pending;
    for (size_t index : task.charts) {
        fs::file_time_type outputTime;
        if (!options.force && outputNewer(plan.charts[index].output, task.archive, &outputTime)) {
            RenderResult skipped;
            skipped.status = RenderStatus::STOPPED;
            finish(index, skipped, 0.0);
        } else {
            pending.push_back(index);
        }
    }
    if (pending.empty() || cancel) return;
    UnpackedArchive unpacked;
    ArchiveFault fault;
    if (!unpacked.unpack(task.archive, &fault)) {
        for (size_t index : pending) fail(index, faultOf(fault), task.archive, secondsSince(began));
        return;
    }
    for (size_t index : pending) {
        if (cancel) return;
        const LibraryChart& chart = plan.charts[index];
        const Clock::time_point chartBegan = Clock::now();
        makeOutputFolder(chart.output);
        RenderObserver quiet;
        const RenderResult result =
            renderChart(unpacked.getFolder() + chart.path, chart.output, renderOptions, quiet);
        finish(index, result, secondsSince(chartBegan));
    }
}

void LibraryRun::work() {
    for (;;) {
        if (cancel) break;
        const size_t next = nextTask++;
        if (next >= plan.tasks.size()) break;
        const LibraryTask& task = plan.tasks[next];
        if (!plan.charts[task.charts.front()].candidates.empty()) {
            runPreview(task.charts.front());
            if (plan.charts[task.charts.front()].outcome == ChartOutcome::PENDING)
                runChart(task.charts.front());
        } else if (task.archive.empty()) {
            runChart(task.charts.front());
        } else {
            runArchive(task);
        }
    }
    std::lock_guard<std::mutex> hold(lock);
    --workersLeft;
    changed.notify_all();
}

LibraryProgress LibraryRun::progress() const {
    LibraryProgress progress;
    progress.done = done;
    progress.total = static_cast<int>(plan.charts.size());
    progress.failed = failed;
    progress.elapsed = secondsSince(start);
    return progress;
}

void LibraryRun::run(LibraryObserver& observer) {
    start = Clock::now();
    for (const LibraryChart& chart : plan.charts) {
        if (chart.outcome != ChartOutcome::PENDING) count(chart);
    }
    const int threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const int wanted = options.workers > 0 ? options.workers : threads;
    const int workers = std::max(1, std::min(wanted, static_cast<int>(plan.tasks.size())));
    renderOptions = options.render;
    renderOptions.loaderThreads = std::max(1, threads / workers);

    workersLeft = workers;
    std::vector<std::thread> pool;
    for (int i = 0; i < workers; ++i) pool.emplace_back(&LibraryRun::work, this);
    {
        std::unique_lock<std::mutex> hold(lock);
        while (workersLeft > 0) {
            observer.progress(progress(), false);
            changed.wait_for(hold, std::chrono::seconds(1));
        }
        observer.progress(progress(), true);
    }
    for (std::thread& worker : pool) worker.join();
}

}  // namespace

void runLibrary(LibraryPlan* plan, const LibraryOptions& options, const std::atomic<bool>& cancel,
                LibraryObserver& observer) {
    LibraryRun run(plan, options, cancel);
    run.run(observer);
}
