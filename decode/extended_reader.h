// Reading key sounds in the formats that charts ship today, beyond the PCM WAV files of
// `LuWav::read`.
#ifndef DECODE_EXTENDED_READER_H_
#define DECODE_EXTENDED_READER_H_

class LuWav;

// Loads the sound file at `path` into `wav`, a buffer fresh from construction, choosing the
// decoder by the file's content, whatever its name. RIFF files that `LuWav::read` takes (8 or
// 16-bit PCM, mono or stereo) are read by it, traces included. Every other file goes to its
// format's decoder (decode/sound_decoder.h): WAV in the encodings libsndfile knows (24 or 32-bit
// integer, float, WAVE_FORMAT_EXTENSIBLE, ADPCM, ...), AIFF, FLAC, Ogg Vorbis, Ogg Opus or MP3.
// A damaged or cut-short stream plays as far as its decoder gets through it, as players play it;
// a WAV file whose data chunk claims more bytes than the file holds fails. Samples are rounded
// and clamped to 16 bits, more than two channels mixed down by their positions, and the result
// normalised to 16-bit stereo 44100 Hz as `LuWav::read` does. False on any failure; the buffer
// is then only fit to be destroyed. Safe to call from several threads at once, each with its
// own buffer.
bool LuReadExtended(const char* path, LuWav* wav);

#endif  // DECODE_EXTENDED_READER_H_
