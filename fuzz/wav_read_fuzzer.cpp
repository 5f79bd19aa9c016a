// Arbitrary bytes as a WAV file: `LuWav::read` must load or refuse them, never
// crash, and a loaded sound must be normalised and usable by every operation.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_util.h"
#include "wav/wav.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_util::silenceStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using fuzz_util::check;
    static const std::string path = fuzz_util::pathIn("sound.wav");
    fuzz_util::writeFile(path, data, size);

    LuWav sound;
    // Traces on: their formatting runs over every field that was read.
    sound.setDebug(true);
    if (!sound.read(path.c_str())) return 0;

    check(sound.channel_count == 2 && sound.frequency == 44100 && sound.bit_rate == 16);
    check(sound.data_size >= 0 && sound.data_size <= sound.memory_size);
    check(sound.data != nullptr || sound.memory_size == 0);

    // The engine's use of a loaded sample: scale it, then mix it twice with the
    // retrigger cut in between.
    sound.changeVolume(static_cast<int>(size % 301) - 100);
    LuWav mix;
    check(mix.reset());
    const int later = static_cast<int>(size % 97);
    check(mix.mixin(3, sound));
    check(mix.deduct(3 + later, sound, later));
    check(mix.mixin(3 + later, sound));
    check(mix.data_size <= mix.memory_size);
    return 0;
}
