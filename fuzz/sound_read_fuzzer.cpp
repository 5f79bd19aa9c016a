// Arbitrary bytes as a key sound of the extended loader, in any format that its decoders take:
// `LuReadExtended` must load or refuse them, never crash, and a loaded sound must be normalised
// and usable by every operation. The seeds are small WAV files of the wider formats and short
// sounds in AIFF, FLAC, Ogg Vorbis, Ogg Opus and MP3.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_util.h"
#include "decode/extended_reader.h"
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
    sound.setDebug(true);
    if (!LuReadExtended(path.c_str(), &sound)) return 0;

    check(sound.channel_count == 2 && sound.frequency == 44100 && sound.bit_rate == 16);
    check(sound.data_size >= 0 && sound.data_size <= sound.memory_size);
    check(sound.data != nullptr || sound.memory_size == 0);

    sound.changeVolume(static_cast<int>(size % 301) - 100);
    LuWav mix;
    check(mix.reset());
    check(mix.mixin(3, sound));
    check(mix.data_size <= mix.memory_size);
    return 0;
}
