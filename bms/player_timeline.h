// When each key sound of a chart read for a player starts (bms/player_data.h): exact positions,
// not the tic grid. Object k of n on a line sits at k/n of its bar; bars are as long as written;
// seconds come from those positions and the tempo map in double precision, and a sound starts
// on the 44100 Hz frame nearest its time. What sounds is what beatoraja sounds: channel 01, the
// key lanes x1-x9 of channels 1x and 2x but x7 (in a .pms chart 11-15 and 22-25), and long notes
// on the same lanes of channels 5x and 6x, each begun by one object and ended by the next one of
// its lane, whose sound is heard at the end only when its id differs from the start's.
#ifndef BMS_PLAYER_TIMELINE_H_
#define BMS_PLAYER_TIMELINE_H_

#include <cstdint>
#include <vector>

class BmsBms;

// One start of a key sound.
struct BmsPlayerTrigger {
    // Output frame at 44100 Hz, or BMS_FRAME_BEYOND (bms/timeline.h) from 2^31 on.
    int64_t frame = 0;
    // The id in the chart's base: 0 to 1295, or to 3843 with #BASE 62.
    int id = 0;
    // Whether a player presses it (a key or long note) rather than the background playing it.
    bool key = false;
};

// How the lanes are laid out.
struct BmsPlayerLayout {
    // The nine-button lanes of a .pms chart.
    bool popn = false;
};

// Whether the chart's ids tell case apart: #BASE 62.
bool BmsIsBase62(const BmsBms& chart);
// How many ids the chart's base has: 1296, or 3844 with #BASE 62.
int BmsPlayerIdCount(const BmsBms& chart);

// The triggers of the chart's kept objects in time order; at one instant in order of channel,
// then of the file. #LNOBJ notes, a long note's end of the start's id, a long note without an
// end, and tempo and stop objects naming no usable value (each noted in the chart's repairs)
// sound nothing. False, with nothing stored, when #BPM is given but no usable tempo. `bars`,
// when given, receives the frames where the bars up to the last trigger start, ascending; a bar
// line at a stop lies before it, as a sound there starts.
bool BmsPlayerTriggers(BmsBms* chart, const BmsPlayerLayout& layout,
                       std::vector<BmsPlayerTrigger>* triggers,
                       std::vector<int64_t>* bars = nullptr);

#endif  // BMS_PLAYER_TIMELINE_H_
