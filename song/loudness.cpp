#include "song/loudness.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>
#include <memory>
#include <system_error>
#include <thread>

#include "song/ebur128_state.h"
#include "song/mix_accumulator.h"
#include "wav/wav.h"

namespace {

// The gain aims this far below the ceiling, so that rounding to 16 bits cannot lift the true
// peak of the result past it.
constexpr double PEAK_MARGIN = 0.01;

using State = LuEbur128State;

// Frames handed to the library at a time, one channel's samples copied out of the song.
constexpr int64_t CHUNK_FRAMES = 8192;

// The true peak of one channel of the interleaved stereo song as a factor (1 = full scale).
// The library filters each channel by itself, so one channel alone peaks as it does within
// the pair.
template <typename Sample>
bool measureChannelPeak(const Sample* samples, int64_t frames, int channel, double* peak) {
    State state(ebur128_init(1, 44100, EBUR128_MODE_TRUE_PEAK));
    if (!state) return false;
    Sample chunk[CHUNK_FRAMES];
    for (int64_t done = 0; done < frames; done += CHUNK_FRAMES) {
        const int64_t count = std::min(CHUNK_FRAMES, frames - done);
        for (int64_t i = 0; i < count; ++i) chunk[i] = samples[2 * (done + i) + channel];
        if (LuEbur128AddFrames(state.get(), chunk, static_cast<size_t>(count)) != EBUR128_SUCCESS)
            return false;
    }
    return ebur128_true_peak(state.get(), 0, peak) == EBUR128_SUCCESS;
}

// The integrated loudness over both channels and the true peak of each. The true peak is the
// costliest part, so the right channel's is measured on a second thread meanwhile.
template <typename Sample>
bool measure(const Sample* samples, int64_t frames, LuLoudness* out) {
    double right = 0.0;
    bool rightMeasured = false;
    auto measureRight = [&] { rightMeasured = measureChannelPeak(samples, frames, 1, &right); };
    std::thread rightPass;
    try {
        rightPass = std::thread(measureRight);
    } catch (const std::system_error&) {
        measureRight();
    }
    double integrated = 0.0;
    double left = 0.0;
    State state(ebur128_init(2, 44100, EBUR128_MODE_I));
    const bool ok =
        state &&
        (frames == 0 || LuEbur128AddFrames(state.get(), samples, static_cast<size_t>(frames)) ==
                            EBUR128_SUCCESS) &&
        ebur128_loudness_global(state.get(), &integrated) == EBUR128_SUCCESS &&
        measureChannelPeak(samples, frames, 0, &left);
    if (rightPass.joinable()) rightPass.join();
    if (!ok || !rightMeasured) return false;
    out->integrated = integrated;
    const double peak = std::max(left, right);
    out->truePeak = peak > 0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
    return true;
}

}  // namespace

bool LuMeasureLoudness(const float* samples, int64_t frames, LuLoudness* out) {
    return measure(samples, frames, out);
}

bool LuMeasureLoudness(const int16_t* samples, int64_t frames, LuLoudness* out) {
    return measure(samples, frames, out);
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
