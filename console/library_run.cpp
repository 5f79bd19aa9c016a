#include "console/library_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

#include "bms/bms.h"
#include "bms/word.h"
#include "console/archive_charts.h"
#include "console/chart_finder.h"
#include "convert/sample_lookup.h"
#include "text/format.h"
#include "text/make_path.h"
#include "wav/wav.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr char PROGRESS[] = "譜面 %d / %d 完了  失敗 %d  経過 %s  残り %s";
constexpr char FAILED_CHART[] = "\n失敗した譜面 %s\n";
constexpr char SUMMARY[] = "\n書き込み %d  失敗 %d  スキップ %d\n";
constexpr char INTERRUPTED[] = "中断しました。未処理の譜面 %d\n";
constexpr char REPORT_WRITTEN[] = "結果一覧を書き込みました %s\n";
constexpr char REPORT_FAILED[] = "結果一覧を書き込めません %s\n";
constexpr char SOURCE_UNREADABLE[] = "\nフォルダを読めません %s\n";
constexpr char OUTPUT_TAKEN[] = "\n出力先が他の譜面と重なります %s\n";

constexpr char REPORT_NAME[] = "keymix-report.tsv";
constexpr char REPORT_HEADER[] = "chart\tstatus\tmessage\tseconds\toutput\tlength\n";
constexpr int SAMPLE_COUNT = BMS_WORD_COUNT;
constexpr double BYTES_PER_SECOND = LU_BYTES_PER_SECOND;
constexpr int WAV_HEADER_BYTES = 44;
// Without a terminal the progress line is printed anew at most this often.
constexpr double PLAIN_LINE_SECONDS = 2.0;

using Clock = std::chrono::steady_clock;

// Set by Ctrl-C: charts that have not started stay so.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) {
    interrupted = 1;
}

enum class State { PENDING, DONE };

struct LibraryChart {
    // The file the converter opens; for a member of an archive, its name inside the archive.
    std::string path;
    // The chart as messages and the report name it.
    std::string shown;
    std::string output;
    State state = State::PENDING;
    ChartResult result;
    double seconds = 0.0;
};

// What one worker does at once: a chart file, or every chart of one archive, which is unpacked
// once for all of them.
struct Task {
    std::string archive;
    std::vector<size_t> charts;
};

std::string join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    const char last = folder.back();
    return last == '/' || last == '\\' ? folder + name : folder + "/" + name;
}

// The path's folder part, ending in a separator, or empty.
std::string folderOf(const std::string& path) {
    std::vector<char> text(path.begin(), path.end());
    text.push_back('\0');
    makePath(text.data(), true, true, false, false);
    return text.data();
}

// The path's file name.
std::string nameOf(const std::string& path) {
    std::vector<char> text(path.begin(), path.end());
    text.push_back('\0');
    makePath(text.data(), false, false, true, true);
    return text.data();
}

// A path as the tree below the output folder mirrors it: no drive, no root, no "." or "..".
std::string mirrored(const std::string& path) {
    std::string result;
    std::string part;
    const size_t start = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    for (size_t i = start; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/' && path[i] != '\\') {
            part += path[i];
            continue;
        }
        if (!part.empty() && part != "." && part != "..") result = join(result, part);
        part.clear();
    }
    return result;
}

std::string clock(double seconds) {
    const long total = static_cast<long>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    return text;
}

// The modification time of a file; false when there is none.
bool modified(const std::string& path, fs::file_time_type* time) {
    std::error_code error;
    *time = fs::last_write_time(fs::path(path), error);
    return !error;
}

// Whether the output is a non-empty file modified after `source`.
bool outputNewer(const std::string& output, const std::string& source, fs::file_time_type* time) {
    std::error_code error;
    const fs::path file(output);
    if (!fs::is_regular_file(file, error) || fs::file_size(file, error) == 0 || error) return false;
    fs::file_time_type sourceTime;
    return modified(output, time) && modified(source, &sourceTime) && *time > sourceTime;
}

