// Decoding Ogg Opus key sounds with libopusfile, the format's reference library: 48000 Hz,
// the header's output gain applied, loud passages soft-clipped rather than cut off, no dither.
#ifndef DECODE_OPUS_DECODER_H_
#define DECODE_OPUS_DECODER_H_

#include <cstddef>
#include <cstdint>

struct LuDecodedSound;

// Decodes the Ogg Opus file held in `bytes` into `sound`: every 16-bit sample that libopusfile
// yields, holes skipped, up to the end of the data or the first chained stream of another
// channel count. False when the file does not open as Ogg Opus, it yields no sample, or memory
// runs out. With `debug` it prints the format, channel_count and frequency lines of the trace.
// Safe to call from several threads at once.
bool LuDecodeOpus(const uint8_t* bytes, size_t size, bool debug, LuDecodedSound* sound);

#endif  // DECODE_OPUS_DECODER_H_
