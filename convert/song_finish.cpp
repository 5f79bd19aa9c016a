#include "convert/song_finish.h"

#include "song/mix_bus.h"
#include "wav/wav.h"

std::unique_ptr<LuMixBus> makeMixBus(const SongFinish& finish, bool debug) {
    if (finish.normalise) return std::unique_ptr<LuMixBus>(new LuFloatBus(debug));
    return std::unique_ptr<LuMixBus>(new LuSaturatingBus(debug));
}

FinishStatus finishSong(const SongFinish& finish, LuMixBus* bus, std::unique_ptr<LuWav>* song) {
    if (finish.preview && !bus->cutPreview(finish.previewStart, finish.previewLength))
        return FinishStatus::OUTSIDE_SONG;
    *song = bus->takeSong();
    return *song ? FinishStatus::DONE : FinishStatus::FAILED;
}
