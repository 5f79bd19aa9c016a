#include "bms/player_timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "bms/bms.h"
#include "bms/channel_roles.h"
#include "bms/timeline.h"
#include "text/number.h"

namespace {

constexpr double DEFAULT_TEMPO = 120.0;
constexpr double FRAMES_PER_SECOND = 44100.0;
// Seconds of one 4/4 bar at a tempo of 1.
constexpr double BAR_SECONDS = 240.0;
// A stop of n lasts n/192 of a 4/4 bar.
constexpr double STOPS_PER_BAR = 192.0;
constexpr double FRAME_LIMIT = 2147483648.0;

enum class Lane { NONE, BACKGROUND, KEY, LONG_NOTE, TEMPO, EXTENDED_TEMPO, STOP };

// The lanes of the walk, from the channel roles and the lanes a player plays.
Lane laneOf(int channel, bool popn) {
    switch (BmsRoleOfChannel(channel)) {
        case BmsChannelRole::BACKGROUND:
            return Lane::BACKGROUND;
        case BmsChannelRole::TEMPO:
            return Lane::TEMPO;
        case BmsChannelRole::EXTENDED_TEMPO:
            return Lane::EXTENDED_TEMPO;
        case BmsChannelRole::STOP:
            return Lane::STOP;
        case BmsChannelRole::KEY:
            return BmsIsPlayedLane(channel, popn) ? Lane::KEY : Lane::NONE;
        case BmsChannelRole::LONG_NOTE:
            return BmsIsPlayedLane(channel, popn) ? Lane::LONG_NOTE : Lane::NONE;
        default:
            return Lane::NONE;
    }
}

bool isUsableTempo(double tempo) {
    return std::isfinite(tempo) && tempo > 0.0;
}

int idOf(char first, char second, bool base62) {
    if (!base62) return BmsDigitsValue(first, second);
    return BmsBase62Digit(static_cast<unsigned char>(first)) * 62 +
           BmsBase62Digit(static_cast<unsigned char>(second));
}

// The number of header `prefix` followed by the two characters (keys are compared
// upper-cased); false when absent or no number.
bool headerNumber(const BmsHeaderHash& headers, const char* prefix, char first, char second,
                  double* value) {
    char key[16];
    std::snprintf(key, sizeof key, "%s%c%c", prefix, first, second);
    const char* text = headers.get(key);
    return *text != '\0' && readDecimal(text, value) && std::isfinite(*value);
}

struct Sound {
    double position;  // in 4/4 bars from the start
    int channel;
    size_t order;  // in the file
    int id;
    Lane lane;
    int line;
};

struct Change {
    double position;
    bool stop;
    size_t order;
    double value;  // a tempo, or a stop's length in 1/192 of a 4/4 bar
};

// The seconds at positions asked for in ascending order, through the sorted tempo changes and
// stops; a position at a stop's lies before the stop.
class Clock {
public:
    Clock(const std::vector<Change>& changes, double tempo) : changes(changes), tempo(tempo) {}

    double secondsAt(double position) {
        for (; next < changes.size() && changes[next].position < position; ++next) {
            const Change& change = changes[next];
            seconds += (change.position - at) * BAR_SECONDS / tempo;
            at = change.position;
            if (!change.stop) {
                tempo = change.value;
            } else if (next + 1 == changes.size() || changes[next + 1].position != at) {
                seconds += change.value / STOPS_PER_BAR * BAR_SECONDS / tempo;
            }
        }
        return seconds + (position - at) * BAR_SECONDS / tempo;
    }

private:
    const std::vector<Change>& changes;
    double tempo;
    double at = 0.0;
    double seconds = 0.0;
    size_t next = 0;
};

int64_t frameAt(double seconds) {
    const double frame = std::floor(seconds * FRAMES_PER_SECOND + 0.5);
    return frame < FRAME_LIMIT ? static_cast<int64_t>(frame) : BMS_FRAME_BEYOND;
}

// Keeps the last object of the file where one key lane holds two at one position (the
// background keeps them all), then pairs the objects of each long-note lane.
void settleLanes(std::vector<Sound>* sounds, BmsRepairs* repairs) {
    std::sort(sounds->begin(), sounds->end(), [](const Sound& a, const Sound& b) {
        if (a.channel != b.channel) return a.channel < b.channel;
        if (a.position != b.position) return a.position < b.position;
        return a.order < b.order;
    });
    std::vector<Sound> kept;
    kept.reserve(sounds->size());
    for (size_t i = 0; i < sounds->size(); ++i) {
        const Sound& sound = (*sounds)[i];
        const bool replaced = i + 1 < sounds->size() && sound.lane != Lane::BACKGROUND &&
                              (*sounds)[i + 1].channel == sound.channel &&
                              (*sounds)[i + 1].position == sound.position;
        if (!replaced) kept.push_back(sound);
    }
    sounds->clear();
    const Sound* start = nullptr;
    for (size_t i = 0; i < kept.size(); ++i) {
        const Sound& sound = kept[i];
        if (sound.lane != Lane::LONG_NOTE) {
            sounds->push_back(sound);
            continue;
        }
        if (start && start->channel != sound.channel) {
            // The previous lane ended inside a long note: its start is dropped.
            repairs->note(BmsRepairKind::LONG_NOTE_END, start->line);
            start = nullptr;
        }
        if (!start) {
            start = &sound;
            continue;
        }
        sounds->push_back(*start);
        if (sound.id != start->id) {
            repairs->note(BmsRepairKind::LONG_NOTE_END, sound.line);
            sounds->push_back(sound);
        }
        start = nullptr;
    }
    if (start) repairs->note(BmsRepairKind::LONG_NOTE_END, start->line);
}

}  // namespace

