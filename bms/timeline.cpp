#include "bms/timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

#include "bms/bms.h"
#include "bms/channel_roles.h"
#include "text/number.h"

namespace {

constexpr int ID_COUNT = BMS_WORD_COUNT;
constexpr double DEFAULT_TEMPO = 120.0;
// 44100 frames per second times 60 seconds per minute.
constexpr long double FRAMES_PER_MINUTE = 2646000.0L;
constexpr int TICS_PER_BEAT = 96;
constexpr int64_t INT_LIMIT = std::numeric_limits<int>::max();
// The progress value that loading the key sounds ends on, where the walk's share begins.
constexpr int LOADED = 100;

// Frames of output per tic, stored as a double.
double framesPerTicAt(double tempo) {
    return static_cast<double>(FRAMES_PER_MINUTE /
                               (TICS_PER_BEAT * static_cast<long double>(tempo)));
}

// A tempo must be a finite number above 0 whose tic has a finite length.
bool isUsableTempo(double tempo) {
    return std::isfinite(tempo) && tempo > 0.0 && std::isfinite(framesPerTicAt(tempo));
}

// Truncates toward zero into the int range, for trace lines.
int toTraceInt(long double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<long double>(INT_LIMIT)) return static_cast<int>(INT_LIMIT);
    if (value <= -static_cast<long double>(INT_LIMIT) - 1) return -static_cast<int>(INT_LIMIT) - 1;
    return static_cast<int>(value);
}

// The first tic from `from` to `last` at which the lane holds an object, or `last` + 1 when
// there is none.
int nextObject(const BmsChannel* lane, int from, int last) {
    const int tic = lane->findObject(from);
    return tic < lane->getUsedSize() && tic <= last ? tic : last + 1;
}

}  // namespace

std::vector<int> BmsCountSoundObjects(const BmsBms& chart) {
    std::vector<int> counts(ID_COUNT, 0);
    for (const BmsChannel* channel = chart.getFirstChannel(); channel;
         channel = channel->getNext()) {
        for (const BmsChannel* lane = channel; lane; lane = lane->getNextLane()) {
            if (!BmsIsSoundChannel(lane->getId())) continue;
            const int end = lane->getUsedSize();
            for (int tic = lane->findObject(0); tic < end; tic = lane->findObject(tic + 1))
                ++counts[lane->get(tic).toInt()];
        }
    }
    // Every empty position holds "00", so id 00 is no use by itself.
    counts[0] = 0;
    return counts;
}

BmsTimeline::BmsTimeline(BmsBms* chart, bool debug, std::function<void(int)> report)
    : chart(chart),
      debug(debug),
      lastTic(chart->getLastPosition()),
      reporting(static_cast<bool>(report)),
      progress(lastTic, LOADED, std::move(report)) {}

BmsTimeline::~BmsTimeline() = default;

bool BmsTimeline::begin(int largestSound, const std::function<void(int64_t)>& hint) {
    tempo = DEFAULT_TEMPO;
    const char* tempoText = chart->getHeaders()->get("BPM");
    if (*tempoText != '\0') {
        if (!readDecimal(tempoText, &tempo) || !isUsableTempo(tempo)) {
            if (debug) std::printf("BPM error => %s\n", tempoText);
            return false;
        }
    }

    const long double estimate = lastTic * static_cast<long double>(framesPerTicAt(tempo));
    const int64_t estimateFrames = estimate < static_cast<long double>(INT64_C(1) << 40)
                                       ? static_cast<int64_t>(estimate)
                                       : INT64_C(1) << 40;
    if (debug) std::printf("max position is %d tic\n", toTraceInt(estimateFrames));
    hint(estimateFrames);
    if (debug)
        std::printf("max position's data is %d\n", toTraceInt(estimateFrames * 4 + largestSound));
    if (!prepareLanes()) return false;

    // The sound lanes in the chart's lane order; the order in which they are mixed at one tic
    // matters because of saturation and the retrigger cut.
    for (const BmsChannel* channel = chart->getFirstChannel(); channel;
         channel = channel->getNext()) {
        if (!BmsIsSoundChannel(channel->getId())) continue;
        for (const BmsChannel* lane = channel; lane; lane = lane->getNextLane()) {
            const int next = nextObject(lane, 0, lastTic);
            if (next <= lastTic) lanes.push_back({lane, next});
        }
    }
    nextSound = lastTic + 1;
    for (const Lane& lane : lanes) nextSound = std::min(nextSound, lane.next);
    // The tempo and stop lanes, each with its next object; an absent lane has none.
    tempoLane = {chart->findChannel(BmsWord("03")), lastTic + 1};
    headerTempoLane = {chart->findChannel(BmsWord("08")), lastTic + 1};
    stopLane = {chart->findChannel(BmsWord("09")), lastTic + 1};
    for (Lane* lane : {&tempoLane, &headerTempoLane, &stopLane}) {
        if (lane->lane) lane->next = nextObject(lane->lane, 0, lastTic);
    }
    framesPerTic = framesPerTicAt(tempo);
    for (int bar = 0; bar < BmsBms::BAR_COUNT; ++bar) {
        const int start = chart->getBarStart(bar);
        if (start > lastTic) break;
        if (barTics.empty() || barTics.back() < start) barTics.push_back(start);
    }
    return true;
}

