#include "wav/wav.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "wav/riff.h"

namespace {

using namespace riff;

// Samples are stored little-endian and accessed as int16_t: every target of this program is a
// little-endian machine.

constexpr int FIXED_FREQUENCY = 44100;
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

struct Frame {
    int16_t left;
    int16_t right;
};

int16_t* samplesOf(uint8_t* block) {
    return reinterpret_cast<int16_t*>(block);
}

// A block of `size` bytes, all zero, or null when memory runs out.
uint8_t* zeroedBlock(int64_t size) {
    return static_cast<uint8_t*>(std::calloc(size > 0 ? static_cast<size_t>(size) : 1, 1));
}

// Reads frame `index` of a block of `size` bytes; bytes past the block read as zero, so a
// partial last frame never reaches outside the block.
Frame loadFrame(const uint8_t* block, int64_t size, int64_t index) {
    uint8_t bytes[4] = {0, 0, 0, 0};
    const int64_t offset = index * 4;
    const int64_t available = size - offset;
    if (available >= 4) {
        std::memcpy(bytes, block + offset, 4);
    } else if (available > 0) {
        std::memcpy(bytes, block + offset, static_cast<size_t>(available));
    }
    Frame frame;
    std::memcpy(&frame, bytes, 4);
    return frame;
}

void storeFrame(uint8_t* block, int64_t index, Frame frame) {
    std::memcpy(block + index * 4, &frame, 4);
}

int64_t commonDivisor(int64_t a, int64_t b) {
    while (b != 0) {
        const int64_t rest = a % b;
        a = b;
        b = rest;
    }
    return a;
}

// Whether 44100 / frequency is exact in binary floating point: its reduced denominator is a
// power of two. The quotient by it of a frame that lands on a whole source frame is then exact.
bool exactRatio(int frequency) {
    const int64_t denominator = frequency / commonDivisor(FIXED_FREQUENCY, frequency);
    return (denominator & (denominator - 1)) == 0;
}

// The source frame of each destination frame i in resampling, trunc(i / ratio) in extended
// precision with ratio = 44100 / frequency, for i moving one frame at a time. It keeps
// i * frequency = quotient * 44100 + rest in integers. The extended-precision quotient lies
// within a relative 2^-52 of i * frequency / 44100, less than 2^-21 for any frame of a buffer,
// so it truncates to `quotient` whenever `rest` is not 0: the exact value then lies at least
// 1/44100 from an integer. At a rest of 0 it is computed as it stands, unless the ratio is exact.
class SourceFrames {
public:
    SourceFrames(int64_t frame, int frequency, long double ratio)
        : frame(frame),
          quotient(frame * frequency / FIXED_FREQUENCY),
          rest(frame * frequency % FIXED_FREQUENCY),
          stepQuotient(frequency / FIXED_FREQUENCY),
          stepRest(frequency % FIXED_FREQUENCY),
          ratio(ratio),
          exact(exactRatio(frequency)) {}

    int64_t source() const {
        return rest != 0 || exact ? quotient : static_cast<int64_t>(frame / ratio);
    }
    void next() {
        ++frame;
        quotient += stepQuotient;
        rest += stepRest;
        if (rest >= FIXED_FREQUENCY) {
            rest -= FIXED_FREQUENCY;
            ++quotient;
        }
    }
    void previous() {
        --frame;
        quotient -= stepQuotient;
        rest -= stepRest;
        if (rest < 0) {
            rest += FIXED_FREQUENCY;
            --quotient;
        }
    }

private:
    int64_t frame;
    int64_t quotient;
    int64_t rest;
    const int64_t stepQuotient;
    const int64_t stepRest;
    const long double ratio;
    const bool exact;
};

// The lowest destination frame of each source frame's group in up-sampling, the lowest j with
// trunc(j / ratio) = s in extended precision, for source frames s moving down one at a time. In
// exact arithmetic it is first = ceil(s * 44100 / frequency), kept as
// s * 44100 = first * frequency - rest in integers. Frame first - 1 lies at least 1/44100 below
// s and frame first + 1 at least 1/21 above it, so only where rest is 0, and first / ratio is
// exactly s, can extended precision put the frame in the group below, moving the start up one;
// with an exact ratio it never does.
class GroupStarts {
public:
    GroupStarts(int64_t source, int frequency, long double ratio)
        : source(source),
          first((source * FIXED_FREQUENCY + frequency - 1) / frequency),
          rest(first * frequency - source * FIXED_FREQUENCY),
          frequency(frequency),
          stepQuotient(FIXED_FREQUENCY / frequency),
          stepRest(FIXED_FREQUENCY % frequency),
          ratio(ratio),
          exact(exactRatio(frequency)) {}

