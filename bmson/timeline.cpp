#include "bmson/timeline.h"

#include <algorithm>
#include <limits>

#include "bmson/message.h"

namespace {

// 44100 frames per second times 60 seconds per minute.
constexpr long double FRAMES_PER_MINUTE = 2646000.0L;
// Positions are held below this, far beyond every frame a play may start at, so that adding
// up huge stops never leaves the range of a double.
constexpr long double FAR_BEYOND = 1e18L;
constexpr uint64_t NO_PULSE = std::numeric_limits<uint64_t>::max();

// A pulse at which a channel starts its file over, and the first note asking for it.
struct Restart {
    uint64_t y;
    int channel;
    size_t note;
    bool key;
};

// A channel is one monophonic track. At a pulse where every note is a continuation, the file
// plays on from where it is, which is what the slices between the notes add up to: no new play.
// Any other note restarts the file, and so does the first pulse, having nothing to go on from.
// Notes at one pulse (a lane's and the background's alike) sound once.
void addRestarts(const BmsonChannel& channel, int index, std::vector<Restart>* restarts) {
    std::vector<size_t> order(channel.notes.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&channel](size_t a, size_t b) {
        return channel.notes[a].y < channel.notes[b].y;
    });
    for (size_t i = 0; i < order.size();) {
        const uint64_t y = channel.notes[order[i]].y;
        size_t restarting = order[i];
        bool restart = i == 0;
        bool key = false;
        for (; i < order.size() && channel.notes[order[i]].y == y; ++i) {
            key = key || channel.notes[order[i]].x > 0;
            if (!channel.notes[order[i]].c && !restart) {
                restart = true;
                restarting = order[i];
            }
        }
        if (restart) restarts->push_back({y, index, restarting, key});
    }
}

template <class Event>
std::vector<Event> sortedByPulse(std::vector<Event> events) {
    std::stable_sort(events.begin(), events.end(),
                     [](const Event& a, const Event& b) { return a.y < b.y; });
    return events;
}

// Adds `pulses` at `framesPerPulse` to a position, rounding the sum to a double.
double advance(double position, uint64_t pulses, double framesPerPulse) {
    const long double sum = position + static_cast<long double>(pulses) * framesPerPulse;
    return static_cast<double>(std::min(sum, FAR_BEYOND));
}

}  // namespace

double BmsonFramesPerPulse(double bpm, uint64_t resolution) {
    return static_cast<double>(FRAMES_PER_MINUTE / (static_cast<long double>(resolution) * bpm));
}

bool BmsonTimeline(const BmsonChart& chart, std::vector<BmsonPlay>* plays, std::string* message) {
    plays->clear();
    std::vector<Restart> restarts;
    for (size_t i = 0; i < chart.channels.size(); ++i)
        addRestarts(chart.channels[i], static_cast<int>(i), &restarts);
    // Channel by channel, so the channel order at one pulse stays.
    restarts = sortedByPulse(std::move(restarts));
    const std::vector<BmsonBpmEvent> tempos = sortedByPulse(chart.bpmEvents);
    const std::vector<BmsonStopEvent> stops = sortedByPulse(chart.stopEvents);

    // From event pulse to event pulse: notes sound first, then the tempo changes (the last
    // change at a pulse wins), then the stops hold at the new tempo, one after the other.
    double framesPerPulse = BmsonFramesPerPulse(chart.initBpm, chart.resolution);
    double position = 0.0;
    uint64_t pulse = 0;
    size_t r = 0, t = 0, s = 0;
    while (r < restarts.size()) {
        const uint64_t next = std::min({restarts[r].y, t < tempos.size() ? tempos[t].y : NO_PULSE,
                                        s < stops.size() ? stops[s].y : NO_PULSE});
        position = advance(position, next - pulse, framesPerPulse);
        pulse = next;
        for (; r < restarts.size() && restarts[r].y == pulse; ++r) {
            if (!(position < BMSON_MAX_FRAME)) {
                const std::string path = "$.sound_channels[" + std::to_string(restarts[r].channel) +
                                         "].notes[" + std::to_string(restarts[r].note) + "]";
                *message = BmsonMessageText(BmsonMessage::TOO_LATE, path, BMSON_MAX_FRAME);
                return false;
            }
            plays->push_back({static_cast<int>(position), restarts[r].channel, restarts[r].key});
        }
        for (; t < tempos.size() && tempos[t].y == pulse; ++t)
            framesPerPulse = BmsonFramesPerPulse(tempos[t].bpm, chart.resolution);
        for (; s < stops.size() && stops[s].y == pulse; ++s)
            position = advance(position, stops[s].duration, framesPerPulse);
    }
    return true;
}

std::vector<int64_t> BmsonBarFrames(const BmsonChart& chart) {
    std::vector<uint64_t> pulses = chart.lines;
    if (pulses.empty()) {
        uint64_t last = 0;
        for (const BmsonChannel& channel : chart.channels)
            for (const BmsonNote& note : channel.notes) last = std::max(last, note.y);
        // Beats 0 to `lastBeat`, every `every`-th of them.
        const uint64_t lastBeat = last / chart.resolution;
        const uint64_t every = lastBeat / BMSON_MAX_GRID_LINES + 1;
        for (uint64_t beat = 0; beat <= lastBeat; beat += every) {
            pulses.push_back(beat * chart.resolution);
            if (lastBeat - beat < every) break;
        }
    }
    std::sort(pulses.begin(), pulses.end());
    const std::vector<BmsonBpmEvent> tempos = sortedByPulse(chart.bpmEvents);
    const std::vector<BmsonStopEvent> stops = sortedByPulse(chart.stopEvents);
    double framesPerPulse = BmsonFramesPerPulse(chart.initBpm, chart.resolution);
    double position = 0.0;
    uint64_t pulse = 0;
    size_t t = 0, s = 0;
    std::vector<int64_t> frames;
    for (const uint64_t y : pulses) {
        // The tempo changes and stops before the line, in the order of the plays' walk.
        for (;;) {
            const uint64_t event = std::min(t < tempos.size() ? tempos[t].y : NO_PULSE,
                                            s < stops.size() ? stops[s].y : NO_PULSE);
            if (event >= y) break;
            position = advance(position, event - pulse, framesPerPulse);
            pulse = event;
            for (; t < tempos.size() && tempos[t].y == pulse; ++t)
                framesPerPulse = BmsonFramesPerPulse(tempos[t].bpm, chart.resolution);
            for (; s < stops.size() && stops[s].y == pulse; ++s)
                position = advance(position, stops[s].duration, framesPerPulse);
        }
        position = advance(position, y - pulse, framesPerPulse);
        pulse = y;
        if (!(position < BMSON_MAX_FRAME)) break;
        if (frames.empty() || frames.back() != static_cast<int64_t>(position))
            frames.push_back(static_cast<int64_t>(position));
    }
    return frames;
}
