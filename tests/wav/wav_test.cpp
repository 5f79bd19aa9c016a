#include "wav/wav.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#ifndef _WIN32
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#endif

#include "tests/test_util.h"

namespace {

using test_util::Bytes;
using test_util::samplesOf;
using test_util::TempDir;

// A normalised buffer holding `values` as its samples.
void fill(LuWav& wav, const std::vector<int16_t>& values) {
    ASSERT_TRUE(wav.reset());
    LuWav source;
    TempDir dir;
    ASSERT_TRUE(source.read(
        dir.write("s.wav", test_util::pcmWav(2, 44100, 16, test_util::samples16(values))).c_str()));
    ASSERT_TRUE(wav.mixin(0, source));
}

// The trace line of the first sample, formatted the way this platform prints pointers.
std::string headLine(intptr_t sample) {
    char line[64];
    std::snprintf(line, sizeof line, "data head = %p\n", reinterpret_cast<void*>(sample));
    return line;
}

Bytes fmtChunk(const Bytes& payload) {
    Bytes out;
    test_util::putChunk(out, "fmt ", payload);
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes chunk(const char* tag, const Bytes& payload, bool pad = true) {
    Bytes out;
    test_util::putChunk(out, tag, payload, pad);
    return out;
}

Bytes fmtFields(int tag, int channels, uint32_t rate, uint32_t byteRate, int block, int bits) {
    Bytes out;
    test_util::putLe16(out, tag);
    test_util::putLe16(out, channels);
    test_util::putLe32(out, rate);
    test_util::putLe32(out, byteRate);
    test_util::putLe16(out, block);
    test_util::putLe16(out, bits);
    return out;
}

}  // namespace

TEST(LuWavTest, NormalisesEveryFormat) {
    // 16 stereo frames (100 k, -100 k), k = 0 to 15.
    std::vector<int16_t> ramp;
    for (int k = 0; k < 16; ++k) ramp.insert(ramp.end(), {int16_t(k * 100), int16_t(-k * 100)});
    // clang-format off
    const struct {
        const char* name;
        int channels, rate, bits;
        Bytes data;
        int memorySize;
        std::vector<int16_t> expected;
    } cases[] = {
        {"16-bit stereo 44100", 2, 44100, 16, test_util::samples16({1, -2, 300, -400}),
         8, {1, -2, 300, -400}},
        {"8-bit mono 44100", 1, 44100, 8, {0x00, 0x80, 0xFF, 0x81},
         16, {-32768, -32768, 0, 0, 32512, 32512, 256, 256}},
        {"8-bit stereo 44100", 2, 44100, 8, {0x00, 0xFF, 0x80, 0x7F},
         8, {-32768, 32512, 0, -256}},
        {"16-bit mono 44100", 1, 44100, 16, test_util::samples16({100, -200}),
         8, {100, 100, -200, -200}},
        // Anchors at frames 1, 3, 5 copy source frames 0, 1, 2; frames 2 and 4 lie halfway;
        // frame 0 repeats source frame 0. 3 bytes become 8 * 3 with no growth on the way.
        {"8-bit mono 22050", 1, 22050, 8, {0x80, 0x90, 0x70},
         24, {0, 0, 0, 0, 2048, 2048, 4096, 4096, 0, 0, -4096, -4096}},
        // Anchors at 3 and 7; frames 4, 5, 6 step by 1/4, 2/4, 3/4 of the difference,
        // truncated toward zero: left -2001 * 0.25 = -500.25 -> -500.
        {"16-bit stereo 11025", 2, 11025, 16, test_util::samples16({1000, -1000, -1001, 3000}),
         32, {1000, -1000, 1000, -1000, 1000, -1000, 1000, -1000,
              500, 0, 0, 1000, -500, 2000, -1001, 3000}},
        // 44100/48000 * 64 = 58.8 -> 56 bytes, below the 64 read; frame i picks source frame
        // trunc(i * 48000 / 44100): 0 to 11, then 13 and 14.
        {"16-bit stereo 48000", 2, 48000, 16, test_util::samples16(ramp),
         64, {0, 0, 100, -100, 200, -200, 300, -300, 400, -400, 500, -500, 600, -600,
              700, -700, 800, -800, 900, -900, 1000, -1000, 1100, -1100, 1300, -1300, 1400, -1400}},
    };
    // clang-format on
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LuWav wav;
        ASSERT_TRUE(wav.read(
            dir.write("a.wav", test_util::pcmWav(c.channels, c.rate, c.bits, c.data)).c_str()));
        EXPECT_EQ(2, wav.channel_count);
        EXPECT_EQ(44100, wav.frequency);
        EXPECT_EQ(16, wav.bit_rate);
        EXPECT_EQ(c.memorySize, wav.memory_size);
        EXPECT_EQ(static_cast<int>(c.expected.size() * 2), wav.getDataSize());
        EXPECT_EQ(c.expected, samplesOf(wav));
    }
}