    int64_t start() const {
        if (rest != 0 || exact || static_cast<int64_t>(first / ratio) == source) return first;
        return first + 1;
    }
    void previous() {
        --source;
        first -= stepQuotient;
        rest += stepRest;
        if (rest >= frequency) {
            rest -= frequency;
            --first;
        }
    }

private:
    int64_t source;
    int64_t first;
    int64_t rest;
    const int64_t frequency;
    const int64_t stepQuotient;
    const int64_t stepRest;
    const long double ratio;
    const bool exact;
};

// The weights of the frames between two anchors that lie `count` frames apart minus one:
// t = (count + 1 - m) / (count + 1) for m = 1 to count, formed in extended precision and
// stored as doubles, with what `interpolate` needs to know about each.
class Weights {
public:
    struct Weight {
        double t;
        // t lies below (count + 1 - m) / (count + 1).
        bool below;
    };

    const std::vector<Weight>& of(int64_t count) {
        if (count >= static_cast<int64_t>(cache.size())) {
            if (count > MAX_CACHED) {
                scratch = make(count);
                return scratch;
            }
            cache.resize(static_cast<size_t>(count) + 1);
        }
        std::vector<Weight>& weights = cache[static_cast<size_t>(count)];
        if (weights.empty() && count > 0) weights = make(count);
        return weights;
    }

private:
    // Far above the 21 frames of the lowest rate; larger gaps are not kept.
    static constexpr int64_t MAX_CACHED = 64;

    static std::vector<Weight> make(int64_t count) {
        std::vector<Weight> weights(static_cast<size_t>(count));
        for (int64_t m = 1; m <= count; ++m) {
            const double t =
                static_cast<double>(static_cast<long double>(count + 1 - m) / (count + 1));
            // t * (count + 1) is exact in extended precision while count + 1 has at most 11
            // bits; beyond that every weight takes the careful path.
            const bool below =
                count + 1 > 2048 || static_cast<long double>(t) * (count + 1) < count + 1 - m;
            weights[static_cast<size_t>(m - 1)] = {t, below};
        }
        return weights;
    }

