// A cheap guess at what rendering a chart costs, so that a library run starts its longest
// charts first: the bytes of the chart and of the sound files in its folder, which the render
// reads and decodes. Nothing is opened; each folder is listed once.
#ifndef LIBRARY_RENDER_COST_H_
#define LIBRARY_RENDER_COST_H_

#include <cstdint>
#include <map>
#include <string>

// Whether the name ends in .wav, .ogg, .flac, .mp3 or .opus, in any case.
bool isSoundName(const std::string& name);

// `total` plus `bytes`, a negative `bytes` counting as none and the sum held below 2^62, so that
// the sizes an archive claims cannot overflow it.
int64_t addCost(int64_t total, int64_t bytes);

class LibraryCostGuess {
public:
    // The chart file's size plus that of the sound files in its folder, in bytes; 0 for a chart
    // that is not there.
    int64_t chartCost(const std::string& chart);

private:
    // Bytes of the sound files of each folder listed so far.
    std::map<std::string, int64_t> soundBytes;
};

#endif  // LIBRARY_RENDER_COST_H_
