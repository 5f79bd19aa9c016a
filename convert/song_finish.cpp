#include "convert/song_finish.h"

#include <algorithm>
#include <cmath>

#include "song/mix_bus.h"
#include "wav/wav.h"

namespace {

constexpr double FRAME_RATE = 44100.0;

}  // namespace

std::unique_ptr<LuMixBus> makeMixBus(const SongFinish& finish, bool debug) {
    if (finish.normalise) return std::unique_ptr<LuMixBus>(new LuFloatBus(debug));
    return std::unique_ptr<LuMixBus>(new LuSaturatingBus(debug));
}

double previewStartSeconds(const SongFinish& finish, const SongMarks& marks, int64_t songFrames,
                           int64_t loudest) {
    switch (finish.previewForm) {
        case PreviewStartForm::LOUDEST: {
            const auto after = std::upper_bound(marks.bars.begin(), marks.bars.end(), loudest);
            return after == marks.bars.begin() ? 0.0 : static_cast<double>(after[-1]) / FRAME_RATE;
        }
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
    if (finish.preview) {
        const int64_t frames = bus->frameCount();
        int64_t loudest = 0;
        if (finish.previewForm == PreviewStartForm::LOUDEST && frames > 0) {
            // A window longer than the song is measured as the whole of it.
            const double length = finish.previewLength * FRAME_RATE;
            const int64_t window = length < static_cast<double>(frames)
                                       ? std::max<int64_t>(1, std::llround(length))
                                       : frames;
            if (!bus->findLoudestWindow(window, &loudest)) return FinishStatus::FAILED;
        }
        if (!bus->cutPreview(previewStartSeconds(finish, marks, frames, loudest),
                             finish.previewLength))
            return FinishStatus::OUTSIDE_SONG;
    }
    *song = bus->takeSong();
    return *song ? FinishStatus::DONE : FinishStatus::FAILED;
}
