#include "convert/song_finish.h"

#include <cstdio>

#include "wav/loudness.h"
#include "wav/mix_accumulator.h"
#include "wav/preview.h"
#include "wav/wav.h"

FinishStatus finishSong(const SongFinish& finish, LuWav* song) {
    if (finish.preview && !LuCutPreview(finish.previewStart, finish.previewLength, song))
        return FinishStatus::OUTSIDE_SONG;
    return FinishStatus::DONE;
}

FinishStatus finishSong(const SongFinish& finish, bool debug, LuMixAccumulator* mix, LuWav* out) {
    if (finish.preview && !LuCutPreview(finish.previewStart, finish.previewLength, mix))
        return FinishStatus::OUTSIDE_SONG;
    LuLoudness measured;
    double gain = 1.0;
    if (!LuNormalise(*mix, out, &measured, &gain)) return FinishStatus::FAILED;
    if (debug) {
        std::printf("integrated loudness is %lf LUFS\n", measured.integrated);
        std::printf("true peak is %lf dBTP\n", measured.truePeak);
        std::printf("normalising gain is %lf\n", gain);
    }
    return FinishStatus::DONE;
}
