// Synthesises the key sounds of the example chart demo.bms: short drum, bass
// and melody sounds in several PCM formats (8 and 16 bits, mono and stereo,
// 11025 to 44100 Hz), so that a render also exercises every normalising path.
// Self-contained on purpose: build it with any C++17 compiler and run it with
// the folder to write into (default: the current folder).
//
//     c++ -std=c++17 -O2 -o make_samples examples/make_samples.cpp
//     ./make_samples examples
//
// The output is deterministic: the same bytes on every machine.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double PI = 3.14159265358979323846;

// One sound before quantisation: samples between -1 and 1, interleaved when
// it has two channels.
struct Sound {
    const char* name;
    int channels;
    int rate;
    int bits;
    std::vector<double> samples;
};

// A small linear congruential generator: reproducible noise everywhere.
class Noise {
public:
    double next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
    }

private:
    uint32_t state = 12345u;
};

void putLe16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}

void putLe32(std::vector<uint8_t>& out, uint32_t value) {
    putLe16(out, value & 0xFFFF);
    putLe16(out, value >> 16);
}

void putTag(std::vector<uint8_t>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

// Quantises to the sound's bit depth: 8-bit samples are unsigned around 128.
std::vector<uint8_t> quantise(const Sound& sound) {
    std::vector<uint8_t> out;
    for (double value : sound.samples) {
        double clamped = value < -1.0 ? -1.0 : (value > 1.0 ? 1.0 : value);
        if (sound.bits == 8) {
            out.push_back(static_cast<uint8_t>(std::lround(128.0 + clamped * 127.0)));
        } else {
            long v = std::lround(clamped * 32767.0);
            putLe16(out, static_cast<uint32_t>(static_cast<int16_t>(v)) & 0xFFFF);
        }
    }
    return out;
}

bool writeWav(const std::string& folder, const Sound& sound) {
    std::vector<uint8_t> data = quantise(sound);
    int block = sound.channels * sound.bits / 8;
    std::vector<uint8_t> file;
    putTag(file, "RIFF");
    putLe32(file, static_cast<uint32_t>(36 + data.size() + data.size() % 2));
    putTag(file, "WAVE");
    putTag(file, "fmt ");
    putLe32(file, 16);
    putLe16(file, 1);
    putLe16(file, sound.channels);
    putLe32(file, sound.rate);
    putLe32(file, sound.rate * block);
    putLe16(file, block);
    putLe16(file, sound.bits);
    putTag(file, "data");
    putLe32(file, static_cast<uint32_t>(data.size()));
    file.insert(file.end(), data.begin(), data.end());
    if (data.size() % 2 == 1) file.push_back(0);

    std::string path = folder + "/" + sound.name;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    ok = std::fclose(out) == 0 && ok;
    if (ok) std::printf("%s: %d bytes\n", path.c_str(), static_cast<int>(file.size()));
    return ok;
}

int frameCount(int rate, double seconds) {
    return static_cast<int>(rate * seconds);
}

// A bass drum: a sine falling from 120 Hz to 45 Hz with a fast decay.
Sound kick() {
    Sound s{"kick.wav", 1, 22050, 8, {}};
    double phase = 0.0;
    for (int i = 0, n = frameCount(s.rate, 0.30); i < n; ++i) {
        double t = static_cast<double>(i) / s.rate;
        double frequency = 45.0 + 75.0 * std::exp(-t * 30.0);
        phase += 2.0 * PI * frequency / s.rate;
        s.samples.push_back(0.7 * std::sin(phase) * std::exp(-t * 9.0));
    }
    return s;
}

// A snare drum: a noise burst over a short 190 Hz body.
Sound snare() {
    Sound s{"snare.wav", 1, 22050, 16, {}};
    Noise noise;
    for (int i = 0, n = frameCount(s.rate, 0.20); i < n; ++i) {
        double t = static_cast<double>(i) / s.rate;
        double body = 0.35 * std::sin(2.0 * PI * 190.0 * t) * std::exp(-t * 30.0);
        s.samples.push_back(0.4 * noise.next() * std::exp(-t * 18.0) + body);
    }
    return s;
}

// A closed hi-hat: differenced (brightened) noise, very short.
Sound hihat() {
    Sound s{"hihat.wav", 1, 11025, 8, {}};
    Noise noise;
    double previous = 0.0;
    for (int i = 0, n = frameCount(s.rate, 0.06); i < n; ++i) {
        double t = static_cast<double>(i) / s.rate;
        double current = noise.next();
        s.samples.push_back(0.3 * (current - previous) * std::exp(-t * 70.0));
        previous = current;
    }
    return s;
}

// A bass tone (A1, 55 Hz) held for the long note: a few odd harmonics with a
// soft attack and release.
Sound bass() {
    Sound s{"bass.wav", 1, 11025, 8, {}};
    int n = frameCount(s.rate, 0.90);
    for (int i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / s.rate;
        double tone = 0.0;
        for (int h = 1; h <= 7; h += 2) tone += std::sin(2.0 * PI * 55.0 * h * t) / h;
        double attack = std::fmin(1.0, t / 0.01);
        double release = std::fmin(1.0, (n - 1 - i) / (0.05 * s.rate));
        s.samples.push_back(0.4 * tone * attack * release);
    }
    return s;
}

// A plucked melody note: a sine with its octave, decaying.
Sound pluck(const char* name, double frequency) {
    Sound s{name, 1, 22050, 8, {}};
    for (int i = 0, n = frameCount(s.rate, 0.25); i < n; ++i) {
        double t = static_cast<double>(i) / s.rate;
        double tone = std::sin(2.0 * PI * frequency * t) + 0.3 * std::sin(4.0 * PI * frequency * t);
        s.samples.push_back(0.35 * tone * std::exp(-t * 8.0));
    }
    return s;
}

// A rim click already in the output format, panned slightly to the right.
Sound rim() {
    Sound s{"rim.wav", 2, 44100, 16, {}};
    for (int i = 0, n = frameCount(s.rate, 0.03); i < n; ++i) {
        double t = static_cast<double>(i) / s.rate;
        double v = std::sin(2.0 * PI * 1700.0 * t) * std::exp(-t * 150.0);
        s.samples.push_back(0.35 * v);
        s.samples.push_back(0.6 * v);
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : ".";
    const Sound sounds[] = {kick(),
                            snare(),
                            hihat(),
                            bass(),
                            pluck("pluck_a.wav", 440.0),
                            pluck("pluck_cs.wav", 554.37),
                            pluck("pluck_e.wav", 659.26),
                            rim()};
    for (const Sound& sound : sounds) {
        if (!writeWav(folder, sound)) {
            std::fprintf(stderr, "cannot write %s/%s\n", folder.c_str(), sound.name);
            return 1;
        }
    }
    return 0;
}
