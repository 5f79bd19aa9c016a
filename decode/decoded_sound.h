// What every key-sound decoder hands over: the stream's layout and its samples in 16 bits.
#ifndef DECODE_DECODED_SOUND_H_
#define DECODE_DECODED_SOUND_H_

#include <memory>

#include "wav/pcm.h"

// The lowest rate that the buffer up-samples.
constexpr int LU_MIN_DECODED_FREQUENCY = 2100;

// A decoded sound before the buffer normalises it.
struct LuDecodedSound {
    // The stream's own channel count and rate.
    int channels = 0;
    int frequency = 0;
    // Its samples in 16 bits, more than two channels mixed down by their positions.
    std::unique_ptr<LuDownmix> samples;
};

#endif  // DECODE_DECODED_SOUND_H_
