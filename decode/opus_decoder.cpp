#include "decode/opus_decoder.h"

#include <cstdio>
#include <memory>
#include <opusfile.h>
#include <vector>

#include "decode/decoded_sound.h"

namespace {

// The largest packet lasts 120 ms: 5760 frames at 48000 Hz.
constexpr int PACKET_FRAMES = 5760;
constexpr int OPUS_FREQUENCY = 48000;

struct OpusFileCloser {
    void operator()(OggOpusFile* file) const { op_free(file); }
};

}  // namespace

bool LuDecodeOpus(const uint8_t* bytes, size_t size, bool debug, LuDecodedSound* sound) {
    int error = 0;
    std::unique_ptr<OggOpusFile, OpusFileCloser> file(op_open_memory(bytes, size, &error));
    if (!file) return false;
    const OpusHead* head = op_head(file.get(), -1);
    const int channels = op_channel_count(file.get(), -1);
    if (!head || channels < 1) return false;
    if (debug) {
        std::printf("ogg opus\n");
        std::printf("channel_count = %d\n", channels);
        std::printf("frequency = %d\n", OPUS_FREQUENCY);
    }
    sound->channels = channels;
    sound->frequency = OPUS_FREQUENCY;
    // Mapping family 1 lays the channels out in the Vorbis order; family 0 has one or two.
    sound->samples.reset(new LuDownmix(
        channels, head->mapping_family <= 1 ? LuSidesOfVorbis(channels) : std::vector<LuSide>{}));
    op_set_dither_enabled(file.get(), 0);

    const ogg_int64_t announced = op_pcm_total(file.get(), -1);
    if (announced > 0 && announced / 64 <= static_cast<ogg_int64_t>(size))
        sound->samples->reserve(announced);

    std::vector<opus_int16> block(static_cast<size_t>(PACKET_FRAMES) * channels);
    for (;;) {
        int link = 0;
        const int got = op_read(file.get(), block.data(), static_cast<int>(block.size()), &link);
        if (got == OP_HOLE) continue;
        if (got <= 0) break;
        if (op_channel_count(file.get(), link) != channels) break;
        if (!sound->samples->addFrames(block.data(), got)) return false;
    }
    return sound->samples->getCount() > 0;
}
