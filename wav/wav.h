// The sound buffer: one block of PCM samples in memory and its format.
#ifndef WAV_WAV_H_
#define WAV_WAV_H_

#include <cstdint>
#include <memory>

// Bytes of one second of sound in the buffer's fixed format, 16-bit stereo at 44100 Hz.
constexpr int LU_BYTES_PER_SECOND = 176400;

// One sound: after `read` or `reset` the block holds little-endian 16-bit stereo samples at
// 44100 Hz, one frame (left, right) every 4 bytes. Positions count frames, sizes count bytes.
// The buffer owns its block; a buffer never grows beyond 2^31 - 1 bytes.
class LuWav {
public:
    // Interleaved channels: 1 or 2 while a file is read, 2 afterwards.
    int channel_count = 0;
    // Samples per second per channel: 44100 after `read` or `reset`.
    int frequency = 0;
    // Bits per sample: 8 or 16 while a file is read, 16 afterwards.
    int bit_rate = 0;
    // Valid sample bytes at the start of the block.
    int data_size = 0;
    // Bytes in the block; never less than `data_size`.
    int memory_size = 0;
    // Releases a block; blocks are allocated zeroed with calloc, so large ones arrive as fresh
    // zero pages with no clearing pass.
    struct FreeBlock {
        void operator()(uint8_t* block) const;
    };
    std::unique_ptr<uint8_t[], FreeBlock> data;
    // When set, operations print their trace lines on standard output.
    bool debug = false;

    // Releases the block and attaches an empty 1024-byte block of silence in the fixed format.
    // False when the block cannot be allocated (the buffer is then empty).
    bool reset();
    void setDebug(bool flag) { debug = flag; }
    int getDataSize() const { return data_size; }

    // Loads the RIFF/WAVE file at `path` (8 or 16-bit PCM, mono or stereo, 2100 Hz or more) and
    // converts it in place to 16-bit stereo 44100 Hz. Meant for a buffer fresh from
    // construction; after false the buffer is only fit to be destroyed.
    bool read(const char* path);

    // Takes `count` 16-bit samples of one or two interleaved channels at `rate` Hz (2100 Hz or
    // more) and converts them in place to 16-bit stereo 44100 Hz, as `read` does with the
    // samples of a file. Meant for a buffer fresh from construction; false when the result would
    // exceed 2^31 - 1 bytes or memory runs out.
    bool readSamples(int channels, int rate, const int16_t* samples, int64_t count);

    // Makes the block hold at least `size` bytes, doubling its capacity (from 1024 when there
    // is no block); the added bytes are zero. False, with nothing changed, when `size` exceeds
    // 2^31 - 1 or the block cannot be allocated.
    bool extend(int64_t size);

    // Writes the buffer as a canonical 44-byte-header WAV file. The file appears at `path`
    // only when every byte was written; on false an existing file there is untouched.
    bool write(const char* path) const;

    // Scales every sample by `percent` / 100, truncating toward zero and saturating.
    void changeVolume(int percent);

    // Adds `source` with saturation so that its first frame lands on frame `position`, growing
    // this buffer as needed. False, with nothing changed, for a negative position, when the
    // result would not fit, or when either buffer is one that a failed `read` left behind.
    bool mixin(int position, const LuWav& source);

    // Subtracts `source` from its frame `skip` on, with saturation, so that frame `skip` lands
    // on frame `position`. False, with nothing changed, for a negative position or skip, when
    // the buffer cannot grow to `position` * 4 plus the source's size, or when either buffer is
    // one that a failed `read` left behind.
    bool deduct(int position, const LuWav& source, int skip);

private:
    bool change16bit();
    bool change2ch();
    bool change44kHz();
};

#endif  // WAV_WAV_H_
