// The loudest stretch of a song, where a preview may start: short-term loudness (3-second
// blocks, libebur128) read every tenth of a second.
#ifndef SONG_LOUDEST_WINDOW_H_
#define SONG_LOUDEST_WINDOW_H_

#include <cstdint>

// Frames between two readings, and so between two windows that may be chosen.
constexpr int64_t LU_LOUDNESS_STEP = 4410;

// Finds the window of `windowFrames` frames (above 0) with the highest short-term loudness in
// the song's `frames` interleaved stereo 44100 Hz frames, floats with 1.0 as full scale or
// 16-bit samples. Each reading stands for the middle of its block; a window's loudness is the
// summed power of the readings in it, and `first` receives its first frame: a multiple of
// LU_LOUDNESS_STEP that leaves the window within the song where the song is long enough, the
// earliest of equals, 0 for silence. False when the measurement cannot be set up (memory).
bool LuFindLoudestWindow(const float* samples, int64_t frames, int64_t windowFrames,
                         int64_t* first);
bool LuFindLoudestWindow(const int16_t* samples, int64_t frames, int64_t windowFrames,
                         int64_t* first);

#endif  // SONG_LOUDEST_WINDOW_H_
