#include "decode/sndfile_decoder.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sndfile.h>
#include <string>
#include <vector>

#include "decode/decoded_sound.h"
#include "decode/memory_file.h"

namespace {

// Frames asked of the decoder at a time.
constexpr sf_count_t CHUNK_FRAMES = 4096;

sf_count_t lengthOf(void* user) {
    return static_cast<LuMemoryFile*>(user)->size;
}

sf_count_t seekIn(sf_count_t offset, int whence, void* user) {
    LuMemoryFile& file = *static_cast<LuMemoryFile*>(user);
    return file.seek(offset, whence) ? file.position : -1;
}

sf_count_t readFrom(void* target, sf_count_t count, void* user) {
    return static_cast<LuMemoryFile*>(user)->read(target, count);
}

sf_count_t writeTo(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t tellIn(void* user) {
    return static_cast<LuMemoryFile*>(user)->position;
}

struct SoundFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SoundFile = std::unique_ptr<SNDFILE, SoundFileCloser>;

// The containers taken, with the name the trace gives them.
const char* containerName(int format) {
    switch (format & SF_FORMAT_TYPEMASK) {
        case SF_FORMAT_WAV:
        case SF_FORMAT_WAVEX:
            return "wav";
        case SF_FORMAT_AIFF:
            return "aiff";
        case SF_FORMAT_FLAC:
            return "flac";
        case SF_FORMAT_OGG:
            return "ogg";
        case SF_FORMAT_MPEG:
            return "mp3";
        default:
            return nullptr;
    }
}

// libsndfile's name of the file's encoding in lower case, as the trace prints it ("vorbis",
// "signed 24 bit pcm", "mpeg layer iii").
std::string encodingName(int format) {
    SF_FORMAT_INFO encoding;
    std::memset(&encoding, 0, sizeof encoding);
    encoding.format = format & SF_FORMAT_SUBMASK;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &encoding, sizeof encoding) != 0 || !encoding.name)
        return "?";
    std::string name = encoding.name;
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// Encodings whose samples libsndfile hands over as floats from -1 to 1; the others are
// integers, read left-aligned in 32 bits.
bool isReal(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE:
        case SF_FORMAT_VORBIS:
        case SF_FORMAT_OPUS:
        case SF_FORMAT_MPEG_LAYER_I:
        case SF_FORMAT_MPEG_LAYER_II:
        case SF_FORMAT_MPEG_LAYER_III:
            return true;
        default:
            return false;
    }
}

// The side of a channel that libsndfile names; false for positions that are no speaker.
bool sideOf(int position, LuSide* side) {
    switch (position) {
        case SF_CHANNEL_MAP_LEFT:
        case SF_CHANNEL_MAP_FRONT_LEFT:
        case SF_CHANNEL_MAP_REAR_LEFT:
        case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER:
        case SF_CHANNEL_MAP_SIDE_LEFT:
        case SF_CHANNEL_MAP_TOP_FRONT_LEFT:
        case SF_CHANNEL_MAP_TOP_REAR_LEFT:
            *side = LuSide::LEFT;
            return true;
        case SF_CHANNEL_MAP_RIGHT:
        case SF_CHANNEL_MAP_FRONT_RIGHT:
        case SF_CHANNEL_MAP_REAR_RIGHT:
        case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER:
        case SF_CHANNEL_MAP_SIDE_RIGHT:
        case SF_CHANNEL_MAP_TOP_FRONT_RIGHT:
        case SF_CHANNEL_MAP_TOP_REAR_RIGHT:
            *side = LuSide::RIGHT;
            return true;
        case SF_CHANNEL_MAP_MONO:
        case SF_CHANNEL_MAP_CENTER:
        case SF_CHANNEL_MAP_FRONT_CENTER:
        case SF_CHANNEL_MAP_REAR_CENTER:
        case SF_CHANNEL_MAP_LFE:
        case SF_CHANNEL_MAP_TOP_CENTER:
        case SF_CHANNEL_MAP_TOP_FRONT_CENTER:
        case SF_CHANNEL_MAP_TOP_REAR_CENTER:
            *side = LuSide::MIDDLE;
            return true;
        default:
            return false;
    }
}

