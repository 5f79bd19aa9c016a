// What the sound buffer's source files share: the fixed format and the checks and views of a
// buffer's block that both the conversions and the mixing kernels use.
#ifndef WAV_BLOCK_H_
#define WAV_BLOCK_H_

#include <cstdint>

#include "wav/wav.h"

namespace wav_block {

// Samples are stored little-endian and accessed as int16_t: every target of this program is a
// little-endian machine.

constexpr int FIXED_FREQUENCY = 44100;

inline int16_t* samplesOf(uint8_t* block) {
    return reinterpret_cast<int16_t*>(block);
}

// A buffer left half-read by a failed `read` may name more bytes than its block holds; the sample
// operations refuse it instead of reaching past the block.
inline bool holdsSamples(const LuWav& wav) {
    return wav.data_size >= 0 && wav.data_size <= wav.memory_size &&
           (wav.memory_size == 0 || wav.data);
}

}  // namespace wav_block

#endif  // WAV_BLOCK_H_
