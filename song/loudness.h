// Loudness normalisation: the song's integrated loudness and true peak, and the one gain that
// brings it to the target loudness without letting its peaks reach full scale.
#ifndef SONG_LOUDNESS_H_
#define SONG_LOUDNESS_H_

#include <cstdint>

class LuMixAccumulator;
class LuWav;

// The target: integrated loudness in LUFS, and the ceiling for the true peak in dBTP.
constexpr double LU_TARGET_LOUDNESS = -14.0;
constexpr double LU_TRUE_PEAK_CEILING = -1.0;

// What a measurement found in stereo 44100 Hz samples.
struct LuLoudness {
    // Integrated loudness in LUFS; -infinity for silence (nothing above the absolute gate).
    double integrated = 0.0;
    // The higher channel's true peak in dBTP; -infinity when every sample is zero.
    double truePeak = 0.0;
};

// Measures `frames` interleaved stereo frames at 44100 Hz, floats with 1.0 as full scale or
// 16-bit samples. False when the measurement cannot be set up (memory).
bool LuMeasureLoudness(const float* samples, int64_t frames, LuLoudness* out);
bool LuMeasureLoudness(const int16_t* samples, int64_t frames, LuLoudness* out);

// The gain (a factor, not dB) that brings `measured` to LU_TARGET_LOUDNESS, lowered where the
// true peak would otherwise pass LU_TRUE_PEAK_CEILING. Silence has no loudness to correct:
// its gain is 1, as is that of a measurement without a finite loudness or peak.
double LuNormalisingGain(const LuLoudness& measured);

// Measures the mix and scales it into `out` (fresh from construction) as 16-bit samples with
// the normalising gain. `measured` and `gain`, when given, receive what was found and applied.
// False when measuring fails or memory runs out.
bool LuNormalise(const LuMixAccumulator& mix, LuWav* out, LuLoudness* measured = nullptr,
                 double* gain = nullptr);

#endif  // SONG_LOUDNESS_H_
