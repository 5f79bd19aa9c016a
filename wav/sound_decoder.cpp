#include "wav/sound_decoder.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <sndfile.h>
#include <string>
#include <vector>

namespace {

constexpr int MIN_FREQUENCY = 2100;
// Frames asked of the decoder at a time.
constexpr sf_count_t CHUNK_FRAMES = 4096;

// A file in memory as libsndfile's virtual I/O reads it.
struct MemoryFile {
    const uint8_t* bytes;
    sf_count_t size;
    sf_count_t position;
};

sf_count_t lengthOf(void* user) {
    return static_cast<MemoryFile*>(user)->size;
}

sf_count_t seekIn(sf_count_t offset, int whence, void* user) {
    MemoryFile& file = *static_cast<MemoryFile*>(user);
    const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file.position : file.size;
    if (offset < -base || offset > file.size - base) return -1;
    file.position = base + offset;
    return file.position;
}

sf_count_t readFrom(void* target, sf_count_t count, void* user) {
    MemoryFile& file = *static_cast<MemoryFile*>(user);
    if (count < 0) return 0;
    if (count > file.size - file.position) count = file.size - file.position;
    if (count > 0) std::memcpy(target, file.bytes + file.position, static_cast<size_t>(count));
    file.position += count;
    return count;
}

sf_count_t writeTo(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t tellIn(void* user) {
    return static_cast<MemoryFile*>(user)->position;
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

// Whether an MP3 file carries the Xing or LAME info tag in its first frame: only then is the
// length libsndfile gives exact rather than estimated from the file's size. The tag sits after
// the frame header and its side information (9, 17 or 32 bytes), after any ID3v2 tag.
bool hasLengthTag(const uint8_t* bytes, size_t size) {
    size_t offset = 0;
    if (size >= 10 && std::memcmp(bytes, "ID3", 3) == 0) {
        offset = 10 + (static_cast<size_t>(bytes[6] & 0x7F) << 21 | (bytes[7] & 0x7F) << 14 |
                       (bytes[8] & 0x7F) << 7 | (bytes[9] & 0x7F));
        if (bytes[5] & 0x10) offset += 10;
    }
    for (size_t side : {9, 17, 32}) {
        const size_t at = offset + 4 + side;
        if (at > size || size - at < 4) break;
        if (std::memcmp(bytes + at, "Xing", 4) == 0 || std::memcmp(bytes + at, "Info", 4) == 0)
            return true;
    }
    return false;
}

// Reads every frame of `file` into `samples`, converting each sample to 16 bits; false when the
// decoder reports an error or memory runs out. `frames` counts the frames read.
bool readFrames(SNDFILE* file, int channels, bool real, LuDownmix* samples, sf_count_t* frames) {
    const size_t chunk = static_cast<size_t>(CHUNK_FRAMES) * channels;
    std::vector<int16_t> frame(static_cast<size_t>(channels));
    std::vector<double> reals(real ? chunk : 0);
    std::vector<int> integers(real ? 0 : chunk);
    *frames = 0;
    for (;;) {
        const sf_count_t count = real ? sf_readf_double(file, reals.data(), CHUNK_FRAMES)
                                      : sf_readf_int(file, integers.data(), CHUNK_FRAMES);
        if (count <= 0) break;
        for (sf_count_t i = 0; i < count; ++i) {
            for (int c = 0; c < channels; ++c) {
                const size_t at = static_cast<size_t>(i) * channels + c;
                frame[c] = real ? LuRoundToSample(reals[at] * 32768.0L)
                                : LuRoundToSample(integers[at] / 65536.0L);
            }
            if (!samples->add(frame.data())) return false;
        }
        *frames += count;
    }
    return sf_error(file) == SF_ERR_NO_ERROR;
}

}  // namespace

bool LuDecodeSound(const uint8_t* bytes, size_t size, bool debug, LuDecodedSound* sound) {
    MemoryFile memory = {bytes, static_cast<sf_count_t>(size), 0};
    SF_VIRTUAL_IO io = {lengthOf, seekIn, readFrom, writeTo, tellIn};
    SF_INFO info;
    std::memset(&info, 0, sizeof info);
    SoundFile file(sf_open_virtual(&io, SFM_READ, &info, &memory));
    if (!file) return false;
    const char* container = containerName(info.format);
    if (!container || info.channels < 1 || info.samplerate < MIN_FREQUENCY) return false;
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
    sf_count_t frames = 0;
    if (!readFrames(file.get(), info.channels, isReal(info.format), sound->samples.get(), &frames))
        return false;
    // A stream cut short: Ogg streams without their last page have no known length, the other
    // formats give fewer frames than their headers announce (MP3 only where a tag counts them).
    const bool counted =
        (info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_MPEG || hasLengthTag(bytes, size);
    return !counted || (info.frames != SF_COUNT_MAX && frames == info.frames);
}
