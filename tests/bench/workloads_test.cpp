#include "bench/workloads.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

#include "tests/test_util.h"
#include "wav/wav.h"

using test_util::TempDir;

TEST(BenchWorkloadsTest, PlanMatchesTheChartAndTheSamplesAsRead) {
    TempDir dir;
    ASSERT_TRUE(writeWorkload("song", dir.path()));
    BenchPlan plan;
    ASSERT_TRUE(readPlan(dir.file("plan.txt"), &plan));

    // Every format: the planned size is the size the sample has once read.
    ASSERT_EQ(600u, plan.samples.size());
    for (const BenchSample& sample : plan.samples) {
        SCOPED_TRACE(sample.file);
        LuWav wav;
        ASSERT_TRUE(wav.read(dir.file(sample.file).c_str()));
        EXPECT_EQ(sample.bytes, wav.getDataSize());
    }

    // 113 bars of 4 beats, 4 off-beats, 16 notes and 2 long notes. At 150 BPM a tic lasts
    // 183.75 frames, so every object on a 1/16 of a bar (24 tics) starts on a multiple of 4410
    // frames, the last at most 15/16 into bar 112, which starts at frame 112 * 70560.
    EXPECT_EQ(113u * 26, plan.triggers.size());
    bool lastBarSounds = false;
    for (const BenchTrigger& trigger : plan.triggers) {
        ASSERT_EQ(0, trigger.frame % 4410) << trigger.frame;
        ASSERT_LE(trigger.frame, 112 * 70560 + 15 * 4410);
        lastBarSounds = lastBarSounds || trigger.frame == 112 * 70560;
    }
    EXPECT_TRUE(lastBarSounds);
    EXPECT_TRUE(test_util::fileExists(dir.file("chart.bms")));
}

// Its key sounds are split among one oggenc per core: each planned file must come out as an
// Ogg stream, with no WAV file left behind.
TEST(BenchWorkloadsTest, OggSongEncodesEveryKeySound) {
    TempDir dir;
    ASSERT_TRUE(writeWorkload("ogg", dir.path()));
    BenchPlan plan;
    ASSERT_TRUE(readPlan(dir.file("plan.txt"), &plan));
    ASSERT_EQ(300u, plan.samples.size());
    for (const BenchSample& sample : plan.samples) {
        SCOPED_TRACE(sample.file);
        const test_util::Bytes bytes = test_util::readFile(dir.file(sample.file));
        EXPECT_EQ("OggS",
                  std::string(bytes.begin(), bytes.begin() + std::min<size_t>(4, bytes.size())));
        const std::string stem = sample.file.substr(0, sample.file.size() - 4);
        EXPECT_FALSE(test_util::fileExists(dir.file(stem + ".wav")));
    }
}

TEST(BenchWorkloadsTest, RefusesUnknownNamesAndForeignPlans) {
    TempDir dir;
    EXPECT_FALSE(writeWorkload("huge", dir.path()));
    BenchPlan plan;
    EXPECT_FALSE(readPlan(dir.file("missing.txt"), &plan));
    const struct {
        const char* name;
        const char* text;
    } cases[] = {
        {"older version", "keymix-bench-plan 0\noutput 8\nsamples 0\ntriggers 0\n"},
        {"sample out of range",
         "keymix-bench-plan 1\noutput 8\nsamples 1\na.wav 4\ntriggers 1\n1 0\n"},
        {"cut short", "keymix-bench-plan 1\noutput 8\nsamples 2\na.wav 4\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(readPlan(dir.write("plan.txt", c.text), &plan));
    }
    EXPECT_TRUE(
        readPlan(dir.write("plan.txt",
                           "keymix-bench-plan 1\noutput 8\nsamples 1\na.wav 4\ntriggers 1\n0 1\n"),
                 &plan));
    EXPECT_EQ(8, plan.outputBytes);
    EXPECT_EQ(1, plan.triggers[0].frame);
}
