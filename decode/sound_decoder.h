// Decoding key sounds held in memory, each format by its reference library: Ogg Vorbis by
// libvorbisfile, Ogg Opus by libopusfile, and WAV in its wider encodings, AIFF, FLAC and MP3 by
// libsndfile.
#ifndef DECODE_SOUND_DECODER_H_
#define DECODE_SOUND_DECODER_H_

#include <cstddef>
#include <cstdint>

#include "decode/decoded_sound.h"

// Decodes the sound file held in `bytes` (`size` bytes) into `sound`, choosing the decoder by
// the file's content. A damaged or cut-short stream gives every sample its decoder yields, as
// players play it. False when no decoder opens the file, it yields no sample, its rate lies
// below 2100 Hz, or its samples would exceed 2^31 - 1 bytes. With `debug` it prints the format,
// channel_count and frequency lines of the trace. Safe to call from several threads at once.
bool LuDecodeSound(const uint8_t* bytes, size_t size, bool debug, LuDecodedSound* sound);

#endif  // DECODE_SOUND_DECODER_H_
