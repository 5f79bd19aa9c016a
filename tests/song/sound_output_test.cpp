#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <ebur128.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <string>
#include <thread>
#include <vector>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include "song/loudness.h"
#include "song/mix_accumulator.h"
#include "song/mix_bus.h"
#include "song/preview.h"
#include "song/sound_file_writer.h"
#include "tests/test_util.h"
#include "wav/wav.h"

namespace {

using test_util::soxInfo;
using test_util::TempDir;

constexpr double PI = 3.14159265358979323846;

// A 16-bit stereo 44100 Hz sound of the given samples.
LuWav soundOf(const std::vector<int16_t>& samples) {
    LuWav wav;
    wav.readSamples(2, 44100, samples.data(), static_cast<int64_t>(samples.size()));
    return wav;
}

// `frames` stereo frames of a 997 Hz sine with peak `amplitude` (1.0 = full scale) on both sides.
std::vector<float> sine(int64_t frames, double amplitude) {
    std::vector<float> out(frames * 2);
    for (int64_t i = 0; i < frames; ++i)
        out[2 * i] = out[2 * i + 1] =
            static_cast<float>(amplitude * std::sin(2 * PI * 997 * i / 44100));
    return out;
}

std::vector<int16_t> to16(const std::vector<float>& samples) {
    std::vector<int16_t> out(samples.size());
    LuFloatTo16(samples.data(), static_cast<int64_t>(samples.size()), 1.0, out.data());
    return out;
}

struct ReadBack {
    SF_INFO info = {};
    std::vector<float> samples;
    std::vector<int16_t> shorts;
};

// The file as libsndfile decodes it, as floats and as 16-bit samples; no frames when unreadable.
ReadBack readBack(const std::string& path) {
    ReadBack out;
    SNDFILE* in = sf_open(path.c_str(), SFM_READ, &out.info);
    if (!in) return out;
    std::vector<float> chunk(4096 * out.info.channels);
    sf_count_t got;
    while ((got = sf_readf_float(in, chunk.data(), 4096)) > 0)
        out.samples.insert(out.samples.end(), chunk.begin(),
                           chunk.begin() + got * out.info.channels);
    sf_close(in);
    // 16-bit files decode to floats of exactly sample / 32768.
    for (float s : out.samples) out.shorts.push_back(static_cast<int16_t>(s * 32768));
    return out;
}

double rmsOf(const std::vector<float>& samples) {
    double sum = 0;
    for (float s : samples) sum += s * s;
    return std::sqrt(sum / samples.size());
}

// Names in a folder, to show that no temporary file is left.
std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.push_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

TEST(LuMixAccumulatorTest, MixesAsTheSoundBufferDoesWithoutSaturating) {
    const LuWav a = soundOf({1000, -2000, 3000, -4000, 30000, -30000});
    const LuWav b = soundOf({500, 600, 700, 800});
    struct Step {
        bool deduct;
        int position;
        const LuWav* sound;
        int skip;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"overlapping", {{false, 0, &a, 0}, {false, 1, &b, 0}, {false, 5, &b, 0}}},
        {"growing", {{false, 1000, &a, 0}, {true, 3000, &b, 1}}},
        {"cut short", {{false, 0, &a, 0}, {true, 2, &a, 1}, {false, 2, &a, 0}}},
        {"skip past the end", {{false, 3, &b, 0}, {true, 1, &b, 5}}},
        {"refused", {{false, -1, &a, 0}, {true, 0, &a, -1}, {false, 536870911, &a, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LuWav wav;
        LuMixAccumulator mix;
        ASSERT_TRUE(wav.reset() && mix.reset());
        wav.setDebug(true);
        mix.setDebug(true);
        for (const Step& step : c.steps) {
            testing::internal::CaptureStdout();
            const bool fromWav = step.deduct ? wav.deduct(step.position, *step.sound, step.skip)
                                             : wav.mixin(step.position, *step.sound);
            const std::string wavTrace = testing::internal::GetCapturedStdout();
            testing::internal::CaptureStdout();
            const bool fromMix = step.deduct ? mix.deduct(step.position, *step.sound, step.skip)
                                             : mix.mixin(step.position, *step.sound);
            EXPECT_EQ(wavTrace, testing::internal::GetCapturedStdout());
            EXPECT_EQ(fromWav, fromMix);
        }
        EXPECT_EQ(wav.data_size, mix.getDataSize());
        LuWav rounded;
        ASSERT_TRUE(mix.toWav(1.0, &rounded));
        EXPECT_EQ(test_util::samplesOf(wav), test_util::samplesOf(rounded));
    }

    // 30000 + 30000 saturates in the buffer but is kept here, and halves to 30000.
    LuMixAccumulator mix;
    ASSERT_TRUE(mix.mixin(0, a) && mix.mixin(0, a));
    EXPECT_EQ(60000.0f / 32768, mix.samples()[4]);
    LuWav halved;
    ASSERT_TRUE(mix.toWav(0.5, &halved));
    EXPECT_EQ(std::vector<int16_t>({1000, -2000, 3000, -4000, 30000, -30000}),
              test_util::samplesOf(halved));
}

TEST(LuMixAccumulatorTest, RoundsHalvesAwayFromZeroAndClamps) {
    const struct {
        float sample;
        double gain;
        int16_t expected;
    } cases[] = {
        {0.5f / 32768, 1.0, 1},    {-0.5f / 32768, 1.0, -1}, {0.49f / 32768, 1.0, 0},
        {3.0f / 32768, 0.5, 2},    {-3.0f / 32768, 0.5, -2}, {1.0f, 1.0, 32767},
        {-1.0f, 1.0, -32768},      {3.0f, 0.5, 32767},       {-1e30f, 1.0, -32768},
        {100.0f / 32768, 0.1, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.sample * 32768) + " x " + std::to_string(c.gain));
        int16_t out = 0;
        LuFloatTo16(&c.sample, 1, c.gain, &out);
        EXPECT_EQ(c.expected, out);
    }
}

TEST(LuPreviewTest, FindsTheWindowWithinTheSong) {
    const struct {
        double start, length;
        int64_t songFrames;
        bool found;
        LuPreviewWindow expected;
    } cases[] = {
        {10, 20, 44100 * 60, true, {441000, 882000, 44100, 88200}},
        // Cut short at the song's end.
        {50, 20, 44100 * 60, true, {2205000, 441000, 44100, 88200}},
        // Shorter than both fades: a third fades in, the rest out.
        {0, 1, 44100 * 60, true, {0, 44100, 14700, 29400}},
        {0, 3 / 44100.0, 100, true, {0, 3, 1, 2}},
        // Nothing left to preview.
        {60, 5, 44100 * 60, false, {}},
        {70, 5, 44100 * 60, false, {}},
        {-1, 5, 44100 * 60, false, {}},
        {0, 0, 44100 * 60, false, {}},
        {0, NAN, 44100 * 60, false, {}},
        {INFINITY, 5, 44100 * 60, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + "," + std::to_string(c.length));
        LuPreviewWindow window;
        ASSERT_EQ(c.found, LuFindPreviewWindow(c.start, c.length, c.songFrames, &window));
        if (!c.found) continue;
        EXPECT_EQ(c.expected.first, window.first);
        EXPECT_EQ(c.expected.count, window.count);
        EXPECT_EQ(c.expected.fadeIn, window.fadeIn);
        EXPECT_EQ(c.expected.fadeOut, window.fadeOut);
    }
}

TEST(LuPreviewTest, CutsAndFadesOnBothBuses) {
    // Six seconds at 10000; the window from 1 s to 5 s fades in over 44100 frames and out
    // over 88200. Frame 0 is silent, frame 22050 at half, frame 44100 whole, and the fade-out
    // reaches half 44100 frames before the last frame, which is silent.
    const int64_t frames = 44100 * 6;
    const LuWav sound = soundOf(std::vector<int16_t>(frames * 2, 10000));
    LuSaturatingBus saturating(false);
    LuFloatBus floating(false);
    ASSERT_TRUE(saturating.reset() && saturating.mixin(0, sound));
    ASSERT_TRUE(floating.reset() && floating.mixin(0, sound));
    ASSERT_TRUE(saturating.cutPreview(1, 4));
    ASSERT_TRUE(floating.cutPreview(1, 4));
    EXPECT_FALSE(saturating.cutPreview(4, 1));
    const std::unique_ptr<LuWav> taken = saturating.takeSong();
    const LuWav& song = *taken;
    const LuMixAccumulator& mix = floating.getSum();
    const int64_t count = 44100 * 4;
    EXPECT_EQ(count * 4, song.data_size);
    EXPECT_EQ(count, mix.frameCount());
    const struct {
        int64_t frame;
        int16_t expected;
    } cases[] = {{0, 0},         {1, 0},         {22050, 5000},
                 {44100, 10000}, {88200, 10000}, {count - 1 - 44100, 5000},
                 {count - 1, 0}};
    const int16_t* samples = reinterpret_cast<const int16_t*>(song.data.get());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame);
        EXPECT_EQ(c.expected, samples[2 * c.frame]);
        EXPECT_EQ(c.expected, samples[2 * c.frame + 1]);
        EXPECT_NEAR(c.expected / 32768.0, mix.samples()[2 * c.frame], 0.5 / 32768);
    }
}

