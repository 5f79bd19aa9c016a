// Where a rendered song goes: the output path proposed for a chart, whether the output can be
// written, and the song written in the format that the output's name asks for.
#ifndef CONVERT_SONG_OUTPUT_H_
#define CONVERT_SONG_OUTPUT_H_

#include <string>

class LuWav;

// The chart's path without its extension, followed by ".wav".
std::string proposeOutputPath(const std::string& chartPath);

// Whether anything is at `path`, a link that leads nowhere included.
bool outputExists(const std::string& path);

// Opens `path` for appending and closes it again, so that a file that is there keeps its
// content; false when it cannot be opened. A file that this made stays until the caller
// removes it.
bool probeOutput(const std::string& path);

// Writes the song to `path`: FLAC, Ogg Vorbis, Opus or MP3 when its name ends so
// (wav/sound_file_writer.h), else WAV. A file that is there is replaced only by a complete
// song.
bool writeSong(const LuWav& song, const std::string& path);

#endif  // CONVERT_SONG_OUTPUT_H_
