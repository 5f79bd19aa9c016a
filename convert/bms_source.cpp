// A BMS chart as a source of triggers: its #WAV slots and the walk of its timeline.
#include <memory>
#include <utility>

#include "bms/bms.h"
#include "bms/channel_roles.h"
#include "bms/player_mode.h"
#include "bms/timeline.h"
#include "convert/chart_source.h"

namespace {

constexpr int SLOT_COUNT = BmsRegistArray::SLOT_COUNT;

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
    BmsSource(BmsBms* chart, bool playerMode) : chart(chart), playerMode(playerMode) {}

    std::vector<std::string> start(bool debug, bool retriggerCut, SoundTrack track,
                                   std::function<void(int)> progress) override {
        cut = retriggerCut;
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
        // One pass over the sound lanes serves every failed read, however many.
        if (counts.empty()) counts = BmsCountSoundObjects(*chart);
        return counts[slot];
    }

    bool begin(int largestSound, const std::function<void(int64_t)>& hint) override {
        return timeline->begin(largestSound, hint);
    }

    bool next(ChartTrigger* trigger) override {
        BmsTrigger object;
        if (!timeline->next(&object)) return false;
        trigger->frame = object.frame;
        trigger->slot = object.id;
        trigger->cut = cut;
        return true;
    }

    bool failed() const override { return timeline->failed(); }

private:
    BmsBms* chart;
    bool playerMode;
    bool cut = false;
    std::unique_ptr<BmsTimeline> timeline;
    std::vector<int> counts;
};

}  // namespace

std::vector<std::string> bmsSlotNames(const BmsBms& chart) {
    const BmsRegistArray* wavs = chart.getWavs();
    std::vector<std::string> names(SLOT_COUNT);
    for (int id = 0; id < SLOT_COUNT; ++id) names[id] = wavs->get(BmsWord(id));
    return names;
}

std::unique_ptr<ChartSource> makeBmsSource(BmsBms* chart, bool playerMode) {
    return std::make_unique<BmsSource>(chart, playerMode);
}