    std::vector<std::vector<Weight>> cache;
    std::vector<Weight> scratch;
};

// low + trunc((high - low) * t) with the product in extended precision: lies between low and
// high. The double product gives the same truncation except where it lands on or next to an
// integer: with d = high - low and t within a relative 2^-52 of k / n (n = count + 1 <= 2048),
// d * k / n that is not whole lies at least 1/n from an integer, which neither product nears;
// when it is whole and t is at or above k / n, both products lie at or beyond it, away from
// zero. Only a whole d * k / n with t below k / n needs the extended product itself.
int16_t interpolate(int low, int high, const Weights::Weight& weight) {
    const int difference = high - low;
    const double product = difference * weight.t;
    if (weight.below && std::fabs(product - std::nearbyint(product)) < 1e-6) {
        const long double step = static_cast<long double>(difference) * weight.t;
        return static_cast<int16_t>(low + static_cast<int>(step));
    }
    return static_cast<int16_t>(low + static_cast<int>(product));
}

// Down-sampling repeats one pattern: every `period` = 44100 / g destination frames advance
// `advance` = frequency / g source frames, g being their greatest common divisor. Frame k of a
// period, k > 0, takes source frame floor(k * frequency / 44100) of the period, whose rest is
// not 0 (k * frequency is a multiple of 44100 only at k = 0), so it is what `SourceFrames`
// gives; the first frame of each period lands exactly on a source frame and is computed as it
// stands. False, with nothing done, when the pattern is too long to be worth a table.
bool downSampleByPattern(uint8_t* block, int64_t size, int64_t frames, int frequency,
                         long double ratio) {
    constexpr int64_t MAX_PERIOD = 4096;
    const int64_t divisor = commonDivisor(FIXED_FREQUENCY, frequency);
    const int64_t period = FIXED_FREQUENCY / divisor;
    if (period > MAX_PERIOD) return false;
    const int64_t advance = frequency / divisor;
    std::vector<int64_t> offsets(static_cast<size_t>(period));
    for (int64_t k = 0; k < period; ++k) offsets[k] = k * frequency / FIXED_FREQUENCY;
    const bool exact = exactRatio(frequency);
    const int64_t whole = size / 4;
    // Each source index is at or above its destination, so a forward walk reads every frame
    // before it is overwritten.
    for (int64_t first = 0, base = 0; first < frames; first += period, base += advance) {
        const int64_t start = exact ? base : static_cast<int64_t>(first / ratio);
        storeFrame(block, first, loadFrame(block, size, start));
        const int64_t count = std::min(period, frames - first);
        if (base + advance <= whole) {
            uint8_t* target = block + first * 4;
            const uint8_t* source = block + base * 4;
            for (int64_t k = 1; k < count; ++k)
                std::memcpy(target + k * 4, source + offsets[k] * 4, 4);
        } else {
            for (int64_t k = 1; k < count; ++k)
                storeFrame(block, first + k, loadFrame(block, size, base + offsets[k]));
        }
    }
    return true;
}

// Up-sampling by exactly 2 (from 22050 Hz) of `sources` whole frames: frame 2s + 1 is source
// frame s, frame 2s for s > 0 lies between source frames s - 1 and s, at
// S + trunc((P - S) * 0.5), and frame 0 repeats source frame 0. S + trunc((P - S) / 2) is the
// mean of S and P rounded toward S: its floor where P >= S, its ceiling where P < S.
void doubleRate(uint8_t* block, int64_t sources) {
    int16_t* samples = samplesOf(block);
    int64_t s = sources - 1;
    // From the top down: source frames s - 4 to s are read before frames 2s - 6 to 2s + 1,
    // all at or above them, are written.
#if defined(__SSE2__)
    for (; s >= 4; s -= 4) {
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 2 * s - 6));
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 2 * s - 8));
        const __m128i half = _mm_srai_epi16(_mm_xor_si128(low, high), 1);
        const __m128i floorMean = _mm_add_epi16(_mm_and_si128(low, high), half);
        const __m128i ceilMean = _mm_sub_epi16(_mm_or_si128(low, high), half);
        const __m128i down = _mm_cmpgt_epi16(low, high);
        const __m128i between =
            _mm_or_si128(_mm_and_si128(down, ceilMean), _mm_andnot_si128(down, floorMean));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + 4 * s - 12),
                         _mm_unpacklo_epi32(between, high));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + 4 * s - 4),
                         _mm_unpackhi_epi32(between, high));
    }
#endif
    for (; s >= 1; --s) {
        for (int c = 0; c < 2; ++c) {
            const int low = samples[2 * s - 2 + c];
            const int high = samples[2 * s + c];
            samples[4 * s + 2 + c] = static_cast<int16_t>(high);
            samples[4 * s + c] = static_cast<int16_t>(low + (high - low) / 2);
        }
    }
    if (sources > 0) {
        samples[2] = samples[0];
        samples[3] = samples[1];
    }
}

