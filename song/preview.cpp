#include "song/preview.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double FRAMES_PER_SECOND = 44100.0;
// Far beyond any song, small enough that frame arithmetic cannot overflow.
constexpr double MAX_SECONDS = 1e12;

int16_t fade(int16_t sample, double gain) {
    const double value = sample * gain;
    return static_cast<int16_t>(value >= 0 ? value + 0.5 : value - 0.5);
}

// Moves the window's frames to the start and fades them.
template <typename Sample, typename Fade>
void cutAndFade(const LuPreviewWindow& window, Sample* samples, Fade fadeSample) {
    if (window.first > 0)
        std::memmove(samples, samples + window.first * 2,
                     static_cast<size_t>(window.count) * 2 * sizeof(Sample));
    for (int64_t i = 0; i < window.fadeIn; ++i) {
        const double gain = LuPreviewGain(window, i);
        samples[2 * i] = fadeSample(samples[2 * i], gain);
        samples[2 * i + 1] = fadeSample(samples[2 * i + 1], gain);
    }
    for (int64_t i = window.count - window.fadeOut; i < window.count; ++i) {
        const double gain = LuPreviewGain(window, i);
        samples[2 * i] = fadeSample(samples[2 * i], gain);
        samples[2 * i + 1] = fadeSample(samples[2 * i + 1], gain);
    }
}

}  // namespace

bool LuFindPreviewWindow(double start, double length, int64_t songFrames, LuPreviewWindow* out) {
    if (!(start >= 0 && start < MAX_SECONDS && length > 0 && length < MAX_SECONDS)) return false;
    const int64_t first = std::llround(start * FRAMES_PER_SECOND);
    const int64_t wanted = std::llround(length * FRAMES_PER_SECOND);
    const int64_t count = std::min(wanted, songFrames - first);
    if (first >= songFrames || count <= 0) return false;
    out->first = first;
    out->count = count;
    out->fadeIn = std::min(LU_PREVIEW_FADE_IN, count / 3);
    out->fadeOut = std::min(LU_PREVIEW_FADE_OUT, count - out->fadeIn);
    return true;
}

double LuPreviewGain(const LuPreviewWindow& window, int64_t frame) {
    const int64_t fromEnd = window.count - 1 - frame;
    if (frame < window.fadeIn) return static_cast<double>(frame) / window.fadeIn;
    if (fromEnd < window.fadeOut) return static_cast<double>(fromEnd) / window.fadeOut;
    return 1.0;
}

void LuFadeWindow(const LuPreviewWindow& window, int16_t* samples) {
    cutAndFade(window, samples, fade);
}

void LuFadeWindow(const LuPreviewWindow& window, float* samples) {
    cutAndFade(window, samples,
               [](float sample, double gain) { return static_cast<float>(sample * gain); });
}
