// Encoded song files: FLAC, Ogg Vorbis, Opus and MP3 through libsndfile, chosen by the output's
// name. WAV stays with LuWav::write.
#ifndef SONG_SOUND_FILE_WRITER_H_
#define SONG_SOUND_FILE_WRITER_H_

#include <cstdint>

class LuWav;

enum class LuSoundFormat { WAV, FLAC, VORBIS, OPUS, MP3 };

// The format that the extension of `path` names, ignoring case: .flac, .ogg (Vorbis), .opus,
// .mp3; WAV for any other name.
LuSoundFormat LuSoundFormatOf(const char* path);
// Whether `path` names one of the encoded formats rather than WAV.
bool LuIsEncodedFormat(const char* path);

// The encoders' settings: FLAC 16-bit at libsndfile's default compression (level 5); Vorbis
// at quality 5 (about 160 kbit/s); Opus at 160 kbit/s, resampled to 48000 Hz with libsoxr's
// high quality; MP3 as variable bit rate at quality 2 (about 190 kbit/s). All but Opus keep
// 44100 Hz.
constexpr double LU_VORBIS_QUALITY = 0.5;
constexpr int LU_OPUS_BITRATE = 160000;
constexpr int LU_OPUS_RATE = 48000;
constexpr double LU_MP3_VBR_QUALITY = 2.0;

// Writes `frames` interleaved stereo 44100 Hz frames to `path` in the format that its name
// asks for. Floats hold 1.0 as full scale and go to the lossy encoders as they are; FLAC
// receives them rounded to 16 bits as LuFloatTo16 rounds. The file appears at `path` only once
// complete, through a temporary file beside it; on false an existing file there is untouched
// and nothing is left behind. False as well for a name of the WAV format. Safe to call from
// several threads at once.
bool LuWriteSoundFile(const char* path, const int16_t* samples, int64_t frames);
bool LuWriteSoundFile(const char* path, const float* samples, int64_t frames);
// The same for a 16-bit stereo 44100 Hz sound buffer.
bool LuWriteSoundFile(const char* path, const LuWav& song);

#endif  // SONG_SOUND_FILE_WRITER_H_
