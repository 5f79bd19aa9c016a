// Decoding key sounds with libsndfile: WAV in every encoding it knows, AIFF, FLAC and MP3.
#ifndef DECODE_SNDFILE_DECODER_H_
#define DECODE_SNDFILE_DECODER_H_

#include <cstddef>
#include <cstdint>

struct LuDecodedSound;

// Decodes the file held in `bytes` as `LuDecodeSound` does, through libsndfile. Integer samples
// keep their top 16 bits, rounded; float and lossy ones span -1 to 1. MP3 encoder delay and
// padding are trimmed where the file's info tag records them.
bool LuDecodeWithSndfile(const uint8_t* bytes, size_t size, bool debug, LuDecodedSound* sound);

#endif  // DECODE_SNDFILE_DECODER_H_
