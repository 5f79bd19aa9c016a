#include "decode/extended_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

#include "tests/test_util.h"
#include "wav/wav.h"

namespace {

using test_util::Bytes;
using test_util::putLe16;
using test_util::putLe32;
using test_util::samplesOf;
using test_util::TempDir;

// The sound files that scripts/make_sound_fixtures.sh made; tests run from the project's root.
std::string fixture(const char* name) {
    return std::string("tests/wav/data/") + name;
}

Bytes wavOf(const Bytes& fmt, const Bytes& data) {
    Bytes chunks;
    test_util::putChunk(chunks, "fmt ", fmt);
    test_util::putChunk(chunks, "data", data);
    return test_util::riffWave(chunks);
}

// A WAVE_FORMAT_EXTENSIBLE fmt chunk: sub-format 1 (PCM) or 3 (float).
Bytes extensibleFmt(int channels, int rate, int bits, int validBits, uint32_t mask, int subFormat) {
    Bytes fmt = test_util::fmtPayload(channels, rate, bits, 0xFFFE);
    putLe16(fmt, 22);
    putLe16(fmt, validBits);
    putLe32(fmt, mask);
    putLe16(fmt, subFormat);
    const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                              0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    fmt.insert(fmt.end(), tail, tail + 14);
    return fmt;
}

Bytes le24(const std::vector<int32_t>& values) {
    Bytes out;
    for (int32_t v : values) {
        const uint32_t word = static_cast<uint32_t>(v);
        out.push_back(word & 0xFF);
        out.push_back((word >> 8) & 0xFF);
        out.push_back((word >> 16) & 0xFF);
    }
    return out;
}

Bytes le32(const std::vector<uint32_t>& values) {
    Bytes out;
    for (uint32_t v : values) putLe32(out, v);
    return out;
}

Bytes floats(const std::vector<float>& values) {
    Bytes out;
    for (float v : values) {
        uint32_t word;
        std::memcpy(&word, &v, 4);
        putLe32(out, word);
    }
    return out;
}

Bytes doubles(const std::vector<double>& values) {
    Bytes out;
    for (double v : values) {
        uint64_t word;
        std::memcpy(&word, &v, 8);
        putLe32(out, static_cast<uint32_t>(word));
        putLe32(out, static_cast<uint32_t>(word >> 32));
    }
    return out;
}

std::vector<int16_t> twice(const std::vector<int16_t>& mono) {
    std::vector<int16_t> stereo;
    for (int16_t v : mono) stereo.insert(stereo.end(), {v, v});
    return stereo;
}

TEST(LuExtendedReaderTest, ConvertsWideFormatsTo16BitStereo) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Bytes badBlock = test_util::fmtPayload(1, 44100, 24);
    badBlock[12] = 4;
    Bytes badRate = test_util::fmtPayload(1, 44100, 24);
    badRate[8] ^= 1;
    Bytes shortExtension = extensibleFmt(2, 44100, 16, 16, 0x3, 1);
    shortExtension[16] = 0;
    const struct {
        const char* name;
        Bytes file;
        std::vector<int16_t> expected;
    } cases[] = {
        // 24 bits keep their top 16, rounded: 0x7FFFFF is 32767.996 (clamped), 0x80 is 0.5,
        // 0x7F 0.496, 0x123456 is 4660.34.
        {"24-bit mono",
         wavOf(test_util::fmtPayload(1, 44100, 24),
               le24({0x7FFFFF, 0x80, -0x80, 0x7F, -0x800000, 0x123456})),
         twice({32767, 1, -1, 0, -32768, 4660})},
        // 32 bits: 0x8000 is half a step, 0x17FFF 1.49998, 0x12345678 4660.34.
        {"32-bit stereo",
         wavOf(test_util::fmtPayload(2, 44100, 32),
               le32({0x7FFFFFFF, 0x8000, 0xFFFF8000, 0x80000000, 0x12345678, 0x17FFF})),
         {32767, 1, -1, -32768, 4660, 1}},
        // Floats span -1 to 1 over 32768 steps: 2^-16 is half a step, 1e-5 a third of one.
        {"float mono",
         wavOf(test_util::fmtPayload(1, 44100, 32, 3),
               floats({0.5f, -1.0f, 1.0f, 2.0f, 1.0f / 65536, -1.0f / 65536, 1e-5f, nan})),
         twice({16384, -32768, 32767, 32767, 1, -1, 0, 0})},
        {"extensible 16-bit stereo",
         wavOf(extensibleFmt(2, 44100, 16, 16, 0x3, 1), test_util::samples16({1000, -1000})),
         {1000, -1000}},
        {"extensible float mono", wavOf(extensibleFmt(1, 44100, 32, 32, 0x4, 3), floats({0.25f})),
         twice({8192})},
        // 24 valid bits in 32-bit containers: 0x12345600 is 4660.34, -256 is -0.004.
        {"extensible 24 in 32 bits",
         wavOf(extensibleFmt(2, 44100, 32, 24, 0x3, 1), le32({0x12345600, 0xFFFFFF00})),
         {4660, 0}},
        // 5.1 (FL FR FC LFE BL BR): left (100 + 300 + 400 + 500) / 4, right
        // (200 + 300 + 400 + 600) / 4.
        {"extensible 5.1",
         wavOf(extensibleFmt(6, 44100, 16, 16, 0x3F, 1),
               test_util::samples16({100, 200, 300, 400, 500, 600})),
         {325, 375}},
        // No mask: all four into mono, 11 / 4 = 2.75.
        {"four channels without mask",
         wavOf(test_util::fmtPayload(4, 44100, 16), test_util::samples16({1, 2, 3, 5})),
         twice({3})},
        // 8-bit samples widen as 0x80 -> 0, 0x90 -> 4096, 0xFF -> 32512; 36608 / 3 = 12202.67.
        {"8-bit three channels", wavOf(test_util::fmtPayload(3, 44100, 8), Bytes{0x80, 0x90, 0xFF}),
         twice({12203})},
        {"extensible three channels, empty mask",
         wavOf(extensibleFmt(3, 44100, 16, 16, 0, 1), test_util::samples16({1, 2, 4})), twice({2})},
        // 22050 Hz doubles: the first frame repeats, the third lies halfway, 16384 +
        // trunc(-24576 * 0.5) = 4096.
        {"float 22050 Hz", wavOf(test_util::fmtPayload(1, 22050, 32, 3), floats({0.5f, -0.25f})),
         twice({16384, 16384, 4096, -8192})},
        // 12 valid bits stored in 16: the block size of 1 that a plain division gives is ignored.
        {"12-bit integer",
         wavOf(test_util::fmtPayload(1, 44100, 12), test_util::samples16({0x1230})),
         twice({0x1230})},
        {"64-bit float", wavOf(test_util::fmtPayload(1, 44100, 64, 3), doubles({0.25, -0.5})),
         twice({8192, -16384})},
        // Header fields that contradict the samples' layout: the decoder goes by the width.
        {"block size", wavOf(badBlock, le24({0x123456})), twice({4660})},
        {"byte rate", wavOf(badRate, le24({0x123456})), twice({4660})},
        {"extension size 0", wavOf(shortExtension, test_util::samples16({7, -7})), {7, -7}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LuWav wav;
        ASSERT_TRUE(LuReadExtended(dir.write("a.wav", c.file).c_str(), &wav));
        EXPECT_EQ(2, wav.channel_count);
        EXPECT_EQ(16, wav.bit_rate);
        EXPECT_EQ(44100, wav.frequency);
        EXPECT_EQ(c.expected, samplesOf(wav));
    }
}

// Files that the plain reader takes go to it: the same samples and the same traces.
TEST(LuExtendedReaderTest, LeavesPlainWavFilesToThePlainReader) {
    TempDir dir;
    const std::string path =
        dir.write("a.wav", test_util::pcmWav(1, 22050, 8, Bytes{0x00, 0x80, 0xFF, 0x90}));
    LuWav plain;
    plain.setDebug(true);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(plain.read(path.c_str()));
    const std::string plainTrace = testing::internal::GetCapturedStdout();
    LuWav extended;
    extended.setDebug(true);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(LuReadExtended(path.c_str(), &extended));
    EXPECT_EQ(plainTrace, testing::internal::GetCapturedStdout());
    EXPECT_EQ(samplesOf(plain), samplesOf(extended));
    EXPECT_EQ(plain.memory_size, extended.memory_size);
}

TEST(LuExtendedReaderTest, FailsOnWhatItCannotDecode) {
    Bytes badGuid = extensibleFmt(2, 44100, 16, 16, 0x3, 1);
    badGuid[26] = 0x11;
    Bytes truncatedExtensible = test_util::fmtPayload(2, 44100, 16, 0xFFFE);
    putLe16(truncatedExtensible, 0);
    Bytes longData = wavOf(test_util::fmtPayload(1, 44100, 24), Bytes{});
    longData[40] = 7;  // the data size: 7 bytes, none present
    Bytes noData;
    test_util::putChunk(noData, "fmt ", test_util::fmtPayload(1, 44100, 24));
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {
        {"16-bit float", wavOf(test_util::fmtPayload(1, 44100, 16, 3), Bytes(2, 0))},
        {"ADPCM without its coefficients",
         wavOf(test_util::fmtPayload(1, 44100, 4, 2), Bytes(2, 0))},
        {"2000 Hz", wavOf(test_util::fmtPayload(1, 2000, 24), le24({1}))},
        {"no channels", wavOf(test_util::fmtPayload(0, 44100, 32, 3), Bytes{})},
        {"sub-format GUID", wavOf(badGuid, Bytes(4, 0))},
        {"sub-format ADPCM", wavOf(extensibleFmt(2, 44100, 16, 16, 0x3, 2), Bytes(4, 0))},
        {"extensible fmt of 18 bytes", wavOf(truncatedExtensible, Bytes(4, 0))},
        {"data beyond the file, none there", longData},
        {"no data chunk", test_util::riffWave(noData)},
        {"not RIFF", Bytes{'f', 'L', 'a', 'C', 0, 0, 0, 34}},
        {"three bytes", Bytes{'R', 'I', 'F'}},
        {"empty", Bytes{}},
        {"Ogg header only", Bytes{'O', 'g', 'g', 'S', 0, 2}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LuWav wav;
        EXPECT_FALSE(LuReadExtended(dir.write("a.wav", c.file).c_str(), &wav));
    }
    LuWav wav;
    EXPECT_FALSE(LuReadExtended(dir.file("missing.wav").c_str(), &wav));
}

// A WAV file whose data chunk claims more than the file holds plays the whole frames that are
// there, as players play it, the plain ones too (which the plain reader refuses); so does a
// file whose byte rate or block size disagrees with its other fields.
TEST(LuExtendedReaderTest, PlaysTheFramesOfWavFilesCutShort) {
    const struct {
        const char* name;
        Bytes fmt;
        Bytes frames;  // three whole frames
        size_t frameBytes;
    } cases[] = {
        {"16-bit stereo", test_util::fmtPayload(2, 44100, 16),
         test_util::samples16({1, -1, 300, -300, 9, 8}), 4},
        {"8-bit mono 22050 Hz", test_util::fmtPayload(1, 22050, 8), Bytes{0x00, 0x80, 0xFF}, 1},
        {"24-bit mono", test_util::fmtPayload(1, 44100, 24), le24({256, -512, 70000}), 3},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes twoFrames(c.frames.begin(), c.frames.end() - c.frameBytes);
        LuWav whole;
        ASSERT_TRUE(LuReadExtended(dir.write("a.wav", wavOf(c.fmt, twoFrames)).c_str(), &whole));
        // The third frame cut inside, under a data size that claims a thousand bytes.
        Bytes cut = wavOf(c.fmt, twoFrames);
        cut.insert(cut.end(), c.frames.end() - c.frameBytes, c.frames.end() - 1);
        cut[40] = 0xE8, cut[41] = 0x03;
        LuWav played;
        ASSERT_TRUE(LuReadExtended(dir.write("a.wav", cut).c_str(), &played));
        EXPECT_EQ(samplesOf(whole), samplesOf(played));
        for (size_t field : {28, 32}) {  // the byte rate, the block size
            Bytes disagreeing = wavOf(c.fmt, twoFrames);
            disagreeing[field] ^= 1;
            LuWav lenient;
            ASSERT_TRUE(LuReadExtended(dir.write("a.wav", disagreeing).c_str(), &lenient));
            EXPECT_EQ(samplesOf(whole), samplesOf(lenient));
        }
    }
}

// A file that is neither RIFF nor Ogg fails with the plain reader's trace.
TEST(LuExtendedReaderTest, TracesFailureAsThePlainReader) {
    TempDir dir;
    const std::string path = dir.write("a.wav", "ID3 tags, then MPEG audio");
    LuWav wav;
    wav.setDebug(true);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(LuReadExtended(path.c_str(), &wav));
    EXPECT_EQ("error\n", testing::internal::GetCapturedStdout());
}

struct Channels {
    int leftPeak = 0;
    int rightPeak = 0;
    bool equal = true;
    int leftCrossings = 0;
};

Channels measure(const LuWav& wav) {
    Channels result;
    const std::vector<int16_t> samples = samplesOf(wav);
    for (size_t i = 0; i + 1 < samples.size(); i += 2) {
        result.leftPeak = std::max(result.leftPeak, std::abs(samples[i]));
        result.rightPeak = std::max(result.rightPeak, std::abs(samples[i + 1]));
        result.equal = result.equal && samples[i] == samples[i + 1];
        if (i >= 2 && (samples[i - 2] < 0) != (samples[i] < 0)) ++result.leftCrossings;
    }
    return result;
}

// The fixtures hold sines of 441 Hz; Vorbis is lossy, so levels are checked within a few
// percent, and lengths exactly.
TEST(LuExtendedReaderTest, DecodesOggVorbis) {
    {
        SCOPED_TRACE("mono 22050 Hz, 0.1 s at half scale");
        LuWav wav;
        wav.setDebug(true);
        testing::internal::CaptureStdout();
        ASSERT_TRUE(LuReadExtended(fixture("sine_mono_22050.ogg").c_str(), &wav));
        // The decoder's lines, then those of the buffer's conversion.
        EXPECT_EQ(0u, testing::internal::GetCapturedStdout().find(
                          "ogg vorbis\nchannel_count = 1\nfrequency = 22050\ndata_size = 4410\n"));
        // 2205 samples, doubled for stereo and again for 44100 Hz, 2 bytes each.
        EXPECT_EQ(2205 * 2 * 2 * 2, wav.data_size);
        const Channels channels = measure(wav);
        EXPECT_TRUE(channels.equal);
        EXPECT_NEAR(16384, channels.leftPeak, 16384 * 0.05);
        // 44.1 periods cross zero 88 times.
        EXPECT_NEAR(88, channels.leftCrossings, 3);
    }
    {
        SCOPED_TRACE("stereo 44100 Hz, the sine on the left only");
        LuWav wav;
        ASSERT_TRUE(LuReadExtended(fixture("sine_left_44100.ogg").c_str(), &wav));
        EXPECT_EQ(2205 * 4, wav.data_size);
        const Channels channels = measure(wav);
        EXPECT_NEAR(16384, channels.leftPeak, 16384 * 0.05);
        EXPECT_LT(channels.rightPeak, 16384 * 0.02);
    }
    {
        // Vorbis 5.1 order: FL C FR RL RR LFE. The left side averages FL, C, RL and LFE.
        SCOPED_TRACE("six channels, the sine at 0.8 on the front left only");
        LuWav wav;
        ASSERT_TRUE(LuReadExtended(fixture("sine_front_left_6ch.ogg").c_str(), &wav));
        EXPECT_EQ(2205 * 4, wav.data_size);
        const Channels channels = measure(wav);
        EXPECT_NEAR(32768 * 0.8 / 4, channels.leftPeak, 32768 * 0.8 / 4 * 0.08);
        EXPECT_LT(channels.rightPeak, 32768 * 0.8 / 4 * 0.05);
    }
}

// The comment header's lengths reach the decoder's allocations: lengths that run past the
// packet, counts beyond it and a rate below what the buffer up-samples fail cleanly.
TEST(LuExtendedReaderTest, RefusesOggHeadersThatLie) {
    const Bytes original = test_util::readFile(fixture("sine_mono_22050.ogg"));
    ASSERT_GT(original.size(), 200u);
    // The identification header fills the first page (58 bytes); the comment packet starts
    // after the second page's header and lacing values: type 3, "vorbis", vendor length.
    ASSERT_EQ(0, std::memcmp(original.data() + 58, "OggS", 4));
    const size_t vendor = 58 + 27 + original[58 + 26] + 7;
    ASSERT_EQ(0, std::memcmp(original.data() + vendor - 6, "vorbis", 6));
    const uint32_t vendorLength = original[vendor] | original[vendor + 1] << 8 |
                                  original[vendor + 2] << 16 |
                                  static_cast<uint32_t>(original[vendor + 3]) << 24;
    const size_t count = vendor + 4 + vendorLength;
    const struct {
        const char* name;
        size_t offset;
        uint32_t value;
    } cases[] = {
        {"vendor length -1", vendor, 0xFFFFFFFF},
        {"vendor length -8", vendor, 0xFFFFFFF8},
        {"vendor length 2^31", vendor, 0x80000000},
        {"vendor length 2^31 - 1", vendor, 0x7FFFFFFF},
        {"vendor length past the packet", vendor, 0x10000},
        {"comment count -1", count, 0xFFFFFFFF},
        {"comment count 2^30", count, 0x40000000},
        {"comment count past the packet", count, 0x10000},
        // The identification header: type 1, "vorbis", version, channels, then the rate.
        {"rate 2000 Hz", 28 + 12, 2000},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes = original;
        for (int i = 0; i < 4; ++i) bytes[c.offset + i] = (c.value >> (8 * i)) & 0xFF;
        LuWav wav;
        EXPECT_FALSE(LuReadExtended(dir.write("a.ogg", bytes).c_str(), &wav));
    }
}

// Cut short anywhere or with any byte spoilt, an Ogg file decodes or fails, without harm (the
// sanitizer build checks the memory). Cut inside its headers, it fails.
TEST(LuExtendedReaderTest, SurvivesDamagedOggFiles) {
    const Bytes original = test_util::readFile(fixture("sine_mono_22050.ogg"));
    ASSERT_GT(original.size(), 200u);
    TempDir dir;
    for (size_t size = 0; size < original.size(); size += 37) {
        SCOPED_TRACE("cut at " + std::to_string(size));
        LuWav wav;
        const bool read = LuReadExtended(
            dir.write("a.ogg", Bytes(original.begin(), original.begin() + size)).c_str(), &wav);
        if (size < 200) {
            EXPECT_FALSE(read);
        }
    }
    for (size_t offset = 0; offset < original.size(); offset += 11) {
        SCOPED_TRACE("byte " + std::to_string(offset));
        Bytes bytes = original;
        bytes[offset] ^= 0xA5;
        LuWav wav;
        LuReadExtended(dir.write("a.ogg", bytes).c_str(), &wav);
    }
}

// The lag, within 20 frames either way, at which the left channel of `decoded` best matches that
// of `reference`, and the root mean square of the differences there.
struct Match {
    int lag = 0;
    double error = 0;
};

Match match(const std::vector<int16_t>& decoded, const std::vector<int16_t>& reference) {
    Match best;
    double bestSum = -1;
    for (int lag = -20; lag <= 20; ++lag) {
        double sum = 0;
        for (size_t i = 0; i < reference.size(); i += 2) {
            const int64_t j = static_cast<int64_t>(i) + 2 * lag;
            const int value = j >= 0 && j < static_cast<int64_t>(decoded.size()) ? decoded[j] : 0;
            sum += static_cast<double>(value - reference[i]) * (value - reference[i]);
        }
        if (bestSum < 0 || sum < bestSum) {
            bestSum = sum;
            best = {lag, std::sqrt(sum / (reference.size() / 2))};
        }
    }
    return best;
}

// Each file was made from the WAV beside it (scripts/make_sound_fixtures.sh): FLAC gives its
// samples back exactly; lame's MP3 and the Opus file keep its length to the frame (the encoder
// delay and padding trimmed), start on time, and stay within a small error of the sine at half
// scale: 5% of it as root mean square (Opus resampled from 48000 Hz by the buffer).
TEST(LuExtendedReaderTest, DecodesWhatEachEncoderWasGiven) {
    const struct {
        const char* file;
        const char* source;
        double maxError;  // root mean square, in samples
    } cases[] = {
        {"tone_16.flac", "tone_16.wav", 0},
        {"tone_24.flac", "tone_24.wav", 0},
        {"tone.mp3", "tone_16.wav", 16384 * 0.05},
        {"tone.opus", "tone_16.wav", 16384 * 0.05},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        LuWav reference;
        ASSERT_TRUE(LuReadExtended(fixture(c.source).c_str(), &reference));
        LuWav wav;
        ASSERT_TRUE(LuReadExtended(fixture(c.file).c_str(), &wav));
        // 2205 frames.
        ASSERT_EQ(2205 * 4, reference.data_size);
        EXPECT_EQ(reference.data_size, wav.data_size);
        const Match found = match(samplesOf(wav), samplesOf(reference));
        EXPECT_EQ(0, found.lag);
        EXPECT_LE(found.error, c.maxError);
        if (c.maxError == 0) {
            EXPECT_EQ(samplesOf(reference), samplesOf(wav));
        }
    }
}

// FLAC's 5.1 order (FL FR FC LFE BL BR) without a channel map: the left side averages FL, FC,
// LFE and BL, the right side gets nothing of the front-left sine.
TEST(LuExtendedReaderTest, MixesDownFlacByItsChannelOrder) {
    LuWav wav;
    ASSERT_TRUE(LuReadExtended(fixture("sine_front_left_6ch.flac").c_str(), &wav));
    EXPECT_EQ(2205 * 4, wav.data_size);
    const Channels channels = measure(wav);
    EXPECT_NEAR(32768 * 0.8 / 4, channels.leftPeak, 32768 * 0.8 / 4 * 0.01);
    EXPECT_EQ(0, channels.rightPeak);
}

}  // namespace