// Whether no key sound file that the chart declares was modified since `outputTime`. Names
// are resolved as the converter resolves them; a file that does not exist changes nothing.
bool soundsOlder(const BmsBms& chart, const std::string& chartPath, bool extended,
                 fs::file_time_type outputTime) {
    const std::string folder = folderOf(chartPath);
    for (int id = 0; id < SAMPLE_COUNT; ++id) {
        const char* name = chart.getWavs()->get(BmsWord(id));
        if (*name == '\0') continue;
        const std::string path = extended ? findSampleFile(folder, name) : folder + name;
        fs::file_time_type time;
        if (!path.empty() && modified(path, &time) && time >= outputTime) return false;
    }
    return true;
}

// The report's message: the closing message on one line.
std::string oneLine(const std::string& message) {
    std::string line;
    for (char c : message) {
        if (c == '\n' || c == '\t' || c == '\r') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

const char* statusWord(ChartStatus status) {
    switch (status) {
        case ChartStatus::WRITTEN:
            return "rendered";
        case ChartStatus::SKIPPED:
            return "skipped";
        default:
            return "failed";
    }
}

class LibraryRun {
public:
    explicit LibraryRun(const LibrarySettings& settings) : settings(settings) {}

    bool run();

private:
    bool collect();
    void addFound(const FoundFile& found, const std::string& tree);
    void addChart(const std::string& path, const std::string& shown, const std::string& output,
                  Task* task);
    void addFailure(const std::string& shown, const std::string& message);
    void work();
    void runChart(size_t index);
    void runArchive(const Task& task);
    void finish(size_t index, ChartResult result, double seconds);
    void drawProgress(bool last);
    bool writeReport(const std::string& path) const;
    std::string reportPath() const;

    const LibrarySettings settings;
    ChartSettings chartSettings;
    std::vector<LibraryChart> charts;
    std::vector<Task> tasks;
    std::set<std::string> outputs;

    std::atomic<size_t> nextTask{0};
    std::mutex lock;
    std::condition_variable changed;
    int done = 0;
    int failed = 0;
    int workersLeft = 0;
    Clock::time_point start;
    bool terminal = false;
    size_t drawnLength = 0;
    double lastPlainLine = -PLAIN_LINE_SECONDS;
    int lastPlainDone = -1;
};

void LibraryRun::addFailure(const std::string& shown, const std::string& message) {
    LibraryChart chart;
    chart.shown = shown;
    chart.state = State::DONE;
    chart.result.message = message;
    charts.push_back(chart);
    ++done;
    ++failed;
}

void LibraryRun::addChart(const std::string& path, const std::string& shown,
                          const std::string& output, Task* task) {
    if (!outputs.insert(output).second) {
        addFailure(shown, format(OUTPUT_TAKEN, output));
        return;
    }
    LibraryChart chart;
    chart.path = path;
    chart.shown = shown;
    chart.output = output;
    task->charts.push_back(charts.size());
    charts.push_back(chart);
}

// `tree` is the path below the output folder that the found file mirrors.
void LibraryRun::addFound(const FoundFile& found, const std::string& tree) {
    const std::string& out = settings.outputFolder;
    Task task;
    if (found.kind == FoundKind::UNREADABLE_FOLDER) {
        addFailure(found.path, format(SOURCE_UNREADABLE, found.path));
        return;
    }
    if (found.kind == FoundKind::CHART) {
        const std::string output = out.empty() ? proposeOutputPath(found.path)
                                               : join(out, proposeOutputPath(mirrored(tree)));
        addChart(found.path, "", output, &task);
    } else {
        if (!archivesSupported()) return;
        std::vector<std::string> members;
        std::string message;
        if (!listArchiveCharts(found.path, &members, &message)) {
            addFailure(found.path, message);
            return;
        }
        task.archive = found.path;
        const std::string folder =
            out.empty() ? folderOf(found.path) : join(out, folderOf(mirrored(tree)));
        for (const std::string& member : members) {
            const std::string output =
                folder + proposeOutputPath(nameOf(readableMemberName(member)));
            addChart(member, join(found.path, readableMemberName(member)), output, &task);
        }
    }
    if (!task.charts.empty()) tasks.push_back(task);
}

bool LibraryRun::collect() {
    std::vector<FoundFile> found;
    if (settings.source != "-") {
        if (!findCharts(settings.source, &found)) {
            std::fflush(stdout);
            std::fprintf(stderr, SOURCE_UNREADABLE, settings.source.c_str());
            return false;
        }
        for (const FoundFile& file : found) addFound(file, file.relative);
        return true;
    }
    std::string line;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        line += buffer;
        if (line.back() != '\n' && !std::feof(stdin)) continue;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (!line.empty()) {
            found.clear();
            // A path that leads nowhere is still a chart, which then fails as a single run
            // fails on it.
            if (!findCharts(line, &found)) found.push_back({FoundKind::CHART, line, line});
            for (const FoundFile& file : found) addFound(file, file.path);
        }
        line.clear();
    }
    return true;
}

void LibraryRun::finish(size_t index, ChartResult result, double seconds) {
    std::lock_guard<std::mutex> hold(lock);
    LibraryChart& chart = charts[index];
    chart.state = State::DONE;
    chart.result = std::move(result);
    chart.seconds = seconds;
    if (chart.result.status == ChartStatus::SKIPPED) {
        std::error_code error;
        const uintmax_t size = fs::file_size(fs::path(chart.output), error);
        if (!error && size >= WAV_HEADER_BYTES)
            chart.result.outputSeconds = (size - WAV_HEADER_BYTES) / BYTES_PER_SECOND;
    }
    ++done;
    if (chart.result.status == ChartStatus::FAILED) ++failed;
    changed.notify_all();
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void makeOutputFolder(const std::string& output) {
    const std::string folder = folderOf(output);
    std::error_code error;
    if (!folder.empty()) fs::create_directories(fs::path(folder), error);
}

void LibraryRun::runChart(size_t index) {
    const LibraryChart& chart = charts[index];
    const Clock::time_point began = Clock::now();
    fs::file_time_type outputTime;
    ChartUpToDate upToDate;
    if (!settings.force && outputNewer(chart.output, chart.path, &outputTime)) {
        const bool extended = chartSettings.extendedSamples;
        upToDate = [&chart, extended, outputTime](const BmsBms& parsed) {
            return soundsOlder(parsed, chart.path, extended, outputTime);
        };
    }
    makeOutputFolder(chart.output);
    ChartResult result =
        renderChart(chart.path, chart.shown, chart.output, chartSettings, nullptr, upToDate);
    finish(index, std::move(result), secondsSince(began));
}

void LibraryRun::runArchive(const Task& task) {
    const Clock::time_point began = Clock::now();
    std::vector<size_t> pending;
    for (size_t index : task.charts) {
        fs::file_time_type outputTime;
        if (!settings.force && outputNewer(charts[index].output, task.archive, &outputTime)) {
            ChartResult skipped;
            skipped.status = ChartStatus::SKIPPED;
            finish(index, skipped, 0.0);
        } else {
            pending.push_back(index);
        }
    }
    if (pending.empty() || interrupted) return;
    UnpackedArchive unpacked;
    std::string message;
    if (!unpacked.unpack(task.archive, &message)) {
        for (size_t index : pending) {
            ChartResult result;
            result.message = message;
            finish(index, result, secondsSince(began));
        }
        return;
    }
    for (size_t index : pending) {
        if (interrupted) return;
        const LibraryChart& chart = charts[index];
        const Clock::time_point chartBegan = Clock::now();
        makeOutputFolder(chart.output);
        ChartResult result = renderChart(unpacked.getFolder() + chart.path, chart.shown,
                                         chart.output, chartSettings, nullptr, nullptr);
        finish(index, std::move(result), secondsSince(chartBegan));
    }
}

void LibraryRun::work() {
    for (;;) {
        if (interrupted) break;
        const size_t next = nextTask++;
        if (next >= tasks.size()) break;
        const Task& task = tasks[next];
        if (task.archive.empty()) {
            runChart(task.charts.front());
        } else {
            runArchive(task);
        }
    }
    std::lock_guard<std::mutex> hold(lock);
    --workersLeft;
    changed.notify_all();
}

// Called with the lock held.
void LibraryRun::drawProgress(bool last) {
    const double elapsed = secondsSince(start);
    const int total = static_cast<int>(charts.size());
    // Without a terminal a line is printed when charts finished, at most every few seconds.
    const bool due =
        done > lastPlainDone && done > 0 && elapsed - lastPlainLine >= PLAIN_LINE_SECONDS;
    if (!terminal && !last && !due) return;
    const std::string remaining = done > 0 && done < total ? clock(elapsed * (total - done) / done)
                                  : done == total          ? clock(0)
                                                           : "-:--:--";
    std::string text = format(PROGRESS, done, total, failed, clock(elapsed), remaining);
    if (terminal) {
        const size_t length = text.size();
        if (length < drawnLength) text.append(drawnLength - length, ' ');
        drawnLength = length;
        std::printf("\r%s%s", text.c_str(), last ? "\n" : "");
    } else {
        std::printf("%s\n", text.c_str());
        lastPlainLine = elapsed;
        lastPlainDone = done;
    }
    std::fflush(stdout);
}

std::string LibraryRun::reportPath() const {
    if (!settings.outputFolder.empty()) return join(settings.outputFolder, REPORT_NAME);
    std::error_code error;
    if (settings.source != "-" && fs::is_directory(fs::path(settings.source), error))
        return join(settings.source, REPORT_NAME);
    return REPORT_NAME;
}

bool LibraryRun::writeReport(const std::string& path) const {
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fputs(REPORT_HEADER, file) >= 0;
    for (const LibraryChart& chart : charts) {
        if (chart.state != State::DONE) continue;
        const ChartResult& result = chart.result;
        const std::string shown = chart.shown.empty() ? chart.path : chart.shown;
        std::string length;
        if (result.status != ChartStatus::FAILED) {
            char text[32];
            std::snprintf(text, sizeof text, "%.3f", result.outputSeconds);
            length = text;
        }
        ok = ok && std::fprintf(file, "%s\t%s\t%s\t%.3f\t%s\t%s\n", oneLine(shown).c_str(),
                                statusWord(result.status), oneLine(result.message).c_str(),
                                chart.seconds, chart.output.c_str(), length.c_str()) >= 0;
    }
    ok = std::fclose(file) == 0 && ok;
    if (ok) ok = std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(temporary.c_str());
    return ok;
}

bool LibraryRun::run() {
    if (!collect()) return false;
    start = Clock::now();
    terminal = isatty(fileno(stdout)) != 0;
    const int threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const int wanted = settings.workers > 0 ? settings.workers : threads;
    const int workers = std::max(1, std::min(wanted, static_cast<int>(tasks.size())));
    chartSettings = settings.chart;
    chartSettings.loaderThreads = std::max(1, threads / workers);

    interrupted = 0;
    void (*previous)(int) = std::signal(SIGINT, onInterrupt);
    workersLeft = workers;
    std::vector<std::thread> pool;
    for (int i = 0; i < workers; ++i) pool.emplace_back(&LibraryRun::work, this);
    {
        std::unique_lock<std::mutex> hold(lock);
        while (workersLeft > 0) {
            drawProgress(false);
            changed.wait_for(hold, std::chrono::seconds(1));
        }
        drawProgress(true);
    }
    for (std::thread& worker : pool) worker.join();
    std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous);

    int written = 0;
    int skipped = 0;
    int pending = 0;
    for (const LibraryChart& chart : charts) {
        if (chart.state != State::DONE) {
            ++pending;
            continue;
        }
        if (chart.result.status == ChartStatus::WRITTEN) ++written;
        if (chart.result.status == ChartStatus::SKIPPED) ++skipped;
        if (chart.result.status != ChartStatus::FAILED) continue;
        const std::string& message = chart.result.message;
        std::printf(FAILED_CHART, (chart.shown.empty() ? chart.path : chart.shown).c_str());
        std::fputs(message.c_str() + (!message.empty() && message[0] == '\n'), stdout);
    }
    std::printf(SUMMARY, written, failed, skipped);
    if (pending > 0) std::printf(INTERRUPTED, pending);
    const std::string report = reportPath();
    std::error_code error;
    if (!settings.outputFolder.empty())
        fs::create_directories(fs::path(settings.outputFolder), error);
    const bool reported = writeReport(report);
    std::printf(reported ? REPORT_WRITTEN : REPORT_FAILED, report.c_str());
    std::fflush(stdout);
    return reported && failed == 0 && pending == 0;
}

}  // namespace

bool runLibrary(const LibrarySettings& settings) {
    LibraryRun run(settings);
    return run.run();
}
