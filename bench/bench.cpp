// Renders each benchmark workload with keymix and measures it against the floor kernel in the
// same run: the median wall time of several runs of each, interleaved, keymix's peak resident
// memory, the output's size and checksum.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "bench/library_workload.h"
#include "bench/scale_workloads.h"
#include "bench/workloads.h"

namespace {

// One line of the table: a workload rendered with some options, and the ratios it must keep.
struct Case {
    const char* name;
    const char* workload;
    std::vector<std::string> options;
    double timeTarget;
    // FNV-1a checksum of the output file as the first engine wrote it; a faster engine must
    // write the same bytes.
    uint64_t reference;
    // The output's name, which chooses its format, and the option that gives the floor the
    // same extra work (a loudness measurement, or the FLAC encoding of its buffer).
    const char* output = "keymix.wav";
    const char* floorOption = nullptr;
    // A case of the same workload whose wall time this one must stay within `againstTarget`
    // times of; its output may then differ in length from the plan's (a player's timing).
    const char* against = nullptr;
    double againstTarget = 0.0;
};

const Case CASES[] = {
    {"long", "long", {"-r"}, 3.0, 0x1536eff9a6a31167ULL},
    {"song", "song", {}, 2.0, 0x9b055cf50149177cULL},
    {"song -r", "song", {"-r"}, 3.0, 0x86ae498bf02cca57ULL},
    {"dense", "dense", {}, 3.0, 0x7719de15cffef1f5ULL},
    // Its floor decodes on one thread, keymix on all cores; the Ogg decoder's rounding decides
    // the bytes, so they are not pinned.
    {"ogg -x", "ogg", {"-x"}, 0.75, 0},
    {"package -x", "package", {"-x"}, 0.75, 0},
    // The output side: the normalised mix, and the song written as FLAC.
    {"song -n", "song", {"-n"}, 1.3, 0, "keymix.wav", "--loudness"},
    {"song flac", "song", {}, 1.3, 0, "keymix.flac", "--flac"},
    // The song as a player plays it: exact times, one voice per key sound, within 10 % of the
    // default render.
    {"song -p", "song", {"-p", "1"}, 2.2, 0, "keymix.wav", nullptr, "song", 1.10},
};
constexpr double MEMORY_TARGET = 1.5;

struct Run {
    bool ok = false;
    double seconds = 0.0;
    // User and system time together: on a busy machine a steadier measure than wall time.
    double cpuSeconds = 0.0;
    int64_t peakBytes = 0;
};

double now() {
    timespec time;
    clock_gettime(CLOCK_MONOTONIC, &time);
    return time.tv_sec + time.tv_nsec * 1e-9;
}

// Runs the program in `dir` with its output streams thrown away.
Run runProgram(const std::string& dir, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    Run run;
    const double start = now();
    const pid_t child = fork();
    if (child < 0) return run;
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0 || chdir(dir.c_str()) != 0)
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage;
    pid_t waited;
    do {
        waited = wait4(child, &status, 0, &usage);
    } while (waited < 0 && errno == EINTR);
    run.seconds = now() - start;
    run.ok = waited == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
                     usage.ru_stime.tv_usec * 1e-6;
    run.peakBytes = static_cast<int64_t>(usage.ru_maxrss) * 1024;
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// FNV-1a over the whole file; false when it cannot be read.
bool checksumFile(const std::string& path, uint64_t* checksum, int64_t* size) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    uint64_t hash = 0xCBF29CE484222325ULL;
    int64_t total = 0;
    std::vector<unsigned char> buffer(1 << 20);
    size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        for (size_t i = 0; i < got; ++i) hash = (hash ^ buffer[i]) * 0x100000001B3ULL;
        total += static_cast<int64_t>(got);
    }
    const bool ok = !std::ferror(file);
    std::fclose(file);
    *checksum = hash;
    *size = total;
    return ok;
}