bool BmsIsBase62(const BmsBms& chart) {
    int base = 0;
    return readDecimalInt(chart.getHeaders()->get("BASE"), &base) && base == 62;
}

int BmsPlayerIdCount(const BmsBms& chart) {
    return BmsIsBase62(chart) ? BMS_BASE62_COUNT : BMS_WORD_COUNT;
}

bool BmsPlayerTriggers(BmsBms* chart, const BmsPlayerLayout& layout,
                       std::vector<BmsPlayerTrigger>* triggers, std::vector<int64_t>* bars) {
    const BmsPlayerData& data = *chart->getPlayerData();
    const BmsHeaderHash& headers = *chart->getHeaders();
    BmsRepairs* repairs = chart->getRepairs();
    double tempo = DEFAULT_TEMPO;
    const char* tempoText = headers.get("BPM");
    if (*tempoText != '\0' && (!readDecimal(tempoText, &tempo) || !isUsableTempo(tempo)))
        return false;
    const bool base62 = BmsIsBase62(*chart);

    std::vector<double> starts(BmsPlayerData::BAR_COUNT + 1, 0.0);
    for (int bar = 0; bar < BmsPlayerData::BAR_COUNT; ++bar)
        starts[bar + 1] = starts[bar] + data.getBarLength(bar);
    int longNoteEnd = -1;
    const char* endText = headers.get("LNOBJ");
    if (BmsIsLetterOrDigit(endText[0]) && BmsIsLetterOrDigit(endText[1]))
        longNoteEnd = idOf(endText[0], endText[1], base62);

    std::vector<Sound> sounds;
    std::vector<Change> changes;
    const std::vector<BmsPlayerObject>& objects = data.getObjects();
    for (size_t i = 0; i < objects.size(); ++i) {
        const BmsPlayerObject& object = objects[i];
        const Lane lane = laneOf(object.channel, layout.popn);
        if (lane == Lane::NONE) continue;
        // k / n rounds the same for every k and n of one ratio, so that objects of lines of
        // different lengths meet at one position.
        const double position =
            starts[object.bar] +
            data.getBarLength(object.bar) * (static_cast<double>(object.slot) / object.slots);
        double value = 0.0;
        switch (lane) {
            case Lane::TEMPO: {
                const int high = hexDigitValue(object.first);
                const int low = hexDigitValue(object.second);
                if (high < 0 || low < 0) {
                    repairs->note(BmsRepairKind::TEMPO_VALUE, object.line);
                } else {
                    changes.push_back({position, false, i, high * 16.0 + low});
                }
                break;
            }
            case Lane::EXTENDED_TEMPO:
                if ((headerNumber(headers, "BPM", object.first, object.second, &value) ||
                     headerNumber(headers, "EXBPM", object.first, object.second, &value)) &&
                    isUsableTempo(value)) {
                    changes.push_back({position, false, i, value});
                } else {
                    repairs->note(BmsRepairKind::TEMPO_VALUE, object.line);
                }
                break;
            case Lane::STOP:
                if (headerNumber(headers, "STOP", object.first, object.second, &value)) {
                    changes.push_back({position, true, i, std::fabs(value)});
                } else {
                    repairs->note(BmsRepairKind::STOP_VALUE, object.line);
                }
                break;
            default: {
                const int id = idOf(object.first, object.second, base62);
                if (lane == Lane::KEY && id == longNoteEnd) break;
                sounds.push_back({position, object.channel, i, id, lane, object.line});
                break;
            }
        }
    }
    settleLanes(&sounds, repairs);
    std::sort(sounds.begin(), sounds.end(), [](const Sound& a, const Sound& b) {
        if (a.position != b.position) return a.position < b.position;
        if (a.channel != b.channel) return a.channel < b.channel;
        return a.order < b.order;
    });
    // At one position the tempo changes before the stop, which then lasts at the new tempo;
    // of several tempos or stops there the last of the file holds.
    std::sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) {
        if (a.position != b.position) return a.position < b.position;
        if (a.stop != b.stop) return b.stop;
        return a.order < b.order;
    });

    triggers->clear();
    triggers->reserve(sounds.size());
    Clock clock(changes, tempo);
    for (const Sound& sound : sounds) {
        BmsPlayerTrigger trigger;
        trigger.frame = frameAt(clock.secondsAt(sound.position));
        trigger.id = sound.id;
        trigger.key = sound.lane != Lane::BACKGROUND;
        triggers->push_back(trigger);
    }
    if (bars) {
        bars->clear();
        const double end = sounds.empty() ? 0.0 : sounds.back().position;
        Clock barClock(changes, tempo);
        for (int bar = 0; bar <= BmsPlayerData::BAR_COUNT && starts[bar] <= end; ++bar) {
            const int64_t frame = frameAt(barClock.secondsAt(starts[bar]));
            if (bars->empty() || bars->back() < frame) bars->push_back(frame);
        }
    }
    return true;
}