// Where the channels sit: libsndfile's channel map where the file gives one, else the order
// that the format fixes (FLAC's is that of the WAVE speaker masks), else unknown (empty).
std::vector<LuSide> sidesOf(SNDFILE* file, int format, int channels) {
    if (channels <= 2) return {};
    std::vector<int> map(static_cast<size_t>(channels));
    if (sf_command(file, SFC_GET_CHANNEL_MAP_INFO, map.data(),
                   static_cast<int>(map.size() * sizeof(int))) == SF_TRUE) {
        std::vector<LuSide> sides(map.size());
        for (size_t c = 0; c < map.size(); ++c) {
            if (!sideOf(map[c], &sides[c])) return {};
        }
        return sides;
    }
    switch (format & SF_FORMAT_TYPEMASK) {
        case SF_FORMAT_OGG:
            return LuSidesOfVorbis(channels);
        case SF_FORMAT_FLAC: {
            static const uint32_t FLAC_MASKS[9] = {0, 0, 0, 0x7, 0x33, 0x37, 0x3F, 0x70F, 0x63F};
            return channels <= 8 ? LuSidesOfMask(channels, FLAC_MASKS[channels])
                                 : std::vector<LuSide>{};
        }
        default:
            return {};
    }
}

// `value` in 16-bit units rounded to the nearest sample, halves away from zero, and clamped;
// NaN gives 0. Scaled by a power of two, the doubles stay exact, so this rounds as
// `LuRoundToSample` does, without its long double.
inline int16_t toSample(double value) {
    if (!(value == value)) return 0;
    if (value >= 32767) return 32767;
    if (value <= -32768) return -32768;
    return static_cast<int16_t>(std::lround(value));
}

// Reads every frame of `file` into `samples`, a chunk at a time, each sample converted to 16
// bits; false when memory runs out. A decoding error ends the sound where it happened.
bool readFrames(SNDFILE* file, int channels, bool real, LuDownmix* samples) {
    const size_t chunk = static_cast<size_t>(CHUNK_FRAMES) * channels;
    std::vector<int16_t> block(chunk);
    std::vector<double> reals(real ? chunk : 0);
    std::vector<int> integers(real ? 0 : chunk);
    for (;;) {
        const sf_count_t count = real ? sf_readf_double(file, reals.data(), CHUNK_FRAMES)
                                      : sf_readf_int(file, integers.data(), CHUNK_FRAMES);
        if (count <= 0) return true;
        const size_t values = static_cast<size_t>(count) * channels;
        if (real) {
            for (size_t i = 0; i < values; ++i) block[i] = toSample(reals[i] * 32768.0);
        } else {
            for (size_t i = 0; i < values; ++i) block[i] = toSample(integers[i] / 65536.0);
        }
        if (!samples->addFrames(block.data(), count)) return false;
    }
}

}  // namespace

bool LuDecodeWithSndfile(const uint8_t* bytes, size_t size, bool debug, LuDecodedSound* sound) {
    LuMemoryFile memory(bytes, size);
    SF_VIRTUAL_IO io = {lengthOf, seekIn, readFrom, writeTo, tellIn};
    SF_INFO info;
    std::memset(&info, 0, sizeof info);
    SoundFile file(sf_open_virtual(&io, SFM_READ, &info, &memory));
    if (!file) return false;
    const char* container = containerName(info.format);
    if (!container || info.channels < 1 || info.samplerate < LU_MIN_DECODED_FREQUENCY) return false;
    if (debug) {
        std::printf("%s %s\n", container, encodingName(info.format).c_str());
        std::printf("channel_count = %d\n", info.channels);
        std::printf("frequency = %d\n", info.samplerate);
    }

    sound->channels = info.channels;
    sound->frequency = info.samplerate;
    sound->samples.reset(
        new LuDownmix(info.channels, sidesOf(file.get(), info.format, info.channels)));
    sf_command(file.get(), SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);
    if (!readFrames(file.get(), info.channels, isReal(info.format), sound->samples.get()))
        return false;
    return sound->samples->getCount() > 0;
}
