#include "wav/extended_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "wav/pcm.h"
#include "wav/riff.h"
#include "wav/vorbis_decoder.h"
#include "wav/wav.h"

namespace {

using namespace riff;

// The lowest rate `LuWav` up-samples from.
constexpr uint32_t MIN_FREQUENCY = 2100;

constexpr int FORMAT_PCM = 1;
constexpr int FORMAT_FLOAT = 3;
// 0xFFFE, read as the signed 16-bit field it is stored in.
constexpr int FORMAT_EXTENSIBLE = -2;
// fmt fields of WAVE_FORMAT_EXTENSIBLE: the 16 common bytes, the extension size, the valid
// bits, the speaker mask and the sub-format GUID.
constexpr uint32_t EXTENSIBLE_FMT_SIZE = 40;
constexpr int EXTENSION_SIZE = 22;
// The sub-format GUIDs of PCM and float samples carry the format tag in their first two bytes
// and share the other fourteen.
constexpr uint8_t SUBFORMAT_TAIL[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

constexpr uint32_t TAG_OGGS = riff::tag("OggS");

// One sample of `bits` bits at `bytes`, as a 16-bit sample. Integer samples above 16 bits keep
// their top 16 bits, rounded; float samples span -1 to 1.
int16_t toSample(const uint8_t* bytes, int bits, bool isFloat) {
    if (isFloat) {
        const uint32_t word = le32(bytes);
        float value;
        std::memcpy(&value, &word, sizeof value);
        return LuRoundToSample(value * 32768.0L);
    }
    switch (bits) {
        case 8:
            return static_cast<int16_t>((bytes[0] - 128) * 256);
        case 16:
            return static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | bytes[1] << 8));
        case 24: {
            const uint32_t word = static_cast<uint32_t>(bytes[0]) << 8 |
                                  static_cast<uint32_t>(bytes[1]) << 16 |
                                  static_cast<uint32_t>(bytes[2]) << 24;
            return LuRoundToSample(static_cast<int32_t>(word) / 65536.0L);
        }
        default:
            return LuRoundToSample(static_cast<int32_t>(le32(bytes)) / 65536.0L);
    }
}

// The fields of a fmt chunk that the decoding needs.
struct WaveFormat {
    int formatTag = 0;
    // 1 (integer) or 3 (float): the format tag, or an extensible file's sub-format.
    int sampleFormat = 0;
    int channels = 0;
    uint32_t frequency = 0;
    uint32_t bytesPerSecond = 0;
    int blockSize = 0;
    int bits = 0;
    uint32_t speakerMask = 0;
};

bool isPlainFormat(const WaveFormat& format) {
    return format.formatTag == FORMAT_PCM && (format.bits == 8 || format.bits == 16) &&
           (format.channels == 1 || format.channels == 2);
}

bool isDecodable(const WaveFormat& format) {
    const bool integer =
        format.sampleFormat == FORMAT_PCM &&
        (format.bits == 8 || format.bits == 16 || format.bits == 24 || format.bits == 32);
    const bool real = format.sampleFormat == FORMAT_FLOAT && format.bits == 32;
    if (!integer && !real) return false;
    if (format.channels < 1 || format.bits / 8 * format.channels != format.blockSize) return false;
    // The byte rate is compared with the 32-bit product, as the file stores it.
    if (format.frequency * static_cast<uint32_t>(format.blockSize) != format.bytesPerSecond)
        return false;
    return format.frequency >= MIN_FREQUENCY && format.frequency <= INT32_MAX;
}

// Reads the rest of a fmt chunk of `size` bytes whose tag field has been read, leaving the file
// after the chunk. The chunk is read as `LuWav::read` reads it: 16 bytes of fields at least.
bool readFormat(std::FILE* in, uint32_t size, WaveFormat* format) {
    uint32_t value = 0;
    if (!readS16(in, &format->channels) || !readU32(in, &value)) return false;
    format->frequency = value;
    if (!readU32(in, &format->bytesPerSecond) || !readS16(in, &format->blockSize) ||
        !readS16(in, &format->bits))
        return false;
    format->sampleFormat = format->formatTag;
    uint32_t consumed = 16;
    if (format->formatTag == FORMAT_EXTENSIBLE) {
        int extensionSize = 0;
        int validBits = 0;
        uint8_t subFormat[16];
        if (size < EXTENSIBLE_FMT_SIZE || !readS16(in, &extensionSize) ||
            extensionSize < EXTENSION_SIZE || !readS16(in, &validBits) ||
            !readU32(in, &format->speakerMask) || std::fread(subFormat, 1, 16, in) != 16)
            return false;
        if (std::memcmp(subFormat + 2, SUBFORMAT_TAIL, sizeof SUBFORMAT_TAIL) != 0) return false;
        // The container's width lays out the samples; the valid bits only tell how many of
        // them the source filled.
        format->sampleFormat = subFormat[0] | subFormat[1] << 8;
        consumed = EXTENSIBLE_FMT_SIZE;
    }
    return size <= consumed || skipForward(in, size - consumed);
}

// What a decoder made of a file.
enum class Outcome { FAILED, DECODED, PLAIN_WAV };

