#include "song/mix_accumulator.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "wav/wav.h"

namespace {

constexpr int64_t MAX_DATA_SIZE = 2147483647;
constexpr float FROM_16_BIT = 1.0f / LU_FLOAT_SCALE;

// A buffer left half-read by a failed `read` may name more bytes than its block holds; such a
// buffer is refused, as LuWav refuses it.
bool holdsSamples(const LuWav& wav) {
    return wav.data_size >= 0 && wav.data_size <= wav.memory_size &&
           (wav.memory_size == 0 || wav.data);
}

const int16_t* samplesOf(const LuWav& wav) {
    return reinterpret_cast<const int16_t*>(wav.data.get());
}

int16_t roundTo16(double value) {
    if (value >= 32767.5) return 32767;
    if (value <= -32768.5) return -32768;
    if (value != value) return 0;
    // Halves go away from zero; value + 0.5 is exact for every product of a float sample and
    // a gain at these magnitudes.
    return static_cast<int16_t>(value >= 0 ? value + 0.5 : value - 0.5);
}

}  // namespace

void LuFloatTo16(const float* samples, int64_t count, double gain, int16_t* out) {
    const double factor = gain * LU_FLOAT_SCALE;
    for (int64_t i = 0; i < count; ++i) out[i] = roundTo16(samples[i] * factor);
}

bool LuMixAccumulator::reset() {
    block.reset();
    capacity = 0;
    data_size = 0;
    const bool traced = debug;
    debug = false;
    const bool made = extend(1024);
    debug = traced;
    return made;
}

bool LuMixAccumulator::extend(int64_t size) {
    if (size > MAX_DATA_SIZE) return false;
    const int64_t needed = (size + 1) / 2;
    if (needed <= capacity) return true;
    int64_t grown = capacity > 0 ? capacity : 512;
    while (grown < needed) grown *= 2;
    grown = std::min(grown, (MAX_DATA_SIZE + 1) / 2);
    // Zeroed, and large blocks arrive as fresh zero pages with no clearing pass.
    float* fresh = static_cast<float*>(std::calloc(static_cast<size_t>(grown), sizeof(float)));
    if (!fresh) return false;
    if (capacity > 0)
        std::memcpy(fresh, block.get(), static_cast<size_t>(capacity) * sizeof(float));
    block.reset(fresh);
    capacity = grown;
    if (debug) std::printf("memory extended %d\n", memorySize());
    return true;
}

bool LuMixAccumulator::mixin(int position, const LuWav& source) {
    if (position < 0 || !holdsSamples(source)) return false;
    const int64_t end = static_cast<int64_t>(position) * 4 + source.data_size;
    if (!extend(end)) return false;
    if (debug) std::printf("mixin begin %d %d\n", memorySize(), source.data_size);
    float* target = block.get() + static_cast<int64_t>(position) * 2;
    const int16_t* added = samplesOf(source);
    const int64_t count = source.data_size / 2;
    for (int64_t i = 0; i < count; ++i) target[i] += added[i] * FROM_16_BIT;
    if (end > data_size) data_size = static_cast<int>(end);
    if (debug) std::printf("mixin end\n");
    return true;
}

bool LuMixAccumulator::deduct(int position, const LuWav& source, int skip) {
    if (position < 0 || skip < 0 || !holdsSamples(source)) return false;
    const int64_t start = static_cast<int64_t>(position) * 4;
    if (!extend(start + source.data_size)) return false;
    if (debug) std::printf("deduct begin %d %d\n", memorySize(), source.data_size);
    const int64_t first = static_cast<int64_t>(skip) * 2;
    const int64_t count = source.data_size / 2 - first;
    float* target = block.get() + static_cast<int64_t>(position) * 2;
    const int16_t* removed = samplesOf(source) + (count > 0 ? first : 0);
    for (int64_t i = 0; i < count; ++i) target[i] -= removed[i] * FROM_16_BIT;
    const int64_t end = start + source.data_size - static_cast<int64_t>(skip) * 4;
    if (end > data_size) data_size = static_cast<int>(end);
    if (debug) std::printf("deduct end\n");
    return true;
}

void LuMixAccumulator::keepFrames(int64_t first, int64_t count) {
    if (count > 0 && first > 0)
        std::memmove(block.get(), block.get() + first * 2,
                     static_cast<size_t>(count) * 2 * sizeof(float));
    const int64_t kept = std::max<int64_t>(count, 0) * 2;
    // Samples past the end stay zero, as freshly grown ones are.
    if (capacity > kept)
        std::memset(block.get() + kept, 0, static_cast<size_t>(capacity - kept) * sizeof(float));
    data_size = static_cast<int>(kept * 2);
}

int LuMixAccumulator::memorySize() const {
    return static_cast<int>(std::min(capacity * 2, MAX_DATA_SIZE));
}

bool LuMixAccumulator::toWav(double gain, LuWav* out) const {
    if (!out->reset() || !out->extend(data_size)) return false;
    LuFloatTo16(block.get(), data_size / 2, gain, reinterpret_cast<int16_t*>(out->data.get()));
    out->data_size = data_size;
    return true;
}
