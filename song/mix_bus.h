// The mix bus: where a song's key sounds are added and cut off, and where the finished song is
// taken from. One interface, mixed either with 16-bit saturation or as unsaturated floats.
#ifndef SONG_MIX_BUS_H_
#define SONG_MIX_BUS_H_

#include <cstdint>
#include <memory>

#include "song/mix_accumulator.h"
#include "wav/wav.h"

// A stereo 44100 Hz mix. Positions count frames; sizes count the bytes that the mix takes as
// 16-bit samples, as LuWav's `data_size` does, so every bus grows to the same length, prints
// the same trace lines and fails in the same cases for the same calls.
class LuMixBus {
public:
    virtual ~LuMixBus() = default;

    // Empties the mix and makes room for 1024 bytes, without a trace. False when memory runs
    // out.
    virtual bool reset() = 0;
    // Makes room for `size` bytes; a hint, false when it cannot be had.
    virtual bool extend(int64_t size) = 0;
    // Adds `source` so that its first frame lands on frame `position`. False, with nothing
    // changed, where LuWav::mixin fails.
    virtual bool mixin(int position, const LuWav& source) = 0;
    // Subtracts `source` from its frame `skip` on so that frame `skip` lands on frame
    // `position`. False, with nothing changed, where LuWav::deduct fails.
    virtual bool deduct(int position, const LuWav& source, int skip) = 0;
    // Whole frames mixed so far.
    virtual int64_t frameCount() const = 0;
    // The first frame of the loudest window of `windowFrames` frames in the mix
    // (song/loudest_window.h). False when it cannot be measured.
    virtual bool findLoudestWindow(int64_t windowFrames, int64_t* first) const = 0;
    // Cuts the mix down to the preview window from `start` for `length` seconds and fades it
    // (song/preview.h). False, with the mix untouched, where LuFindPreviewWindow is false.
    virtual bool cutPreview(double start, double length) = 0;
    // The finished song as a 16-bit buffer that the caller owns; the bus is spent afterwards.
    // Null when measuring fails or memory runs out.
    virtual std::unique_ptr<LuWav> takeSong() = 0;
};

// Saturates at 16 bits with every sound; the song is the mix as it stands, traced as the bus
// was.
class LuSaturatingBus : public LuMixBus {
public:
    // With `debug` set, the bus and its song print LuWav's trace lines.
    explicit LuSaturatingBus(bool debug);

    bool reset() override { return mix->reset(); }
    bool extend(int64_t size) override { return mix->extend(size); }
    bool mixin(int position, const LuWav& source) override { return mix->mixin(position, source); }
    bool deduct(int position, const LuWav& source, int skip) override {
        return mix->deduct(position, source, skip);
    }
    int64_t frameCount() const override { return mix->data_size / 4; }
    bool findLoudestWindow(int64_t windowFrames, int64_t* first) const override;
    bool cutPreview(double start, double length) override;
    std::unique_ptr<LuWav> takeSong() override { return std::move(mix); }

private:
    std::unique_ptr<LuWav> mix;
};

// Sums without saturation (LuMixAccumulator); the song is the sum scaled once to the target
// loudness (song/loudness.h), as an untraced buffer.
class LuFloatBus : public LuMixBus {
public:
    // With `debug` set, the bus prints LuWav's trace lines for growing and mixing, and the
    // loudness, true peak and gain that it finds for the song.
    explicit LuFloatBus(bool debug);

    bool reset() override { return sum.reset(); }
    bool extend(int64_t size) override { return sum.extend(size); }
    bool mixin(int position, const LuWav& source) override { return sum.mixin(position, source); }
    bool deduct(int position, const LuWav& source, int skip) override {
        return sum.deduct(position, source, skip);
    }
    int64_t frameCount() const override { return sum.frameCount(); }
    bool findLoudestWindow(int64_t windowFrames, int64_t* first) const override;
    bool cutPreview(double start, double length) override;
    std::unique_ptr<LuWav> takeSong() override;

    // The unsaturated sum as mixed so far.
    const LuMixAccumulator& getSum() const { return sum; }

private:
    LuMixAccumulator sum;
};

#endif  // SONG_MIX_BUS_H_
