#include "song/sound_file_writer.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <sndfile.h>
#include <soxr.h>
#include <string>
#include <vector>

#include "song/mix_accumulator.h"
#include "wav/replacing_file.h"
#include "wav/wav.h"

namespace {

constexpr int RATE = 44100;
constexpr int64_t CHUNK_FRAMES = 8192;

// The temporary file as libsndfile sees it; a failed write is remembered, since not every
// encoder reports one.
struct Stream {
    std::FILE* file;
    bool failed = false;
};

int64_t tellOf(std::FILE* file) {
#ifdef _WIN32
    return _ftelli64(file);
#else
    return ftello(file);
#endif
}

bool seekTo(std::FILE* file, int64_t offset, int whence) {
#ifdef _WIN32
    return _fseeki64(file, offset, whence) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), whence) == 0;
#endif
}

sf_count_t streamLength(void* user) {
    std::FILE* file = static_cast<Stream*>(user)->file;
    const int64_t position = tellOf(file);
    if (position < 0 || !seekTo(file, 0, SEEK_END)) return -1;
    const int64_t end = tellOf(file);
    if (!seekTo(file, position, SEEK_SET)) return -1;
    return end;
}

sf_count_t streamSeek(sf_count_t offset, int whence, void* user) {
    std::FILE* file = static_cast<Stream*>(user)->file;
    if (!seekTo(file, offset, whence)) return -1;
    return tellOf(file);
}

sf_count_t streamRead(void* bytes, sf_count_t count, void* user) {
    return static_cast<sf_count_t>(
        std::fread(bytes, 1, static_cast<size_t>(count), static_cast<Stream*>(user)->file));
}

sf_count_t streamWrite(const void* bytes, sf_count_t count, void* user) {
    Stream* stream = static_cast<Stream*>(user);
    const size_t written = std::fwrite(bytes, 1, static_cast<size_t>(count), stream->file);
    if (written != static_cast<size_t>(count)) stream->failed = true;
    return static_cast<sf_count_t>(written);
}

sf_count_t streamTell(void* user) {
    return tellOf(static_cast<Stream*>(user)->file);
}

