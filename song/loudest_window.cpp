#include "song/loudest_window.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>
#include <memory>
#include <vector>

#include "song/ebur128_state.h"

namespace {

// Half a short-term block: a reading taken after frame n stands for frame n - HALF_BLOCK.
constexpr int64_t HALF_BLOCK = 66150;
constexpr int64_t READINGS_PER_HALF_BLOCK = HALF_BLOCK / LU_LOUDNESS_STEP;

using State = LuEbur128State;

// The power of the short-term loudness after every LU_LOUDNESS_STEP frames of the song and of
// half a block of silence after it, so that the last readings stand for the song's last frames.
template <typename Sample>
bool readPowers(const Sample* samples, int64_t frames, std::vector<double>* powers) {
    State state(ebur128_init(2, 44100, EBUR128_MODE_S));
    if (!state) return false;
    const std::vector<Sample> silence(static_cast<size_t>(LU_LOUDNESS_STEP) * 2, Sample());
    for (int64_t end = LU_LOUDNESS_STEP; end <= frames + HALF_BLOCK; end += LU_LOUDNESS_STEP) {
        const int64_t from = end - LU_LOUDNESS_STEP;
        const int64_t inSong = std::max<int64_t>(0, std::min(frames - from, LU_LOUDNESS_STEP));
        if (inSong > 0 && LuEbur128AddFrames(state.get(), samples + from * 2,
                                             static_cast<size_t>(inSong)) != EBUR128_SUCCESS)
            return false;
        if (inSong < LU_LOUDNESS_STEP &&
            LuEbur128AddFrames(state.get(), silence.data(),
                               static_cast<size_t>(LU_LOUDNESS_STEP - inSong)) != EBUR128_SUCCESS)
            return false;
        double loudness = 0.0;
        if (ebur128_loudness_shortterm(state.get(), &loudness) != EBUR128_SUCCESS) return false;
        powers->push_back(std::isfinite(loudness) ? std::pow(10.0, loudness / 10.0) : 0.0);
    }
    return true;
}

template <typename Sample>
bool findLoudest(const Sample* samples, int64_t frames, int64_t windowFrames, int64_t* first) {
    std::vector<double> powers;
    if (windowFrames <= 0 || !readPowers(samples, frames, &powers)) return false;
    std::vector<double> sums(powers.size() + 1, 0.0);
    for (size_t k = 0; k < powers.size(); ++k) sums[k + 1] = sums[k] + powers[k];
    const int64_t count = static_cast<int64_t>(powers.size());
    // Reading k stands for frame (k + 1 - READINGS_PER_HALF_BLOCK) * LU_LOUDNESS_STEP, so
    // window j, from frame j * LU_LOUDNESS_STEP, holds the readings from j - 1 +
    // READINGS_PER_HALF_BLOCK on, one per step of its length (at least one).
    const int64_t span =
        std::max<int64_t>(1, (windowFrames + LU_LOUDNESS_STEP - 1) / LU_LOUDNESS_STEP);
    const int64_t last = frames > windowFrames ? (frames - windowFrames) / LU_LOUDNESS_STEP : 0;
    int64_t best = 0;
    double bestSum = -1.0;
    for (int64_t j = 0; j <= last; ++j) {
        const int64_t from = std::min(count, j - 1 + READINGS_PER_HALF_BLOCK);
        const int64_t to = std::min(count, from + span);
        const double sum = sums[static_cast<size_t>(to)] - sums[static_cast<size_t>(from)];
        if (sum > bestSum) {
            bestSum = sum;
            best = j;
        }
    }
    *first = best * LU_LOUDNESS_STEP;
    return true;
}

}  // namespace

bool LuFindLoudestWindow(const float* samples, int64_t frames, int64_t windowFrames,
                         int64_t* first) {
    return findLoudest(samples, frames, windowFrames, first);
}

bool LuFindLoudestWindow(const int16_t* samples, int64_t frames, int64_t windowFrames,
                         int64_t* first) {
    return findLoudest(samples, frames, windowFrames, first);
}
