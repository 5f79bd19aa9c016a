#include "song/mix_bus.h"

#include <cstdio>
#include <cstring>

#include "song/loudest_window.h"
#include "song/loudness.h"
#include "song/preview.h"

LuSaturatingBus::LuSaturatingBus(bool debug) : mix(new LuWav) {
    mix->setDebug(debug);
}

bool LuSaturatingBus::cutPreview(double start, double length) {
    if (mix->data_size < 0 || mix->data_size > mix->memory_size) return false;
    LuPreviewWindow window;
    if (!LuFindPreviewWindow(start, length, mix->data_size / 4, &window)) return false;
    LuFadeWindow(window, reinterpret_cast<int16_t*>(mix->data.get()));
    const int64_t kept = window.count * 4;
    // Bytes past the end stay zero, as freshly grown ones are.
    std::memset(mix->data.get() + kept, 0, static_cast<size_t>(mix->data_size - kept));
    mix->data_size = static_cast<int>(kept);
    return true;
}

bool LuSaturatingBus::findLoudestWindow(int64_t windowFrames, int64_t* first) const {
    if (mix->data_size < 0 || mix->data_size > mix->memory_size) return false;
    return LuFindLoudestWindow(reinterpret_cast<const int16_t*>(mix->data.get()),
                               mix->data_size / 4, windowFrames, first);
}

LuFloatBus::LuFloatBus(bool debug) {
    sum.setDebug(debug);
}

bool LuFloatBus::cutPreview(double start, double length) {
    LuPreviewWindow window;
    if (!LuFindPreviewWindow(start, length, sum.frameCount(), &window)) return false;
    LuFadeWindow(window, sum.samples());
    sum.keepFrames(0, window.count);
    return true;
}

bool LuFloatBus::findLoudestWindow(int64_t windowFrames, int64_t* first) const {
    return LuFindLoudestWindow(sum.samples(), sum.frameCount(), windowFrames, first);
}

std::unique_ptr<LuWav> LuFloatBus::takeSong() {
    std::unique_ptr<LuWav> song(new LuWav);
    LuLoudness measured;
    double gain = 1.0;
    if (!LuNormalise(sum, song.get(), &measured, &gain)) return nullptr;
    if (sum.debug) {
        std::printf("integrated loudness is %lf LUFS\n", measured.integrated);
        std::printf("true peak is %lf dBTP\n", measured.truePeak);
        std::printf("normalising gain is %lf\n", gain);
    }
    return song;
}