inline int16_t saturate(int value) {
    value = value > 32767 ? 32767 : value;
    value = value < -32768 ? -32768 : value;
    return static_cast<int16_t>(value);
}

// SSE2 has the saturating 16-bit addition and subtraction as single instructions (paddsw,
// psubsw), eight samples at a time; the compiler does not find them in the plain loop.
void addSaturated(int16_t* __restrict target, const int16_t* __restrict source, int64_t count) {
    int64_t i = 0;
#if defined(__SSE2__)
    for (; i + 8 <= count; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i), _mm_adds_epi16(a, b));
    }
#endif
    for (; i < count; ++i) target[i] = saturate(target[i] + source[i]);
}

void subtractSaturated(int16_t* __restrict target, const int16_t* __restrict source,
                       int64_t count) {
    int64_t i = 0;
#if defined(__SSE2__)
    for (; i + 8 <= count; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i), _mm_subs_epi16(a, b));
    }
#endif
    for (; i < count; ++i) target[i] = saturate(target[i] - source[i]);
}

#if LDBL_MANT_DIG >= 64
// With a mantissa of 64 bits or more, trunc(sample * (percent * 0.01)) in extended precision is
// the integer quotient sample * percent / 100. The double 0.01 lies above 1/100 by a relative
// 2.08e-17, far more than the rounding of either product (2^-64, 5.4e-20), so the product lies
// beyond the exact quotient, away from zero, by less than 1.5e-5 of it even at the largest
// percent: a whole quotient truncates to itself, and one that is not whole lies at least 0.01
// from the next integer, which the error never reaches.
void scaleByPercent(int16_t* samples, int64_t count, int percent) {
    int64_t i = 0;
#if defined(__SSE2__)
    // The same quotient in single precision, eight samples at a time: for |percent| <= 200 the
    // product sample * percent is exact as a float, and the float just above 1/100 exceeds
    // 1/100 by a relative 7.08e-8, more than the float rounding of the product (2^-24, 5.96e-8).
    // So again the result lies beyond the exact quotient, now by less than 1.31e-7 of at most
    // 65536, below 0.01. The packing saturates to 16 bits.
    constexpr float HUNDREDTH_ABOVE = 0x1.47ae16p-7f;
    if (percent >= -200 && percent <= 200) {
        const __m128i factor = _mm_set1_epi16(static_cast<int16_t>(percent));
        const __m128 hundredth = _mm_set1_ps(HUNDREDTH_ABOVE);
        for (; i + 8 <= count; i += 8) {
            const __m128i sample = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i));
            const __m128i low = _mm_mullo_epi16(sample, factor);
            const __m128i high = _mm_mulhi_epi16(sample, factor);
            const __m128i first = _mm_cvttps_epi32(
                _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(low, high)), hundredth));
            const __m128i second = _mm_cvttps_epi32(
                _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(low, high)), hundredth));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i),
                             _mm_packs_epi32(first, second));
        }
    }
#endif
    if (percent >= -65535 && percent <= 65535) {
        // The product fits 32 bits.
        for (; i < count; ++i) samples[i] = saturate(samples[i] * percent / 100);
        return;
    }
    for (; i < count; ++i) {
        int64_t value = samples[i] * static_cast<int64_t>(percent) / 100;
        value = value > 32767 ? 32767 : value;
        value = value < -32768 ? -32768 : value;
        samples[i] = static_cast<int16_t>(value);
    }
}
#else
// trunc(sample * factor), saturated; clamping before the conversion keeps every product, however
// large, inside the integer range.
inline int16_t scaleSample(int16_t sample, long double factor) {
    long double value = sample * factor;
    value = value > 32767 ? 32767 : value;
    value = value < -32768 ? -32768 : value;
    return static_cast<int16_t>(static_cast<int>(value));
}
#endif

