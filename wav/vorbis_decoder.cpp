#include "wav/vorbis_decoder.h"

#include <cstring>
#include <new>
#include <vector>

#define STB_VORBIS_NO_STDIO
#define STB_VORBIS_NO_PUSHDATA_API
#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

namespace {

constexpr unsigned MIN_FREQUENCY = 2100;
constexpr unsigned MAX_FREQUENCY = INT32_MAX;
// The decoder takes its tables and its work space from one block that it is given, so it
// neither allocates on its own nor places work space on the stack. A stream whose tables need
// more gets a larger block, up to the last size.
constexpr int FIRST_ARENA_SIZE = 256 * 1024;
constexpr int LAST_ARENA_SIZE = 64 * 1024 * 1024;
// Far beyond what any comment header holds; keeps the decoder's size arithmetic in range.
constexpr uint32_t MAX_COMMENT_LENGTH = 1 << 24;
constexpr uint32_t MAX_COMMENT_COUNT = 1 << 20;

constexpr size_t PAGE_HEADER_SIZE = 27;
constexpr size_t IDENTIFICATION_SIZE = 30;

uint32_t le32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

struct OggPage {
    bool continued = false;
    int segmentCount = 0;
    // Offsets in the file: the lacing values, then the page's end.
    size_t segments = 0;
    size_t end = 0;
};

// The Ogg page at `offset`, when all of it lies inside the file.
bool readPage(const uint8_t* bytes, size_t size, size_t offset, OggPage* page) {
    if (offset > size || size - offset < PAGE_HEADER_SIZE) return false;
    const uint8_t* header = bytes + offset;
    if (std::memcmp(header, "OggS", 4) != 0 || header[4] != 0) return false;
    page->continued = (header[5] & 1) != 0;
    page->segmentCount = header[26];
    page->segments = offset + PAGE_HEADER_SIZE;
    size_t end = page->segments + page->segmentCount;
    if (end > size) return false;
    for (int i = 0; i < page->segmentCount; ++i) end += bytes[page->segments + i];
    if (end > size) return false;
    page->end = end;
    return true;
}

// The decoder takes the lengths in the comment header (the second packet) as they come and
// writes the texts they announce, also past a packet's end. So the packet is put together here
// from its pages, read as the decoder reads them, and must hold every text it announces.
bool commentHeaderFits(const uint8_t* bytes, size_t size) {
    OggPage page;
    // The identification header fills the first page on its own; the decoder insists on it.
    if (!readPage(bytes, size, 0, &page) || page.segmentCount != 1 ||
        bytes[page.segments] != IDENTIFICATION_SIZE)
        return false;
    std::vector<uint8_t> packet;
    bool complete = false;
    for (bool first = true; !complete; first = false) {
        // A page without lacing values, or a later page that does not go on with the packet,
        // would leave the decoder reading something else than this.
        if (!readPage(bytes, size, page.end, &page) || page.segmentCount == 0 ||
            (!first && !page.continued))
            return false;
        size_t data = page.segments + page.segmentCount;
        for (int i = 0; i < page.segmentCount && !complete; ++i) {
            const size_t length = bytes[page.segments + i];
            packet.insert(packet.end(), bytes + data, bytes + data + length);
            data += length;
            complete = length < 255;
        }
    }

    static const uint8_t MAGIC[7] = {3, 'v', 'o', 'r', 'b', 'i', 's'};
    if (packet.size() < sizeof MAGIC || std::memcmp(packet.data(), MAGIC, sizeof MAGIC) != 0)
        return false;
    size_t position = sizeof MAGIC;
    auto take = [&](uint32_t* value) {
        if (packet.size() - position < 4) return false;
        *value = le32(packet.data() + position);
        position += 4;
        return true;
    };
    auto skipText = [&]() {
        uint32_t length = 0;
        if (!take(&length) || length > MAX_COMMENT_LENGTH || length > packet.size() - position)
            return false;
        position += length;
        return true;
    };
    uint32_t count = 0;
    if (!skipText() || !take(&count) || count > MAX_COMMENT_COUNT) return false;
    for (uint32_t i = 0; i < count; ++i) {
        if (!skipText()) return false;
    }
    // The framing byte.
    return position < packet.size();
}

struct DecoderCloser {
    void operator()(stb_vorbis* decoder) const { stb_vorbis_close(decoder); }
};
using Decoder = std::unique_ptr<stb_vorbis, DecoderCloser>;

}  // namespace

bool LuDecodeVorbis(const uint8_t* bytes, size_t size, LuVorbisSound* sound) {
    if (!bytes || size > INT32_MAX || !commentHeaderFits(bytes, size)) return false;

    // The arena outlives the decoder that works in it (declared first, destroyed last).
    std::unique_ptr<char[]> arena;
    Decoder decoder;
    for (int arenaSize = FIRST_ARENA_SIZE; !decoder && arenaSize <= LAST_ARENA_SIZE;
         arenaSize *= 4) {
        arena.reset(new (std::nothrow) char[arenaSize]);
        if (!arena) return false;
        stb_vorbis_alloc alloc;
        alloc.alloc_buffer = arena.get();
        alloc.alloc_buffer_length_in_bytes = arenaSize;
        int error = 0;
        decoder.reset(stb_vorbis_open_memory(bytes, static_cast<int>(size), &error, &alloc));
        if (!decoder && error != VORBIS_outofmem) return false;
    }
    if (!decoder) return false;

    const stb_vorbis_info info = stb_vorbis_get_info(decoder.get());
    if (info.sample_rate < MIN_FREQUENCY || info.sample_rate > MAX_FREQUENCY) return false;
    sound->channels = info.channels;
    sound->frequency = static_cast<int>(info.sample_rate);
    sound->samples.reset(new LuDownmix(info.channels, LuSidesOfVorbis(info.channels)));
    LuDownmix& samples = *sound->samples;
    std::vector<int16_t> frame(static_cast<size_t>(info.channels));
    for (;;) {
        int channels = 0;
        float** output = nullptr;
        const int frames = stb_vorbis_get_frame_float(decoder.get(), &channels, &output);
        // The decoder ends the stream, as its own loops do, at the first packet without
        // samples, and when the rest of the stream does not decode.
        if (frames <= 0 || channels != info.channels) break;
        for (int i = 0; i < frames; ++i) {
            for (int c = 0; c < channels; ++c) frame[c] = LuRoundToSample(output[c][i] * 32768.0L);
            if (!samples.add(frame.data())) return false;
        }
    }
    return true;
}
