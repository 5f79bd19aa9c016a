// The scale workloads of the benchmark: charts whose size lies in their extent or their text,
// not in their sound. "far" has its last note at tic 2^30; "lanes" is 10 MB of background
// lines that mix into a short song. keymix alone is measured, for time and peak memory, against
// fixed targets.
#ifndef BENCH_SCALE_WORKLOADS_H_
#define BENCH_SCALE_WORKLOADS_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Runs a program (args[0]) in a folder: false when it failed, else its wall time in seconds and
// its peak resident memory in bytes.
using BenchMeasure =
    std::function<bool(const std::string& dir, const std::vector<std::string>& args,
                       double* seconds, int64_t* peakBytes)>;

// Writes the chart ("chart.bms") and key sound of the workload into the existing folder
// `dir`. False for an unknown name or when a file cannot be written.
bool writeScaleWorkload(const std::string& name, const std::string& dir);

// Makes the workloads named in `only` (all when empty) under `root` once, then runs keymix
// `runs` times on each and prints a row with the median time, the peak memory and the
// output's size against the targets. False when a run failed.
bool runScaleWorkloads(const std::string& root, const std::string& keymix, int runs,
                       const std::vector<std::string>& only, const BenchMeasure& measure);

#endif  // BENCH_SCALE_WORKLOADS_H_
