// A whole conversion of a fuzzed chart: the chart's bytes are the input, the
// key sounds are a few fixed files beside it (a plain one, an 8-bit mono
// 22050 Hz one, a 48000 Hz one, one that is no WAV file and a folder), so
// tempo, stop, long-note, placement, loading and mixing paths are all reached.
// A conversion must succeed or fail with a null result, report its progress in
// order, and never crash, leak or run away.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sys/stat.h>
#include <vector>

#include "bms/bms.h"
#include "convert/converter.h"
#include "fuzz/fuzz_util.h"
#include "wav/wav.h"

namespace {

using Bytes = std::vector<uint8_t>;

void putLe(Bytes& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A PCM WAV image holding `samples` bytes of sample data.
Bytes pcmWav(int channels, int rate, int bits, const Bytes& samples) {
    Bytes out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    putLe(out, static_cast<uint32_t>(36 + samples.size()), 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putLe(out, 16, 4);
    putLe(out, 1, 2);
    putLe(out, channels, 2);
    putLe(out, rate, 4);
    putLe(out, rate * channels * bits / 8, 4);
    putLe(out, channels * bits / 8, 2);
    putLe(out, bits, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    putLe(out, static_cast<uint32_t>(samples.size()), 4);
    out.insert(out.end(), samples.begin(), samples.end());
    return out;
}

Bytes ramp(size_t count, int start, int step) {
    Bytes out;
    for (size_t i = 0; i < count; ++i) out.push_back(static_cast<uint8_t>(start + step * i));
    return out;
}

void writeBytes(const char* name, const Bytes& bytes) {
    fuzz_util::writeFile(fuzz_util::pathIn(name), bytes.data(), bytes.size());
}

// Progress as the front ends rely on it: -1, then 0 to 100 each once in order,
// then rising values from 101 to 199, then 200 only on success.
struct ProgressCheck {
    std::vector<int> values;
    void check(bool succeeded) const {
        using fuzz_util::check;
        check(!values.empty() && values[0] == -1);
        size_t i = 1;
        for (int expected = 0; i < values.size() && values[i] <= 100; ++i, ++expected)
            check(values[i] == expected);
        for (; i < values.size(); ++i) {
            check(values[i] > 100 && values[i] <= 200 && values[i] > values[i - 1]);
            check(values[i] < 200 || (succeeded && i + 1 == values.size()));
        }
        if (succeeded) check(values.back() == 200);
    }
};

ProgressCheck* progress = nullptr;
bool continueAnswer = false;

void onProgress(int value) {
    progress->values.push_back(value);
}

bool onContinue(const char* path) {
    fuzz_util::check(path != nullptr && path[0] != '\0');
    return continueAnswer;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_util::silenceStdout();
    Bytes stereo;
    for (int i = 0; i < 64; ++i) putLe(stereo, static_cast<uint32_t>(i * 997 - 30000), 2);
    writeBytes("a.wav", pcmWav(2, 44100, 16, stereo));
    writeBytes("b.wav", pcmWav(1, 22050, 8, ramp(40, 0, 7)));
    writeBytes("c.wav", pcmWav(1, 48000, 16, ramp(200, 3, 11)));
    writeBytes("bad.wav", ramp(30, 'R', 1));
    mkdir(fuzz_util::pathIn("dir.wav").c_str(), 0755);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using fuzz_util::check;
    static const std::string path = fuzz_util::pathIn("chart.bms");
    fuzz_util::writeFile(path, data, size);

    ProgressCheck seen;
    progress = &seen;
    continueAnswer = size % 2 == 0;

    BmsConverter converter;
    converter.setChartPath(path.c_str());
    converter.setDebug(size % 3 == 0);
    // The forgiving lookup of sample names, and the wider formats, for some inputs.
    converter.setExtendedSamples(size % 7 == 0);
    // As a player plays it when the last byte is even, as most charts' last newline is.
    converter.setPlayerMode(size > 0 && data[size - 1] % 2 == 0, static_cast<int64_t>(size));
    if (!converter.open()) return 0;
    converter.setCutOnRetrigger(size % 5 < 3);
    converter.setVolume(static_cast<int>(size % 251) - 50);
    converter.setProgressCallback(onProgress);
    converter.setContinueCallback(onContinue);
    std::unique_ptr<LuWav> mix(converter.convert());
    seen.check(mix != nullptr);
    if (mix) {
        check(mix->channel_count == 2 && mix->frequency == 44100 && mix->bit_rate == 16);
        check(mix->data_size >= 0 && mix->data_size <= mix->memory_size);
    }
    check(converter.convert() == nullptr);
    progress = nullptr;
    return 0;
}
