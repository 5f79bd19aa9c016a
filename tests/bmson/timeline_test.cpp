#include "bmson/timeline.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bms/bms.h"
#include "bms/channel_roles.h"
#include "bms/parser.h"
#include "bmson/reader.h"

namespace {

using Plays = std::vector<std::pair<int, int>>;

Plays timelineOf(const std::string& text) {
    BmsonChart chart;
    std::string message;
    std::vector<BmsonPlay> plays;
    EXPECT_TRUE(BmsonRead(text, &chart, &message)) << message;
    EXPECT_TRUE(BmsonTimeline(chart, &plays, &message)) << message;
    Plays pairs;
    for (const BmsonPlay& play : plays) pairs.push_back({play.frame, play.channel});
    return pairs;
}

TEST(BmsonTimelineTest, PlacesTheRestartsOfEachChannel) {
    // At 120 BPM and 240 pulses per beat, a pulse is 91.875 frames and a beat 22050.
    const auto chart = [](const std::string& top, const std::string& channels,
                          const std::string& info = "") {
        return R"({"version":"1.0.0","info":{"init_bpm":120)" + info + "}," + top +
               R"("sound_channels":[)" + channels + "]}";
    };
    const auto channel = [](const std::string& notes) {
        return R"({"name":"a.wav","notes":[)" + notes + "]}";
    };
    const std::string twoBeats = channel(R"({"y":240},{"y":480})");
    const struct {
        const char* name;
        std::string text;
        Plays plays;
    } cases[] = {
        {"a note sounds before the tempo and the stop at its pulse",
         chart(R"("bpm_events":[{"y":240,"bpm":240}],"stop_events":[{"y":240,"duration":240}],)",
               twoBeats),
         {{22050, 0}, {44100, 0}}},
        {"stops at one pulse add up",
         chart(R"("stop_events":[{"y":240,"duration":240},{"y":240,"duration":960}],)", twoBeats),
         {{22050, 0}, {154350, 0}}},
        {"the last tempo at a pulse wins",
         chart(R"("bpm_events":[{"y":240,"bpm":60},{"y":240,"bpm":240}],)", twoBeats),
         {{22050, 0}, {33075, 0}}},
        {"events out of order",
         chart(R"("bpm_events":[{"y":480,"bpm":60},{"y":240,"bpm":240}],)",
               channel(R"({"y":720},{"y":480},{"y":240})")),
         {{22050, 0}, {33075, 0}, {77175, 0}}},
        {"resolution 0 is the default",
         chart("", twoBeats, R"(,"resolution":0)"),
         {{22050, 0}, {44100, 0}}},
        {"a negative resolution is its magnitude",
         chart("", twoBeats, R"(,"resolution":-480)"),
         {{11025, 0}, {22050, 0}}},
        {"restart, continuation, restart",
         chart("", channel(R"({"y":0},{"y":240,"c":true},{"y":480,"c":false})")),
         {{0, 0}, {44100, 0}}},
        {"some continuations at one pulse restart",
         chart("", channel(R"({"y":0},{"x":1,"y":240,"c":true},{"x":2,"y":240})")),
         {{0, 0}, {22050, 0}}},
        {"lanes and background at one pulse sound once",
         chart("", channel(R"({"x":0,"y":240},{"x":1,"y":240},{"x":3,"y":240})")),
         {{22050, 0}}},
        {"a first continuation starts the file",
         chart("", channel(R"({"y":240,"c":true})")),
         {{22050, 0}}},
        {"time order, then channel order",
         chart("", channel(R"({"y":480},{"y":0})") + "," + channel(R"({"y":240},{"y":0})")),
         {{0, 0}, {0, 1}, {22050, 1}, {44100, 0}}},
        {"the last frame that fits", chart("", channel(R"({"y":5843492})")), {{536870827, 0}}},
        // The slicing example of the format: restarts at beats 1 and 3, all else goes on.
        {"slices of one file",
         chart("", R"({"name":"vox.wav","notes":[
             {"x":1,"y":240,"c":false},{"x":3,"y":360,"c":true},{"x":7,"y":360,"c":true},
             {"x":2,"y":720,"c":false},{"x":3,"y":720,"c":false},{"x":4,"y":840,"c":true},
             {"x":6,"y":840,"c":true},{"x":3,"y":1200,"c":true},{"x":0,"y":1680,"c":true}]})"),
         {{22050, 0}, {66150, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.plays, timelineOf(c.text));
    }
}

// Frame of a tic of examples/demo.bms as the BMS engine places it, worked out by hand: bars 0
// and 1 at 120 BPM (229.6875 frames per tic), bar 2 from frame 176400 at 140 BPM (196.875) with
// a stop of one beat (18900 frames) after its tic 1056, bars 3 and 4 from frame 270900 at 100 BPM
// (275.625).
double bmsFrameOf(int tic) {
    if (tic < 768) return tic * 229.6875;
    if (tic < 1152) return 176400 + (tic - 768) * 196.875 + (tic > 1056 ? 18900 : 0);
    return 270900 + (tic - 1152) * 275.625;
}

TEST(BmsonTimelineTest, DemoSoundsWhereTheBmsDemoDoes) {
    using Trigger = std::pair<std::string, double>;
    std::vector<Trigger> bms;
    BmsBms* loaded = nullptr;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(BmsLoad("examples/demo.bms", &loaded));
    testing::internal::GetCapturedStdout();
    std::unique_ptr<BmsBms> demo(loaded);
    for (const BmsChannel* channel = demo->getFirstChannel(); channel;
         channel = channel->getNext()) {
        if (!BmsIsSoundChannel(channel->getId())) continue;
        // A long note's end (every second object on channels 5x and 6x) does not sound.
        const int id = channel->getId().toInt();
        const bool longNotes = id / 36 == 5 || id / 36 == 6;
        for (const BmsChannel* lane = channel; lane; lane = lane->getNextLane()) {
            int count = 0;
            for (int tic = lane->findObject(0); tic < lane->getUsedSize();
                 tic = lane->findObject(tic + 1)) {
                if (longNotes && count++ % 2 == 1) continue;
                bms.push_back({demo->getWavs()->get(lane->get(tic)), bmsFrameOf(tic)});
            }
        }
    }

    BmsonChart chart;
    std::string message;
    ASSERT_TRUE(BmsonLoad("examples/demo.bmson", &chart, &message)) << message;
    std::vector<BmsonPlay> plays;
    ASSERT_TRUE(BmsonTimeline(chart, &plays, &message)) << message;
    std::vector<Trigger> bmson;
    for (const BmsonPlay& play : plays)
        bmson.push_back({chart.channels[play.channel].name, play.frame});

    std::sort(bms.begin(), bms.end());
    std::sort(bmson.begin(), bmson.end());
    ASSERT_EQ(bms.size(), bmson.size());
    for (size_t i = 0; i < bms.size(); ++i) {
        SCOPED_TRACE(bms[i].first + " at " + std::to_string(bms[i].second));
        EXPECT_EQ(bms[i].first, bmson[i].first);
        EXPECT_LE(std::fabs(bms[i].second - bmson[i].second), 1.0);
    }
    // The bass goes on through its continuation notes: two plays for four notes.
    EXPECT_EQ(2, std::count_if(bmson.begin(), bmson.end(),
                               [](const Trigger& t) { return t.first == "bass.wav"; }));
}

}  // namespace