// The first sample of a block as the trace prints it: a pointer-sized integer.
void* headOf(const uint8_t* block, int size) {
    uint8_t bytes[2] = {0, 0};
    if (size > 0) bytes[0] = block[0];
    if (size > 1) bytes[1] = block[1];
    const int16_t head = static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | bytes[1] << 8));
    return reinterpret_cast<void*>(static_cast<intptr_t>(head));
}

// A buffer left half-read by a failed `read` may name more bytes than its block holds; the sample
// operations refuse it instead of reaching past the block.
bool holdsSamples(const LuWav& wav) {
    return wav.data_size >= 0 && wav.data_size <= wav.memory_size &&
           (wav.memory_size == 0 || wav.data);
}

// The file that `write` fills: a fresh temporary file beside the target, moved over the target
// once complete, so a failed write never leaves a damaged file behind.
class OutputFile {
public:
    ~OutputFile() { discard(); }

    // False when the target cannot be written or no temporary file can be created.
    bool open(const char* path) {
        target = path;
        if (!targetWritable()) return false;
        static unsigned counter = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = target + "." + std::to_string(processId()) + "-" +
                                     std::to_string(counter++) + ".tmp";
#ifdef _WIN32
            const int fd = _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                                 _S_IREAD | _S_IWRITE);
#else
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
#endif
            if (fd < 0) {
                if (errno == EEXIST) continue;
                return false;
            }
#ifdef _WIN32
            file = _fdopen(fd, "wb");
            if (!file) _close(fd);
#else
            file = fdopen(fd, "wb");
            if (!file) ::close(fd);
#endif
            temporary = name;
            if (!file) {
                discard();
                return false;
            }
            return true;
        }
        return false;
    }

    std::FILE* get() const {
        return file;
    }

    // Closes the temporary file and moves it over the target; false when either fails.
    bool commit() {
        const bool closed = std::fclose(file) == 0;
        file = nullptr;
        if (!closed) return false;
#ifdef _WIN32
        if (!MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
            return false;
#else
        if (std::rename(temporary.c_str(), target.c_str()) != 0) return false;
#endif
        temporary.clear();
        return true;
    }

    void discard() {
        if (file) std::fclose(file);
        file = nullptr;
        if (!temporary.empty()) std::remove(temporary.c_str());
        temporary.clear();
    }

private:
    static long processId() {
#ifdef _WIN32
        return _getpid();
#else
        return static_cast<long>(getpid());
#endif
    }

    // An existing target must be a file that could be opened for writing, as when it is
    // truncated in place.
    bool targetWritable() const {
#ifdef _WIN32
        const DWORD attributes = GetFileAttributesA(target.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return true;
        return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
#else
        struct stat status;
        if (stat(target.c_str(), &status) != 0) return true;
        return !S_ISDIR(status.st_mode) && access(target.c_str(), W_OK) == 0;
#endif
    }

    std::string target;
    std::string temporary;
    std::FILE* file = nullptr;
};

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

bool LuWav::change44kHz() {
    if (frequency == FIXED_FREQUENCY) return true;
    const long double ratio = static_cast<long double>(FIXED_FREQUENCY) / frequency;
    int64_t newSize = static_cast<int64_t>(ratio * data_size);
    newSize -= newSize % 4;
    if (!extend(newSize)) return false;
    // Copies of the fields: the frame stores below could otherwise alias them.
    uint8_t* block = data.get();
    const int64_t size = memory_size;
    const int64_t frames = newSize / 4;
    if (frequency > FIXED_FREQUENCY) {
        if (!downSampleByPattern(block, size, frames, frequency, ratio)) {
            // Each source index is at or above its destination, so a forward walk reads every
            // frame before it is overwritten.
            SourceFrames map(0, frequency, ratio);
            for (int64_t i = 0; i < frames; ++i, map.next())
                storeFrame(block, i, loadFrame(block, size, map.source()));
        }
    } else if (frequency * 2 == FIXED_FREQUENCY && data_size % 4 == 0) {
        doubleRate(block, data_size / 4);
    } else {
        // Walk down: each destination frame j maps to source frame trunc(j / ratio) <= j, so
        // every source frame is read before the walk reaches it. The highest frame of each
        // source frame's group (its anchor) copies it exactly; the frames between two anchors
        // step linearly from the lower source frame toward the higher one. The walk goes from
        // group to group: the anchor of source frame s - 1 lies just below the group of s.
        if (frames > 0) {
            Weights weights;
            int64_t source = SourceFrames(frames - 1, frequency, ratio).source();
            Frame high = loadFrame(block, size, source);
            int64_t anchor = frames - 1;
            storeFrame(block, anchor, high);
            int64_t count = -1;
            const Weights::Weight* between = nullptr;
            for (GroupStarts starts(source, frequency, ratio); source > 0;
                 --source, starts.previous()) {
                const int64_t lower = starts.start() - 1;
                const Frame low = loadFrame(block, size, source - 1);
                if (anchor - lower - 1 != count) {
                    count = anchor - lower - 1;
                    between = weights.of(count).data();
                }
                for (int64_t m = 1; m <= count; ++m) {
                    const Weights::Weight& weight = between[m - 1];
                    const Frame frame = {interpolate(low.left, high.left, weight),
                                         interpolate(low.right, high.right, weight)};
                    storeFrame(block, anchor - m, frame);
                }
                storeFrame(block, lower, low);
                anchor = lower;
                high = low;
            }
            // The frames below the first anchor belong to source frame 0 and repeat it.
            for (int64_t j = 0; j < anchor; ++j) storeFrame(block, j, high);
        }
    }
    data_size = static_cast<int>(newSize);
    frequency = FIXED_FREQUENCY;
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
    OutputFile output;
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

void LuWav::changeVolume(int percent) {
    if (percent == 100 || !holdsSamples(*this)) return;
    int16_t* samples = samplesOf(data.get());
    const int64_t count = data_size / 2;
#if LDBL_MANT_DIG >= 64
    scaleByPercent(samples, count, percent);
#else
    const long double factor = percent * static_cast<long double>(0.01);
    for (int64_t i = 0; i < count; ++i) samples[i] = scaleSample(samples[i], factor);
#endif
    if (debug) std::printf("changed %d%%\n", percent);
}

bool LuWav::mixin(int position, const LuWav& source) {
    if (position < 0 || &source == this || !holdsSamples(*this) || !holdsSamples(source))
        return false;
    const int64_t end = static_cast<int64_t>(position) * 4 + source.data_size;
    if (!extend(end)) return false;
    if (debug) std::printf("mixin begin %d %d\n", memory_size, source.data_size);
    const int64_t count = source.data_size / 2;
    if (count > 0)
        addSaturated(samplesOf(data.get()) + static_cast<int64_t>(position) * 2,
                     samplesOf(source.data.get()), count);
    if (end > data_size) data_size = static_cast<int>(end);
    if (debug) std::printf("mixin end\n");
    return true;
}

bool LuWav::deduct(int position, const LuWav& source, int skip) {
    if (position < 0 || skip < 0 || &source == this || !holdsSamples(*this) ||
        !holdsSamples(source))
        return false;
    const int64_t start = static_cast<int64_t>(position) * 4;
    if (!extend(start + source.data_size)) return false;
    if (debug) std::printf("deduct begin %d %d\n", memory_size, source.data_size);
    const int64_t first = static_cast<int64_t>(skip) * 2;
    const int64_t count = source.data_size / 2 - first;
    if (count > 0)
        subtractSaturated(samplesOf(data.get()) + static_cast<int64_t>(position) * 2,
                          samplesOf(source.data.get()) + first, count);
    const int64_t end = start + source.data_size - static_cast<int64_t>(skip) * 4;
    if (end > data_size) data_size = static_cast<int>(end);
    if (debug) std::printf("deduct end\n");
    return true;
}
