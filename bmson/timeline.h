// When each sound channel of a bmson chart (re)starts in the mixed output.
#ifndef BMSON_TIMELINE_H_
#define BMSON_TIMELINE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "bmson/chart.h"

// Plays start before this frame, so that their 16-bit stereo bytes stay in the int range.
constexpr int BMSON_MAX_FRAME = 1 << 29;

// One start of a channel's file from its beginning. It cuts the channel's previous play, if
// any, at `frame`: what is left of that play is taken out of the mix, as the BMS engine does
// for a retriggered sample (LuWav::deduct with the frames played so far, then LuWav::mixin).
struct BmsonPlay {
    // Output frame at 44100 Hz where the file's first frame lands.
    int frame;
    // Index in BmsonChart::channels.
    int channel;
    // Whether a note on a lane (x above 0) is among those of the channel at its pulse.
    bool key = false;
};

// Output frames per pulse at a tempo: 44100 * 60 / (bpm * resolution), stored as a double.
double BmsonFramesPerPulse(double bpm, uint64_t resolution);

// The plays of a chart that BmsonRead accepted, in time order; at one frame, in channel order.
// False, with the message naming the note, when a play would start at BMSON_MAX_FRAME or later.
bool BmsonTimeline(const BmsonChart& chart, std::vector<BmsonPlay>* plays, std::string* message);

// Where the chart's bars start, in frames, ascending: at its `lines`, or without them on a
// grid of beats (`resolution` pulses; every several beats where the notes span more than
// BMSON_MAX_GRID_LINES beats) from pulse 0 to its last note. A line at the pulse of a stop lies
// before the stop, as a play there starts; lines from BMSON_MAX_FRAME on are left out.
constexpr uint64_t BMSON_MAX_GRID_LINES = 1 << 20;
std::vector<int64_t> BmsonBarFrames(const BmsonChart& chart);

#endif  // BMSON_TIMELINE_H_