bool BmsTimeline::prepareLanes() {
    for (BmsChannel* lane = chart->getFirstChannel(); lane; lane = lane->getNext()) {
        const BmsChannelRole role = BmsRoleOfChannel(lane->getId().toInt());
        if (role == BmsChannelRole::INVISIBLE) {
            lane->clear();
        } else if (role == BmsChannelRole::LONG_NOTE) {
            // Objects pair up as start and end; the end is cleared so that only the start
            // sounds.
            bool inside = false;
            bool malformed = false;
            BmsWord start;
            // From object to object: clearing an end object may lower the used size, which
            // then ends the scan.
            for (int at = lane->findObject(0); at < lane->getUsedSize() && !malformed;
                 at = lane->findObject(at + 1)) {
                const BmsWord word = lane->get(at);
                if (!inside) {
                    start = word;
                    inside = true;
                } else if (word.equals(start)) {
                    lane->put(at, BmsWord());
                    inside = false;
                } else {
                    malformed = true;
                }
            }
            if (inside || malformed) {
                if (debug) std::printf("LONG NOTE OBJECT FORMAT error \n");
                return false;
            }
        }
    }
    return true;
}

bool BmsTimeline::next(BmsTrigger* trigger) {
    for (;;) {
        switch (phase) {
            case Phase::ADVANCE: {
                // The tics up to the next object, or to the last tic, hold nothing: each only
                // moves the position on by one tic's frames.
                const int event = std::min(
                    {nextSound, tempoLane.next, headerTempoLane.next, stopLane.next, lastTic});
                // Nothing changes the tempo between here and the event.
                for (; nextBar < barTics.size() && barTics[nextBar] <= event; ++nextBar) {
                    const double at = advanceTics(position, framesPerTic, barTics[nextBar] - tic);
                    barFrames.push_back(at < 2147483648.0 ? static_cast<int64_t>(at)
                                                          : BMS_FRAME_BEYOND);
                }
                if (event > tic) {
                    position = advanceTics(position, framesPerTic, event - tic);
                    if (reporting) progress.reach(event - 1);
                    tic = event;
                }
                if (tic == nextSound) {
                    nextSound = lastTic + 1;
                    laneIndex = 0;
                    phase = Phase::SOUNDS;
                } else {
                    phase = Phase::CONTROLS;
                }
                break;
            }
            case Phase::SOUNDS:
                while (laneIndex < lanes.size()) {
                    Lane& lane = lanes[laneIndex++];
                    const bool sounds = lane.next == tic;
                    if (sounds) {
                        trigger->id = lane.lane->get(tic).toInt();
                        const BmsChannelRole role = BmsRoleOfChannel(lane.lane->getId().toInt());
                        trigger->key =
                            role == BmsChannelRole::KEY || role == BmsChannelRole::LONG_NOTE;
                        trigger->frame =
                            position < 2147483648.0 ? static_cast<int>(position) : BMS_FRAME_BEYOND;
                        lane.next = nextObject(lane.lane, tic + 1, lastTic);
                    }
                    nextSound = std::min(nextSound, lane.next);
                    if (sounds) return true;
                }
                phase = Phase::CONTROLS;
                break;
            case Phase::CONTROLS:
                if (!applyControls()) {
                    stopped = true;
                    phase = Phase::DONE;
                    return false;
                }
                position = advanceTic(position, framesPerTic);
                if (reporting) progress.reach(tic);
                if (tic == lastTic) {
                    phase = Phase::DONE;
                    return false;
                }
                ++tic;
                phase = Phase::ADVANCE;
                break;
            case Phase::DONE:
                return false;
        }
    }
}

bool BmsTimeline::applyControls() {
    const BmsHeaderHash* headers = chart->getHeaders();
    if (tempoLane.next == tic) {
        const BmsWord word = tempoLane.lane->get(tic);
        tempoLane.next = nextObject(tempoLane.lane, tic + 1, lastTic);
        if (word.toInt() != 0) {
            if (debug) std::printf("bpm changed %lf =>", tempo);
            const int high = hexDigitValue(word.getFirst());
            const int low = hexDigitValue(word.getSecond());
            const int value = high < 0 ? 0 : low < 0 ? high : high * 16 + low;
            if (value == 0) {
                char text[3];
                word.toText(text);
                if (debug) std::printf("BPM error => %s\n", text);
                return false;
            }
            tempo = value;
            framesPerTic = framesPerTicAt(tempo);
            if (debug) std::printf(" %lf\n", tempo);
        }
    }

    if (headerTempoLane.next == tic) {
        const BmsWord word = headerTempoLane.lane->get(tic);
        headerTempoLane.next = nextObject(headerTempoLane.lane, tic + 1, lastTic);
        if (word.toInt() != 0) {
            if (debug) std::printf("exbpm changed %lf =>", tempo);
            char key[8];
            std::snprintf(key, sizeof key, "BPM%c%c", word.getFirst(), word.getSecond());
            const char* text = headers->get(key);
            double value = 0.0;
            if (!readDecimal(text, &value) || !isUsableTempo(value)) {
                if (debug) std::printf("ex BPM error => %s %s\n", key, text);
                return false;
            }
            tempo = value;
            framesPerTic = framesPerTicAt(tempo);
            if (debug) std::printf(" %lf\n", tempo);
        }
    }

    if (stopLane.next == tic) {
        const BmsWord word = stopLane.lane->get(tic);
        stopLane.next = nextObject(stopLane.lane, tic + 1, lastTic);
        if (word.toInt() != 0) {
            char key[8];
            std::snprintf(key, sizeof key, "STOP%c%c", word.getFirst(), word.getSecond());
            const char* text = headers->get(key);
            int stop = 0;
            if (!readDecimalInt(text, &stop) || stop < 0) {
                if (debug) std::printf("ex STOP error => %s %s\n", key, text);
                return false;
            }
            const long double length = 2.0L * stop * framesPerTic;
            position = static_cast<double>(position + length);
            if (debug) std::printf("STOP %d\n", toTraceInt(length));
        }
    }
    return true;
}
