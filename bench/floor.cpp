// The floor of a workload: the work that no renderer can avoid, done as plainly and quickly as
// possible. It reads every sample file once (an Ogg Vorbis file decoded by libvorbisfile on
// this one thread), adds every triggered sample (its normalised
// length, taken from the file's bytes over and over) with 16-bit saturation into a zeroed buffer
// of the output's size, and writes that buffer as a WAV file. With --loudness it measures the
// buffer's integrated loudness and true peak once (libebur128) before writing it; with --flac
// it writes the buffer as FLAC through libsndfile instead.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <ebur128.h>
#include <sndfile.h>

#if KEYMIX_FLOOR_VORBIS
#include <vorbis/vorbisfile.h>
#endif

#include "bench/workloads.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A whole file as 16-bit samples, read into memory that is not cleared first.
struct Samples {
    std::unique_ptr<int16_t[]> data;
    int64_t count = 0;
};

bool readFile(const std::string& path, Samples* samples) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return false;
    const long size = std::ftell(file.get());
    if (size < 2 || std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
    samples->count = size / 2;
    samples->data.reset(new int16_t[static_cast<size_t>(samples->count)]);
    const size_t count = static_cast<size_t>(samples->count);
    return std::fread(samples->data.get(), 2, count, file.get()) == count;
}

// The 16-bit samples of an Ogg Vorbis file as libvorbisfile decodes them, channels interleaved.
bool decodeOgg(const std::string& path, Samples* samples) {
#if KEYMIX_FLOOR_VORBIS
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) return false;
    std::vector<int16_t> decoded;
    char buffer[16384];
    int section = 0;
    long got;
    while ((got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section)) > 0) {
        const size_t old = decoded.size();
        decoded.resize(old + static_cast<size_t>(got) / 2);
        std::memcpy(decoded.data() + old, buffer, static_cast<size_t>(got) / 2 * 2);
    }
    ov_clear(&file);
    if (got < 0 || decoded.empty()) return false;
    samples->count = static_cast<int64_t>(decoded.size());
    samples->data.reset(new int16_t[decoded.size()]);
    std::copy(decoded.begin(), decoded.end(), samples->data.get());
    return true;
#else
    std::fprintf(stderr, "keymix_floor: built without libvorbisfile\n");
    (void)path;
    (void)samples;
    return false;
#endif
}

void addSaturated(int16_t* target, const int16_t* source, int64_t count) {
    int64_t i = 0;
#if defined(__SSE2__)
    for (; i + 8 <= count; i += 8) {
        const __m128i sum =
            _mm_adds_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(target + i)),
                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i), sum);
    }
#endif
    for (; i < count; ++i) {
        const int sum = target[i] + source[i];
        target[i] = static_cast<int16_t>(std::min(32767, std::max(-32768, sum)));
    }
}

// One pass of the loudness measurement that normalising needs.
bool measureLoudness(const int16_t* samples, size_t frames) {
    ebur128_state* state = ebur128_init(2, 44100, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    if (!state) return false;
    double loudness = 0, left = 0, right = 0;
    const bool ok = ebur128_add_frames_short(state, samples, frames) == EBUR128_SUCCESS &&
                    ebur128_loudness_global(state, &loudness) == EBUR128_SUCCESS &&
                    ebur128_true_peak(state, 0, &left) == EBUR128_SUCCESS &&
                    ebur128_true_peak(state, 1, &right) == EBUR128_SUCCESS;
    ebur128_destroy(&state);
    return ok;
}

bool writeFlac(const char* path, const int16_t* samples, size_t frames) {
    SF_INFO info = {};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open(path, SFM_WRITE, &info);
    if (!out) return false;
    const bool ok = sf_writef_short(out, samples, static_cast<sf_count_t>(frames)) ==
                    static_cast<sf_count_t>(frames);
    return sf_close(out) == 0 && ok;
}

void putU32(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

int main(int argc, char** argv) {
    const std::string option = argc == 4 ? argv[1] : "";
    if ((argc != 3 && argc != 4) || (argc == 4 && option != "--loudness" && option != "--flac")) {
        std::fprintf(stderr, "Usage: keymix_floor [--loudness | --flac] <plan.txt> <output>\n");
        return 2;
    }
    argv += argc - 3;
    const std::string planPath = argv[1];
    BenchPlan plan;
    if (!readPlan(planPath, &plan)) {
        std::fprintf(stderr, "keymix_floor: cannot read the plan %s\n", argv[1]);
        return 1;
    }
    const size_t slash = planPath.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : planPath.substr(0, slash + 1);

    std::vector<Samples> files(plan.samples.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string& file = plan.samples[i].file;
        const bool ogg = file.size() > 4 && file.compare(file.size() - 4, 4, ".ogg") == 0;
        if (!(ogg ? decodeOgg(dir + file, &files[i]) : readFile(dir + file, &files[i]))) {
            std::fprintf(stderr, "keymix_floor: cannot read %s\n", plan.samples[i].file.c_str());
            return 1;
        }
    }

    const size_t outputBytes = static_cast<size_t>(plan.outputBytes);
    std::unique_ptr<int16_t, decltype(&std::free)> mix(
        static_cast<int16_t*>(std::calloc(outputBytes / 2 + 1, 2)), &std::free);
    if (!mix) return 1;
    for (const BenchTrigger& trigger : plan.triggers) {
        const Samples& source = files[trigger.sample];
        int16_t* target = mix.get() + trigger.frame * 2;
        for (int64_t left = plan.samples[trigger.sample].bytes / 2; left > 0;) {
            const int64_t count = std::min(left, source.count);
            addSaturated(target, source.data.get(), count);
            target += count;
            left -= count;
        }
    }

    const size_t frames = outputBytes / 4;
    if (option == "--loudness" && !measureLoudness(mix.get(), frames)) return 1;
    if (option == "--flac") {
        if (writeFlac(argv[2], mix.get(), frames)) return 0;
        std::fprintf(stderr, "keymix_floor: cannot write %s\n", argv[2]);
        return 1;
    }

    uint8_t header[44] = {'R', 'I', 'F',  'F',  0,   0,   0,    0,    'W', 'A', 'V',
                          'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   1,   0,
                          2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1, 2,   0,   4,
                          0,   16,  0,    'd',  'a', 't', 'a',  0,    0,   0,   0};
    putU32(header + 4, static_cast<uint32_t>(outputBytes + 36));
    putU32(header + 40, static_cast<uint32_t>(outputBytes));
    File out(std::fopen(argv[2], "wb"));
    if (!out || std::fwrite(header, 1, sizeof header, out.get()) != sizeof header ||
        std::fwrite(mix.get(), 1, outputBytes, out.get()) != outputBytes ||
        std::fclose(out.release()) != 0) {
        std::fprintf(stderr, "keymix_floor: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
