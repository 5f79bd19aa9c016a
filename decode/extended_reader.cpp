#include "decode/extended_reader.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#include "decode/sound_decoder.h"
#include "wav/riff.h"
#include "wav/wav.h"

namespace {

using namespace riff;

// Where a file goes.
enum class Route { DECODER, PLAIN_WAV };

// Looks into the RIFF file open at `in` (its first four bytes read) as `LuWav::read` walks it:
// PCM files of 8 or 16 bits in one or two channels go to the plain reader, whatever else their
// fields say; the others to the decoder.
Route routeOfRiff(std::FILE* in) {
    uint32_t id = 0;
    uint32_t size = 0;
    if (!readU32(in, &size) || !readU32(in, &id) || id != TAG_WAVE) return Route::DECODER;
    for (;;) {
        if (!readU32(in, &id)) return Route::DECODER;
        if (id == TAG_FMT) break;
        if (!readU32(in, &size) || !skipForward(in, size)) return Route::DECODER;
    }
    uint32_t fmtSize = 0;
    int formatTag = 0;
    int channels = 0;
    int blockSize = 0;
    int bits = 0;
    if (!readU32(in, &fmtSize) || !readS16(in, &formatTag) || !readS16(in, &channels) ||
        !readU32(in, &size) || !readU32(in, &size) || !readS16(in, &blockSize) ||
        !readS16(in, &bits))
        return Route::DECODER;
    const bool plain =
        formatTag == 1 && (bits == 8 || bits == 16) && (channels == 1 || channels == 2);
    return plain ? Route::PLAIN_WAV : Route::DECODER;
}

// The whole of the file open at `in`, from its start, or null.
std::unique_ptr<uint8_t[]> readWhole(std::FILE* in, size_t* size) {
    if (std::fseek(in, 0, SEEK_SET) != 0) return nullptr;
    const int64_t length = bytesLeft(in);
    if (length < 0 || length > MAX_BLOCK_SIZE) return nullptr;
    *size = static_cast<size_t>(length);
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[*size > 0 ? *size : 1]);
    if (!bytes || std::fread(bytes.get(), 1, *size, in) != *size) return nullptr;
    return bytes;
}

// Decodes the whole of the file open at `in` into `sound`; false when it does not decode.
bool decodeWhole(std::FILE* in, bool debug, LuDecodedSound* sound) {
    size_t size = 0;
    const std::unique_ptr<uint8_t[]> bytes = readWhole(in, &size);
    return bytes && LuDecodeSound(bytes.get(), size, debug, sound);
}

}  // namespace

bool LuReadExtended(const char* path, LuWav* wav) {
    LuDecodedSound sound;
    {
        File file(std::fopen(path, "rb"));
        if (!file) return false;
        uint32_t magic = 0;
        const Route route = readU32(file.get(), &magic) && magic == TAG_RIFF
                                ? routeOfRiff(file.get())
                                : Route::DECODER;
        // The buffer's own reader prints its traces, "error" included. A plain file that it
        // refuses, cut short or with fields that disagree, goes to the decoder, which plays the
        // frames that are there as players do.
        if (route == Route::PLAIN_WAV && wav->read(path)) return true;
        if (!decodeWhole(file.get(), wav->debug, &sound)) {
            if (wav->debug && route != Route::PLAIN_WAV) std::printf("error\n");
            return false;
        }
    }
    const LuDownmix& pcm = *sound.samples;
    return wav->readSamples(pcm.getChannels(), sound.frequency, pcm.getSamples(), pcm.getCount());
}
