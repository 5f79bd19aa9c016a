// One chart rendered into one output file, as both programs and the library run do it: the
// options as one value, an observer that hears what a front end must hear while it runs, and a
// result that front ends word in their own texts.
#ifndef CONVERT_RENDER_H_
#define CONVERT_RENDER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "bms/repairs.h"
#include "convert/render_options.h"

class BmsConverter;

// What a front end hears while a chart renders; each call comes on the rendering thread.
class RenderObserver {
public:
    virtual ~RenderObserver() = default;
    // The chart parsed, before the output is touched: `chart` holds it (its BMS chart, the files
    // its key sounds are read from); `outputExists` tells whether anything is at the output
    // path. False stops the render with the output untouched.
    virtual bool chartParsed(const BmsConverter& /*chart*/, bool /*outputExists*/) { return true; }
    // The output proved writable, before the key sounds load. False stops the render; a file
    // that only the proof made goes again.
    virtual bool outputReady() { return true; }
    // Progress: -1 at the start, 0 to 100 while key sounds load, 101 to 200 while mixing.
    virtual void progress(int /*value*/) {}
    // Asked with the full path of a key sound that failed to load and that no note uses, unless
    // the options answer already; true goes on without it.
    virtual bool continuePastUnusedSample(const char* /*path*/) { return false; }
};

enum class RenderStatus {
    WRITTEN,
    // The observer stopped the render.
    STOPPED,
    PARSE_FAILED,
    // The output cannot be opened for writing.
    OUTPUT_UNWRITABLE,
    CONVERT_FAILED,
    // The preview window starts at or past the song's end.
    PREVIEW_OUTSIDE_SONG,
    WRITE_FAILED,
};

// A key sound that played as silence: its full path as the chart names it, and how many notes
// hold it.
struct SilencedSound {
    std::string path;
    int notes = 0;
};

struct RenderResult {
    RenderStatus status = RenderStatus::CONVERT_FAILED;
    // Why the chart did not parse: the parser's result code and line (0 for a bmson chart) and
    // the reason in one line ("line N : reason" for a BMS chart, the reader's message for
    // bmson).
    int parseErrorCode = 0;
    int parseErrorLine = 0;
    std::string parseError;
    // Full path of the last key sound that could not be read; empty if none.
    std::string failedSoundPath;
    // Once a song was mixed: the silenced key sounds in the chart's order, each path once.
    std::vector<SilencedSound> silenced;
    // Once a BMS chart played as a player plays it was mixed, whether or not a song came of it:
    // what reading and playing it mended (bms/repairs.h), each kind once in the order it first
    // happened. Empty without player mode.
    std::vector<BmsRepairs::Entry> repairs;
    // The written song's length: bytes of 16-bit stereo 44100 Hz data, frames and seconds.
    int64_t outputBytes = 0;
    int64_t outputFrames = 0;
    double outputSeconds = 0.0;
};

// Parses the chart at `chartPath` and renders it into `outputPath`, in the format that the
// output's name asks for (convert/song_output.h). A render that writes no song leaves no file
// at `outputPath` that was not there before, and a file that was there keeps its content. Safe
// to call from several threads at once.
RenderResult renderChart(const std::string& chartPath, const std::string& outputPath,
                         const RenderOptions& options, RenderObserver& observer);

#endif  // CONVERT_RENDER_H_
