#include "decode/sound_decoder.h"

#include <cstring>

#include "decode/opus_decoder.h"
#include "decode/sndfile_decoder.h"
#include "decode/vorbis_decoder.h"

namespace {

enum class Codec { OTHER, VORBIS, OPUS };

// The codec of an Ogg file by the first packet of its first page: the Vorbis identification
// header or the Opus one.
Codec oggCodecOf(const uint8_t* bytes, size_t size) {
    constexpr size_t PAGE_HEADER = 27;
    if (size < PAGE_HEADER || std::memcmp(bytes, "OggS", 4) != 0) return Codec::OTHER;
    const size_t packet = PAGE_HEADER + bytes[26];
    if (size >= packet + 7 && std::memcmp(bytes + packet, "\x01vorbis", 7) == 0)
        return Codec::VORBIS;
    if (size >= packet + 8 && std::memcmp(bytes + packet, "OpusHead", 8) == 0) return Codec::OPUS;
    return Codec::OTHER;
}

}  // namespace

bool LuDecodeSound(const uint8_t* bytes, size_t size, bool debug, LuDecodedSound* sound) {
    switch (oggCodecOf(bytes, size)) {
        case Codec::VORBIS:
            return LuDecodeVorbis(bytes, size, debug, sound);
        case Codec::OPUS:
            return LuDecodeOpus(bytes, size, debug, sound);
        default:
            return LuDecodeWithSndfile(bytes, size, debug, sound);
    }
}