TEST(LuWavTest, UpSamplesFromTheLowestRate) {
    // 2100 Hz: 21 destination frames per source frame, 20 of them interpolated. Frame f between
    // the anchors 20 and 41 gets S + trunc((P - S) * (f - 20) / 21).
    TempDir dir;
    LuWav wav;
    ASSERT_TRUE(
        wav.read(dir.write("a.wav", test_util::pcmWav(2, 2100, 16,
                                                      test_util::samples16({100, 200, 1100, -800})))
                     .c_str()));
    ASSERT_EQ(168, wav.getDataSize());
    const std::vector<int16_t> samples = samplesOf(wav);
    const struct {
        int frame, left, right;
    } frames[] = {{0, 100, 200},   {19, 100, 200},   {20, 100, 200},  {21, 147, 153},
                  {30, 576, -276}, {40, 1052, -752}, {41, 1100, -800}};
    for (const auto& f : frames) {
        SCOPED_TRACE(f.frame);
        EXPECT_EQ(f.left, samples[f.frame * 2]);
        EXPECT_EQ(f.right, samples[f.frame * 2 + 1]);
    }
}

// Resampling of interleaved stereo frames into a separate array, step by step as defined:
// frame i of the down-sampled sound is source frame trunc(i / r); in up-sampling the highest
// frame of each source frame's group copies it, the frames between two such anchors step from
// the lower source frame toward the higher one, and the frames below the first anchor repeat
// source frame 0.
std::vector<int16_t> resampled(const std::vector<int16_t>& source, int rate) {
    const long double r = 44100.0L / rate;
    int64_t size = static_cast<int64_t>(r * static_cast<int64_t>(source.size() * 2));
    size -= size % 4;
    const int64_t frames = size / 4;
    std::vector<int16_t> out(static_cast<size_t>(size / 2));
    auto sourceOf = [&](int64_t j) { return static_cast<int64_t>(j / r); };
    if (rate > 44100) {
        for (int64_t i = 0; i < frames; ++i) {
            out[2 * i] = source[2 * sourceOf(i)];
            out[2 * i + 1] = source[2 * sourceOf(i) + 1];
        }
        return out;
    }
    int64_t anchor = -1;
    for (int64_t j = frames - 1; j >= 0; --j) {
        if (anchor >= 0 && sourceOf(j) == sourceOf(anchor)) continue;
        const int64_t low = sourceOf(j);
        for (int64_t c = 0; anchor >= 0 && c < 2; ++c) {
            const int64_t count = anchor - j - 1;
            const int s = source[2 * low + c];
            const int p = source[2 * sourceOf(anchor) + c];
            for (int64_t m = 1; m <= count; ++m) {
                const double t =
                    static_cast<double>(static_cast<long double>(count + 1 - m) / (count + 1));
                out[2 * (anchor - m) + c] = static_cast<int16_t>(
                    s + static_cast<int>((p - s) * static_cast<long double>(t)));
            }
        }
        out[2 * j] = source[2 * low];
        out[2 * j + 1] = source[2 * low + 1];
        anchor = j;
    }
    for (int64_t j = 0; j < anchor; ++j) {
        out[2 * j] = source[0];
        out[2 * j + 1] = source[1];
    }
    return out;
}

