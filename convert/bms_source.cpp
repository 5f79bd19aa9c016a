// A BMS chart as a source of triggers: its #WAV slots and the walk of its timeline.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>

#include "bms/bms.h"
#include "bms/channel_roles.h"
#include "bms/player_mode.h"
#include "bms/player_timeline.h"
#include "bms/tic_steps.h"
#include "bms/timeline.h"
#include "convert/chart_source.h"

namespace {

constexpr int SLOT_COUNT = BmsRegistArray::SLOT_COUNT;
// The progress value that loading the key sounds ends on, where the mixing share begins.
constexpr int LOADED = 100;
// The largest size of song to expect, in frames.
constexpr int64_t HINT_LIMIT = INT64_C(1) << 40;

// Whether the objects of a lane in `role` belong to `track`: the background is channel 01, the
// keys are the lanes a player presses, short and long notes.
bool inTrack(BmsChannelRole role, SoundTrack track) {
    if (track == SoundTrack::BACKGROUND) return role == BmsChannelRole::BACKGROUND;
    return role == BmsChannelRole::KEY || role == BmsChannelRole::LONG_NOTE;
}

// Empties every lane of the sound channels outside `track`, so that neither the walk nor the
// note counts meet their objects.
void keepTrack(BmsBms* chart, SoundTrack track) {
    if (track == SoundTrack::ALL) return;
    for (BmsChannel* channel = chart->getFirstChannel(); channel; channel = channel->getNext()) {
        const BmsWord& id = channel->getId();
        if (!BmsIsSoundChannel(id) || inTrack(BmsRoleOfChannel(id.toInt()), track)) continue;
        for (BmsChannel* lane = channel; lane; lane = lane->getNextLane()) lane->clear();
    }
}

class BmsSource : public ChartSource {
public:
    BmsSource(BmsBms* chart, bool playerMode, bool popn)
        : chart(chart), playerMode(playerMode), popn(popn) {}

    std::vector<std::string> start(bool debug, bool retriggerCut, SoundTrack track,
                                   std::function<void(int)> progress) override {
        cut = retriggerCut;
        if (playerMode && chart->getPlayerData()->isKept()) {
            startPlayer(debug, track, std::move(progress));
            return bmsSlotNames(*chart);
        }
        // The walk ends at the last tic the chart has before it is made ready to play.
        timeline.reset(new BmsTimeline(chart, debug, std::move(progress)));
        if (playerMode) BmsClearLongNoteEnds(chart);
        keepTrack(chart, track);
        return bmsSlotNames(*chart);
    }

    int keySoundVolume(int volume) const override {
        return playerMode ? BmsKeySoundVolume(*chart, volume) : volume;
    }

    int notesOf(int slot) override {
        if (exact) {
            if (counts.empty()) {
                counts.assign(BmsPlayerIdCount(*chart), 0);
                for (const BmsPlayerTrigger& trigger : triggers) ++counts[trigger.id];
            }
            return counts[slot];
        }
        // One pass over the sound lanes serves every failed read, however many.
        if (counts.empty()) counts = BmsCountSoundObjects(*chart);
        return counts[slot];
    }

    bool begin(int largestSound, const std::function<void(int64_t)>& hint) override {
        if (exact) {
            if (!playable) return false;
            hint(triggers.empty() ? 0 : std::min(triggers.back().frame, HINT_LIMIT));
            return true;
        }
        return timeline->begin(largestSound, hint);
    }

    bool next(ChartTrigger* trigger) override {
        if (exact) {
            if (reporting) progress->reach(static_cast<int>(handedOut));
            if (handedOut == triggers.size()) return false;
            const BmsPlayerTrigger& object = triggers[handedOut++];
            trigger->frame = object.frame;
            trigger->slot = object.id;
            trigger->cut = cut;
            trigger->key = object.key;
            return true;
        }
        BmsTrigger object;
        if (!timeline->next(&object)) return false;
        trigger->frame = object.frame;
        trigger->slot = object.id;
        trigger->cut = cut;
        trigger->key = object.key;
        return true;
    }

    bool failed() const override { return exact ? !playable : timeline->failed(); }

    std::vector<int64_t> barFrames() const override {
        return exact ? bars : timeline->getBarFrames();
    }

    std::vector<std::string> soundNames() const override { return bmsSlotNames(*chart); }

    std::string previewFile() const override { return chart->getHeaders()->get("PREVIEW"); }

private:
    // The exact timeline of a chart read for a player, its triggers worked out at once.
    void startPlayer(bool debug, SoundTrack track, std::function<void(int)> report) {
        exact = true;
        BmsPlayerLayout layout;
        layout.popn = popn;
        std::vector<BmsPlayerTrigger> all;
        playable = BmsPlayerTriggers(chart, layout, &all, &bars);
        if (!playable && debug) std::printf("BPM error => %s\n", chart->getHeaders()->get("BPM"));
        for (const BmsPlayerTrigger& trigger : all) {
            if (track == SoundTrack::ALL || (track == SoundTrack::KEYS) == trigger.key)
                triggers.push_back(trigger);
        }
        reporting = static_cast<bool>(report);
        // Trigger k reports as tic k of the walk; the end of the triggers reports 200.
        if (reporting && triggers.size() < static_cast<size_t>(INT32_MAX))
            progress.reset(
                new TicProgress(static_cast<int>(triggers.size()), LOADED, std::move(report)));
        reporting = progress != nullptr;
    }

    BmsBms* chart;
    bool playerMode;
    bool popn;
    bool exact = false;
    bool playable = true;
    bool reporting = false;
    std::vector<BmsPlayerTrigger> triggers;
    std::vector<int64_t> bars;
    size_t handedOut = 0;
    std::unique_ptr<TicProgress> progress;
    bool cut = false;
    std::unique_ptr<BmsTimeline> timeline;
    std::vector<int> counts;
};

}  // namespace

std::vector<std::string> bmsSlotNames(const BmsBms& chart) {
    const BmsPlayerData* data = chart.getPlayerData();
    if (data->isKept() && BmsIsBase62(chart)) {
        std::vector<std::string> names = data->getBase62Wavs();
        names.resize(BMS_BASE62_COUNT);
        return names;
    }
    const BmsRegistArray* wavs = chart.getWavs();
    std::vector<std::string> names(SLOT_COUNT);
    for (int id = 0; id < SLOT_COUNT; ++id) names[id] = wavs->get(BmsWord(id));
    return names;
}

std::unique_ptr<ChartSource> makeBmsSource(BmsBms* chart, bool playerMode, bool popn) {
    return std::make_unique<BmsSource>(chart, playerMode, popn);
}
