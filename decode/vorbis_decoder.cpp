#include "decode/vorbis_decoder.h"

#include <cstdio>
#include <vector>
// The file is read through callbacks of our own, not the stdio ones the header would define.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "decode/decoded_sound.h"
#include "decode/memory_file.h"

namespace {

// 16-bit samples asked of the decoder at a time; a call returns at most one packet's worth.
constexpr int BLOCK_SAMPLES = 16384;

size_t readOv(void* target, size_t size, size_t count, void* source) {
    if (size == 0) return 0;
    LuMemoryFile& file = *static_cast<LuMemoryFile*>(source);
    return static_cast<size_t>(file.read(target, static_cast<int64_t>(size * count))) / size;
}

int seekOv(void* source, ogg_int64_t offset, int whence) {
    return static_cast<LuMemoryFile*>(source)->seek(offset, whence) ? 0 : -1;
}

long tellOv(void* source) {
    return static_cast<long>(static_cast<LuMemoryFile*>(source)->position);
}

struct VorbisFile {
    OggVorbis_File file;
    bool open = false;
    ~VorbisFile() {
        if (open) ov_clear(&file);
    }
};

bool bigEndian() {
    const uint16_t probe = 1;
    return *reinterpret_cast<const uint8_t*>(&probe) == 0;
}

}  // namespace

bool LuDecodeVorbis(const uint8_t* bytes, size_t size, bool debug, LuDecodedSound* sound) {
    LuMemoryFile memory(bytes, size);
    const ov_callbacks callbacks = {readOv, seekOv, nullptr, tellOv};
    VorbisFile vorbis;
    // A failed open clears the file itself.
    if (ov_open_callbacks(&memory, &vorbis.file, nullptr, 0, callbacks) != 0) return false;
    vorbis.open = true;
    const vorbis_info* info = ov_info(&vorbis.file, -1);
    if (!info || info->channels < 1 || info->rate < LU_MIN_DECODED_FREQUENCY ||
        info->rate > INT32_MAX)
        return false;
    const int channels = info->channels;
    const long rate = info->rate;
    if (debug) {
        std::printf("ogg vorbis\n");
        std::printf("channel_count = %d\n", channels);
        std::printf("frequency = %ld\n", rate);
    }
    sound->channels = channels;
    sound->frequency = static_cast<int>(rate);
    sound->samples.reset(new LuDownmix(channels, LuSidesOfVorbis(channels)));

    // The length the pages announce, as a first guess of the room needed: a damaged stream may
    // give more or fewer frames, or claim any length.
    const ogg_int64_t announced = ov_pcm_total(&vorbis.file, -1);
    if (announced > 0 && announced / 64 <= static_cast<ogg_int64_t>(size))
        sound->samples->reserve(announced);

    std::vector<int16_t> block(static_cast<size_t>(BLOCK_SAMPLES));
    const int blockBytes = BLOCK_SAMPLES / channels * channels * 2;
    const int endian = bigEndian() ? 1 : 0;
    int link = 0;
    for (;;) {
        const long got = ov_read(&vorbis.file, reinterpret_cast<char*>(block.data()), blockBytes,
                                 endian, 2, 1, &link);
        if (got == OV_HOLE) continue;
        if (got <= 0) break;
        // A chained stream may change its layout; the decoded sound keeps the first one.
        const vorbis_info* now = ov_info(&vorbis.file, -1);
        if (!now || now->channels != channels || now->rate != rate) break;
        if (!sound->samples->addFrames(block.data(), got / (2 * channels))) return false;
    }
    return sound->samples->getCount() > 0;
}