TEST(LuWavTest, ResamplesLongSoundsAtAnyRate) {
    // Noise over the whole 16-bit range, 3001 frames, at rates from the lowest on. At 2124 Hz
    // frame 1225 maps to exactly 59 source frames, which the extended-precision quotient
    // truncates to 58; 48608 Hz does the same at frame 225 (exactly 248).
    std::vector<int16_t> noise;
    uint32_t state = 12345;
    for (int i = 0; i < 2 * 3001; ++i) {
        state = state * 1103515245u + 12345u;
        noise.push_back(static_cast<int16_t>(state >> 16));
    }
    TempDir dir;
    for (int rate : {2100, 2124, 8000, 11025, 12345, 14700, 16000, 22050, 32000, 37800, 44099,
                     44101, 47250, 48000, 48608, 88200, 96000, 176400, 192000}) {
        SCOPED_TRACE(rate);
        LuWav wav;
        ASSERT_TRUE(
            wav.read(dir.write("a.wav", test_util::pcmWav(2, rate, 16, test_util::samples16(noise)))
                         .c_str()));
        const std::vector<int16_t> expected = resampled(noise, rate);
        const std::vector<int16_t> actual = samplesOf(wav);
        ASSERT_EQ(expected.size(), actual.size());
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(expected[i], actual[i]) << "sample " << i;
    }
}

TEST(LuWavTest, WidensLongMonoAndEightBitSounds) {
    // Every byte value, 1000 + 3 bytes: 8-bit mono becomes (byte - 128) * 256 on both channels,
    // and 16-bit mono is copied to both channels.
    Bytes bytes;
    std::vector<int16_t> wide, mono;
    for (int i = 0; i < 1003; ++i) {
        bytes.push_back(static_cast<uint8_t>(i * 37));
        wide.insert(wide.end(), 2, static_cast<int16_t>((bytes.back() - 128) * 256));
        mono.push_back(static_cast<int16_t>(i * 65 - 32768));
    }
    TempDir dir;
    LuWav eight;
    ASSERT_TRUE(eight.read(dir.write("8.wav", test_util::pcmWav(1, 44100, 8, bytes)).c_str()));
    EXPECT_EQ(wide, samplesOf(eight));
    LuWav sixteen;
    ASSERT_TRUE(sixteen.read(
        dir.write("16.wav", test_util::pcmWav(1, 44100, 16, test_util::samples16(mono))).c_str()));
    std::vector<int16_t> stereo;
    for (int16_t sample : mono) stereo.insert(stereo.end(), 2, sample);
    EXPECT_EQ(stereo, samplesOf(sixteen));
}

TEST(LuWavTest, ReadTracesEachStep) {
    // 8-bit mono 48000 Hz: the block is sized 8 * 2 * 0.91875 * 2 = 29.4 -> 29 bytes, too small
    // for the 32 bytes of the stereo step, so it doubles once; 29.4 -> 28 bytes remain.
    TempDir dir;
    const std::string path = dir.write(
        "a.wav", test_util::pcmWav(1, 48000, 8, {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87}));
    LuWav wav;
    wav.setDebug(true);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(wav.read(path.c_str()));
    EXPECT_EQ(
        "file size = 52\nfmt_byte_size = 16\nfmt_id = 1\nchannel_count = 1\nfrequency = 48000\n"
        "byte_per_sec = 48000\nblock_size = 1\nbit_rate = 8\ngoto data chunk\ndata_size = 8\n"
        "memory_size = 29\nreaded = 8\n" +
            headLine(-32384) + "16bit changed\nmemory extended 58\n2ch changed\n44kHz changed\n" +
            headLine(0),
        testing::internal::GetCapturedStdout());
    EXPECT_EQ(58, wav.memory_size);
    EXPECT_EQ((std::vector<int16_t>{0, 0, 256, 256, 512, 512, 768, 768, 1024, 1024, 1280, 1280,
                                    1536, 1536}),
              samplesOf(wav));
}

