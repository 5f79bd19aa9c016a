// Reading RIFF files: chunk tags, little-endian fields and bounded seeks, shared by the WAV
// readers of the sound buffer.
#ifndef WAV_RIFF_H_
#define WAV_RIFF_H_

#include <cstdint>
#include <cstdio>
#include <memory>

namespace riff {

// No block, chunk or skip may reach 2^31 bytes.
constexpr int64_t MAX_BLOCK_SIZE = INT32_MAX;

// A chunk tag as the 32-bit little-endian word it is stored as.
constexpr uint32_t tag(const char (&text)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24;
}
constexpr uint32_t TAG_RIFF = tag("RIFF");
constexpr uint32_t TAG_WAVE = tag("WAVE");
constexpr uint32_t TAG_FMT = tag("fmt ");
constexpr uint32_t TAG_DATA = tag("data");

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
// A file opened with fopen, closed when it goes away.
using File = std::unique_ptr<std::FILE, FileCloser>;

inline uint32_t le32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Each reads one little-endian field; false at the end of the file.
bool readU32(std::FILE* file, uint32_t* value);
bool readS16(std::FILE* file, int* value);

// Moves `size` bytes on. Sizes of 2^31 or more are beyond what a buffer can hold, so they fail
// like a failed seek.
bool skipForward(std::FILE* file, uint32_t size);

// Bytes from the current position to the end of the file; -1 when the file cannot tell.
int64_t bytesLeft(std::FILE* file);

}  // namespace riff

#endif  // WAV_RIFF_H_
