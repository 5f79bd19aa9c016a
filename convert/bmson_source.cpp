// A bmson chart as a source of triggers: one slot per sound channel, and its plays, each cutting
// the channel's previous play.
#include <cstdio>
#include <limits>
#include <memory>
#include <utility>

#include "bmson/chart.h"
#include "bmson/reader.h"
#include "bmson/sound_name.h"
#include "bmson/timeline.h"
#include "convert/chart_source.h"
#include "text/ascii.h"

namespace {

// The progress value that loading the key sounds ends on, where the plays' share begins.
constexpr int LOADED = 100;
constexpr int MIXED = 200;

class BmsonSource : public ChartSource {
public:
    BmsonSource(std::unique_ptr<BmsonChart> chart, std::vector<BmsonPlay> plays)
        : chart(std::move(chart)), plays(std::move(plays)) {}

    std::vector<std::string> start(bool, bool, SoundTrack track,
                                   std::function<void(int)> report) override {
        progress = std::move(report);
        if (track != SoundTrack::ALL) keepTrack(track);
        return soundNames();
    }

    std::vector<std::string> soundNames() const override {
        std::vector<std::string> names;
        for (const BmsonChannel& channel : chart->channels)
            names.push_back(BmsonNormalizeSoundName(channel.name));
        return names;
    }

    // The charts come from the time of Ogg Vorbis key sounds, so they are always looked up.
    bool forgivingLookup() const override { return true; }
    bool emptyNameIsMissing() const override { return true; }

    int notesOf(int slot) override {
        const size_t notes = chart->channels[slot].notes.size();
        constexpr size_t LIMIT = std::numeric_limits<int>::max();
        return static_cast<int>(notes < LIMIT ? notes : LIMIT);
    }

    bool begin(int, const std::function<void(int64_t)>& hint) override {
        if (!plays.empty()) hint(plays.back().frame);
        return true;
    }

    bool next(ChartTrigger* trigger) override {
        // Each play reports its share once it is mixed, that is when the next one is asked for.
        const int64_t count = static_cast<int64_t>(plays.size());
        if (done > 0) reportUpTo(LOADED + static_cast<int>(done * 100 / count));
        if (done == count) {
            reportUpTo(MIXED);
            return false;
        }
        const BmsonPlay& play = plays[static_cast<size_t>(done++)];
        trigger->frame = play.frame;
        trigger->slot = play.channel;
        trigger->cut = true;
        trigger->key = play.key;
        return true;
    }

    bool failed() const override { return broken; }

    std::vector<int64_t> barFrames() const override { return BmsonBarFrames(*chart); }

    std::string previewFile() const override { return chart->previewMusic; }

private:
    // Drops the notes outside `track`, the background's being those on no lane (x 0), and places
    // the plays of the rest again.
    void keepTrack(SoundTrack track) {
        const bool background = track == SoundTrack::BACKGROUND;
        for (BmsonChannel& channel : chart->channels) {
            std::vector<BmsonNote> kept;
            for (const BmsonNote& note : channel.notes)
                if ((note.x == 0) == background) kept.push_back(note);
            channel.notes.swap(kept);
        }
        // The kept notes are a part of notes already placed, so placing them cannot fail.
        std::string message;
        plays.clear();
        broken = !BmsonTimeline(*chart, &plays, &message);
    }

    void reportUpTo(int value) {
        if (!progress) return;
        for (int next = last + 1; next <= value; ++next) progress(next);
        if (value > last) last = value;
    }

    std::unique_ptr<BmsonChart> chart;
    std::vector<BmsonPlay> plays;
    std::function<void(int)> progress;
    int64_t done = 0;
    int last = LOADED;
    bool broken = false;
};

}  // namespace

bool isBmsonChartPath(const std::string& path) {
    return endsWithIgnoringCase(path, ".bmson");
}

std::unique_ptr<ChartSource> openBmsonSource(const std::string& path, bool debug,
                                             std::string* error) {
    std::unique_ptr<BmsonChart> chart(new BmsonChart);
    std::vector<BmsonPlay> plays;
    if (!BmsonLoad(path.c_str(), chart.get(), error) || !BmsonTimeline(*chart, &plays, error)) {
        if (debug) std::printf("bmson error => %s\n", error->c_str());
        return nullptr;
    }
    return std::make_unique<BmsonSource>(std::move(chart), std::move(plays));
}
