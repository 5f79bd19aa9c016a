// The bmson side of the converter: the chart and its timeline feed the steps that BMS charts
// go through too, the key sounds loaded by slot (one slot per sound channel) and their plays
// mixed with the cut of each channel's previous play.
#include <cstdio>

#include "bmson/chart.h"
#include "bmson/reader.h"
#include "bmson/sound_name.h"
#include "bmson/timeline.h"
#include "convert/conversion_job.h"
#include "convert/converter.h"

bool BmsConverter::openBmson() {
    std::unique_ptr<BmsonChart> loaded(new BmsonChart);
    // The plays are worked out here, so that a note placed too late is told as a fault of the
    // chart before any sound loads.
    if (!BmsonLoad(chartPath.c_str(), loaded.get(), &bmsonError) ||
        !BmsonTimeline(*loaded, &bmsonPlays, &bmsonError)) {
        if (debug) std::printf("bmson error => %s\n", bmsonError.c_str());
        return false;
    }
    bmson = std::move(loaded);
    return true;
}

LuWav* BmsConverter::convertBmson() {
    report(-1);
    Job job;
    startJob(job);
    std::vector<std::string> names;
    for (const BmsonChannel& channel : bmson->channels)
        names.push_back(BmsonNormalizeSoundName(channel.name));
    // The charts come from the time of Ogg Vorbis key sounds, so they are always looked up.
    if (!loadSamples(job, names, true)) return nullptr;
    if (!startMix(job)) return nullptr;
    if (!bmsonPlays.empty()) hintMixSize(job, bmsonPlays.back().frame);

    const int64_t count = static_cast<int64_t>(bmsonPlays.size());
    for (int64_t done = 0; done < count; ++done) {
        const BmsonPlay& play = bmsonPlays[done];
        if (!trigger(job, play.frame, play.channel, true)) return nullptr;
        reportUpTo(job, 100 + static_cast<int>((done + 1) * 100 / count));
    }
    reportUpTo(job, 200);
    return job.mix.release();
}
