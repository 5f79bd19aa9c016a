#include "wav/loudness.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>
#include <memory>

#include "wav/mix_accumulator.h"
#include "wav/wav.h"

namespace {

// The gain aims this far below the ceiling, so that rounding to 16 bits cannot lift the true
// peak of the result past it.
constexpr double PEAK_MARGIN = 0.01;

struct DestroyState {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
using State = std::unique_ptr<ebur128_state, DestroyState>;

State newState() {
    return State(ebur128_init(2, 44100, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK));
}

bool readResults(ebur128_state* state, LuLoudness* out) {
    double integrated = 0.0;
    double left = 0.0;
    double right = 0.0;
    if (ebur128_loudness_global(state, &integrated) != EBUR128_SUCCESS ||
        ebur128_true_peak(state, 0, &left) != EBUR128_SUCCESS ||
        ebur128_true_peak(state, 1, &right) != EBUR128_SUCCESS)
        return false;
    out->integrated = integrated;
    const double peak = std::max(left, right);
    out->truePeak = peak > 0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
    return true;
}

}  // namespace

bool LuMeasureLoudness(const float* samples, int64_t frames, LuLoudness* out) {
    State state = newState();
    if (!state) return false;
    if (frames > 0 && ebur128_add_frames_float(state.get(), samples, static_cast<size_t>(frames)) !=
                          EBUR128_SUCCESS)
        return false;
    return readResults(state.get(), out);
}

bool LuMeasureLoudness(const int16_t* samples, int64_t frames, LuLoudness* out) {
    State state = newState();
    if (!state) return false;
    if (frames > 0 && ebur128_add_frames_short(state.get(), samples, static_cast<size_t>(frames)) !=
                          EBUR128_SUCCESS)
        return false;
    return readResults(state.get(), out);
}

double LuNormalisingGain(const LuLoudness& measured) {
    if (!std::isfinite(measured.integrated) || !std::isfinite(measured.truePeak)) return 1.0;
    const double toTarget = LU_TARGET_LOUDNESS - measured.integrated;
    const double toCeiling = LU_TRUE_PEAK_CEILING - PEAK_MARGIN - measured.truePeak;
    return std::pow(10.0, std::min(toTarget, toCeiling) / 20.0);
}

bool LuNormalise(const LuMixAccumulator& mix, LuWav* out, LuLoudness* measured, double* gain) {
    LuLoudness found;
    if (!LuMeasureLoudness(mix.samples(), mix.frameCount(), &found)) return false;
    const double applied = LuNormalisingGain(found);
    if (measured) *measured = found;
    if (gain) *gain = applied;
    return mix.toWav(applied, out);
}
