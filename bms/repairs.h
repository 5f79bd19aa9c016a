// What a chart read as a player reads it needed mending: each kind of line or object that a
// player passes over or reads another way, how often, and the first lines where it happened,
// for the front end to tell.
#ifndef BMS_REPAIRS_H_
#define BMS_REPAIRS_H_

#include <vector>

// The kinds, in the order a front end lists them.
enum class BmsRepairKind {
    // A long note whose end another id or no object gives.
    LONG_NOTE_END,
    // A #WAV name that blanks or control characters ended, dropped from it.
    WAV_NAME_TRIMMED,
    // A pair of a data line that is not two letters or digits: skipped, its slot kept.
    OBJECT_PAIR,
    // A data line of an odd number of characters: the last one is ignored.
    ODD_OBJECT,
    // A bar length given again: the last one holds.
    BAR_LENGTH_TWICE,
    // A tempo object naming no usable tempo: skipped.
    TEMPO_VALUE,
    // A stop object naming no usable #STOP value: skipped.
    STOP_VALUE,
};

// The repairs of one chart, each kind once, in the order they first happened.
class BmsRepairs {
public:
    // The lines kept of each kind.
    static constexpr int LINES_KEPT = 5;

    struct Entry {
        BmsRepairKind kind;
        int count = 0;
        // The first lines (1-based; 0 where no line is known), at most LINES_KEPT.
        std::vector<int> lines;
    };

    void note(BmsRepairKind kind, int line);
    const std::vector<Entry>& getEntries() const { return entries; }
    bool empty() const { return entries.empty(); }

private:
    std::vector<Entry> entries;
};

#endif  // BMS_REPAIRS_H_
