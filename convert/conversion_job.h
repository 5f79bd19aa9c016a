// The working data of one convert call, shared by the steps that every chart kind goes through:
// loading the key sounds by slot and mixing their triggers.
#ifndef CONVERT_CONVERSION_JOB_H_
#define CONVERT_CONVERSION_JOB_H_

#include <memory>
#include <string>
#include <vector>

#include "convert/converter.h"
#include "convert/song_finish.h"
#include "song/mix_bus.h"
#include "wav/wav.h"

struct BmsConverter::Job {
    // One buffer per slot that names a sound; null for the others and for silenced sounds.
    std::vector<std::unique_ptr<LuWav>> samples;
    // Frame at which each slot's sound last started.
    std::vector<int> lastStart;
    std::string baseDirectory;
    // The loudness of every key sound in percent.
    int volume = 100;
    int largestSize = 0;
    int lastProgress = -1;
    // Where the triggers mix (convert/song_finish.h chooses the kind).
    std::unique_ptr<LuMixBus> bus;
    // What the triggers told of the song's time, for the preview's start.
    SongMarks marks;
};

#endif  // CONVERT_CONVERSION_JOB_H_
