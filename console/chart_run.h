// One chart rendered into one output file: the work of a single run of the console program and
// of each chart of a library run, with the closing message as the console program words it.
#ifndef CONSOLE_CHART_RUN_H_
#define CONSOLE_CHART_RUN_H_

#include <functional>
#include <string>

#include "convert/song_finish.h"

class BmsBms;

// How a chart is rendered; the options of the command line that apply to each chart.
struct ChartSettings {
    // Loudness in percent; 50 unless the command line says otherwise.
    int volume = 50;
    bool debug = false;
    bool cutOnRetrigger = false;
    bool continuePastUnusedSamples = false;
    bool extendedSamples = false;
    // A key sound that cannot be found or read plays as silence; the message names each one.
    bool missingSamplesSilent = false;
    // Option -p: the chart as a player plays it, #RANDOM drawn from `seed`.
    bool playerMode = false;
    int seed = 0;
    // Key-sound loading threads this chart may use, so that charts rendered side by side share
    // the machine's threads; 0 leaves the choice to the loader.
    int loaderThreads = 0;
    // Options -n and -w: the normalised mix and the preview window.
    SongFinish finish;
};

enum class ChartStatus { WRITTEN, SKIPPED, FAILED };

struct ChartResult {
    ChartStatus status = ChartStatus::FAILED;
    // The closing message, each line ended by a newline; empty for a skipped chart.
    std::string message;
    // Length of the written output in seconds; 0 when none was written.
    double outputSeconds = 0.0;
};

// Asked with the parsed chart before it is rendered; true skips it with its output kept.
using ChartUpToDate = std::function<bool(const BmsBms& chart)>;

// The output path proposed for a chart: the chart's path without its extension, followed by
// ".wav".
std::string proposeOutputPath(const std::string& chartPath);

// Parses the chart at `chartPath` and renders it into `outputPath`, in the format that the
// output's name asks for (song/sound_file_writer.h); messages name the chart
// `shownPath`, or `chartPath` when that is empty. `progress` (may be null)
// sees the converter's progress values; `upToDate` (may be empty) may skip the chart once it
// parsed. A failed render leaves no file at `outputPath` that was not there before, and a file
// that was there keeps its content. Safe to call from several threads at once.
ChartResult renderChart(const std::string& chartPath, const std::string& shownPath,
                        const std::string& outputPath, const ChartSettings& settings,
                        void (*progress)(int value), const ChartUpToDate& upToDate);

#endif  // CONSOLE_CHART_RUN_H_