TEST(LuLoudnessTest, MeasuresASineAndChoosesTheGain) {
    // A 997 Hz sine peaking at -20 dBFS on both channels: -23.01 dB of power per channel,
    // +3.01 for the two, and the K-weighting's +0.69 at this frequency cancels the formula's
    // -0.691 offset: -20 LUFS, and a true peak of -20 dBTP.
    const std::vector<float> tone = sine(44100 * 5, 0.1);
    LuLoudness measured;
    ASSERT_TRUE(LuMeasureLoudness(tone.data(), 44100 * 5, &measured));
    EXPECT_NEAR(-20.0, measured.integrated, 0.1);
    EXPECT_NEAR(-20.0, measured.truePeak, 0.1);

    const std::vector<int16_t> silence(44100 * 2 * 2, 0);
    ASSERT_TRUE(LuMeasureLoudness(silence.data(), 44100 * 2, &measured));
    EXPECT_TRUE(std::isinf(measured.integrated));
    EXPECT_EQ(1.0, LuNormalisingGain(measured));

    const struct {
        double integrated, truePeak, expectedDb;
    } cases[] = {
        {-20, -10, 6},             // to the target; the peak reaches -4 dBTP
        {-8, -0.5, -6},            // louder than the target
        {-20, -3, 1.99},           // held by the ceiling, 0.01 dB below it
        {-14, 2, -3.01},           // at the target but clipping
        {-HUGE_VAL, -HUGE_VAL, 0}  // silence
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.integrated) + " LUFS, " + std::to_string(c.truePeak));
        EXPECT_NEAR(c.expectedDb, 20 * std::log10(LuNormalisingGain({c.integrated, c.truePeak})),
                    1e-9);
    }
}

