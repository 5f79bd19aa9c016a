// Where the kinds of chart meet the conversion: each kind gives its key sounds by slot and
// then their triggers in time order, and the conversion loads, mixes and finishes them the
// same way whatever the kind.
#ifndef CONVERT_CHART_SOURCE_H_
#define CONVERT_CHART_SOURCE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/render_options.h"

class BmsBms;

// One start of a slot's key sound from its beginning.
struct ChartTrigger {
    // Output frame at 44100 Hz; beyond the int range the conversion fails.
    int64_t frame = 0;
    int slot = 0;
    // Whether the start first takes what is left of the slot's previous play out of the mix.
    bool cut = false;
    // Whether it is a note that a player presses rather than one of the background.
    bool key = false;
};

// A chart as one conversion goes through it, in this order: start, begin, then next until it
// returns false.
class ChartSource {
public:
    virtual ~ChartSource() = default;

    // Returns the key sound file of each slot as the chart names it, empty for a slot without
    // one; a BMS chart read in player mode is made ready to play first. `retriggerCut` is the
    // cut of a BMS chart's triggers (a bmson chart's always cut); only the triggers of `track`
    // are handed out, each source knowing which of its notes are background and which keys.
    // `progress` (may be empty) sees the mixing share, 101 to 200, as the triggers go. With
    // `debug` the triggers' way is traced.
    virtual std::vector<std::string> start(bool debug, bool retriggerCut, SoundTrack track,
                                           std::function<void(int)> progress) = 0;
    // The key sound file of each slot as start gives them, without starting.
    virtual std::vector<std::string> soundNames() const = 0;
    // Whether a slot whose name is empty still holds a key sound, one that cannot be found: a
    // bmson channel always stands for a file, a BMS slot without a name for none.
    virtual bool emptyNameIsMissing() const { return false; }
    // The loudness of the key sounds in percent when `volume` is asked for.
    virtual int keySoundVolume(int volume) const { return volume; }
    // Whether the key sound files are always looked up forgivingly, the extension free to be
    // left out.
    virtual bool forgivingLookup() const { return false; }
    // How many notes hold the slot's sound, for the message about a sound that failed.
    virtual int notesOf(int slot) = 0;
    // Gives `hint` the frame where the song is expected to end, before any trigger, and makes
    // ready to hand out the triggers; `largestSound` is the longest key sound in bytes. False
    // when the chart cannot be played.
    virtual bool begin(int largestSound, const std::function<void(int64_t frames)>& hint) = 0;
    // The next trigger, once the previous one is mixed; false at the end and on failure.
    virtual bool next(ChartTrigger* trigger) = 0;
    // Whether the triggers stopped at something that cannot be played.
    virtual bool failed() const = 0;
    // Where the chart's bars start, in frames, ascending; asked once the triggers are out.
    virtual std::vector<int64_t> barFrames() const = 0;
    // The file the chart names as the song's preview clip (#PREVIEW, a bmson chart's
    // preview_music) as written; empty for none.
    virtual std::string previewFile() const = 0;
};

// Whether the chart at `path` is a bmson chart: its name ends in ".bmson", in any case. Other
// charts are BMS charts.
bool isBmsonChartPath(const std::string& path);

// The key sound file of each #WAV slot of a BMS chart, empty for a slot without one; a chart
// read for a player with #BASE 62 has 3844 slots, one per base-62 id.
std::vector<std::string> bmsSlotNames(const BmsBms& chart);

// A parsed BMS chart, which stays the caller's; in `playerMode` it plays as a player plays it
// (#LNOBJ ends and #VOLWAV; a chart read with its player data kept plays on the exact timeline
// of bms/player_timeline.h, with the lanes of a .pms chart when `popn`).
std::unique_ptr<ChartSource> makeBmsSource(BmsBms* chart, bool playerMode, bool popn = false);

// Reads the bmson chart at `path` and works out its plays, so that a note placed too late is
// told as a fault of the chart before any sound loads. Null, with `error` set (and traced with
// `debug`), when it cannot be read.
std::unique_ptr<ChartSource> openBmsonSource(const std::string& path, bool debug,
                                             std::string* error);

#endif  // CONVERT_CHART_SOURCE_H_
