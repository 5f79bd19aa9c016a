// Decoding key sounds held in memory, each format by its reference library: Ogg Vorbis by
// libvorbisfile, Ogg Opus by libopusfile, and WAV in its wider encodings, AIFF, FLAC and MP3 by
// libsndfile.
#ifndef DECODE_SOUND_DECODER_H_
#define DECODE_SOUND_DECODER_H_

#include <cstddef>
#include <cstdint>
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

// Decodes the sound file held in `bytes` (`size` bytes) into `sound`, choosing the decoder by
// the file's content. A damaged or cut-short stream gives every sample its decoder yields, as
// players play it. False when no decoder opens the file, it yields no sample, its rate lies
// below 2100 Hz, or its samples would exceed 2^31 - 1 bytes. With `debug` it prints the format,
// channel_count and frequency lines of the trace. Safe to call from several threads at once.
bool LuDecodeSound(const uint8_t* bytes, size_t size, bool debug, LuDecodedSound* sound);

#endif  // DECODE_SOUND_DECODER_H_