TEST(LuLoudnessTest, NormalisesAClippingMixBelowFullScale) {
    // Three loud tones overlapping: the saturating mix clips; normalised, the file read back
    // measures -14 LUFS by its own pass, with its true peak under -1 dBTP.
    const LuWav tone = soundOf(to16(sine(44100 * 4, 0.9)));
    LuWav clipped;
    LuMixAccumulator mix;
    ASSERT_TRUE(clipped.reset());
    for (int position : {0, 11025, 22050}) {
        ASSERT_TRUE(clipped.mixin(position, tone));
        ASSERT_TRUE(mix.mixin(position, tone));
    }
    const std::vector<int16_t> clippedSamples = test_util::samplesOf(clipped);
    EXPECT_NE(clippedSamples.end(),
              std::find(clippedSamples.begin(), clippedSamples.end(), int16_t{32767}));

    LuWav normalised;
    double gain = 0;
    ASSERT_TRUE(LuNormalise(mix, &normalised, nullptr, &gain));
    EXPECT_LT(gain, 1.0);
    TempDir dir;
    ASSERT_TRUE(LuWriteSoundFile(dir.file("n.flac").c_str(), normalised));
    const ReadBack back = readBack(dir.file("n.flac"));
    // FLAC keeps every 16-bit sample.
    ASSERT_EQ(test_util::samplesOf(normalised), back.shorts);
    for (int16_t s : back.shorts) ASSERT_TRUE(s < 32767 && s > -32768);

    ebur128_state* state = ebur128_init(2, 44100, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_short(state, back.shorts.data(), back.shorts.size() / 2);
    double integrated = 0, left = 0, right = 0;
    ebur128_loudness_global(state, &integrated);
    ebur128_true_peak(state, 0, &left);
    ebur128_true_peak(state, 1, &right);
    ebur128_destroy(&state);
    EXPECT_NEAR(-14.0, integrated, 0.5);
    EXPECT_LE(20 * std::log10(std::max(left, right)), -1.0);
}

TEST(LuSoundFileWriterTest, ChoosesTheFormatByExtension) {
    const struct {
        const char* path;
        LuSoundFormat format;
    } cases[] = {
        {"a.flac", LuSoundFormat::FLAC},  {"a.FLAC", LuSoundFormat::FLAC},
        {"a.ogg", LuSoundFormat::VORBIS}, {"dir/a.Opus", LuSoundFormat::OPUS},
        {"a.mp3", LuSoundFormat::MP3},    {"a.wav", LuSoundFormat::WAV},
        {"a", LuSoundFormat::WAV},        {"a.flac.wav", LuSoundFormat::WAV},
        {"a.flac/b", LuSoundFormat::WAV}, {"a.ogg\\b", LuSoundFormat::WAV},
        {".mp3x", LuSoundFormat::WAV},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.format, LuSoundFormatOf(c.path));
        EXPECT_EQ(c.format != LuSoundFormat::WAV, LuIsEncodedFormat(c.path));
    }
}

