#include "bench/scale_workloads.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

constexpr char DIGITS[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// One line of the table: a workload rendered with some options and its targets.
struct ScaleCase {
    const char* name;
    const char* workload;
    std::vector<std::string> options;
    double secondsTarget;
    double peakTargetMegabytes;
};

const ScaleCase CASES[] = {
    {"far", "far", {}, 3.0, 300.0},
    {"far -p", "far", {"-p", "1"}, 3.0, 300.0},
    {"lanes", "lanes", {}, 10.0, 300.0},
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void putU32(std::string* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes->push_back(static_cast<char>(value >> (8 * i)));
}

bool writeFile(const std::string& path, const std::string& bytes) {
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return false;
    return std::fclose(file.release()) == 0;
}

// A 16-bit stereo 44100 Hz key sound of `frames` frames, a square wave of period 100.
std::string keySound(int frames) {
    const uint32_t dataBytes = static_cast<uint32_t>(frames) * 4;
    std::string bytes = "RIFF";
    putU32(&bytes, 36 + dataBytes);
    bytes += "WAVEfmt ";
    putU32(&bytes, 16);
    bytes += std::string("\x01\x00\x02\x00", 4);
    putU32(&bytes, 44100);
    putU32(&bytes, 44100 * 4);
    bytes += std::string("\x04\x00\x10\x00", 4);
    bytes += "data";
    putU32(&bytes, dataBytes);
    for (int i = 0; i < frames; ++i) {
        const char* frame = i % 100 < 50 ? "\x00\x10\x00\x10" : "\x00\xF0\x00\xF0";
        bytes.append(frame, 4);
    }
    return bytes;
}

// At 28224000 BPM a tic lasts 2^-10 frames. Bar 000 is 2796202 * 384 tics long, so pair 2 of
// 3 of bar 001 lies at tic 2^30 and starts frame 2^20: two notes, 24 seconds apart.
bool writeFar(const std::string& dir) {
    const std::string chart =
        "#TITLE far\n#BPM 28224000\n#WAV01 key.wav\n#00002:2796202\n#00011:01\n#00111:000001\n";
    return writeFile(dir + "/key.wav", keySound(44100)) && writeFile(dir + "/chart.bms", chart);
}

// 74 background lines of 64 objects in each of bars 000-998, 36 key sounds of one frame: about
// 10 MB of text and 4.7 million notes. At 110250 BPM a tic lasts a quarter frame, so the song
// is 2.2 seconds long.
bool writeLanes(const std::string& dir) {
    constexpr int BARS = 999;
    constexpr int LINES = 74;
    constexpr int PAIRS = 64;
    std::string chart = "#TITLE lanes\n#BPM 110250\n";
    for (int id = 1; id <= 36; ++id) {
        char line[32];
        std::snprintf(line, sizeof line, "#WAV%c%c k%02d.wav\n", DIGITS[id / 36], DIGITS[id % 36],
                      id);
        chart += line;
        char name[16];
        std::snprintf(name, sizeof name, "/k%02d.wav", id);
        if (!writeFile(dir + name, keySound(1))) return false;
    }
    uint32_t state = 1;
    for (int bar = 0; bar < BARS; ++bar) {
        for (int line = 0; line < LINES; ++line) {
            char head[16];
            std::snprintf(head, sizeof head, "#%03d01:", bar);
            chart += head;
            for (int pair = 0; pair < PAIRS; ++pair) {
                state = state * 1664525u + 1013904223u;
                const int id = 1 + static_cast<int>(state >> 16) % 36;
                chart += DIGITS[id / 36];
                chart += DIGITS[id % 36];
            }
            chart += '\n';
        }
    }
    return writeFile(dir + "/chart.bms", chart);
}

bool makeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

bool prepare(const std::string& root, const std::string& name) {
    const std::string dir = root + "/" + name;
    struct stat status;
    if (stat((dir + "/chart.bms").c_str(), &status) == 0) return true;
    std::printf("generating %s ...\n", name.c_str());
    std::fflush(stdout);
    return makeFolder(dir) && writeScaleWorkload(name, dir);
}

}  // namespace

bool writeScaleWorkload(const std::string& name, const std::string& dir) {
    if (name == "far") return writeFar(dir);
    if (name == "lanes") return writeLanes(dir);
    return false;
}

bool runScaleWorkloads(const std::string& root, const std::string& keymix, int runs,
                       const std::vector<std::string>& only, const BenchMeasure& measure) {
    struct Row {
        const ScaleCase* c;
        double seconds;
        int64_t peakBytes;
        int64_t outputBytes;
    };
    std::vector<Row> rows;
    bool ok = true;
    for (const ScaleCase& c : CASES) {
        if (!only.empty() && std::find(only.begin(), only.end(), c.workload) == only.end())
            continue;
        if (!prepare(root, c.workload)) {
            std::fprintf(stderr, "keymix_bench: cannot generate %s in %s\n", c.workload,
                         root.c_str());
            return false;
        }
        const std::string dir = root + "/" + c.workload;
        std::vector<std::string> args = {keymix};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {"-o", "keymix.wav", "chart.bms"});
        std::printf("running %-8s", c.name);
        std::fflush(stdout);
        std::vector<double> times;
        int64_t peak = 0;
        bool passed = true;
        for (int round = 0; round < runs && passed; ++round) {
            double seconds = 0.0;
            int64_t peakBytes = 0;
            passed = measure(dir, args, &seconds, &peakBytes);
            times.push_back(seconds);
            peak = std::max(peak, peakBytes);
            std::printf(".");
            std::fflush(stdout);
        }
        std::printf("\n");
        struct stat status;
        if (!passed || stat((dir + "/keymix.wav").c_str(), &status) != 0) {
            std::fprintf(stderr, "keymix_bench: %s failed\n", c.name);
            ok = false;
            continue;
        }
        rows.push_back({&c, median(times), peak, static_cast<int64_t>(status.st_size)});
    }
    if (rows.empty()) return ok;
    std::printf("\n%-8s %9s %7s %9s %9s %11s\n", "scale", "keymix s", "target", "peak MB", "target",
                "output B");
    for (const Row& row : rows) {
        const double megabytes = row.peakBytes / 1e6;
        std::printf("%-8s %9.3f%s%7.1f %9.1f%s%8.1f %11lld\n", row.c->name, row.seconds,
                    row.seconds <= row.c->secondsTarget ? " " : "!", row.c->secondsTarget,
                    megabytes, megabytes <= row.c->peakTargetMegabytes ? " " : "!",
                    row.c->peakTargetMegabytes, static_cast<long long>(row.outputBytes));
    }
    std::printf("scale: median of %d runs of keymix alone; '!' marks a missed target\n", runs);
    return ok;
}
