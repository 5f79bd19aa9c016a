#include "library/runner.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "convert/converter.h"
#include "library/archive_charts.h"
#include "library/freshness.h"
#include "library/paths.h"
#include "library/plan.h"
#include "library/previews.h"
#include "library/schedule.h"
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
// its key sounds are older too.
class FreshnessCheck : public RenderObserver {
public:
    bool chartParsed(const BmsConverter& chart, bool /*outputExists*/) override {
        return !(outputIsNewer && soundsOlder(chart.getSoundFiles(), outputTime));
    }

    bool outputIsNewer = false;
    fs::file_time_type outputTime;
};

class LibraryRun {
public:
    LibraryRun(LibraryPlan* plan, const LibraryOptions& options, const std::atomic<bool>& cancel)
        : plan(*plan), options(options), cancel(cancel) {}

    void run(LibraryObserver& observer);

private:
    void work();
    void runJob(const LibraryJob& job, std::vector<LibraryJob>* more);
    void runChart(size_t index);
    void unpackArchive(const LibraryTask& task, std::vector<LibraryJob>* more);
    void runArchiveChart(const LibraryJob& job);
    void runPreview(size_t index);
    void finish(size_t index, const RenderResult& result, double seconds);
    void fail(size_t index, LibraryFault fault, const std::string& faultPath, double seconds);
    void count(const LibraryChart& chart);
    LibraryProgress progress() const;

    LibraryPlan& plan;
    const LibraryOptions& options;
    const std::atomic<bool>& cancel;
    RenderOptions renderOptions;

    std::mutex lock;
    // Tells the thread that runs the library that a chart is done or a worker stopped.
    std::condition_variable changed;
    // Tells waiting workers that jobs were added or an archive is unpacked.
    std::condition_variable jobsChanged;
    LibraryQueue queue;
    // Workers unpacking an archive, whose charts then join the queue.
    int unpacking = 0;
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
    FreshnessCheck check;
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

// Skips the charts whose outputs are newer than the archive and unpacks it for the others,
// which become jobs of their own so that they render side by side.
void LibraryRun::unpackArchive(const LibraryTask& task, std::vector<LibraryJob>* more) {
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
    auto unpacked = std::make_shared<UnpackedArchive>();
    ArchiveFault fault;
    if (!unpacked->unpack(task.archive, &fault)) {
        for (size_t index : pending) fail(index, faultOf(fault), task.archive, secondsSince(began));
        return;
    }
    for (size_t index : pending) {
        LibraryJob job;
        job.chart = index;
        job.unpacked = unpacked;
        job.cost = plan.charts[index].cost;
        more->push_back(job);
    }
}

void LibraryRun::runArchiveChart(const LibraryJob& job) {
    const LibraryChart& chart = plan.charts[job.chart];
    const Clock::time_point began = Clock::now();
    makeOutputFolder(chart.output);
    RenderObserver quiet;
    const RenderResult result =
        renderChart(job.unpacked->getFolder() + chart.path, chart.output, renderOptions, quiet);
    finish(job.chart, result, secondsSince(began));
}

void LibraryRun::runJob(const LibraryJob& job, std::vector<LibraryJob>* more) {
    if (job.unpacked) {
        runArchiveChart(job);
        return;
    }
    const LibraryTask& task = plan.tasks[job.task];
    if (!plan.charts[job.chart].candidates.empty()) {
        runPreview(job.chart);
        if (plan.charts[job.chart].outcome == ChartOutcome::PENDING) runChart(job.chart);
    } else if (task.archive.empty()) {
        runChart(job.chart);
    } else {
        unpackArchive(task, more);
    }
}

// Takes jobs until none is left, or none will come: a worker that finds the queue empty while
// another unpacks an archive waits for its charts.
void LibraryRun::work() {
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
        if (cancel) break;
        LibraryJob job;
        if (!queue.pop(&job)) {
            if (unpacking == 0) break;
            jobsChanged.wait(hold);
            continue;
        }
        const bool unpacks = !job.unpacked && !plan.tasks[job.task].archive.empty();
        if (unpacks) ++unpacking;
        hold.unlock();
        std::vector<LibraryJob> more;
        runJob(job, &more);
        job = LibraryJob();
        hold.lock();
        for (LibraryJob& added : more) queue.push(std::move(added));
        if (unpacks) {
            --unpacking;
            jobsChanged.notify_all();
        }
    }
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
    size_t charts = 0;
    for (size_t index = 0; index < plan.tasks.size(); ++index) {
        const LibraryTask& task = plan.tasks[index];
        LibraryJob job;
        job.task = index;
        job.chart = task.charts.front();
        for (size_t chart : task.charts) job.cost = std::max(job.cost, plan.charts[chart].cost);
        queue.push(job);
        charts += task.charts.size();
    }
    const int threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const int wanted = options.workers > 0 ? options.workers : threads;
    const int workers =
        static_cast<int>(std::max<size_t>(1, std::min(static_cast<size_t>(wanted), charts)));
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
