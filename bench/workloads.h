// The benchmark's workloads: deterministic charts with their samples, and the plan of the
// work that any renderer of them has to do.
#ifndef BENCH_WORKLOADS_H_
#define BENCH_WORKLOADS_H_

#include <cstdint>
#include <string>
#include <vector>

// One sample file of a workload and its size in bytes once normalised to 16-bit stereo
// 44100 Hz.
struct BenchSample {
    std::string file;
    int64_t bytes = 0;
};

// A sounding object: which sample starts at which output frame.
struct BenchTrigger {
    int sample = 0;
    int64_t frame = 0;
};

// What rendering a workload cannot avoid: reading every sample file, adding every triggered
// sample into the output, and writing an output of `outputBytes` data bytes.
struct BenchPlan {
    std::vector<BenchSample> samples;
    std::vector<BenchTrigger> triggers;
    int64_t outputBytes = 0;

    // The normalised size of all samples together.
    int64_t sampleBytes() const;
};

// The names that `writeWorkload` knows, smallest output first.
const std::vector<std::string>& benchWorkloadNames();

// Writes the workload's chart ("chart.bms"), its sample files and its plan ("plan.txt") into
// the existing folder `dir`. False for an unknown name or when a file cannot be written.
bool writeWorkload(const std::string& name, const std::string& dir);

// Reads a plan that `writeWorkload` wrote; sample files are named relative to its folder.
// False when the file is missing, damaged or written by another version of the generator.
bool readPlan(const std::string& path, BenchPlan* plan);

#endif  // BENCH_WORKLOADS_H_
