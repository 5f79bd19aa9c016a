// The song's output side as the console program drives it: the formats chosen by the output's
// name, the normalised mix (-n) and the preview window (-w), each file read back by libsndfile
// (and sox where it reads the format) and measured with libebur128 directly.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ebur128.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <string>
#include <vector>

#include "tests/e2e/run_keymix.h"
#include "tests/test_util.h"

namespace {

using e2e::FAILED;
using e2e::readText;
using e2e::Result;
using e2e::runKeymix;
using test_util::soxInfo;
using test_util::TempDir;

constexpr double PI = 3.14159265358979323846;
// The example chart's song: 363510 frames (see keymix_e2e_test.cpp).
constexpr int64_t DEMO_FRAMES = 363510;

struct Song {
    int rate = 0;
    int channels = 0;
    int64_t frames = 0;
    std::vector<int16_t> samples;
};

Song readSong(const std::string& path) {
    Song song;
    SF_INFO info = {};
    SNDFILE* in = sf_open(path.c_str(), SFM_READ, &info);
    if (!in) return song;
    song.rate = info.samplerate;
    song.channels = info.channels;
    song.frames = info.frames;
    std::vector<int16_t> chunk(4096 * std::max(info.channels, 1));
    sf_count_t got;
    while ((got = sf_readf_short(in, chunk.data(), 4096)) > 0)
        song.samples.insert(song.samples.end(), chunk.begin(), chunk.begin() + got * info.channels);
    sf_close(in);
    return song;
}

// Integrated loudness in LUFS of 16-bit stereo 44100 Hz samples.
double loudnessOf(const std::vector<int16_t>& samples) {
    ebur128_state* state = ebur128_init(2, 44100, EBUR128_MODE_I);
    double loudness = 0;
    ebur128_add_frames_short(state, samples.data(), samples.size() / 2);
    ebur128_loudness_global(state, &loudness);
    ebur128_destroy(&state);
    return loudness;
}

int peakOf(const std::vector<int16_t>& samples) {
    int peak = 0;
    for (int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

// Four background lanes play a 440 Hz tone of 3 seconds at 20000 together: at -v 100 they sum
// to 80000 and clip.
std::string writeClippingChart(const TempDir& dir) {
    std::vector<int16_t> tone(44100 * 3 * 2);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] =
            static_cast<int16_t>(std::lround(20000 * std::sin(2 * PI * 440 * (i / 2) / 44100)));
    dir.write("tone.wav", test_util::pcmWav(2, 44100, 16, test_util::samples16(tone)));
    return dir.write("loud.bms", "#WAV01 tone.wav\n#00001:01\n#00001:01\n#00001:01\n#00001:01\n");
}

TEST(SoundOutputE2eTest, EachFormatReadsBackAndFlacKeepsTheWavSamples) {
    TempDir dir;
    const std::string chart = std::string(KEYMIX_EXAMPLES) + "/demo.bms";
    const struct {
        const char* name;
        int rate;
        int64_t frames;
        int64_t tolerance;
        bool soxReads;
    } cases[] = {
        {"song.flac", 44100, DEMO_FRAMES, 0, true},
        {"song.ogg", 44100, DEMO_FRAMES, 0, true},
        {"song.opus", 48000, DEMO_FRAMES * 48000 / 44100, 2, false},
        {"song.mp3", 44100, DEMO_FRAMES, 0, false},
    };
#ifndef _WIN32
    const bool haveSox = std::system("sox --version >/dev/null 2>&1") == 0;
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Result result = runKeymix(dir, {"-o", c.name, chart});
        EXPECT_EQ(0, result.status);
        EXPECT_EQ(std::string("\nWAVファイルへ書き込みました ") + c.name + "\n", result.err);
        const Song song = readSong(dir.file(c.name));
        EXPECT_EQ(c.rate, song.rate);
        EXPECT_EQ(2, song.channels);
        EXPECT_NEAR(c.frames, song.frames, c.tolerance);
        EXPECT_NEAR(c.frames * 2, static_cast<int64_t>(song.samples.size()), c.tolerance * 2);
#ifndef _WIN32
        if (haveSox && c.soxReads) {
            EXPECT_EQ(std::to_string(c.rate), soxInfo(dir.file(c.name), "r"));
            EXPECT_EQ("2", soxInfo(dir.file(c.name), "c"));
            EXPECT_EQ(std::to_string(c.frames), soxInfo(dir.file(c.name), "s"));
        }
#endif
    }
    // FLAC holds exactly the WAV's samples, with and without the options of the output side.
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, {"-n", "-w", "1,4", "-v", "80"}}) {
        SCOPED_TRACE(options.size());
        std::vector<std::string> wavArgs = options, flacArgs = options;
        wavArgs.insert(wavArgs.end(), {"-o", "same.wav", chart});
        flacArgs.insert(flacArgs.end(), {"-o", "same.flac", chart});
        ASSERT_EQ(0, runKeymix(dir, wavArgs).status);
        ASSERT_EQ(0, runKeymix(dir, flacArgs).status);
        const Song wav = readSong(dir.file("same.wav"));
        EXPECT_EQ(options.empty() ? DEMO_FRAMES : 4 * 44100, wav.frames);
        EXPECT_TRUE(wav.samples == readSong(dir.file("same.flac")).samples);
    }
}