TEST(LuWavTest, SkipsChunksAndFmtExtensions) {
    const Bytes data = chunk("data", test_util::samples16({7, -7}));
    const Bytes fmt = test_util::fmtPayload(2, 44100, 16);
    const struct {
        const char* name;
        Bytes chunks;
        const char* trace;  // the lines between "bit_rate = 16" and "data_size = 4"
    } cases[] = {
        {"LIST between fmt and data", fmtChunk(fmt) + chunk("LIST", {1, 2, 3, 4}) + data,
         "goto data chunk\nchunk is = 1414744396\nchunk size = 4\n"},
        {"odd chunk without pad", fmtChunk(fmt) + chunk("junk", {1, 2, 3}, false) + data,
         "goto data chunk\nchunk is = 1802401130\nchunk size = 3\n"},
        {"chunk before fmt", chunk("JUNK", {1, 2, 3}, false) + fmtChunk(fmt) + data,
         "goto data chunk\n"},
        {"fmt of 18 bytes", fmtChunk(fmt + Bytes{0, 0}) + data,
         "fmt  chunk extend\nextend size is = 2\ngoto data chunk\n"},
        {"fmt of 40 bytes", fmtChunk(fmt + Bytes(24, 0xEE)) + data,
         "fmt  chunk extend\nextend size is = 24\ngoto data chunk\n"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write("a.wav", test_util::riffWave(c.chunks));
        LuWav wav;
        wav.setDebug(true);
        testing::internal::CaptureStdout();
        ASSERT_TRUE(wav.read(path.c_str()));
        const std::string out = testing::internal::GetCapturedStdout();
        const size_t from = out.find("bit_rate = 16\n") + 14;
        EXPECT_EQ(c.trace, out.substr(from, out.find("data_size = 4\n") - from));
        EXPECT_EQ((std::vector<int16_t>{7, -7}), samplesOf(wav));
    }
}

TEST(LuWavTest, ReadFailsOnBadFiles) {
    const Bytes fmt = test_util::fmtPayload(2, 44100, 16);
    const Bytes data = chunk("data", test_util::samples16({7, -7}));
    Bytes huge;
    test_util::putLe32(huge, 0x80000000u);
    const Bytes hugeData = Bytes{'d', 'a', 't', 'a'} + huge;
    const Bytes hugeList = Bytes{'L', 'I', 'S', 'T'} + huge;
    Bytes shortData = chunk("data", test_util::samples16({7, -7, 8, -8}));
    shortData.resize(shortData.size() - 4);
    // 8-bit mono 2100 Hz grows by 84: 30000000 bytes would need more than 2^31 - 1.
    Bytes tooLong = Bytes{'d', 'a', 't', 'a'};
    test_util::putLe32(tooLong, 30000000);
    const Bytes tooLongFile =
        test_util::riffWave(fmtChunk(test_util::fmtPayload(1, 2100, 8)) + tooLong);
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {
        {"not RIFF", Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'} + fmtChunk(fmt)},
        {"not WAVE", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'X'} + fmtChunk(fmt)},
        {"no fmt", test_util::riffWave(data)},
        {"cut in fmt", test_util::riffWave(Bytes{'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2})},
        {"float", test_util::riffWave(fmtChunk(test_util::fmtPayload(2, 44100, 32, 3)) + data)},
        {"extensible",
         test_util::riffWave(fmtChunk(test_util::fmtPayload(2, 44100, 16, 0xFFFE)) + data)},
        {"6 channels", test_util::riffWave(fmtChunk(test_util::fmtPayload(6, 44100, 16)) + data)},
        {"24 bits", test_util::riffWave(fmtChunk(test_util::fmtPayload(2, 44100, 24)) + data)},
        {"block size", test_util::riffWave(fmtChunk(fmtFields(1, 2, 44100, 176400, 2, 16)) + data)},
        {"byte rate", test_util::riffWave(fmtChunk(fmtFields(1, 2, 44100, 176404, 4, 16)) + data)},
        {"2099 Hz", test_util::riffWave(fmtChunk(test_util::fmtPayload(2, 2099, 16)) + data)},
        {"0 Hz", test_util::riffWave(fmtChunk(test_util::fmtPayload(2, 0, 16)) + data)},
        {"cut in fmt extension", test_util::riffWave(Bytes{'f', 'm', 't', ' ', 40, 0, 0, 0} + fmt)},
        {"no data", test_util::riffWave(fmtChunk(fmt))},
        {"data before fmt", test_util::riffWave(data + fmtChunk(fmt))},
        {"pad byte after odd chunk",
         test_util::riffWave(fmtChunk(fmt) + chunk("junk", {1, 2, 3}) + data)},
        {"short data", test_util::riffWave(fmtChunk(fmt) + shortData)},
        {"chunk of 2^31", test_util::riffWave(fmtChunk(fmt) + hugeList + data)},
        {"data of 2^31", test_util::riffWave(fmtChunk(fmt) + hugeData)},
        {"too long", tooLongFile},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write("a.wav", c.file);
        LuWav wav;
        wav.setDebug(true);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(wav.read(path.c_str()));
        const std::string out = testing::internal::GetCapturedStdout();
        ASSERT_GE(out.size(), 6u);
        EXPECT_EQ("error\n", out.substr(out.size() - 6));
    }

    LuWav wav;
    wav.setDebug(true);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(wav.read(dir.file("missing.wav").c_str()));
    EXPECT_EQ("", testing::internal::GetCapturedStdout());

    // A buffer left with more data than block is refused by the operations that read it.
    LuWav halfRead;
    EXPECT_FALSE(halfRead.read(dir.write("a.wav", tooLongFile).c_str()));
    LuWav mix;
    ASSERT_TRUE(mix.reset());
    EXPECT_FALSE(mix.mixin(0, halfRead));
    EXPECT_FALSE(mix.deduct(0, halfRead, 0));
    EXPECT_FALSE(halfRead.write(dir.file("out.wav").c_str()));
    EXPECT_FALSE(test_util::fileExists(dir.file("out.wav")));
}

TEST(LuWavTest, DataLongerThanFileFailsBeforeAllocating) {
    // 8-bit mono 2100 Hz grows by 2 * 21 * 2 = 84: a data chunk that claims 25000000 bytes would
    // size the block at 2100000000 bytes, but only 4 bytes follow in the file.
    Bytes claim = Bytes{'d', 'a', 't', 'a'};
    test_util::putLe32(claim, 25000000);
    claim.insert(claim.end(), {0x80, 0x81, 0x82, 0x83});
    TempDir dir;
    const std::string path = dir.write(
        "a.wav", test_util::riffWave(fmtChunk(test_util::fmtPayload(1, 2100, 8)) + claim));
    LuWav wav;
    wav.setDebug(true);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(wav.read(path.c_str()));
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string tail = "data_size = 25000000\nmemory_size = 2100000000\nreaded = 4\nerror\n";
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(tail, out.substr(out.size() - tail.size()));
    EXPECT_EQ(nullptr, wav.data);
}

TEST(LuWavTest, ExtendDoublesAndZeroFills) {
    const struct {
        bool fresh;
        int64_t size;
        bool result;
        int capacity;
        const char* trace;
    } cases[] = {
        {false, 1024, true, 1024, ""},
        {false, 1025, true, 2048, "memory extended 2048\n"},
        {false, 5000, true, 8192, "memory extended 8192\n"},
        {false, INT64_C(1) << 31, false, 1024, ""},
        {true, 0, true, 0, ""},
        {true, 1, true, 1024, "memory extended 1024\n"},
        {true, 3000, true, 4096, "memory extended 4096\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fresh << " " << c.size);
        LuWav wav;
        if (!c.fresh) fill(wav, {5, -6});
        wav.setDebug(true);
        testing::internal::CaptureStdout();
        EXPECT_EQ(c.result, wav.extend(c.size));
        EXPECT_EQ(c.trace, testing::internal::GetCapturedStdout());
        EXPECT_EQ(c.capacity, wav.memory_size);
        EXPECT_EQ(c.fresh ? 0 : 4, wav.data_size);
        for (int i = 0; i < wav.memory_size; ++i) {
            const int expected = c.fresh || i >= 4 ? 0 : (Bytes{5, 0, 0xFA, 0xFF})[i];
            ASSERT_EQ(expected, wav.data[i]) << i;
        }
    }
}

TEST(LuWavTest, ResetPreparesEmptyBuffer) {
    LuWav wav;
    fill(wav, {1, 2, 3, 4});
    wav.setDebug(true);
    ASSERT_TRUE(wav.reset());
    EXPECT_EQ(0, wav.getDataSize());
    EXPECT_EQ(1024, wav.memory_size);
    EXPECT_TRUE(wav.debug);
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(0, wav.data[i]);
}

TEST(LuWavTest, ChangeVolumeTruncatesAndSaturates) {
    const std::vector<int16_t> input = {3, -3, 20000, -20000, 32767, -32768, 10, 0};
    const struct {
        int percent;
        std::vector<int16_t> expected;
        const char* trace;
    } cases[] = {
        {100, input, ""},
        {50, {1, -1, 10000, -10000, 16383, -16384, 5, 0}, "changed 50%\n"},
        {200, {6, -6, 32767, -32768, 32767, -32768, 20, 0}, "changed 200%\n"},
        {0, {0, 0, 0, 0, 0, 0, 0, 0}, "changed 0%\n"},
        {-100, {-3, 3, -20000, 20000, -32767, 32767, -10, 0}, "changed -100%\n"},
        {30, {0, 0, 6000, -6000, 9830, -9830, 3, 0}, "changed 30%\n"},
        {INT_MAX, {32767, -32768, 32767, -32768, 32767, -32768, 32767, 0}, "changed 2147483647%\n"},
        {INT_MIN,
         {-32768, 32767, -32768, 32767, -32768, 32767, -32768, 0},
         "changed -2147483648%\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.percent);
        LuWav wav;
        fill(wav, input);
        wav.setDebug(true);
        testing::internal::CaptureStdout();
        wav.changeVolume(c.percent);
        EXPECT_EQ(c.trace, testing::internal::GetCapturedStdout());
        EXPECT_EQ(c.expected, samplesOf(wav));
    }
}

TEST(LuWavTest, ChangeVolumeMatchesExtendedPrecisionOnEverySample) {
    // Every 16-bit value, scaled by trunc(sample * (percent * 0.01)) in extended precision with
    // saturation, for small, large and extreme percentages.
    std::vector<int16_t> every;
    for (int value = -32768; value <= 32767; ++value) every.push_back(static_cast<int16_t>(value));
    std::vector<int> percents = {65535,  65536,  -65535,  -65536,  99999,       1234567,
                                 -98765, 330000, INT_MAX, INT_MIN, INT_MAX - 1, INT_MIN + 1};
    for (int percent = -250; percent <= 250; ++percent) percents.push_back(percent);
    for (int percent : percents) {
        SCOPED_TRACE(percent);
        LuWav wav;
        ASSERT_TRUE(wav.reset());
        ASSERT_TRUE(wav.extend(every.size() * 2));
        std::memcpy(wav.data.get(), every.data(), every.size() * 2);
        wav.data_size = static_cast<int>(every.size() * 2);
        wav.changeVolume(percent);
        const long double factor = percent * static_cast<long double>(0.01);
        const std::vector<int16_t> scaled = samplesOf(wav);
        for (size_t i = 0; i < every.size(); ++i) {
            const long double product = every[i] * factor;
            const int16_t expected = product >= 32767    ? 32767
                                     : product <= -32768 ? -32768
                                                         : static_cast<int16_t>(product);
            if (scaled[i] != expected) {
                ADD_FAILURE() << every[i] << " became " << scaled[i] << ", not " << expected;
                break;
            }
        }
    }
}

TEST(LuWavTest, LongMixinAndDeductSaturateEverySample) {
    // Long enough for the vectorised loops and their tails, at odd positions: each sample sums
    // with saturation, and deduct restores what mixin added wherever nothing clipped.
    std::vector<int16_t> base, sound;
    for (int i = 0; i < 2 * 1003; ++i) {
        base.push_back(static_cast<int16_t>((i * 7919) % 65536 - 32768));
        sound.push_back(static_cast<int16_t>((i * 104729) % 65536 - 32768));
    }
    LuWav wav, source;
    fill(wav, base);
    fill(source, sound);
    ASSERT_TRUE(wav.mixin(5, source));
    std::vector<int16_t> mixed = base;
    mixed.resize(2 * (5 + 1003), 0);
    for (size_t i = 0; i < sound.size(); ++i) {
        const int sum = mixed[10 + i] + sound[i];
        mixed[10 + i] = static_cast<int16_t>(sum > 32767 ? 32767 : sum < -32768 ? -32768 : sum);
    }
    ASSERT_EQ(mixed, samplesOf(wav));

    // Cut at frame 5 + 333: source frames from 333 on come out again.
    ASSERT_TRUE(wav.deduct(5 + 333, source, 333));
    for (size_t i = 2 * 333; i < sound.size(); ++i) {
        const int difference = mixed[10 + i] - sound[i];
        mixed[10 + i] = static_cast<int16_t>(difference > 32767    ? 32767
                                             : difference < -32768 ? -32768
                                                                   : difference);
    }
    const std::vector<int16_t> cut = samplesOf(wav);
    ASSERT_EQ(mixed, cut);
    int restored = 0;
    for (size_t i = 2 * 333; i < sound.size(); ++i) {
        const int sum = (10 + i < base.size() ? base[10 + i] : 0) + sound[i];
        if (sum >= -32768 && sum <= 32767) {
            ASSERT_EQ(10 + i < base.size() ? base[10 + i] : 0, cut[10 + i]) << i;
            ++restored;
        }
    }
    EXPECT_GT(restored, 500);
}

TEST(LuWavTest, MixinSaturatesAndGrows) {
    LuWav wav;
    fill(wav, {10000, -10000, 5, 5});
    LuWav loud;
    fill(loud, {30000, -30000});
    ASSERT_TRUE(wav.mixin(0, loud));
    EXPECT_EQ((std::vector<int16_t>{32767, -32768, 5, 5}), samplesOf(wav));
    EXPECT_EQ(8, wav.getDataSize());

    // Ending before the buffer's end leaves the size alone.
    ASSERT_TRUE(wav.mixin(1, loud));
    EXPECT_EQ((std::vector<int16_t>{32767, -32768, 30005, -29995}), samplesOf(wav));

    // Past the end: the block doubles to hold 300 * 4 + 4 bytes, the gap stays silent, and the
    // trace reports the capacity after growth.
    wav.setDebug(true);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(wav.mixin(300, loud));
    EXPECT_EQ("memory extended 2048\nmixin begin 2048 4\nmixin end\n",
              testing::internal::GetCapturedStdout());
    EXPECT_EQ(1204, wav.getDataSize());
    const std::vector<int16_t> samples = samplesOf(wav);
    for (int i = 4; i < 600; ++i) ASSERT_EQ(0, samples[i]) << i;
    EXPECT_EQ(30000, samples[600]);
    EXPECT_EQ(-30000, samples[601]);

    // A buffer with no block grows from 1024 bytes; negative positions and itself are refused.
    LuWav fresh;
    ASSERT_TRUE(fresh.mixin(2, loud));
    EXPECT_EQ(1024, fresh.memory_size);
    EXPECT_EQ(12, fresh.getDataSize());
    EXPECT_EQ((std::vector<int16_t>{0, 0, 0, 0, 30000, -30000}), samplesOf(fresh));
    EXPECT_FALSE(fresh.mixin(-1, loud));
    EXPECT_FALSE(fresh.mixin(0, fresh));
    EXPECT_EQ(12, fresh.getDataSize());
}

TEST(LuWavTest, DeductRestoresWhatMixinAdded) {
    // Background 1000 * k, a sound of 6 frames mixed at frame 2, then cut at frame 5 (skip 3).
    LuWav wav;
    std::vector<int16_t> background;
    for (int k = 0; k < 20; ++k) background.push_back(static_cast<int16_t>(k * 1000));
    fill(wav, background);
    LuWav sound;
    fill(sound, {1, -1, 2, -2, 3, -3, 4, -4, 5, -5, 30000, -30000});
    ASSERT_TRUE(wav.mixin(2, sound));
    wav.setDebug(true);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(wav.deduct(5, sound, 3));
    EXPECT_EQ("deduct begin 1024 24\ndeduct end\n", testing::internal::GetCapturedStdout());
    std::vector<int16_t> expected = background;
    // Frames 2 to 4 keep the sound; frame 7 saturated (14000 + 30000) and cannot come back.
    const int16_t kept[] = {1, -1, 2, -2, 3, -3};
    for (int i = 0; i < 6; ++i) expected[4 + i] += kept[i];
    expected[14] = 32767 - 30000;
    expected[15] = 15000;
    EXPECT_EQ(expected, samplesOf(wav));
    EXPECT_EQ(40, wav.getDataSize());

    // Past the end the deducted frames appear negated and raise the size; a skip at or beyond
    // the sound's frames, however large, changes nothing.
    LuWav empty;
    ASSERT_TRUE(empty.reset());
    ASSERT_TRUE(empty.deduct(1, sound, 4));
    EXPECT_EQ((std::vector<int16_t>{0, 0, -5, 5, -30000, 30000}), samplesOf(empty));
    for (int skip : {6, 1 << 29, INT_MAX}) {
        SCOPED_TRACE(skip);
        ASSERT_TRUE(empty.deduct(0, sound, skip));
        EXPECT_EQ((std::vector<int16_t>{0, 0, -5, 5, -30000, 30000}), samplesOf(empty));
    }
    EXPECT_FALSE(empty.deduct(-1, sound, 0));
    EXPECT_FALSE(empty.deduct(0, sound, -1));
}

TEST(LuWavTest, WritesCanonicalFile) {
    TempDir dir;
    LuWav empty;
    ASSERT_TRUE(empty.reset());
    const std::string emptyPath = dir.file("empty.wav");
    ASSERT_TRUE(empty.write(emptyPath.c_str()));
    EXPECT_EQ(test_util::pcmWav(2, 44100, 16, {}), test_util::readFile(emptyPath));

    // An odd data size is written as it is, with no pad byte.
    LuWav odd;
    ASSERT_TRUE(odd.read(
        dir.write("odd.wav", test_util::riffWave(fmtChunk(test_util::fmtPayload(2, 44100, 16)) +
                                                 chunk("data", {1, 2, 3, 4, 5}, false)))
            .c_str()));
    const std::string oddPath = dir.file("out.wav");
    ASSERT_TRUE(odd.write(oddPath.c_str()));
    Bytes expected = test_util::pcmWav(2, 44100, 16, {1, 2, 3, 4, 5});
    expected.pop_back();
    expected[4] -= 1;
    EXPECT_EQ(expected, test_util::readFile(oddPath));

    // Over an existing file, with the whole trace.
    LuWav wav;
    fill(wav, {1, -1, 2, -2});
    wav.setDebug(true);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(wav.write(oddPath.c_str()));
    EXPECT_EQ(
        "-----write----------------------------\n\"RIFF\" written\nfile_size written = 44\n"
        "\"WAVE\" written\n\"fmt \" written\nfmt_BYTE_SIZE written\nfmt_ID written\n"
        "channel_count written = 2\nfrequency written = 44100\nbyte_per_sec written = 176400\n"
        "block_size written = 4\nbit_rate written = 16\n\"data\" written\nmemory size is 1024\n"
        "data_size written = 8\ndata body written 8\n",
        testing::internal::GetCapturedStdout());
    EXPECT_EQ(test_util::pcmWav(2, 44100, 16, test_util::samples16({1, -1, 2, -2})),
              test_util::readFile(oddPath));

    // A target that cannot be created fails without a trace.
    testing::internal::CaptureStdout();
    EXPECT_FALSE(wav.write(dir.file("missing/out.wav").c_str()));
    EXPECT_FALSE(wav.write(dir.mkdir("folder").c_str()));
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

#ifndef _WIN32
TEST(LuWavTest, FailedWriteKeepsExistingFile) {
    TempDir dir;
    const std::string path = dir.write("out.wav", "previous content");
    LuWav wav;
    fill(wav, std::vector<int16_t>(4000, 1234));

    // Limit the size of files this process may write, so the body cannot be written in full.
    rlimit saved;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    rlimit limited = saved;
    limited.rlim_cur = 1000;
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limited));
    wav.setDebug(true);
    testing::internal::CaptureStdout();
    const bool written = wav.write(path.c_str());
    const std::string out = testing::internal::GetCapturedStdout();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);

    EXPECT_FALSE(written);
    EXPECT_EQ("error\n", out.substr(out.size() - 6));
    EXPECT_EQ(test_util::readFile(path), (Bytes{'p', 'r', 'e', 'v', 'i', 'o', 'u', 's', ' ', 'c',
                                                'o', 'n', 't', 'e', 'n', 't'}));
    // No temporary file is left beside it.
    int entries = 0;
    if (DIR* folder = opendir(dir.path().c_str())) {
        while (readdir(folder)) ++entries;
        closedir(folder);
    }
    EXPECT_EQ(3, entries);  // ".", ".." and out.wav
}
#endif
