// The loudest window of a song: tones of known loudness in silence, in both sample kinds.
#include "song/loudest_window.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr double PI = 3.14159265358979323846;

constexpr int64_t SECOND = 44100;

// A 1 kHz tone of `amplitude` (full scale 1) over [from, to) seconds.
struct Tone {
    double from;
    double to;
    double amplitude;
};

std::vector<float> songOf(double seconds, const std::vector<Tone>& tones) {
    std::vector<float> samples(static_cast<size_t>(seconds * SECOND) * 2, 0.0f);
    for (const Tone& tone : tones) {
        for (int64_t f = static_cast<int64_t>(tone.from * SECOND);
             f < static_cast<int64_t>(tone.to * SECOND); ++f) {
            const float value =
                static_cast<float>(tone.amplitude * std::sin(2 * PI * 1000.0 * f / SECOND));
            samples[f * 2] = samples[f * 2 + 1] = value;
        }
    }
    return samples;
}

TEST(LuLoudestWindowTest, FindsTheLoudestStretch) {
    const struct {
        const char* name;
        double seconds;
        std::vector<Tone> tones;
        double window;
        double first;  // seconds, within one reading
    } cases[] = {
        {"silence starts at 0", 20, {}, 4, 0},
        {"a burst in the middle, centred", 20, {{10, 12, 0.5}}, 4, 9},
        {"the louder of two bursts", 30, {{5, 7, 0.1}, {20, 22, 0.5}}, 2, 20},
        {"a burst at the end stays within the song", 20, {{18, 20, 0.5}}, 6, 14},
        {"a window longer than the song", 5, {{3, 4, 0.5}}, 8, 0},
        {"a long quiet part loses to a short loud one", 40, {{0, 20, 0.05}, {30, 33, 0.9}}, 3, 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<float> song = songOf(c.seconds, c.tones);
        std::vector<int16_t> song16(song.size());
        for (size_t i = 0; i < song.size(); ++i)
            song16[i] = static_cast<int16_t>(std::lround(song[i] * 32767));
        const int64_t frames = static_cast<int64_t>(song.size() / 2);
        const int64_t window = static_cast<int64_t>(c.window * SECOND);
        int64_t first = -1;
        ASSERT_TRUE(LuFindLoudestWindow(song.data(), frames, window, &first));
        EXPECT_EQ(0, first % LU_LOUDNESS_STEP);
        EXPECT_NEAR(c.first * SECOND, first, LU_LOUDNESS_STEP);
        int64_t first16 = -1;
        ASSERT_TRUE(LuFindLoudestWindow(song16.data(), frames, window, &first16));
        EXPECT_NEAR(c.first * SECOND, first16, LU_LOUDNESS_STEP);
    }
}

}  // namespace