// Decodes the RIFF file open at `in` (its first four bytes read) into `pcm`, unless it is one
// that `LuWav::read` takes.
Outcome decodeWave(std::FILE* in, bool debug, std::unique_ptr<LuDownmix>* pcm, int* frequency) {
    uint32_t id = 0;
    uint32_t size = 0;
    if (!readU32(in, &size) || !readU32(in, &id) || id != TAG_WAVE) return Outcome::FAILED;
    for (;;) {
        if (!readU32(in, &id)) return Outcome::FAILED;
        if (id == TAG_FMT) break;
        if (!readU32(in, &size) || !skipForward(in, size)) return Outcome::FAILED;
    }
    WaveFormat format;
    uint32_t fmtSize = 0;
    if (!readU32(in, &fmtSize) || fmtSize > MAX_BLOCK_SIZE || !readS16(in, &format.formatTag))
        return Outcome::FAILED;
    if (format.formatTag == FORMAT_PCM) {
        // Peek at the fields that decide whether the plain reader takes the file.
        const long here = std::ftell(in);
        if (here >= 0 && readS16(in, &format.channels) && readU32(in, &size) &&
            readU32(in, &size) && readS16(in, &format.blockSize) && readS16(in, &format.bits) &&
            isPlainFormat(format))
            return Outcome::PLAIN_WAV;
        if (here < 0 || std::fseek(in, here, SEEK_SET) != 0) return Outcome::FAILED;
    }
    if (!readFormat(in, fmtSize, &format) || !isDecodable(format)) return Outcome::FAILED;
    if (debug) {
        std::printf("fmt_id = %d\n", format.formatTag);
        std::printf("channel_count = %d\n", format.channels);
        std::printf("frequency = %d\n", static_cast<int>(format.frequency));
        std::printf("bit_rate = %d\n", format.bits);
    }

    for (;;) {
        if (!readU32(in, &id)) return Outcome::FAILED;
        if (id == TAG_DATA) break;
        if (!readU32(in, &size) || !skipForward(in, size)) return Outcome::FAILED;
    }
    if (!readU32(in, &size) || size > MAX_BLOCK_SIZE) return Outcome::FAILED;
    // A data chunk that claims more than the file holds fails before its block is allocated.
    const int64_t remaining = bytesLeft(in);
    if (remaining >= 0 && remaining < size) return Outcome::FAILED;
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size > 0 ? size : 1]);
    if (!data || std::fread(data.get(), 1, size, in) != size) return Outcome::FAILED;

    // Only an extensible file's mask tells where more than two channels sit.
    pcm->reset(new LuDownmix(format.channels, LuSidesOfMask(format.channels, format.speakerMask)));
    LuDownmix& downmix = **pcm;
    const int64_t frames = size / format.blockSize;
    if (!downmix.reserve(frames)) return Outcome::FAILED;
    const int width = format.bits / 8;
    const bool isFloat = format.sampleFormat == FORMAT_FLOAT;
    std::vector<int16_t> frame(static_cast<size_t>(format.channels));
    for (int64_t i = 0; i < frames; ++i) {
        const uint8_t* bytes = data.get() + i * format.blockSize;
        for (int c = 0; c < format.channels; ++c)
            frame[c] = toSample(bytes + c * width, format.bits, isFloat);
        if (!downmix.add(frame.data())) return Outcome::FAILED;
    }
    *frequency = static_cast<int>(format.frequency);
    return Outcome::DECODED;
}

// Reads the whole Ogg file open at `in` into memory and decodes it into `pcm`.
Outcome decodeOgg(std::FILE* in, bool debug, std::unique_ptr<LuDownmix>* pcm, int* frequency) {
    if (std::fseek(in, 0, SEEK_SET) != 0) return Outcome::FAILED;
    const int64_t size = bytesLeft(in);
    if (size < 0 || size > MAX_BLOCK_SIZE) return Outcome::FAILED;
    const size_t count = static_cast<size_t>(size);
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[count]);
    if (!bytes || std::fread(bytes.get(), 1, count, in) != count) return Outcome::FAILED;
    LuVorbisSound sound;
    if (!LuDecodeVorbis(bytes.get(), count, &sound)) return Outcome::FAILED;
    if (debug) {
        std::printf("ogg vorbis\n");
        std::printf("channel_count = %d\n", sound.channels);
        std::printf("frequency = %d\n", sound.frequency);
    }
    *pcm = std::move(sound.samples);
    *frequency = sound.frequency;
    return Outcome::DECODED;
}

}  // namespace

bool LuReadExtended(const char* path, LuWav* wav) {
    Outcome outcome = Outcome::FAILED;
    std::unique_ptr<LuDownmix> pcm;
    int frequency = 0;
    {
        File file(std::fopen(path, "rb"));
        if (!file) return false;
        uint32_t magic = 0;
        if (readU32(file.get(), &magic)) {
            if (magic == TAG_RIFF) {
                outcome = decodeWave(file.get(), wav->debug, &pcm, &frequency);
            } else if (magic == TAG_OGGS) {
                outcome = decodeOgg(file.get(), wav->debug, &pcm, &frequency);
            }
        }
    }
    // The buffer's own readers print their traces, "error" included.
    if (outcome == Outcome::PLAIN_WAV) return wav->read(path);
    if (outcome == Outcome::FAILED) {
        if (wav->debug) std::printf("error\n");
        return false;
    }
    return wav->readSamples(pcm->getChannels(), frequency, pcm->getSamples(), pcm->getCount());
}
