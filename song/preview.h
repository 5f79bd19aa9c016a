// Preview files: one window of the song, faded in and out, instead of the whole song.
#ifndef SONG_PREVIEW_H_
#define SONG_PREVIEW_H_

#include <cstdint>

// Fade lengths in frames at 44100 Hz: one second in, two seconds out.
constexpr int64_t LU_PREVIEW_FADE_IN = 44100;
constexpr int64_t LU_PREVIEW_FADE_OUT = 88200;

// The frames of a preview window within a song.
struct LuPreviewWindow {
    int64_t first = 0;
    int64_t count = 0;
    // The linear fades at its start and end; they never overlap. A window shorter than the
    // two fades together gives a third of its frames to the fade-in, the rest to the fade-out.
    int64_t fadeIn = 0;
    int64_t fadeOut = 0;
};

// The window that starts `start` seconds into a song of `songFrames` frames and lasts `length`
// seconds, cut short at the song's end. False when `start` is negative, `length` is not
// positive, either is not a finite number, or the window starts at or past the song's end: a
// preview of nothing is an error, not an empty file.
bool LuFindPreviewWindow(double start, double length, int64_t songFrames, LuPreviewWindow* out);

// The fade's gain at frame `frame` of the window: rising from 0 at the first frame to 1 after
// the fade-in, falling back to 0 at the last frame.
double LuPreviewGain(const LuPreviewWindow& window, int64_t frame);

// Moves the window's frames to the start of the song's interleaved stereo `samples` and fades
// them; 16-bit samples are rounded half away from zero. What lies past the window is left as it
// was. The buses cut their previews with these (LuMixBus::cutPreview).
void LuFadeWindow(const LuPreviewWindow& window, int16_t* samples);
void LuFadeWindow(const LuPreviewWindow& window, float* samples);

#endif  // SONG_PREVIEW_H_
