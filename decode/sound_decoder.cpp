#include "decode/sound_decoder.h"

#include <cstring>

#include "decode/opus_decoder.h"
#include "decode/sndfile_decoder.h"
#include "decode/vorbis_decoder.h"

namespace {

enum class Codec { OTHER, VORBIS, OPUS };

// The codec of an Ogg file: Opus when the Opus identification header comes before any Vorbis
// one in its first pages, else Vorbis. Every Ogg file goes to one of the two reference
// decoders, which find their pages past damage as they do; a file that is neither does not
// open there and is unreadable.
Codec oggCodecOf(const uint8_t* bytes, size_t size) {
    constexpr size_t SEARCHED = 65536;
    if (size < 4 || std::memcmp(bytes, "OggS", 4) != 0) return Codec::OTHER;
    const size_t end = size < SEARCHED ? size : SEARCHED;
    for (size_t at = 0; at + 8 <= end; ++at) {
        if (std::memcmp(bytes + at, "OpusHead", 8) == 0) return Codec::OPUS;
        if (std::memcmp(bytes + at, "\x01vorbis", 7) == 0) return Codec::VORBIS;
    }
    return Codec::VORBIS;
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