std::string lowerExtension(const char* path) {
    const char* dot = std::strrchr(path, '.');
    const char* slash = std::max(std::strrchr(path, '/'), std::strrchr(path, '\\'));
    if (!dot || (slash && dot < slash)) return "";
    std::string extension(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

int sndfileFormat(LuSoundFormat format) {
    switch (format) {
        case LuSoundFormat::FLAC:
            return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        case LuSoundFormat::VORBIS:
            return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
        case LuSoundFormat::OPUS:
            return SF_FORMAT_OGG | SF_FORMAT_OPUS;
        case LuSoundFormat::MP3:
            return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
        default:
            return 0;
    }
}

// Each encoder's quality, set before the first sample.
bool configure(SNDFILE* sound, LuSoundFormat format) {
    double level = 0.0;
    switch (format) {
        case LuSoundFormat::VORBIS:
            // libsndfile's compression level runs opposite to Vorbis quality, 0 to 1.
            level = 1.0 - LU_VORBIS_QUALITY;
            return sf_command(sound, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) == SF_TRUE;
        case LuSoundFormat::OPUS: {
            // libsndfile maps the level to 6 to 256 kbit/s per channel.
            level = 1.0 - (LU_OPUS_BITRATE / 2 - 6000) / 250000.0;
            int rate = RATE;
            return sf_command(sound, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) == SF_TRUE &&
                   sf_command(sound, SFC_SET_ORIGINAL_SAMPLERATE, &rate, sizeof rate) == SF_TRUE;
        }
        case LuSoundFormat::MP3: {
            // The level is LAME's VBR quality divided by ten; set before the mode, which reads
            // it back.
            level = LU_MP3_VBR_QUALITY / 10.0;
            int mode = SF_BITRATE_MODE_VARIABLE;
            return sf_command(sound, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) == SF_TRUE &&
                   sf_command(sound, SFC_SET_BITRATE_MODE, &mode, sizeof mode) == SF_TRUE;
        }
        default:
            return true;
    }
}

struct CloseSound {
    void operator()(SNDFILE* sound) const { sf_close(sound); }
};
using Sound = std::unique_ptr<SNDFILE, CloseSound>;

struct DeleteResampler {
    void operator()(soxr_t resampler) const { soxr_delete(resampler); }
};
using Resampler = std::unique_ptr<soxr, DeleteResampler>;

// Feeds the encoder one chunk at a time in the sample type that suits it: 16-bit samples for
// FLAC, floats for the lossy encoders, through the resampler for Opus.
class Encoder {
public:
    Encoder(SNDFILE* sound, LuSoundFormat format) : sound(sound), format(format) {}

    bool start() {
        if (format != LuSoundFormat::OPUS) return true;
        soxr_error_t error = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        resampler.reset(soxr_create(RATE, LU_OPUS_RATE, 2, &error, &io, &quality, nullptr));
        return resampler && !error;
    }

    bool write(const int16_t* samples, int64_t frames) {
        if (format == LuSoundFormat::FLAC) return sf_writef_short(sound, samples, frames) == frames;
        floats.resize(static_cast<size_t>(frames) * 2);
        for (size_t i = 0; i < floats.size(); ++i) floats[i] = samples[i] / LU_FLOAT_SCALE;
        return writeFloats(floats.data(), frames);
    }

    bool write(const float* samples, int64_t frames) {
        if (format != LuSoundFormat::FLAC) return writeFloats(samples, frames);
        shorts.resize(static_cast<size_t>(frames) * 2);
        LuFloatTo16(samples, frames * 2, 1.0, shorts.data());
        return sf_writef_short(sound, shorts.data(), frames) == frames;
    }

    // Drains the resampler's last frames.
    bool finish() { return !resampler || resample(nullptr, 0); }

private:
    bool writeFloats(const float* samples, int64_t frames) {
        if (resampler) return resample(samples, frames);
        return sf_writef_float(sound, samples, frames) == frames;
    }

    // Resamples `frames` frames, or flushes the resampler when `samples` is null.
    bool resample(const float* samples, int64_t frames) {
        const size_t room = static_cast<size_t>(CHUNK_FRAMES) * LU_OPUS_RATE / RATE + 64;
        resampled.resize(room * 2);
        size_t left = static_cast<size_t>(frames);
        for (;;) {
            size_t used = 0;
            size_t made = 0;
            if (soxr_process(resampler.get(), samples, left, &used, resampled.data(), room, &made))
                return false;
            const sf_count_t count = static_cast<sf_count_t>(made);
            if (made > 0 && sf_writef_float(sound, resampled.data(), count) != count) return false;
            if (samples) {
                samples += used * 2;
                left -= used;
                if (left == 0 && made < room) return true;
            } else if (made == 0) {
                return true;
            }
        }
    }

    SNDFILE* sound;
    LuSoundFormat format;
    Resampler resampler;
    std::vector<float> floats;
    std::vector<int16_t> shorts;
    std::vector<float> resampled;
};

template <typename Sample>
bool writeSamples(const char* path, const Sample* samples, int64_t frames) {
    const LuSoundFormat format = LuSoundFormatOf(path);
    if (format == LuSoundFormat::WAV || frames < 0 || (frames > 0 && !samples)) return false;
    LuReplacingFile output;
    if (!output.open(path)) return false;
    Stream stream{output.get()};
    SF_VIRTUAL_IO io = {streamLength, streamSeek, streamRead, streamWrite, streamTell};
    SF_INFO info = {};
    info.samplerate = format == LuSoundFormat::OPUS ? LU_OPUS_RATE : RATE;
    info.channels = 2;
    info.format = sndfileFormat(format);
    Sound sound(sf_open_virtual(&io, SFM_WRITE, &info, &stream));
    if (!sound || !configure(sound.get(), format)) return false;
    Encoder encoder(sound.get(), format);
    if (!encoder.start()) return false;
    for (int64_t done = 0; done < frames; done += CHUNK_FRAMES) {
        const int64_t count = std::min(CHUNK_FRAMES, frames - done);
        if (!encoder.write(samples + done * 2, count) || stream.failed) return false;
    }
    if (!encoder.finish()) return false;
    if (sf_close(sound.release()) != 0 || stream.failed) return false;
    return output.commit();
}

}  // namespace

LuSoundFormat LuSoundFormatOf(const char* path) {
    const std::string extension = lowerExtension(path);
    if (extension == "flac") return LuSoundFormat::FLAC;
    if (extension == "ogg") return LuSoundFormat::VORBIS;
    if (extension == "opus") return LuSoundFormat::OPUS;
    if (extension == "mp3") return LuSoundFormat::MP3;
    return LuSoundFormat::WAV;
}

bool LuIsEncodedFormat(const char* path) {
    return LuSoundFormatOf(path) != LuSoundFormat::WAV;
}

bool LuWriteSoundFile(const char* path, const int16_t* samples, int64_t frames) {
    return writeSamples(path, samples, frames);
}

bool LuWriteSoundFile(const char* path, const float* samples, int64_t frames) {
    return writeSamples(path, samples, frames);
}

bool LuWriteSoundFile(const char* path, const LuWav& song) {
    if (song.data_size < 0 || song.data_size > song.memory_size || song.channel_count != 2 ||
        song.frequency != RATE || song.bit_rate != 16)
        return false;
    return LuWriteSoundFile(path, reinterpret_cast<const int16_t*>(song.data.get()),
                            song.data_size / 4);
}
