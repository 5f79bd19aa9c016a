// The last steps of a conversion, after the mix: the preview window cut from the song and the
// loudness normalisation, with their trace lines.
#ifndef CONVERT_SONG_FINISH_H_
#define CONVERT_SONG_FINISH_H_

class LuMixAccumulator;
class LuWav;

// What is done to the mixed song before it is handed out; left alone, nothing.
struct SongFinish {
    // The mix is summed without saturation and scaled once to the target loudness (wav/loudness.h).
    bool normalise = false;
    // Only the window of `previewLength` seconds from `previewStart` on, faded in and out
    // (wav/preview.h).
    bool preview = false;
    double previewStart = 0.0;
    double previewLength = 0.0;
};

enum class FinishStatus { DONE, OUTSIDE_SONG, FAILED };

// Cuts the saturated mix `song` down to the window, in place. OUTSIDE_SONG, with the song
// untouched, when the window starts at or past its end.
FinishStatus finishSong(const SongFinish& finish, LuWav* song);

// Cuts the unsaturated `mix` down to the window, in place, then measures it and scales it into
// `out` (fresh from construction); with `debug` set, prints the loudness, the true peak and the
// gain. FAILED when measuring fails or memory runs out.
FinishStatus finishSong(const SongFinish& finish, bool debug, LuMixAccumulator* mix, LuWav* out);

#endif  // CONVERT_SONG_FINISH_H_
