// The sound buffer: its block, reading and writing WAV files, and the conversions to 16 bits
// and two channels.
#include "wav/wav.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "wav/block.h"
#include "wav/replacing_file.h"
#include "wav/riff.h"

namespace {

using namespace riff;
using namespace wav_block;

// Up-sampling interpolates at most 20 frames between two source frames.
constexpr int MIN_FREQUENCY = 2100;

bool writeBytes(std::FILE* file, const void* bytes, size_t count) {
    return std::fwrite(bytes, 1, count, file) == count;
}

bool writeU32(std::FILE* file, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return writeBytes(file, bytes, 4);
}

bool writeU16(std::FILE* file, uint32_t value) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    return writeBytes(file, bytes, 2);
}

// A block of `size` bytes, all zero, or null when memory runs out.
uint8_t* zeroedBlock(int64_t size) {
    return static_cast<uint8_t*>(std::calloc(size > 0 ? static_cast<size_t>(size) : 1, 1));
}

// The first sample of a block as the trace prints it: a pointer-sized integer.
void* headOf(const uint8_t* block, int size) {
    uint8_t bytes[2] = {0, 0};
    if (size > 0) bytes[0] = block[0];
    if (size > 1) bytes[1] = block[1];
    const int16_t head = static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | bytes[1] << 8));
    return reinterpret_cast<void*>(static_cast<intptr_t>(head));
}

}  // namespace

void LuWav::FreeBlock::operator()(uint8_t* block) const {
    std::free(block);
}

bool LuWav::reset() {
    data.reset();
    channel_count = 2;
    frequency = FIXED_FREQUENCY;
    bit_rate = 16;
    data_size = 0;
    memory_size = 0;
    data.reset(zeroedBlock(1024));
    if (!data) return false;
    memory_size = 1024;
    return true;
}

bool LuWav::read(const char* path) {
    File file(std::fopen(path, "rb"));
    if (!file) return false;
    std::FILE* in = file.get();
    auto fail = [this] {
        if (debug) std::printf("error\n");
        return false;
    };

    uint32_t id = 0;
    uint32_t size = 0;
    if (!readU32(in, &id) || id != TAG_RIFF) return fail();
    if (!readU32(in, &size)) return fail();
    if (debug) std::printf("file size = %d\n", static_cast<int32_t>(size + 8));
    if (!readU32(in, &id) || id != TAG_WAVE) return fail();

    for (;;) {
        if (!readU32(in, &id)) return fail();
        if (id == TAG_FMT) break;
        if (!readU32(in, &size) || !skipForward(in, size)) return fail();
    }
    uint32_t fmtSize = 0;
    if (!readU32(in, &fmtSize) || fmtSize > MAX_BLOCK_SIZE) return fail();
    if (debug) std::printf("fmt_byte_size = %d\n", static_cast<int>(fmtSize));
    int formatTag = 0;
    if (!readS16(in, &formatTag) || formatTag != 1) return fail();
    if (debug) std::printf("fmt_id = %d\n", formatTag);
    if (!readS16(in, &channel_count) || (channel_count != 1 && channel_count != 2)) return fail();
    if (debug) std::printf("channel_count = %d\n", channel_count);
    uint32_t rate = 0;
    if (!readU32(in, &rate)) return fail();
    frequency = static_cast<int32_t>(rate);
    if (debug) std::printf("frequency = %d\n", frequency);
    uint32_t bytesPerSecond = 0;
    if (!readU32(in, &bytesPerSecond)) return fail();
    if (debug) std::printf("byte_per_sec = %d\n", static_cast<int32_t>(bytesPerSecond));
    int blockSize = 0;
    if (!readS16(in, &blockSize)) return fail();
    if (debug) std::printf("block_size = %d\n", blockSize);
    if (!readS16(in, &bit_rate) || (bit_rate != 8 && bit_rate != 16)) return fail();
    if (debug) std::printf("bit_rate = %d\n", bit_rate);
    if (bit_rate / 8 * channel_count != blockSize) return fail();
    // The byte rate is compared with the 32-bit product, as the file stores it.
    if (static_cast<uint32_t>(frequency) * static_cast<uint32_t>(blockSize) != bytesPerSecond)
        return fail();
    if (frequency < MIN_FREQUENCY) return fail();

    if (fmtSize > 16) {
        if (debug) {
            std::printf("fmt  chunk extend\n");
            std::printf("extend size is = %d\n", static_cast<int>(fmtSize - 16));
        }
        if (!skipForward(in, fmtSize - 16)) return fail();
    }

    if (debug) std::printf("goto data chunk\n");
    for (;;) {
        if (!readU32(in, &id)) return fail();
        if (id == TAG_DATA) break;
        if (debug) std::printf("chunk is = %d\n", static_cast<int32_t>(id));
        if (!readU32(in, &size) || size > MAX_BLOCK_SIZE) return fail();
        if (debug) std::printf("chunk size = %d\n", static_cast<int>(size));
        if (!skipForward(in, size)) return fail();
    }
    if (!readU32(in, &size) || size > MAX_BLOCK_SIZE) return fail();
    data_size = static_cast<int>(size);
    if (debug) std::printf("data_size = %d\n", data_size);

    // Size once for the final format, so the conversions below normally need no second block.
    const long double ratio = static_cast<long double>(FIXED_FREQUENCY) / frequency;
    const long double finalSize =
        static_cast<long double>(static_cast<int64_t>(data_size) * (2 / channel_count)) * ratio *
        (16 / bit_rate);
    if (finalSize >= static_cast<long double>(MAX_BLOCK_SIZE) + 1) return fail();
    int64_t blockBytes = static_cast<int64_t>(finalSize);
    if (blockBytes < data_size) blockBytes = data_size;
    memory_size = static_cast<int>(blockBytes);
    if (debug) std::printf("memory_size = %d\n", memory_size);

    // A data chunk that claims more bytes than the file still holds fails below anyway; finding
    // that out first keeps a few header bytes from allocating (and clearing) gigabytes.
    const int64_t remaining = bytesLeft(in);
    if (remaining >= 0 && remaining < data_size) {
        if (debug) std::printf("readed = %d\n", static_cast<int>(remaining));
        return fail();
    }

    // Zeroed, so bytes that no conversion step writes read as silence.
    data.reset(zeroedBlock(memory_size));
    if (!data) {
        memory_size = 0;
        return fail();
    }
    const size_t got = std::fread(data.get(), 1, static_cast<size_t>(data_size), in);
    if (debug) std::printf("readed = %d\n", static_cast<int>(got));
    if (got != static_cast<size_t>(data_size)) return fail();
    if (debug) std::printf("data head = %p\n", headOf(data.get(), memory_size));

    if (!change16bit()) return fail();
    if (debug) std::printf("16bit changed\n");
    if (!change2ch()) return fail();
    if (debug) std::printf("2ch changed\n");
    if (!change44kHz()) return fail();
    if (debug) {
        std::printf("44kHz changed\n");
        std::printf("data head = %p\n", headOf(data.get(), memory_size));
    }
    return true;
}

