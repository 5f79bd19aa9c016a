// When each key sound of a BMS chart starts in the mixed output. The chart is first made ready
// to play (invisible notes emptied, the end object of each long note cleared so that only its
// start sounds), then its lanes are walked tic by tic through the tempo changes and stops, and
// every object of a sound lane becomes a trigger, handed out one at a time so that the caller
// mixes it before the walk goes on.
#ifndef BMS_TIMELINE_H_
#define BMS_TIMELINE_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "bms/tic_steps.h"

class BmsBms;
class BmsChannel;

// The frame of a trigger that starts 2^31 frames or more after the song's start.
constexpr int64_t BMS_FRAME_BEYOND = INT64_MAX;

// One object of a sound lane.
struct BmsTrigger {
    // Output frame at 44100 Hz where the sound starts, or BMS_FRAME_BEYOND.
    int64_t frame = 0;
    // The id of the key sound, 0 to 1295.
    int id = 0;
    // Whether it lies on a lane that a player presses, a key or long note.
    bool key = false;
};

// How many objects of the sound lanes hold each id: 1296 counts, id 00 always 0.
std::vector<int> BmsCountSoundObjects(const BmsBms& chart);

// The walk of one chart. Make it before the chart changes for playing: the walk and its
// progress end at the last tic the chart had then.
class BmsTimeline {
public:
    // `chart` stays the caller's and outlives the timeline. `progress` (may be empty) sees the
    // mixing share of the walk, 101 to 200, each value once. With `debug` the walk prints its
    // trace lines: the tempo changes, stops and errors.
    BmsTimeline(BmsBms* chart, bool debug, std::function<void(int)> progress);
    ~BmsTimeline();
    BmsTimeline(const BmsTimeline&) = delete;
    BmsTimeline& operator=(const BmsTimeline&) = delete;

    // Reads the starting tempo (#BPM, else 120), gives `hint` the frame where the last tic
    // lies at that tempo (the mix's size to expect; `largestSound` bytes, the longest key sound,
    // only enter the trace), and readies the lanes. False, with the error traced, for an
    // unusable tempo or a long note without its end.
    bool begin(int largestSound, const std::function<void(int64_t frames)>& hint);
    // The next trigger in time order; at one tic in the chart's lane order. False at the end of
    // the walk or when it failed (see `failed`).
    bool next(BmsTrigger* trigger);
    // Whether the walk stopped at a tempo or stop object that cannot be played.
    bool failed() const { return stopped; }
    // The frames where the bars walked so far start, ascending, BMS_FRAME_BEYOND from 2^31 on;
    // a bar line at a stop lies before it, as a sound there starts.
    const std::vector<int64_t>& getBarFrames() const { return barFrames; }

private:
    struct Lane {
        const BmsChannel* lane;
        int next;
    };
    enum class Phase { ADVANCE, SOUNDS, CONTROLS, DONE };

    bool prepareLanes();
    // Applies the tempo and stop objects at the current tic; false on an unusable one.
    bool applyControls();

    BmsBms* chart;
    bool debug;
    const int lastTic;
    const bool reporting;
    TicProgress progress;

    std::vector<Lane> lanes;
    Lane tempoLane = {nullptr, 0};
    Lane headerTempoLane = {nullptr, 0};
    Lane stopLane = {nullptr, 0};
    int nextSound = 0;
    size_t laneIndex = 0;
    double tempo = 0.0;
    double framesPerTic = 0.0;
    double position = 0.0;
    int tic = 0;
    Phase phase = Phase::ADVANCE;
    bool stopped = false;
    // The tics where bars start, up to the last tic, and the next of them to be walked.
    std::vector<int> barTics;
    size_t nextBar = 0;
    std::vector<int64_t> barFrames;
};

#endif  // BMS_TIMELINE_H_
