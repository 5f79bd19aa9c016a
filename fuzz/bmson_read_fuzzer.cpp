// Arbitrary bytes as a bmson chart: the reader must read or refuse them with a message, never
// crash, and a chart it reads must give a timeline that keeps its promises.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bmson/reader.h"
#include "bmson/sound_name.h"
#include "bmson/timeline.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using fuzz_util::check;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    BmsonChart chart;
    std::string message;
    if (!BmsonRead(bytes, &chart, &message)) {
        check(!message.empty());
        return 0;
    }
    check(message.empty());
    check(chart.resolution > 0);
    check(std::isfinite(BmsonFramesPerPulse(chart.initBpm, chart.resolution)));
    size_t notes = 0;
    for (const BmsonChannel& channel : chart.channels) {
        // An empty name is kept: the loading reports it as a sound not found.
        const BmsonNameProblem problem = BmsonCheckSoundName(channel.name);
        check(problem == BmsonNameProblem::NONE || problem == BmsonNameProblem::EMPTY);
        check(BmsonNormalizeSoundName(channel.name).empty() ==
              (problem == BmsonNameProblem::EMPTY));
        notes += channel.notes.size();
    }
    check(notes + chart.bpmEvents.size() + chart.stopEvents.size() <= BMSON_MAX_ITEMS);

    std::vector<BmsonPlay> plays;
    if (!BmsonTimeline(chart, &plays, &message)) {
        check(!message.empty());
        return 0;
    }
    check(plays.size() <= notes);
    for (size_t i = 0; i < plays.size(); ++i) {
        check(plays[i].frame >= 0 && plays[i].frame < BMSON_MAX_FRAME);
        check(plays[i].channel >= 0 &&
              static_cast<size_t>(plays[i].channel) < chart.channels.size());
        if (i > 0) check(plays[i - 1].frame <= plays[i].frame);
    }
    return 0;
}
