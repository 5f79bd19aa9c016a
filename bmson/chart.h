// A bmson chart as far as its sound goes: tempo, stops and the sound channels with their notes.
#ifndef BMSON_CHART_H_
#define BMSON_CHART_H_

#include <cstdint>
#include <string>
#include <vector>

// One note of a sound channel. Pulses count from the start of the chart.
struct BmsonNote {
    // Lane of a playable note; 0 for a background note.
    uint64_t x = 0;
    // Pulse at which the note sounds.
    uint64_t y = 0;
    // Length of a long note in pulses; 0 for a short one. It does not shorten the sound.
    uint64_t l = 0;
    // True: the channel's file goes on playing from where it is; false: it restarts.
    bool c = false;
};

// One sound file and the notes that play it, a monophonic track.
struct BmsonChannel {
    // The file name as the chart writes it; checked by BmsonCheckSoundName, and when empty (or
    // nothing but separators and "." parts) a file that cannot be found.
    std::string name;
    // In the chart's order, which need not be the order in time.
    std::vector<BmsonNote> notes;
};

// From pulse `y` on, the tempo is `bpm` quarter notes per minute (finite, above 0).
struct BmsonBpmEvent {
    uint64_t y = 0;
    double bpm = 0.0;
};

// At pulse `y`, time stands still for `duration` pulses at the tempo of that moment.
struct BmsonStopEvent {
    uint64_t y = 0;
    uint64_t duration = 0;
};

struct BmsonChart {
    std::string version;
    // Tempo at pulse 0 (finite, above 0).
    double initBpm = 0.0;
    // Pulses per quarter note, above 0.
    uint64_t resolution = 240;
    // The pulses of the bar lines, in the chart's order.
    std::vector<uint64_t> lines;
    // Events in the chart's order; several at one pulse keep it.
    std::vector<BmsonBpmEvent> bpmEvents;
    std::vector<BmsonStopEvent> stopEvents;
    std::vector<BmsonChannel> channels;
    // The file of the song's preview clip, as written; empty for none.
    std::string previewMusic;
};

#endif  // BMSON_CHART_H_
