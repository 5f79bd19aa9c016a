#include "bench/library_workload.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

#include "bench/workloads.h"

#if KEYMIX_BENCH_ARCHIVES
#include <archive.h>
#include <archive_entry.h>
#endif

namespace {

// Packages of the library: copies of the song workload, rendered on all hardware threads.
constexpr int PACKAGES = 8;
constexpr char PACKAGE_WORKLOAD[] = "song";
// Each library run against the sum of its charts' single runs.
constexpr double TIME_TARGET = 0.6;
// The preview window of the preview workload.
constexpr char PREVIEW_WINDOW[] = "auto,15";

// One library run and the single runs it is measured against, each given without the keymix
// path: the library run in its folder; a single run in each package's folder, or, for the
// zipped packages, in their folder with the package's archive last, as a user would render one
// package at a time.
struct LibraryCase {
    const char* name;
    const char* folder;
    std::vector<std::string> together;
    std::vector<std::string> apart;
    bool apartOnArchive;
};

const LibraryCase CASES[] = {
    {"library", "library", {"-a", "-f", "."}, {"-o", "single.wav", "chart.bms"}, false},
    {"archive", "archives", {"-a", "-f", "."}, {"-a", "-f"}, true},
    {"preview",
     "library",
     {"-a", "-f", "-w", PREVIEW_WINDOW, "."},
     {"-w", PREVIEW_WINDOW, "-o", "single.ogg", "chart.bms"},
     false},
};
// Rounds of the library workloads, each a few dozen runs: fewer than the others take.
constexpr int MAX_RUNS = 3;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool makeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

std::string packageName(int i) {
    return "package" + std::to_string(i);
}

bool prepareLibrary(const std::string& library) {
    if (!makeFolder(library)) return false;
    for (int i = 0; i < PACKAGES; ++i) {
        const std::string dir = library + "/" + packageName(i);
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

#if KEYMIX_BENCH_ARCHIVES
// Zips a package as song packages come: its chart (named after the package, so that the
// outputs beside the archives differ) and key sounds in a folder of the package's name.
bool zipPackage(const std::string& dir, const std::string& name, const std::string& zip) {
    BenchPlan plan;
    if (!readPlan(dir + "/plan.txt", &plan)) return false;
    std::vector<std::pair<std::string, std::string>> members = {
        {name + "/" + name + ".bms", dir + "/chart.bms"}};
    for (const BenchSample& sample : plan.samples)
        members.push_back({name + "/" + sample.file, dir + "/" + sample.file});
    archive* writer = archive_write_new();
    bool ok = archive_write_set_format_zip(writer) == ARCHIVE_OK &&
              archive_write_open_filename(writer, (zip + ".part").c_str()) == ARCHIVE_OK;
    for (const auto& member : members) {
        if (!ok) break;
        std::ifstream in(member.second, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, member.first.c_str());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(bytes.size()));
        ok = in.good() && archive_write_header(writer, entry) == ARCHIVE_OK &&
             archive_write_data(writer, bytes.data(), bytes.size()) ==
                 static_cast<la_ssize_t>(bytes.size());
        archive_entry_free(entry);
    }
    ok = archive_write_close(writer) == ARCHIVE_OK && ok;
    archive_write_free(writer);
    return ok && std::rename((zip + ".part").c_str(), zip.c_str()) == 0;
}
#endif

// The library's packages zipped into `archives`, made once; false when this build writes no
// archives or one cannot be written.
bool prepareArchives(const std::string& library, const std::string& archives) {
#if KEYMIX_BENCH_ARCHIVES
    if (!makeFolder(archives)) return false;
    for (int i = 0; i < PACKAGES; ++i) {
        const std::string zip = archives + "/" + packageName(i) + ".zip";
        struct stat status;
        if (stat(zip.c_str(), &status) == 0) continue;
        if (i == 0) {
            std::printf("zipping library ...\n");
            std::fflush(stdout);
        }
        if (!zipPackage(library + "/" + packageName(i), packageName(i), zip)) return false;
    }
    return true;
#else
    (void)library;
    (void)archives;
    return false;
#endif
}

std::vector<std::string> withProgram(const std::string& keymix,
                                     const std::vector<std::string>& args) {
    std::vector<std::string> all = {keymix};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

}  // namespace

bool runLibraryWorkload(const std::string& root, const std::string& keymix, int allRuns,
                        const BenchTimer& timer) {
    const int runs = std::min(allRuns, MAX_RUNS);
    const std::string library = root + "/library";
    if (!prepareLibrary(library)) {
        std::fprintf(stderr, "keymix_bench: cannot generate the library in %s\n", root.c_str());
        return false;
    }
    const bool zipped = prepareArchives(library, root + "/archives");
    if (!zipped) std::printf("archive: not measured, this benchmark writes no archives\n");

    std::printf("running library");
    std::fflush(stdout);
    std::vector<const LibraryCase*> cases;
    for (const LibraryCase& c : CASES) {
        if (zipped || std::string(c.folder) != "archives") cases.push_back(&c);
    }
    std::vector<std::vector<double>> together(cases.size()), apart(cases.size());
    const int rounds = runs > 1 ? runs + 1 : runs;
    for (int round = 0; round < rounds; ++round) {
        for (size_t k = 0; k < cases.size(); ++k) {
            const LibraryCase& c = *cases[k];
            const double run = timer(root + "/" + c.folder, withProgram(keymix, c.together));
            double singles = 0.0;
            for (int i = 0; i < PACKAGES && singles >= 0.0; ++i) {
                std::vector<std::string> args = withProgram(keymix, c.apart);
                if (c.apartOnArchive) args.push_back(packageName(i) + ".zip");
                const double one =
                    timer(c.apartOnArchive ? root + "/" + c.folder : library + "/" + packageName(i),
                          args);
                singles = one < 0.0 ? -1.0 : singles + one;
            }
            if (run < 0.0 || singles < 0.0) {
                std::fprintf(stderr, "\nkeymix_bench: library workload %s failed\n", c.name);
                return false;
            }
            together[k].push_back(run);
            apart[k].push_back(singles);
        }
        std::printf(".");
        std::fflush(stdout);
    }
    std::printf("\n%-8s %9s %9s %7s %7s\n", "workload", "-a s", "singles s", "ratio", "target");
    for (size_t k = 0; k < cases.size(); ++k) {
        // The first round of several only fills the system's cache.
        if (rounds > runs) {
            together[k].erase(together[k].begin());
            apart[k].erase(apart[k].begin());
        }
        const double ratio = median(together[k]) / median(apart[k]);
        std::printf("%-8s %9.3f %9.3f %6.2f%s %7.1f\n", cases[k]->name, median(together[k]),
                    median(apart[k]), ratio, ratio <= TIME_TARGET ? " " : "!", TIME_TARGET);
    }
    std::printf(
        "library: %d packages of the %s workload, keymix -a against the sum of single runs, "
        "median of %d;\narchive: the packages zipped, against -a on one archive at a time; "
        "preview: -a -w %s\nagainst single -w %s runs\n",
        PACKAGES, PACKAGE_WORKLOAD, runs, PREVIEW_WINDOW, PREVIEW_WINDOW);
    return true;
}
