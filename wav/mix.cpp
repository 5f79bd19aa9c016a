// The mixing kernels of the sound buffer: volume, saturating addition and subtraction.
#include <cfloat>
#include <cstdint>
#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "wav/block.h"
#include "wav/wav.h"

namespace {

using namespace wav_block;

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

}  // namespace

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
