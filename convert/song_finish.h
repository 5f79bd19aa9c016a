// The last steps of a conversion: the mix bus that suits what is done to the song, and the
// preview window cut from the song before it is taken from the bus.
#ifndef CONVERT_SONG_FINISH_H_
#define CONVERT_SONG_FINISH_H_

#include <memory>

class LuMixBus;
class LuWav;

// What is done to the mixed song before it is handed out; left alone, nothing.
struct SongFinish {
    // The mix is summed without saturation and scaled once to the target loudness
    // (song/loudness.h).
    bool normalise = false;
    // Only the window of `previewLength` seconds from `previewStart` on, faded in and out
    // (song/preview.h).
    bool preview = false;
    double previewStart = 0.0;
    double previewLength = 0.0;
};

enum class FinishStatus { DONE, OUTSIDE_SONG, FAILED };

// The bus that the song mixes on: unsaturated floats when it is normalised, else 16 bits that
// saturate as they go. With `debug` set it prints its trace lines.
std::unique_ptr<LuMixBus> makeMixBus(const SongFinish& finish, bool debug);

// Cuts the mix on `bus` down to the preview window, in place, and takes the song from it into
// `song`. OUTSIDE_SONG, with the mix untouched, when the window starts at or past its end;
// FAILED when the bus cannot make the song.
FinishStatus finishSong(const SongFinish& finish, LuMixBus* bus, std::unique_ptr<LuWav>* song);

#endif  // CONVERT_SONG_FINISH_H_