TEST(LuSoundFileWriterTest, EachFormatReadsBack) {
    // One second of a -20 dBFS tone. Lengths: FLAC, Vorbis and MP3 (its LAME header tells the
    // decoder the padding) come back whole; Opus at 48000 Hz may differ by a frame of rounding.
    // FLAC holds the floats rounded as LuFloatTo16 rounds them; the lossy formats keep the
    // tone's level within half a decibel.
    const std::vector<float> tone = sine(44100, 0.1);
    const struct {
        const char* name;
        int rate;
        int64_t frames;
        int64_t tolerance;
        bool soxReads;
        bool lossless;
    } cases[] = {
        {"a.flac", 44100, 44100, 0, true, true},
        {"a.ogg", 44100, 44100, 0, true, false},
        {"a.opus", 48000, 48000, 1, false, false},
        {"a.MP3", 44100, 44100, 0, false, false},
    };
    const bool haveSox = std::system("sox --version >/dev/null 2>&1") == 0;
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        ASSERT_TRUE(LuWriteSoundFile(path.c_str(), tone.data(), 44100));
        const ReadBack back = readBack(path);
        EXPECT_EQ(c.rate, back.info.samplerate);
        EXPECT_EQ(2, back.info.channels);
        EXPECT_NEAR(c.frames, back.info.frames, c.tolerance);
        EXPECT_NEAR(c.frames * 2, static_cast<int64_t>(back.samples.size()), c.tolerance * 2);
        EXPECT_NEAR(20 * std::log10(rmsOf(tone)), 20 * std::log10(rmsOf(back.samples)), 0.5);
        if (c.lossless) {
            EXPECT_EQ(to16(tone), back.shorts);
        }
        if (haveSox && c.soxReads) {
            EXPECT_EQ(std::to_string(c.rate), soxInfo(path, "r"));
            EXPECT_EQ("2", soxInfo(path, "c"));
            EXPECT_NEAR(c.frames, std::stoll("0" + soxInfo(path, "s")), c.tolerance);
        }
    }
    EXPECT_EQ(4u, namesIn(dir.path()).size());
}

TEST(LuSoundFileWriterTest, AFailedWriteLeavesTheFolderAsItWas) {
    TempDir dir;
    const std::string existing = dir.write("old.flac", "keep me");
    dir.mkdir("folder.flac");
    // Ten seconds of noise, which no encoder squeezes into 64 KiB.
    std::vector<int16_t> samples(44100 * 2 * 10);
    uint32_t state = 1;
    for (int16_t& s : samples)
        s = static_cast<int16_t>((state = state * 1664525 + 1013904223) >> 16);
    const struct {
        const char* name;
        std::string path;
    } cases[] = {
        {"a missing folder", dir.file("missing") + TempDir::separator() + "a.flac"},
        {"a folder", dir.file("folder.flac")},
        {"a WAV name", dir.file("old.flac") + ".wav"},
        {"no samples", existing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(LuWriteSoundFile(c.path.c_str(), c.name[0] == 'n' ? nullptr : samples.data(),
                                      44100 * 10));
        EXPECT_EQ(2u, namesIn(dir.path()).size());
    }
#ifndef _WIN32
    // The file system refuses to hold more than 64 KiB: the encoder fails in mid-song.
    struct sigaction ignore = {}, previous = {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit limit, small;
    getrlimit(RLIMIT_FSIZE, &limit);
    small = limit;
    small.rlim_cur = 65536;
    setrlimit(RLIMIT_FSIZE, &small);
    for (const char* name : {"old.flac", "new.flac", "new.mp3", "new.opus", "new.ogg"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(LuWriteSoundFile(dir.file(name).c_str(), samples.data(), 44100 * 10));
        EXPECT_EQ(2u, namesIn(dir.path()).size());
    }
    setrlimit(RLIMIT_FSIZE, &limit);
    sigaction(SIGXFSZ, &previous, nullptr);
#endif
    EXPECT_EQ(test_util::Bytes({'k', 'e', 'e', 'p', ' ', 'm', 'e'}), test_util::readFile(existing));
}

TEST(LuSoundFileWriterTest, ThreadsWriteBesideTheSameTarget) {
    const std::vector<float> tone = sine(4410, 0.5);
    TempDir dir;
    const std::string path = dir.file("a.ogg");
    bool written[4] = {};
    std::vector<std::thread> threads;
    for (bool& ok : written)
        threads.emplace_back([&] { ok = LuWriteSoundFile(path.c_str(), tone.data(), 4410); });
    for (std::thread& thread : threads) thread.join();
#ifdef _WIN32
    // Windows refuses to replace a file that another thread is replacing at that moment: some
    // writers may fail there, but one wins and none leaves its temporary file behind.
    EXPECT_NE(std::end(written), std::find(std::begin(written), std::end(written), true));
#else
    for (bool ok : written) EXPECT_TRUE(ok);
#endif
    EXPECT_EQ(4410, readBack(path).info.frames);
    EXPECT_EQ(1u, namesIn(dir.path()).size());
}

}  // namespace
