// Decoding key sounds with libsndfile: WAV in every encoding it knows, AIFF, FLAC, Ogg Vorbis,
// Ogg Opus and MP3, from a file held in memory.
#ifndef WAV_SOUND_DECODER_H_
#define WAV_SOUND_DECODER_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "wav/pcm.h"

// A decoded sound before the buffer normalises it.
struct LuDecodedSound {
    // The stream's own channel count and rate.
    int channels = 0;
    int frequency = 0;
    // Its samples in 16 bits, more than two channels mixed down by their positions.
    std::unique_ptr<LuDownmix> samples;
};

// Decodes the sound file held in `bytes` (`size` bytes) into `sound`, whatever format of those
// above its content shows. Integer samples keep their top 16 bits, rounded; float and lossy
// ones span -1 to 1. False when the file is of another format, does not decode, ends before the
// length its headers give, its rate lies below 2100 Hz, or its samples would exceed 2^31 - 1
// bytes. With `debug` it prints the format, channel_count and frequency lines of the trace.
// Safe to call from several threads at once.
bool LuDecodeSound(const uint8_t* bytes, size_t size, bool debug, LuDecodedSound* sound);

#endif  // WAV_SOUND_DECODER_H_
