// Decoding Ogg Vorbis key sounds with libvorbisfile, the format's reference library, as its own
// command-line decoder does: a hole in the stream is stepped over and decoding goes on.
#ifndef DECODE_VORBIS_DECODER_H_
#define DECODE_VORBIS_DECODER_H_

#include <cstddef>
#include <cstdint>

struct LuDecodedSound;

// Decodes the Ogg Vorbis file held in `bytes` into `sound`: every 16-bit sample that
// libvorbisfile yields, holes skipped, up to the end of the data or the first chained stream of
// another channel count or rate. False when the file does not open as Ogg Vorbis, its rate lies
// below 2100 Hz, it yields no sample, or memory runs out. With `debug` it prints the format,
// channel_count and frequency lines of the trace. Safe to call from several threads at once.
bool LuDecodeVorbis(const uint8_t* bytes, size_t size, bool debug, LuDecodedSound* sound);

#endif  // DECODE_VORBIS_DECODER_H_