TEST(SoundOutputE2eTest, NormalisedMixReachesTheTargetWithoutFullScale) {
    TempDir dir;
    writeClippingChart(dir);
    ASSERT_EQ(0, runKeymix(dir, {"-v", "100", "-o", "plain.wav", "loud.bms"}).status);
    EXPECT_GE(peakOf(readSong(dir.file("plain.wav")).samples), 32767) << "the plain mix clips";

    const struct {
        std::vector<std::string> options;
        const char* output;
        int64_t frames;
    } cases[] = {
        {{"-n", "-d"}, "normal.wav", 44100 * 3},
        {{"-n", "-w", "0.5,2"}, "window.wav", 44100 * 2},
        {{"-n", "-v", "10"}, "quiet.flac", 44100 * 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        std::vector<std::string> args = {"-v", "100", "-o", c.output};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back("loud.bms");
        const Result result = runKeymix(dir, args);
        EXPECT_EQ(0, result.status);
        const Song song = readSong(dir.file(c.output));
        EXPECT_EQ(c.frames, song.frames);
        EXPECT_LT(peakOf(song.samples), 32767);
        EXPECT_NEAR(-14.0, loudnessOf(song.samples), 0.5);
        const bool traced = c.options[1] == "-d";
        for (const char* trace :
             {"integrated loudness is ", "true peak is ", "normalising gain is "})
            EXPECT_EQ(traced, result.out.find(trace) != std::string::npos) << trace;
    }
}

// A window of 4 seconds from 1 s into a 6-second song at 10000 (5000 at -v 50): silent at both
// ends, half way at the middle of its one-second fade-in, whole between the fades. A window
// past the end fails and leaves the folder as it was.
TEST(SoundOutputE2eTest, PreviewWindowCutsAndFades) {
    TempDir dir;
    dir.write("flat.wav", test_util::constantWav(44100 * 6, 10000));
    dir.write("flat.bms", "#WAV01 flat.wav\n#00001:01\n");
    ASSERT_EQ(0, runKeymix(dir, {"-w", "1,4", "-o", "cut.wav", "flat.bms"}).status);
    const Song song = readSong(dir.file("cut.wav"));
    ASSERT_EQ(4 * 44100, song.frames);
    const struct {
        int64_t frame;
        int value;
    } frames[] = {{0, 0},
                  {22050, 2500},
                  {44100, 5000},
                  {88200, 5000},
                  {4 * 44100 - 88201, 5000},
                  {4 * 44100 - 44100, 2500},
                  {4 * 44100 - 1, 0}};
    for (const auto& f : frames) EXPECT_NEAR(f.value, song.samples[2 * f.frame], 1) << f.frame;
    ASSERT_EQ(0, runKeymix(dir, {"-w", "5,4", "-o", "end.flac", "flat.bms"}).status);
    EXPECT_EQ(44100, readSong(dir.file("end.flac")).frames) << "cut short at the song's end";

    for (bool existed : {false, true}) {
        SCOPED_TRACE(existed);
        if (existed) dir.write("late.ogg", "precious");
        const Result result = runKeymix(dir, {"-w", "6.5,1", "-o", "late.ogg", "flat.bms"});
        EXPECT_EQ(FAILED, result.status);
        EXPECT_EQ("\nプレビューの開始位置が曲の長さを超えています\n", result.err);
        EXPECT_EQ(existed, test_util::fileExists(dir.file("late.ogg")));
        if (existed) {
            EXPECT_EQ("precious", readText(dir.file("late.ogg")));
        }
    }
}

}  // namespace