// Makes the workload's folder and files unless a plan of this generator is already there, and
// says how long that took and how large the sample files came out.
bool prepareWorkload(const std::string& root, const std::string& name, BenchPlan* plan) {
    const std::string dir = root + "/" + name;
    if (readPlan(dir + "/plan.txt", plan)) return true;
    std::printf("generating %s ...\n", name.c_str());
    std::fflush(stdout);
    const double start = now();
    if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (!writeWorkload(name, dir) || !readPlan(dir + "/plan.txt", plan)) return false;
    int64_t fileBytes = 0;
    for (const BenchSample& sample : plan->samples) {
        struct stat status;
        if (stat((dir + "/" + sample.file).c_str(), &status) != 0) return false;
        fileBytes += status.st_size;
    }
    std::printf("generated %s in %.1f s: %zu sample files of %.1f MB, %zu triggers\n", name.c_str(),
                now() - start, plan->samples.size(), fileBytes / 1e6, plan->triggers.size());
    return true;
}

double megabytes(int64_t bytes) {
    return bytes / 1e6;
}

void usage() {
    std::fprintf(stderr,
                 "Usage: keymix_bench [--runs N] [--dir DIR] [--keymix PATH] [--floor PATH] "
                 "[workload ...]\nWorkloads: long song dense ogg package library far lanes\n");
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::string root = "bench-workloads";
    std::string keymix = KEYMIX_PROGRAM;
    std::string floor = KEYMIX_FLOOR_PROGRAM;
    std::vector<std::string> only;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--runs" && hasValue) {
            runs = std::atoi(argv[++i]);
        } else if (arg == "--dir" && hasValue) {
            root = argv[++i];
        } else if (arg == "--keymix" && hasValue) {
            keymix = argv[++i];
        } else if (arg == "--floor" && hasValue) {
            floor = argv[++i];
        } else if (arg.empty() || arg[0] == '-') {
            usage();
            return 2;
        } else {
            only.push_back(arg);
        }
    }
    if (runs < 1) {
        usage();
        return 2;
    }
    if (mkdir(root.c_str(), 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "keymix_bench: cannot make %s\n", root.c_str());
        return 1;
    }
    char absolute[4096];
    if (!realpath(root.c_str(), absolute)) return 1;
    root = absolute;

    bool failed = false;
    struct Row {
        const Case* c;
        double keymixSeconds, floorSeconds, keymixCpu, floorCpu;
        int64_t peakBytes, memoryLimit, outputBytes;
        uint64_t checksum;
    };
    std::vector<Row> rows;
    for (const Case& c : CASES) {
        if (!only.empty() && std::find(only.begin(), only.end(), c.workload) == only.end())
            continue;
        BenchPlan plan;
        if (!prepareWorkload(root, c.workload, &plan)) {
            std::fprintf(stderr, "keymix_bench: cannot generate %s in %s\n", c.workload,
                         root.c_str());
            return 1;
        }
        const std::string dir = root + "/" + c.workload;
        std::vector<std::string> keymixArgs = {keymix};
        keymixArgs.insert(keymixArgs.end(), c.options.begin(), c.options.end());
        keymixArgs.insert(keymixArgs.end(), {"-o", c.output, "chart.bms"});
        // The floor's output has the extension of keymix's.
        const std::string floorOutput = std::string("floor") + std::strrchr(c.output, '.');
        std::vector<std::string> floorArgs = {floor, "plan.txt", floorOutput};
        if (c.floorOption) floorArgs = {floor, c.floorOption, "plan.txt", floorOutput};

        std::printf("running %-10s", c.name);
        std::fflush(stdout);
        std::vector<double> keymixTimes, floorTimes, keymixCpu, floorCpu;
        int64_t peak = 0;
        bool ok = true;
        // One round that is not counted when there are several, so every counted run finds the
        // files in the system's cache.
        const int rounds = runs > 1 ? runs + 1 : runs;
        for (int round = 0; round < rounds && ok; ++round) {
            const Run k = runProgram(dir, keymixArgs);
            const Run f = runProgram(dir, floorArgs);
            ok = k.ok && f.ok;
            if (rounds > runs && round == 0) continue;
            keymixTimes.push_back(k.seconds);
            floorTimes.push_back(f.seconds);
            keymixCpu.push_back(k.cpuSeconds);
            floorCpu.push_back(f.cpuSeconds);
            peak = std::max(peak, k.peakBytes);
            std::printf(".");
            std::fflush(stdout);
        }
        std::printf("\n");
        uint64_t checksum = 0;
        int64_t fileSize = 0;
        if (!ok || !checksumFile(dir + "/" + c.output, &checksum, &fileSize)) {
            std::fprintf(stderr, "keymix_bench: %s failed\n", c.name);
            failed = true;
            continue;
        }
        const bool wav = std::strcmp(c.output, "keymix.wav") == 0;
        if (wav && !c.against && fileSize - 44 != plan.outputBytes) {
            std::fprintf(stderr, "keymix_bench: %s wrote %lld data bytes, the plan says %lld\n",
                         c.name, static_cast<long long>(fileSize - 44),
                         static_cast<long long>(plan.outputBytes));
            failed = true;
        }
        const int64_t limit =
            static_cast<int64_t>(MEMORY_TARGET * (plan.sampleBytes() + plan.outputBytes));
        rows.push_back({&c, median(keymixTimes), median(floorTimes), median(keymixCpu),
                        median(floorCpu), peak, limit, fileSize, checksum});
    }

    std::printf("\n%-10s %9s %9s %7s %7s %7s %9s %9s %11s  %-16s %s\n", "workload", "keymix s",
                "floor s", "ratio", "target", "cpu", "peak MB", "limit MB", "output B", "checksum",
                "reference");
    bool targetsMet = true;
    for (const Row& row : rows) {
        const double ratio = row.keymixSeconds / row.floorSeconds;
        const bool timeOk = ratio <= row.c->timeTarget;
        const bool memoryOk = row.peakBytes <= row.memoryLimit;
        targetsMet = targetsMet && timeOk && memoryOk;
        const char* reference = row.c->reference == 0              ? "-"
                                : row.c->reference == row.checksum ? "same"
                                                                   : "CHANGED";
        std::printf("%-10s %9.3f %9.3f %6.2f%s %7.2f %7.2f %8.1f%s %9.1f %11lld  %016llx %s\n",
                    row.c->name, row.keymixSeconds, row.floorSeconds, ratio, timeOk ? " " : "!",
                    row.c->timeTarget, row.keymixCpu / row.floorCpu, megabytes(row.peakBytes),
                    memoryOk ? " " : "!", megabytes(row.memoryLimit),
                    static_cast<long long>(row.outputBytes),
                    static_cast<unsigned long long>(row.checksum), reference);
    }
    for (const Row& row : rows) {
        if (!row.c->against) continue;
        for (const Row& base : rows) {
            if (std::strcmp(base.c->name, row.c->against) != 0) continue;
            const double ratio = row.keymixSeconds / base.keymixSeconds;
            const bool ok = ratio <= row.c->againstTarget;
            targetsMet = targetsMet && ok;
            std::printf("%-10s %9.3f against %s %.3f: %.2f%s (target %.2f)\n", row.c->name,
                        row.keymixSeconds, base.c->name, base.keymixSeconds, ratio, ok ? "" : "!",
                        row.c->againstTarget);
        }
    }
    std::printf(
        "%s: median of %d runs; ratio = keymix / floor in wall time, cpu = the same in user and\n"
        "system time; limit = %.1f x (normalised samples + output); '!' marks a missed target\n",
        targetsMet ? "all targets met" : "TARGETS MISSED", runs, MEMORY_TARGET);
    if (only.empty() || std::find(only.begin(), only.end(), "library") != only.end()) {
        const BenchTimer timer = [](const std::string& dir, const std::vector<std::string>& args) {
            const Run run = runProgram(dir, args);
            return run.ok ? run.seconds : -1.0;
        };
        if (!runLibraryWorkload(root, keymix, runs, timer)) failed = true;
    }
    const BenchMeasure measure = [](const std::string& dir, const std::vector<std::string>& args,
                                    double* seconds, int64_t* peakBytes) {
        const Run run = runProgram(dir, args);
        *seconds = run.seconds;
        *peakBytes = run.peakBytes;
        return run.ok;
    };
    if (!runScaleWorkloads(root, keymix, runs, only, measure)) failed = true;
    return failed ? 1 : 0;
}
