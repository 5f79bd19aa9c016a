// Decoded samples on their way into a LuWav: conversion to 16 bits and the mix-down of sounds
// with more than two channels.
#ifndef WAV_PCM_H_
#define WAV_PCM_H_

#include <cstdint>
#include <memory>
#include <vector>

// Where a channel plays for the listener.
enum class LuSide : uint8_t { LEFT, RIGHT, MIDDLE };

// The sides of `channels` channels laid out by a WAVE_FORMAT_EXTENSIBLE speaker mask: channel k
// sits at the k-th lowest set bit. Empty (layout unknown) when the mask names fewer positions
// than there are channels or a position that is not a speaker.
std::vector<LuSide> LuSidesOfMask(int channels, uint32_t mask);

// The sides of the channels of an Ogg Vorbis stream in the Vorbis channel order; empty (layout
// unknown) beyond 8 channels.
std::vector<LuSide> LuSidesOfVorbis(int channels);

// `value` in 16-bit units rounded to the nearest sample, halves away from zero, and clamped to
// -32768 to 32767; NaN gives 0.
int16_t LuRoundToSample(long double value);

// Collects the frames of a decoded sound as interleaved 16-bit samples of one or two channels.
// Frames of one or two channels are kept as they are. Wider frames are mixed down: each output
// side is the average of the channels on that side and those in the middle; when the layout is
// unknown, or no channel plays on one of the sides, all channels are averaged into mono.
// Averages round halves away from zero.
class LuDownmix {
public:
    // `sides` gives the side of each of the `channels` channels, or is empty when unknown.
    LuDownmix(int channels, std::vector<LuSide> sides);

    // Channels of the collected samples: 1 or 2.
    int getChannels() const { return outputChannels; }
    // Makes room for `frames` more frames; false when that exceeds the limit of `add`.
    bool reserve(int64_t frames);
    // Appends one frame of `channels` samples. False, with nothing appended, when memory runs
    // out or the collected samples would exceed 2^31 - 1 bytes.
    bool add(const int16_t* frame);
    // Appends `frames` frames of `channels` interleaved samples at once, as `add` would one by
    // one; false, with nothing appended, on the same conditions.
    bool addFrames(const int16_t* block, int64_t frames);
    const int16_t* getSamples() const { return samples.get(); }
    // Samples collected, not frames.
    int64_t getCount() const { return count; }

private:
    bool grow(int64_t needed);

    int inputChannels;
    int outputChannels;
    // Per input channel: 1 when it feeds the left output, 2 the right, 3 both.
    std::vector<uint8_t> feeds;
    int leftCount = 0;
    int rightCount = 0;
    std::unique_ptr<int16_t[]> samples;
    int64_t count = 0;
    int64_t capacity = 0;
};

#endif  // WAV_PCM_H_