bool LuWav::readSamples(int channels, int rate, const int16_t* samples, int64_t count) {
    auto fail = [this] {
        if (debug) std::printf("error\n");
        return false;
    };
    if ((channels != 1 && channels != 2) || rate < MIN_FREQUENCY || count < 0 ||
        count > MAX_BLOCK_SIZE / 2)
        return fail();
    channel_count = channels;
    frequency = rate;
    bit_rate = 16;
    data_size = static_cast<int>(count * 2);
    if (debug) std::printf("data_size = %d\n", data_size);

    // Sized once for the final format, as `read` does.
    const long double ratio = static_cast<long double>(FIXED_FREQUENCY) / frequency;
    const long double finalSize =
        static_cast<long double>(static_cast<int64_t>(data_size) * (2 / channel_count)) * ratio;
    if (finalSize >= static_cast<long double>(MAX_BLOCK_SIZE) + 1) return fail();
    int64_t blockBytes = static_cast<int64_t>(finalSize);
    if (blockBytes < data_size) blockBytes = data_size;
    memory_size = static_cast<int>(blockBytes);
    if (debug) std::printf("memory_size = %d\n", memory_size);
    data.reset(zeroedBlock(memory_size));
    if (!data) {
        memory_size = 0;
        return fail();
    }
    if (count > 0) std::memcpy(data.get(), samples, static_cast<size_t>(data_size));

    if (!change2ch()) return fail();
    if (debug) std::printf("2ch changed\n");
    if (!change44kHz()) return fail();
    if (debug) {
        std::printf("44kHz changed\n");
        std::printf("data head = %p\n", headOf(data.get(), memory_size));
    }
    return true;
}

bool LuWav::change16bit() {
    if (bit_rate != 8) return true;
    if (!extend(2 * static_cast<int64_t>(data_size))) return false;
    uint8_t* bytes = data.get();
    int16_t* samples = samplesOf(bytes);
    // Walk down so the wider samples never overwrite unread bytes: byte i becomes bytes 2i and
    // 2i + 1, never below i.
    int64_t i = data_size;
#if defined(__SSE2__)
    // Sixteen bytes at a time from the top; (byte - 128) * 256 is the byte as the high half
    // with its top bit flipped.
    const __m128i zero = _mm_setzero_si128();
    const __m128i flip = _mm_set1_epi16(static_cast<int16_t>(0x8000));
    for (; i >= 16; i -= 16) {
        const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i - 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i - 16),
                         _mm_xor_si128(_mm_unpacklo_epi8(zero, raw), flip));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i - 8),
                         _mm_xor_si128(_mm_unpackhi_epi8(zero, raw), flip));
    }
#endif
    for (--i; i >= 0; --i) samples[i] = static_cast<int16_t>((bytes[i] - 128) * 256);
    bit_rate = 16;
    data_size *= 2;
    return true;
}

