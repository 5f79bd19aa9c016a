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
enum class Route { FAILED, DECODER, PLAIN_WAV };

// Looks into the RIFF file open at `in` (its first four bytes read) as `LuWav::read` walks it:
// PCM files of 8 or 16 bits in one or two channels go to the plain reader, whatever else their
// fields say. The others go to the decoder, unless their data chunk claims more bytes than the
// file holds: such a file is cut short, and fails.
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
    if (formatTag == 1 && (bits == 8 || bits == 16) && (channels == 1 || channels == 2))
        return Route::PLAIN_WAV;
    if (fmtSize > 16 && !skipForward(in, fmtSize - 16)) return Route::DECODER;
    for (;;) {
        if (!readU32(in, &id) || !readU32(in, &size)) return Route::DECODER;
        if (id == TAG_DATA) break;
        if (!skipForward(in, size)) return Route::DECODER;
    }
    const int64_t remaining = bytesLeft(in);
    return remaining >= 0 && remaining < size ? Route::FAILED : Route::DECODER;
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

}  // namespace

bool LuReadExtended(const char* path, LuWav* wav) {
    Route route = Route::FAILED;
    LuDecodedSound sound;
    {
        File file(std::fopen(path, "rb"));
        if (!file) return false;
        uint32_t magic = 0;
        route = readU32(file.get(), &magic) && magic == TAG_RIFF ? routeOfRiff(file.get())
                                                                 : Route::DECODER;
        if (route == Route::DECODER) {
            size_t size = 0;
            const std::unique_ptr<uint8_t[]> bytes = readWhole(file.get(), &size);
            if (!bytes || !LuDecodeSound(bytes.get(), size, wav->debug, &sound))
                route = Route::FAILED;
        }
    }
    // The buffer's own readers print their traces, "error" included.
    if (route == Route::PLAIN_WAV) return wav->read(path);
    if (route == Route::FAILED) {
        if (wav->debug) std::printf("error\n");
        return false;
    }
    const LuDownmix& pcm = *sound.samples;
    return wav->readSamples(pcm.getChannels(), sound.frequency, pcm.getSamples(), pcm.getCount());
}
