#include "wav/pcm.h"

#include <cmath>
#include <cstring>
#include <new>
#include <utility>

namespace {

// The most samples a sound may hold: 2^31 - 1 bytes of them.
constexpr int64_t MAX_SAMPLES = INT32_MAX / 2;

constexpr uint32_t LEFT_SPEAKERS = 0x00001 | 0x00010 | 0x00040 | 0x00200 | 0x01000 | 0x08000;
constexpr uint32_t RIGHT_SPEAKERS = 0x00002 | 0x00020 | 0x00080 | 0x00400 | 0x04000 | 0x20000;
// Front, back and top centres and the low-frequency channel.
constexpr uint32_t MIDDLE_SPEAKERS = 0x00004 | 0x00008 | 0x00100 | 0x00800 | 0x02000 | 0x10000;

constexpr uint8_t FEEDS_LEFT = 1;
constexpr uint8_t FEEDS_RIGHT = 2;

// sum / count, halves away from zero; the result lies between the smallest and the largest
// of the samples summed.
int16_t average(int64_t sum, int count) {
    const int64_t magnitude =
        ((sum < 0 ? -sum : sum) * 2 + count) / (2 * static_cast<int64_t>(count));
    return static_cast<int16_t>(sum < 0 ? -magnitude : magnitude);
}

}  // namespace

std::vector<LuSide> LuSidesOfMask(int channels, uint32_t mask) {
    std::vector<LuSide> sides;
    for (uint32_t bit = 1; bit != 0 && static_cast<int>(sides.size()) < channels; bit <<= 1) {
        if (!(mask & bit)) continue;
        if (bit & LEFT_SPEAKERS) {
            sides.push_back(LuSide::LEFT);
        } else if (bit & RIGHT_SPEAKERS) {
            sides.push_back(LuSide::RIGHT);
        } else if (bit & MIDDLE_SPEAKERS) {
            sides.push_back(LuSide::MIDDLE);
        } else {
            return {};
        }
    }
    if (static_cast<int>(sides.size()) < channels) return {};
    return sides;
}

std::vector<LuSide> LuSidesOfVorbis(int channels) {
    constexpr LuSide L = LuSide::LEFT;
    constexpr LuSide R = LuSide::RIGHT;
    constexpr LuSide M = LuSide::MIDDLE;
    switch (channels) {
        case 1:
            return {M};
        case 2:
            return {L, R};
        case 3:  // left, centre, right
            return {L, M, R};
        case 4:  // front left, front right, rear left, rear right
            return {L, R, L, R};
        case 5:  // front left, centre, front right, rear left, rear right
            return {L, M, R, L, R};
        case 6:  // as 5, then the low-frequency channel
            return {L, M, R, L, R, M};
        case 7:  // front left, centre, front right, sides, rear centre, LFE
            return {L, M, R, L, R, M, M};
        case 8:  // front left, centre, front right, sides, rears, LFE
            return {L, M, R, L, R, L, R, M};
        default:
            return {};
    }
}

int16_t LuRoundToSample(long double value) {
    if (std::isnan(value)) return 0;
    if (value >= 32767) return 32767;
    if (value <= -32768) return -32768;
    return static_cast<int16_t>(std::lround(value));
}

LuDownmix::LuDownmix(int channels, std::vector<LuSide> sides)
    : inputChannels(channels), outputChannels(channels < 2 ? 1 : 2) {
    if (channels <= 2) return;
    if (static_cast<int>(sides.size()) == channels) {
        for (LuSide side : sides) {
            const uint8_t feed = side == LuSide::LEFT    ? FEEDS_LEFT
                                 : side == LuSide::RIGHT ? FEEDS_RIGHT
                                                         : FEEDS_LEFT | FEEDS_RIGHT;
            feeds.push_back(feed);
            if (feed & FEEDS_LEFT) ++leftCount;
            if (feed & FEEDS_RIGHT) ++rightCount;
        }
    }
    if (leftCount == 0 || rightCount == 0) {
        feeds.clear();
        outputChannels = 1;
    }
}

bool LuDownmix::grow(int64_t needed) {
    if (needed > MAX_SAMPLES) return false;
    if (needed <= capacity) return true;
    int64_t size = capacity > 0 ? capacity : 4096;
    while (size < needed) size *= 2;
    if (size > MAX_SAMPLES) size = MAX_SAMPLES;
    std::unique_ptr<int16_t[]> block(new (std::nothrow) int16_t[static_cast<size_t>(size)]);
    if (!block) return false;
    if (count > 0) std::memcpy(block.get(), samples.get(), static_cast<size_t>(count) * 2);
    samples = std::move(block);
    capacity = size;
    return true;
}

bool LuDownmix::reserve(int64_t frames) {
    if (frames < 0 || frames > MAX_SAMPLES) return false;
    return grow(count + frames * outputChannels);
}

bool LuDownmix::addFrames(const int16_t* block, int64_t frames) {
    if (inputChannels < 1 || frames < 0 || frames > MAX_SAMPLES ||
        !grow(count + frames * outputChannels))
        return false;
    if (inputChannels <= 2) {
        std::memcpy(samples.get() + count, block, static_cast<size_t>(frames * inputChannels) * 2);
        count += frames * inputChannels;
        return true;
    }
    for (int64_t i = 0; i < frames; ++i) add(block + i * inputChannels);
    return true;
}

bool LuDownmix::add(const int16_t* frame) {
    if (inputChannels < 1 || !grow(count + outputChannels)) return false;
    int16_t* out = samples.get() + count;
    if (inputChannels <= 2) {
        for (int c = 0; c < inputChannels; ++c) out[c] = frame[c];
    } else if (outputChannels == 1) {
        int64_t sum = 0;
        for (int c = 0; c < inputChannels; ++c) sum += frame[c];
        out[0] = average(sum, inputChannels);
    } else {
        int64_t left = 0;
        int64_t right = 0;
        for (int c = 0; c < inputChannels; ++c) {
            if (feeds[c] & FEEDS_LEFT) left += frame[c];
            if (feeds[c] & FEEDS_RIGHT) right += frame[c];
        }
        out[0] = average(left, leftCount);
        out[1] = average(right, rightCount);
    }
    count += outputChannels;
    return true;
}
