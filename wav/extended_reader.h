// Reading key sounds in the formats that charts ship today, beyond the PCM WAV files of
// `LuWav::read`.
#ifndef WAV_EXTENDED_READER_H_
#define WAV_EXTENDED_READER_H_

class LuWav;

// Loads the sound file at `path` into `wav`, a buffer fresh from construction, choosing the
// decoder by the file's first bytes, whatever its name: "RIFF" files are read as WAV, "OggS"
// files as Ogg Vorbis; anything else fails. WAV files may hold 8, 16, 24 or 32-bit integer
// or 32-bit float samples, plain or WAVE_FORMAT_EXTENSIBLE, in any number of channels; those
// `LuWav::read` takes are read by it. Samples are rounded and clamped to 16 bits, more than two
// channels mixed down by their positions, and the result normalised to 16-bit stereo 44100 Hz
// as `LuWav::read` does. False on any failure; the buffer is then only fit to be destroyed.
bool LuReadExtended(const char* path, LuWav* wav);

#endif  // WAV_EXTENDED_READER_H_
