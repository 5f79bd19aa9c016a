#include "wav/pcm.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr LuSide L = LuSide::LEFT;
constexpr LuSide R = LuSide::RIGHT;
constexpr LuSide M = LuSide::MIDDLE;

TEST(LuPcmTest, RoundsHalvesAwayFromZeroAndClamps) {
    const struct {
        long double value;
        int expected;
    } cases[] = {
        {0.5L, 1},         {-0.5L, -1},         {0.49L, 0},          {1.5L, 2},
        {-2.5L, -3},       {4660.3359L, 4660},  {32766.5L, 32767},   {32767.99L, 32767},
        {32768.0L, 32767}, {-32768.0L, -32768}, {-32768.5L, -32768}, {1e30L, 32767},
        {-1e30L, -32768},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<double>(c.value)));
        EXPECT_EQ(c.expected, LuRoundToSample(c.value));
    }
    EXPECT_EQ(0, LuRoundToSample(std::numeric_limits<long double>::quiet_NaN()));
    EXPECT_EQ(32767, LuRoundToSample(std::numeric_limits<long double>::infinity()));
    EXPECT_EQ(-32768, LuRoundToSample(-std::numeric_limits<long double>::infinity()));
}

TEST(LuPcmTest, SidesFollowTheSpeakerMask) {
    const struct {
        int channels;
        uint32_t mask;
        std::vector<LuSide> expected;
    } cases[] = {
        // 5.1: front left, front right, front centre, LFE, back left, back right.
        {6, 0x3F, {L, R, M, M, L, R}},
        // 5.1 with side speakers: FL FR FC LFE SL SR.
        {6, 0x60F, {L, R, M, M, L, R}},
        // Front left and right of centre, back centre, top front left and right.
        {5, 0x40C0 | 0x1000 | 0x100, {L, R, M, L, R}},
        // More positions than channels: the lowest ones count.
        {4, 0x3F, {L, R, M, M}},
        // Fewer positions than channels, no mask, a reserved bit: unknown.
        {6, 0x3, {}},
        {3, 0, {}},
        {3, 0x40003, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels, mask " + std::to_string(c.mask));
        EXPECT_EQ(c.expected, LuSidesOfMask(c.channels, c.mask));
    }
}

TEST(LuPcmTest, DownmixAveragesEachSideWithTheMiddle) {
    const struct {
        const char* name;
        std::vector<LuSide> sides;
        std::vector<int16_t> frame;
        std::vector<int16_t> expected;
    } cases[] = {
        // Left: (100 + 300 + 400 + 500) / 4; right: (200 + 300 + 400 + 600) / 4.
        {"5.1", {L, R, M, M, L, R}, {100, 200, 300, 400, 500, 600}, {325, 375}},
        // (1 + 2) / 2 = 1.5 and (2 + 4) / 2 = 3; halves go away from zero.
        {"left centre right", {L, M, R}, {1, 2, 4}, {2, 3}},
        {"negative", {L, M, R}, {-1, -2, -4}, {-2, -3}},
        // (-32768 + 32767) / 2 = -0.5 goes to -1.
        {"full scale", {L, M, R}, {-32768, -32768, 32767}, {-32768, -1}},
        // Unknown layout: 7 / 3 = 2.33 into mono.
        {"unknown", {}, {1, 2, 4}, {2}},
        {"unknown, full scale", {}, {32767, 32767, 32767, 32767}, {32767}},
        // Nothing plays on the right: mono, (3 + 4 + 5) / 3.
        {"one-sided", {L, L, L}, {3, 4, 5}, {4}},
        // One and two channels pass as they are.
        {"mono", {M}, {-7}, {-7}},
        {"stereo", {}, {-7, 9}, {-7, 9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LuDownmix downmix(static_cast<int>(c.frame.size()), c.sides);
        EXPECT_EQ(static_cast<int>(c.expected.size()), downmix.getChannels());
        ASSERT_TRUE(downmix.add(c.frame.data()));
        ASSERT_TRUE(downmix.add(c.frame.data()));
        ASSERT_EQ(static_cast<int64_t>(2 * c.expected.size()), downmix.getCount());
        std::vector<int16_t> samples(downmix.getSamples(),
                                     downmix.getSamples() + c.expected.size());
        EXPECT_EQ(c.expected, samples);
        EXPECT_EQ(c.expected.back(), downmix.getSamples()[downmix.getCount() - 1]);
    }
}

TEST(LuPcmTest, DownmixKeepsFramesInOrderAcrossGrowth) {
    LuDownmix downmix(2, {});
    const int frames = 10000;
    for (int i = 0; i < frames; ++i) {
        const int16_t frame[2] = {static_cast<int16_t>(i), static_cast<int16_t>(-i)};
        ASSERT_TRUE(downmix.add(frame));
    }
    ASSERT_EQ(2 * frames, downmix.getCount());
    for (int i = 0; i < frames; ++i) {
        ASSERT_EQ(i, downmix.getSamples()[2 * i]);
        ASSERT_EQ(-i, downmix.getSamples()[2 * i + 1]);
    }
}

TEST(LuPcmTest, DownmixRefusesMoreThanABufferHolds) {
    LuDownmix downmix(2, {});
    // 2^31 - 1 bytes hold 536870911 stereo frames and a half.
    EXPECT_FALSE(downmix.reserve(536870912));
    LuDownmix empty(0, {});
    const int16_t frame[1] = {0};
    EXPECT_FALSE(empty.add(frame));
}

}  // namespace
