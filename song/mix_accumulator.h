// The unsaturated mix: key sounds summed without clipping, for a song that is scaled once
// after mixing instead of saturating at every sound.
#ifndef SONG_MIX_ACCUMULATOR_H_
#define SONG_MIX_ACCUMULATOR_H_

#include <cstdint>
#include <cstdlib>
#include <memory>

class LuWav;

// Float samples throughout the output side hold 16-bit values divided by 32768, so 1.0 is full
// scale and every 16-bit sample converts exactly.
constexpr float LU_FLOAT_SCALE = 32768.0f;

// Scales `count` float samples by `gain` into 16-bit samples, rounding halves away from zero
// and clamping to -32768..32767.
void LuFloatTo16(const float* samples, int64_t count, double gain, int16_t* out);

// A stereo mix at 44100 Hz held as floats (1.0 = full scale). `mixin` and `deduct` take the
// same arguments, succeed and fail in the same cases and grow the mix to the same length as
// LuWav's, but add and subtract without saturation: sums beyond full scale are kept. Sums of
// up to 512 full-scale sounds are exact. Lengths count in the bytes that the mix would take as
// 16-bit samples, as LuWav's `data_size` does, so both limits agree (2^31 - 1).
class LuMixAccumulator {
public:
    // When set, growing and mixing print the trace lines that LuWav prints for them, with the
    // block's size counted in bytes of 16-bit samples.
    bool debug = false;
    void setDebug(bool flag) { debug = flag; }

    // Empties the mix and makes room for 1024 bytes' worth of samples without a trace, as
    // LuWav::reset does. False when memory runs out.
    bool reset();

    // Makes room for `size` bytes' worth of samples; a hint, false when it cannot be had.
    bool extend(int64_t size);

    // Adds `source` so that its first frame lands on frame `position`. False, with nothing
    // changed, where LuWav::mixin fails.
    bool mixin(int position, const LuWav& source);

    // Subtracts `source` from its frame `skip` on so that frame `skip` lands on frame
    // `position`. False, with nothing changed, where LuWav::deduct fails.
    bool deduct(int position, const LuWav& source, int skip);

    // The length in bytes of 16-bit samples, as LuWav's `data_size` after the same calls.
    int getDataSize() const { return data_size; }
    // Whole stereo frames in the mix.
    int64_t frameCount() const { return data_size / 4; }
    // The samples, interleaved left and right; frameCount() * 2 of them are valid.
    float* samples() { return block.get(); }
    const float* samples() const { return block.get(); }

    // Keeps only `count` frames from frame `first` on, moved to the start; the range must lie
    // within the mix.
    void keepFrames(int64_t first, int64_t count);

    // Fills `out` (a buffer fresh from construction) with the mix scaled by `gain`, rounded and
    // clamped to 16 bits, `data_size` bytes long. False when memory runs out.
    bool toWav(double gain, LuWav* out) const;

private:
    struct FreeBlock {
        void operator()(float* samples) const { std::free(samples); }
    };
    std::unique_ptr<float[], FreeBlock> block;
    // Samples the block holds.
    int64_t capacity = 0;
    int data_size = 0;

    int memorySize() const;
};

#endif  // SONG_MIX_ACCUMULATOR_H_
