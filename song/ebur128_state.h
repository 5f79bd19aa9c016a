// A libebur128 measurement as the loudness passes of the song share it: its state freed on
// scope exit, and frames added whether the song holds floats or 16-bit samples.
#ifndef SONG_EBUR128_STATE_H_
#define SONG_EBUR128_STATE_H_

#include <cstddef>
#include <cstdint>
#include <ebur128.h>
#include <memory>

struct LuEbur128Destroy {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
using LuEbur128State = std::unique_ptr<ebur128_state, LuEbur128Destroy>;

inline int LuEbur128AddFrames(ebur128_state* state, const float* samples, size_t frames) {
    return ebur128_add_frames_float(state, samples, frames);
}
inline int LuEbur128AddFrames(ebur128_state* state, const int16_t* samples, size_t frames) {
    return ebur128_add_frames_short(state, samples, frames);
}

#endif  // SONG_EBUR128_STATE_H_
