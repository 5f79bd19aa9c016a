// Rate conversion of the sound buffer: every rate to 44100 Hz in place, up-sampling by linear
// steps between source frames, down-sampling by picking them, as `LuWav::read` has always done.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "wav/block.h"
#include "wav/wav.h"

namespace {

using namespace wav_block;

struct Frame {
    int16_t left;
    int16_t right;
};

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

}  // namespace

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
