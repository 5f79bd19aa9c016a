// The library workloads of the benchmark: keymix -a over a library of song packages, over the
// same packages zipped, and making their previews, each against the sum of single runs of the
// same charts.
#ifndef BENCH_LIBRARY_WORKLOAD_H_
#define BENCH_LIBRARY_WORKLOAD_H_

#include <functional>
#include <string>
#include <vector>

// Runs a program (args[0]) in a folder; the wall time in seconds, or a negative value when it
// failed.
using BenchTimer =
    std::function<double(const std::string& dir, const std::vector<std::string>& args)>;

// Makes the library under `root` once (and its zipped copy where the benchmark can write
// archives), then times `runs` rounds (3 at most) of each library run and of its single runs,
// and prints a row per workload with the medians and their ratio against the target. False
// when a run failed.
bool runLibraryWorkload(const std::string& root, const std::string& keymix, int runs,
                        const BenchTimer& timer);

#endif  // BENCH_LIBRARY_WORKLOAD_H_
