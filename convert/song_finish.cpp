#include "convert/song_finish.h"

#include "song/mix_bus.h"
#include "wav/wav.h"

namespace {

constexpr double FRAME_RATE = 44100.0;

}  // namespace

std::unique_ptr<LuMixBus> makeMixBus(const SongFinish& finish, bool debug) {
    if (finish.normalise) return std::unique_ptr<LuMixBus>(new LuFloatBus(debug));
    return std::unique_ptr<LuMixBus>(new LuSaturatingBus(debug));
}

double previewStartSeconds(const SongFinish& finish, const SongMarks& marks, int64_t songFrames) {
    switch (finish.previewForm) {
        case PreviewStartForm::PERCENT:
            return finish.previewStart / 100.0 * static_cast<double>(songFrames) / FRAME_RATE;
        case PreviewStartForm::FIRST_KEY:
            return marks.firstKey < 0 ? 0.0 : static_cast<double>(marks.firstKey) / FRAME_RATE;
        case PreviewStartForm::SECONDS:
            break;
    }
    return finish.previewStart;
}

FinishStatus finishSong(const SongFinish& finish, const SongMarks& marks, LuMixBus* bus,
                        std::unique_ptr<LuWav>* song) {
    if (finish.preview && !bus->cutPreview(previewStartSeconds(finish, marks, bus->frameCount()),
                                           finish.previewLength))
        return FinishStatus::OUTSIDE_SONG;
    *song = bus->takeSong();
    return *song ? FinishStatus::DONE : FinishStatus::FAILED;
}
