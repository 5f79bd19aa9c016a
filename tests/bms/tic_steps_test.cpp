#include "bms/tic_steps.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

double ticByTic(double position, double framesPerTic, int64_t tics) {
    for (int64_t i = 0; i < tics; ++i) position = advanceTic(position, framesPerTic);
    return position;
}

double framesPerTicAt(long double tempo) {
    return static_cast<double>(2646000.0L / (96 * tempo));
}

TEST(TicStepsTest, ManyTicsAtOnceGiveTheBitsOfSingleTics) {
    const double unit = std::ldexp(1.0, -22);  // the spacing of doubles from 2^30 to 2^31
    const struct {
        const char* name;
        double position;
        double framesPerTic;
        int64_t tics;
    } cases[] = {
        {"120 BPM from 0", 0.0, framesPerTicAt(120), 3000000},
        {"133 BPM from 0", 0.0, framesPerTicAt(133), 3000000},
        {"fast tempo", 0.0, framesPerTicAt(1e9L), 5000000},
        {"slow tempo", 17.25, framesPerTicAt(0.001L), 1000},
        {"tempo too fast to move the position", 1e6, framesPerTicAt(1e300L), 100000},
        {"half a spacing from an odd position", std::ldexp(1.0, 30) + unit, unit / 2, 10},
        {"one and a half spacings from an even position", std::ldexp(1.0, 30), 1.5 * unit, 999},
        {"one and a half spacings from an odd position", std::ldexp(1.0, 30) + unit, 1.5 * unit,
         999},
        {"across the top of a range", std::ldexp(1.0, 30) - 3 * unit, 2.75 * unit, 50},
        {"no tics", 5.0, 1.0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ticByTic(c.position, c.framesPerTic, c.tics),
                  advanceTics(c.position, c.framesPerTic, c.tics));
    }

    // Positions and tempos of every size, stopped after every count of tics.
    std::mt19937_64 random(7);
    for (int round = 0; round < 300; ++round) {
        const double position =
            std::ldexp(static_cast<double>(random() % 1000000), -int(random() % 40));
        const long double tempo =
            std::ldexp(1.0L + (random() % 1000) / 1000.0L, int(random() % 40) - 10);
        const double framesPerTic = framesPerTicAt(tempo);
        const int64_t tics = random() % 20000;
        SCOPED_TRACE(testing::Message() << position << " " << framesPerTic << " " << tics);
        ASSERT_EQ(ticByTic(position, framesPerTic, tics),
                  advanceTics(position, framesPerTic, tics));
    }
}

TEST(TicStepsTest, ProgressReportsWhatEveryTicWould) {
    for (int lastTic : {0, 1, 3, 7, 100, 384, 12345}) {
        SCOPED_TRACE(lastTic);
        std::vector<int> expected;
        int last = 100;
        for (int tic = 0; tic <= lastTic; ++tic) {
            if (tic == lastTic) {
                expected.push_back(200);
                break;
            }
            const int value = 100 + static_cast<int>(tic * 100 / static_cast<long double>(lastTic));
            if (value != last) expected.push_back(value);
            last = value;
        }
        std::vector<int> reported;
        TicProgress progress(lastTic, 100, [&](int value) { reported.push_back(value); });
        std::mt19937 random(lastTic);
        for (int tic = 0; tic < lastTic; tic += random() % 50) progress.reach(tic);
        progress.reach(lastTic);
        progress.reach(lastTic);
        EXPECT_EQ(expected, reported);
    }
}

}  // namespace