bool LuWav::change2ch() {
    if (channel_count != 1) return true;
    if (!extend(2 * static_cast<int64_t>(data_size))) return false;
    int16_t* samples = samplesOf(data.get());
    // Walk down so the copies never overwrite unread samples: sample i goes to 2i and 2i + 1,
    // never below i.
    int64_t i = data_size / 2;
#if defined(__SSE2__)
    for (; i >= 8; i -= 8) {
        const __m128i mono = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i - 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + 2 * i - 16),
                         _mm_unpacklo_epi16(mono, mono));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + 2 * i - 8),
                         _mm_unpackhi_epi16(mono, mono));
    }
#endif
    for (--i; i >= 0; --i) {
        const int16_t sample = samples[i];
        samples[2 * i + 1] = sample;
        samples[2 * i] = sample;
    }
    channel_count = 2;
    data_size *= 2;
    return true;
}

bool LuWav::extend(int64_t size) {
    if (size <= memory_size) return true;
    if (size > MAX_BLOCK_SIZE) return false;
    int64_t capacity = memory_size > 0 ? memory_size : 1024;
    while (capacity < size) capacity *= 2;
    if (capacity > MAX_BLOCK_SIZE) capacity = MAX_BLOCK_SIZE;
    std::unique_ptr<uint8_t[], FreeBlock> block(zeroedBlock(capacity));
    if (!block) return false;
    const size_t kept = static_cast<size_t>(memory_size);
    if (kept > 0) std::memcpy(block.get(), data.get(), kept);
    // The caller is about to use the bytes up to `size`: clearing them now writes each fresh
    // page first, which spares a page that is first read (as mixin does) a second fault.
    if (static_cast<size_t>(size) > kept)
        std::memset(block.get() + kept, 0, static_cast<size_t>(size) - kept);
    data = std::move(block);
    memory_size = static_cast<int>(capacity);
    if (debug) std::printf("memory extended %d\n", memory_size);
    return true;
}

bool LuWav::write(const char* path) const {
    if (!holdsSamples(*this)) return false;
    // A fresh temporary file beside the target, moved over it once complete, so a failed
    // write never leaves a damaged file behind.
    LuReplacingFile output;
    if (!output.open(path)) return false;
    if (debug) std::printf("-----write----------------------------\n");
    std::FILE* out = output.get();
    auto fail = [this, &output] {
        if (debug) std::printf("error\n");
        output.discard();
        return false;
    };

    const uint32_t blockSize = static_cast<uint32_t>(bit_rate / 8) * channel_count;
    const uint32_t bytesPerSecond = blockSize * static_cast<uint32_t>(frequency);
    if (!writeU32(out, TAG_RIFF)) return fail();
    if (debug) std::printf("\"RIFF\" written\n");
    if (!writeU32(out, static_cast<uint32_t>(data_size) + 36)) return fail();
    if (debug)
        std::printf("file_size written = %d\n",
                    static_cast<int32_t>(static_cast<uint32_t>(data_size) + 36));
    if (!writeU32(out, TAG_WAVE)) return fail();
    if (debug) std::printf("\"WAVE\" written\n");
    if (!writeU32(out, TAG_FMT)) return fail();
    if (debug) std::printf("\"fmt \" written\n");
    if (!writeU32(out, 16)) return fail();
    if (debug) std::printf("fmt_BYTE_SIZE written\n");
    if (!writeU16(out, 1)) return fail();
    if (debug) std::printf("fmt_ID written\n");
    if (!writeU16(out, static_cast<uint32_t>(channel_count))) return fail();
    if (debug) std::printf("channel_count written = %d\n", channel_count);
    if (!writeU32(out, static_cast<uint32_t>(frequency))) return fail();
    if (debug) std::printf("frequency written = %d\n", frequency);
    if (!writeU32(out, bytesPerSecond)) return fail();
    if (debug) std::printf("byte_per_sec written = %d\n", static_cast<int32_t>(bytesPerSecond));
    if (!writeU16(out, blockSize)) return fail();
    if (debug) std::printf("block_size written = %d\n", static_cast<int32_t>(blockSize));
    if (!writeU16(out, static_cast<uint32_t>(bit_rate))) return fail();
    if (debug) std::printf("bit_rate written = %d\n", bit_rate);
    if (!writeU32(out, TAG_DATA)) return fail();
    if (debug) std::printf("\"data\" written\n");
    if (!writeU32(out, static_cast<uint32_t>(data_size))) return fail();
    if (debug) {
        std::printf("memory size is %d\n", memory_size);
        std::printf("data_size written = %d\n", data_size);
    }
    const size_t written =
        data_size > 0 ? std::fwrite(data.get(), 1, static_cast<size_t>(data_size), out) : 0;
    if (debug) std::printf("data body written %d\n", static_cast<int>(written));
    if (written != static_cast<size_t>(data_size)) return fail();
    if (!output.commit()) return fail();
    return true;
}
