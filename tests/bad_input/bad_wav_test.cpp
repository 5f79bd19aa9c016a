// WAV files cut short at every byte, headers whose sizes and rates make no sense, and compressed
// key sounds cut short or damaged.
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "decode/extended_reader.h"
#include "tests/test_util.h"
#include "wav/wav.h"

namespace {

using test_util::Bytes;
using test_util::endsWith;
using test_util::putLe16;
using test_util::putLe32;
using test_util::putTag;
using test_util::TempDir;

struct ReadResult {
    bool ok;
    std::string trace;
};

ReadResult readTraced(LuWav& wav, const std::string& path) {
    wav.setDebug(true);
    testing::internal::CaptureStdout();
    const bool ok = wav.read(path.c_str());
    return {ok, testing::internal::GetCapturedStdout()};
}

std::vector<int16_t> leftSamples(const LuWav& wav) {
    std::vector<int16_t> left;
    for (int i = 0; i + 3 < wav.data_size; i += 4)
        left.push_back(static_cast<int16_t>(wav.data[i] | wav.data[i + 1] << 8));
    return left;
}

std::vector<int16_t> rightSamples(const LuWav& wav) {
    std::vector<int16_t> right;
    for (int i = 0; i + 3 < wav.data_size; i += 4)
        right.push_back(static_cast<int16_t>(wav.data[i + 2] | wav.data[i + 3] << 8));
    return right;
}

// The fmt chunk of the given fields, as written (no consistency implied).
Bytes fmtChunk(uint32_t size, int tag, int channels, uint32_t rate, uint32_t byteRate, int block,
               int bits) {
    Bytes out;
    putTag(out, "fmt ");
    putLe32(out, size);
    putLe16(out, tag);
    putLe16(out, channels);
    putLe32(out, rate);
    putLe32(out, byteRate);
    putLe16(out, block);
    putLe16(out, bits);
    return out;
}

Bytes chunkHeader(const char* tag, uint32_t size) {
    Bytes out;
    putTag(out, tag);
    putLe32(out, size);
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes riff(uint32_t size, const Bytes& chunks) {
    Bytes out;
    putTag(out, "RIFF");
    putLe32(out, size);
    putTag(out, "WAVE");
    return out + chunks;
}

TEST(BadWavTest, EveryTruncationReadsOrFailsCleanly) {
    // A 16-bit stereo 44100 Hz file: RIFF header (12 bytes), fmt chunk (24), data header (8),
    // two frames (8), then a LIST chunk (12) after the data that the reader never looks at.
    const Bytes plain = riff(56, fmtChunk(16, 1, 2, 44100, 176400, 4, 16) + chunkHeader("data", 8) +
                                     test_util::samples16({1, -1, 300, -300}) +
                                     chunkHeader("LIST", 4) + Bytes{'i', 'n', 'f', 'o'});
    ASSERT_EQ(64u, plain.size());
    // An 8-bit mono 22050 Hz file with an 18-byte fmt chunk and an odd LIST chunk before the
    // data: every byte up to the end is needed.
    const Bytes widened =
        riff(54, fmtChunk(18, 1, 1, 22050, 22050, 1, 8) + Bytes{0, 0} + chunkHeader("LIST", 3) +
                     Bytes{'a', 'b', 'c'} + chunkHeader("data", 5) +
                     Bytes{0x00, 0x80, 0xFF, 0x40, 0xC0});
    ASSERT_EQ(62u, widened.size());

    const struct {
        const char* name;
        const Bytes& file;
        size_t dataStart;  // offset of the first sample byte
        size_t needed;     // the shortest prefix that reads
        std::vector<int16_t> left;
        std::vector<int16_t> right;
    } cases[] = {
        {"16-bit stereo", plain, 44, 52, {1, 300}, {-1, -300}},
        // Bytes 00 80 FF 40 C0 are -32768, 0, 32512, -16384, 16384. Doubling the rate puts
        // each source frame k on frame 2k + 1, halfway values between them, and frame 0
        // repeats source frame 0.
        {"8-bit mono 22050 Hz",
         widened,
         57,
         62,
         {-32768, -32768, -16384, 0, 16256, 32512, 8064, -16384, 0, 16384},
         {-32768, -32768, -16384, 0, 16256, 32512, 8064, -16384, 0, 16384}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        for (size_t length = 0; length <= c.file.size(); ++length) {
            SCOPED_TRACE(std::string(c.name) + ", first " + std::to_string(length) + " bytes");
            const Bytes prefix(c.file.begin(), c.file.begin() + length);
            LuWav wav;
            const ReadResult result = readTraced(wav, dir.write("cut.wav", prefix));
            if (length < c.needed) {
                EXPECT_FALSE(result.ok);
                EXPECT_TRUE(endsWith(result.trace, "error\n")) << result.trace;
                // Cut inside the samples: the reader counts what is there, then gives up.
                if (length > c.dataStart) {
                    EXPECT_TRUE(
                        endsWith(result.trace,
                                 "readed = " + std::to_string(length - c.dataStart) + "\nerror\n"))
                        << result.trace;
                }
            } else {
                ASSERT_TRUE(result.ok) << result.trace;
                EXPECT_EQ(c.left, leftSamples(wav));
                EXPECT_EQ(c.right, rightSamples(wav));
            }
        }
    }
}

TEST(BadWavTest, AbsurdSizesAndRates) {
    const Bytes fmt = fmtChunk(16, 1, 2, 44100, 176400, 4, 16);
    const Bytes frames = test_util::samples16({7, -7, 8, -8});
    const Bytes data = chunkHeader("data", 8) + frames;
    const struct {
        const char* name;
        Bytes file;
        bool ok;
        int dataSize;         // after a successful read
        const char* opening;  // the first trace line
    } cases[] = {
        // The RIFF size is only traced: 0xFFFFFFFF + 8 prints as 7.
        {"RIFF size 0xFFFFFFFF", riff(0xFFFFFFFFu, fmt + data), true, 8, "file size = 7\n"},
        {"RIFF size 0", riff(0, fmt + data), true, 8, "file size = 8\n"},
        {"fmt size 0xFFFFFFFF", riff(44, fmtChunk(0xFFFFFFFFu, 1, 2, 44100, 176400, 4, 16) + data),
         false, 0, "file size = 52\n"},
        {"fmt size 2^31 - 1", riff(44, fmtChunk(0x7FFFFFFFu, 1, 2, 44100, 176400, 4, 16) + data),
         false, 0, "file size = 52\n"},
        // Sixteen bytes of fields are always read; a smaller size skips nothing.
        {"fmt size 8", riff(44, fmtChunk(8, 1, 2, 44100, 176400, 4, 16) + data), true, 8,
         "file size = 52\n"},
        {"chunk of 0xFFFFFFFF bytes", riff(52, fmt + chunkHeader("junk", 0xFFFFFFFFu) + data),
         false, 0, "file size = 60\n"},
        {"chunk of 2^31 - 1 bytes", riff(52, fmt + chunkHeader("junk", 0x7FFFFFFFu) + data), false,
         0, "file size = 60\n"},
        {"data of 0xFFFFFFFF bytes", riff(44, fmt + chunkHeader("data", 0xFFFFFFFFu) + frames),
         false, 0, "file size = 52\n"},
        {"data of 2^31 - 1 bytes", riff(44, fmt + chunkHeader("data", 0x7FFFFFFFu) + frames), false,
         0, "file size = 52\n"},
        {"data of 0 bytes", riff(36, fmt + chunkHeader("data", 0)), true, 0, "file size = 44\n"},
        // 16-bit stereo data of odd size needs no conversion and keeps its size.
        {"data of 3 bytes", riff(39, fmt + chunkHeader("data", 3) + Bytes{1, 2, 3}), true, 3,
         "file size = 47\n"},
        // 2^30 Hz times a block of 4 wraps to a byte rate of 0, so the header is consistent; the
        // rate is so high that 8 bytes shrink to trunc(44100 / 2^30 * 8) = 0.
        {"byte rate wrapping to 0", riff(44, fmtChunk(16, 1, 2, 0x40000000u, 0, 4, 16) + data),
         true, 0, "file size = 52\n"},
        // 0xFFFFFFFF Hz is -1 Hz: consistent with a byte rate of 0xFFFFFFFC, but below 2100 Hz.
        {"rate 0xFFFFFFFF", riff(44, fmtChunk(16, 1, 2, 0xFFFFFFFFu, 0xFFFFFFFCu, 4, 16) + data),
         false, 0, "file size = 52\n"},
        {"0 channels", riff(44, fmtChunk(16, 1, 0, 44100, 0, 0, 16) + data), false, 0,
         "file size = 52\n"},
        {"65535 channels", riff(44, fmtChunk(16, 1, 0xFFFF, 44100, 176400, 4, 16) + data), false, 0,
         "file size = 52\n"},
        {"0 bits", riff(44, fmtChunk(16, 1, 2, 44100, 0, 0, 0) + data), false, 0,
         "file size = 52\n"},
        {"RIFF and nothing else", Bytes{'R', 'I', 'F', 'F'}, false, 0, "error\n"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LuWav wav;
        const ReadResult result = readTraced(wav, dir.write("a.wav", c.file));
        EXPECT_EQ(c.ok, result.ok) << result.trace;
        EXPECT_EQ(0u, result.trace.find(c.opening)) << result.trace;
        if (c.ok) {
            EXPECT_EQ(c.dataSize, wav.data_size);
            EXPECT_EQ(2, wav.channel_count);
            EXPECT_EQ(44100, wav.frequency);
            // Whatever it holds, the sound mixes like any other.
            LuWav mix;
            ASSERT_TRUE(mix.reset());
            EXPECT_TRUE(mix.mixin(1, wav));
            EXPECT_EQ(4 + c.dataSize, mix.data_size);
        } else {
            EXPECT_TRUE(endsWith(result.trace, "error\n")) << result.trace;
        }
    }
}

TEST(BadWavTest, FoldersAndMissingFilesDoNotRead) {
    TempDir dir;
    LuWav folder;
    EXPECT_FALSE(folder.read(dir.mkdir("sub.wav").c_str()));
    LuWav missing;
    testing::internal::CaptureStdout();
    missing.setDebug(true);
    EXPECT_FALSE(missing.read(dir.file("missing.wav").c_str()));
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    LuWav empty;
    EXPECT_FALSE(empty.read(dir.write("empty.wav", Bytes{}).c_str()));
}

// The first byte of the MPEG frame header nearest the middle of an MP3 file: losing it loses the
// frame.
size_t middleFrameOf(const Bytes& mp3) {
    for (size_t i = mp3.size() / 2; i > 0; --i) {
        if (mp3[i] == 0xFF && (mp3[i + 1] & 0xE0) == 0xE0) return i;
    }
    return 0;
}

// Cut anywhere, or damaged in the middle, a compressed key sound plays what its decoder yields,
// as players play it: never more than the whole sound, never a crash or a hang (the sanitizer
// build checks memory). Cut inside its headers it fails with the usual trace. (These sounds
// are one page or frame long, so a cut anywhere loses all of them; the decoder tests cut longer
// ones.)
TEST(BadWavTest, DamagedCompressedSoundsPlayWhatDecodes) {
    const char* const names[] = {"tone_16.flac", "tone.mp3", "tone.opus", "sine_mono_22050.ogg"};
    TempDir dir;
    for (const char* name : names) {
        const Bytes original = test_util::readFile(std::string("tests/wav/data/") + name);
        ASSERT_GT(original.size(), 500u) << name;
        auto read = [&](const Bytes& bytes, std::string* trace, int* size) {
            LuWav wav;
            wav.setDebug(true);
            testing::internal::CaptureStdout();
            const bool ok = LuReadExtended(dir.write("a.snd", bytes).c_str(), &wav);
            *trace = testing::internal::GetCapturedStdout();
            *size = wav.data_size;
            return ok;
        };
        std::string trace;
        int whole = 0;
        ASSERT_TRUE(read(original, &trace, &whole)) << name;
        std::vector<std::pair<size_t, Bytes>> damaged;
        for (size_t size = 0; size < original.size(); size += size < original.size() - 40 ? 23 : 7)
            damaged.push_back({size, Bytes(original.begin(), original.begin() + size)});
        // An MP3 frame's bytes carry no check, so a spoilt one plays as whatever it decodes to:
        // the MP3 file loses a frame header instead.
        Bytes spoilt = original;
        if (std::string(name) == "tone.mp3") {
            const size_t frame = middleFrameOf(original);
            ASSERT_GT(frame, 0u);
            spoilt[frame] = spoilt[frame + 1] = 0;
        } else {
            spoilt[original.size() / 2] ^= 0x5A;
        }
        damaged.push_back({original.size(), spoilt});
        for (const auto& [cut, bytes] : damaged) {
            SCOPED_TRACE(std::string(name) + (cut < original.size() ? ", cut at " : ", spoilt ") +
                         std::to_string(cut));
            int size = 0;
            const bool ok = read(bytes, &trace, &size);
            if (cut < 100) {
                EXPECT_FALSE(ok);
            }
            if (ok) {
                EXPECT_GT(size, 0);
                EXPECT_LE(size, whole);
            } else {
                EXPECT_TRUE(endsWith(trace, "error\n")) << trace;
            }
        }
    }
}

}  // namespace
