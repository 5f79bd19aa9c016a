#include "bench/library_workload.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

#include "bench/workloads.h"

namespace {

// Packages of the library: copies of the song workload, rendered on all hardware threads.
constexpr int PACKAGES = 8;
constexpr char PACKAGE_WORKLOAD[] = "song";
// The library run against the sum of its charts' single runs.
constexpr double TIME_TARGET = 0.6;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool makeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

bool prepareLibrary(const std::string& library) {
    if (!makeFolder(library)) return false;
    for (int i = 0; i < PACKAGES; ++i) {
        const std::string dir = library + "/package" + std::to_string(i);
        BenchPlan plan;
        if (readPlan(dir + "/plan.txt", &plan)) continue;
        if (i == 0) {
            std::printf("generating library ...\n");
            std::fflush(stdout);
        }
        if (!makeFolder(dir) || !writeWorkload(PACKAGE_WORKLOAD, dir)) return false;
    }
    return true;
}

}  // namespace

bool runLibraryWorkload(const std::string& root, const std::string& keymix, int runs,
                        const BenchTimer& timer) {
    const std::string library = root + "/library";
    if (!prepareLibrary(library)) {
        std::fprintf(stderr, "keymix_bench: cannot generate the library in %s\n", root.c_str());
        return false;
    }
    std::printf("running library");
    std::fflush(stdout);
    std::vector<double> libraryTimes, singleTimes;
    const int rounds = runs > 1 ? runs + 1 : runs;
    for (int round = 0; round < rounds; ++round) {
        const double together = timer(library, {keymix, "-a", "-f", "."});
        double apart = 0.0;
        for (int i = 0; i < PACKAGES && apart >= 0.0; ++i) {
            const double one = timer(library + "/package" + std::to_string(i),
                                     {keymix, "-o", "single.wav", "chart.bms"});
            apart = one < 0.0 ? -1.0 : apart + one;
        }
        if (together < 0.0 || apart < 0.0) {
            std::fprintf(stderr, "\nkeymix_bench: library failed\n");
            return false;
        }
        if (rounds > runs && round == 0) continue;
        libraryTimes.push_back(together);
        singleTimes.push_back(apart);
        std::printf(".");
        std::fflush(stdout);
    }
    const double ratio = median(libraryTimes) / median(singleTimes);
    std::printf("\n%-8s %9s %9s %7s %7s\n", "library", "-a s", "singles s", "ratio", "target");
    std::printf("%-8s %9.3f %9.3f %6.2f%s %7.1f\n", "", median(libraryTimes), median(singleTimes),
                ratio, ratio <= TIME_TARGET ? " " : "!", TIME_TARGET);
    std::printf(
        "library: %d packages of the %s workload; keymix -a against the sum of single runs\n",
        PACKAGES, PACKAGE_WORKLOAD);
    return true;
}
