// The last steps of a conversion: the mix bus that suits what is done to the song, and the
// preview window cut from the song before it is taken from the bus.
#ifndef CONVERT_SONG_FINISH_H_
#define CONVERT_SONG_FINISH_H_

#include <cstdint>
#include <memory>
#include <vector>

class LuMixBus;
class LuWav;

// How the preview window's start is given.
enum class PreviewStartForm {
    // `previewStart` seconds into the song.
    SECONDS,
    // `previewStart` percent of the mixed song's length.
    PERCENT,
    // The first key note: the first trigger of a lane that a player presses; the song's start
    // when no such note is mixed (as with the background track alone).
    FIRST_KEY,
    // The window of `previewLength` seconds with the highest short-term loudness
    // (song/loudest_window.h), moved back to the last bar line at or before it; the song's start
    // counts as one.
    LOUDEST,
};

// What is done to the mixed song before it is handed out; left alone, nothing.
struct SongFinish {
    // The mix is summed without saturation and scaled once to the target loudness
    // (song/loudness.h).
    bool normalise = false;
    // Only the window of `previewLength` seconds from `previewStart` on, faded in and out
    // (song/preview.h).
    bool preview = false;
    PreviewStartForm previewForm = PreviewStartForm::SECONDS;
    // Seconds or percent, as `previewForm` says; unused by the other forms.
    double previewStart = 0.0;
    double previewLength = 0.0;
};

// What the mixing learned of the song's time, for the preview forms that depend on it.
struct SongMarks {
    // The frame of the first key note; -1 when none was mixed.
    int64_t firstKey = -1;
    // Where the chart's bars start, in frames, ascending.
    std::vector<int64_t> bars;
};

enum class FinishStatus { DONE, OUTSIDE_SONG, FAILED };

// The bus that the song mixes on: unsaturated floats when it is normalised, else 16 bits that
// saturate as they go. With `debug` set it prints its trace lines.
std::unique_ptr<LuMixBus> makeMixBus(const SongFinish& finish, bool debug);

// The preview window's start in seconds for a song of `songFrames` frames, as `finish` gives
// it; `loudest` is the first frame of the song's loudest window, which only LOUDEST reads. Not
// checked against the song: a start at or past its end is left for the cut to refuse.
double previewStartSeconds(const SongFinish& finish, const SongMarks& marks, int64_t songFrames,
                           int64_t loudest);

// Cuts the mix on `bus` down to the preview window, in place, and takes the song from it into
// `song`; `marks` places the start forms that need them. OUTSIDE_SONG, with the mix untouched,
// when the window starts at or past its end; FAILED when the bus cannot make the song.
FinishStatus finishSong(const SongFinish& finish, const SongMarks& marks, LuMixBus* bus,
                        std::unique_ptr<LuWav>* song);

#endif  // CONVERT_SONG_FINISH_H_
