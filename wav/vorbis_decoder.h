// Decoding Ogg Vorbis key sounds.
#ifndef WAV_VORBIS_DECODER_H_
#define WAV_VORBIS_DECODER_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "wav/pcm.h"

// A decoded Ogg Vorbis stream.
struct LuVorbisSound {
    // The stream's own channel count and rate.
    int channels = 0;
    int frequency = 0;
    // Its samples in 16 bits, more than two channels mixed down by the Vorbis channel order.
    std::unique_ptr<LuDownmix> samples;
};

// Decodes the Ogg Vorbis file held in `bytes` (`size` bytes) into `sound`. False when the
// stream's headers do not decode, its rate is below 2100 Hz or above 2^31 - 1, or its samples
// would exceed 2^31 - 1 bytes; a stream whose audio breaks off keeps what decoded before.
bool LuDecodeVorbis(const uint8_t* bytes, size_t size, LuVorbisSound* sound);

#endif  // WAV_VORBIS_DECODER_H_
