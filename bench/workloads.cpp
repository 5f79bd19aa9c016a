#include "bench/workloads.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Written first in every plan; a plan of another version is made again.
constexpr char PLAN_VERSION[] = "keymix-bench-plan 1";
constexpr int TICS_PER_BAR = 384;
constexpr int FIXED_FREQUENCY = 44100;
constexpr char DIGITS[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// splitmix64: the same numbers on every platform, so every workload is the same everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : state(seed) {}

    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // A number from `low` to `high`, both included.
    int between(int low, int high) {
        return low + static_cast<int>(next() % static_cast<uint64_t>(high - low + 1));
    }

private:
    uint64_t state;
};

struct Format {
    int bits;
    int channels;
    int rate;
};

// Every format that the renderer normalises: 8/16-bit, mono/stereo, three rates.
constexpr Format MIXED_FORMATS[] = {
    {8, 1, 22050},  {8, 1, 44100},  {8, 1, 48000},  {8, 2, 22050},  {8, 2, 44100},  {8, 2, 48000},
    {16, 1, 22050}, {16, 1, 44100}, {16, 1, 48000}, {16, 2, 22050}, {16, 2, 44100}, {16, 2, 48000},
};
constexpr int MIXED_FORMAT_COUNT = sizeof MIXED_FORMATS / sizeof MIXED_FORMATS[0];

void putU32(std::string* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes->push_back(static_cast<char>(value >> (8 * i)));
}
void putU16(std::string* bytes, uint32_t value) {
    bytes->push_back(static_cast<char>(value));
    bytes->push_back(static_cast<char>(value >> 8));
}

bool writeFile(const std::string& path, const std::string& bytes) {
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return false;
    return std::fclose(file.release()) == 0;
}

// The size a sample's data takes once read: widened to 16 bits, to two channels, then
// resampled to 44100 Hz with the size rounded down to whole frames.
int64_t normalisedBytes(const Format& format, int64_t dataBytes) {
    int64_t size = dataBytes * (16 / format.bits) * (2 / format.channels);
    if (format.rate == FIXED_FREQUENCY) return size;
    const long double ratio = static_cast<long double>(FIXED_FREQUENCY) / format.rate;
    size = static_cast<int64_t>(ratio * size);
    return size - size % 4;
}

// A WAV file's 44-byte header for `dataBytes` bytes of PCM in `format`, with room reserved for
// the data.
std::string wavHeader(const Format& format, int64_t dataBytes) {
    const int blockSize = format.bits / 8 * format.channels;
    std::string bytes;
    bytes.reserve(static_cast<size_t>(44 + dataBytes));
    bytes += "RIFF";
    putU32(&bytes, static_cast<uint32_t>(36 + dataBytes));
    bytes += "WAVEfmt ";
    putU32(&bytes, 16);
    putU16(&bytes, 1);
    putU16(&bytes, static_cast<uint32_t>(format.channels));
    putU32(&bytes, static_cast<uint32_t>(format.rate));
    putU32(&bytes, static_cast<uint32_t>(format.rate * blockSize));
    putU16(&bytes, static_cast<uint32_t>(blockSize));
    putU16(&bytes, static_cast<uint32_t>(format.bits));
    bytes += "data";
    putU32(&bytes, static_cast<uint32_t>(dataBytes));
    return bytes;
}

void putSample(std::string* bytes, const Format& format, int value) {
    if (format.bits == 8) {
        bytes->push_back(static_cast<char>(128 + value / 256));
    } else {
        putU16(bytes, static_cast<uint32_t>(value));
    }
}

// Makes a sample file of `frames` frames in `format`, drawing what it needs from `random`.
using SampleMaker = std::string (*)(const Format& format, int64_t frames, Random& random);

// A decaying saw tooth with a little noise, computed in integers only so the bytes are the
// same on every platform. The right channel runs at another pitch than the left.
std::string sampleFile(const Format& format, int64_t frames, Random& random) {
    const int period = random.between(20, 400);
    const int amplitude = random.between(3000, 12000);
    std::string bytes = wavHeader(format, frames * (format.bits / 8) * format.channels);
    for (int64_t i = 0; i < frames; ++i) {
        const int64_t left = 2 * (i % period) * amplitude / period - amplitude;
        const int64_t right = 2 * (i % (period + 7)) * amplitude / (period + 7) - amplitude;
        for (int channel = 0; channel < format.channels; ++channel) {
            const int64_t wave = channel == 0 ? left : right;
            const int64_t noise = static_cast<int64_t>(random.next() % 1025) - 512;
            putSample(&bytes, format, static_cast<int>((wave * (frames - i)) / frames + noise));
        }
    }
    return bytes;
}

// A triangle wave from -amplitude to +amplitude with a period of `period` frames.
int64_t triangle(int64_t frame, int period, int amplitude) {
    const int64_t phase = frame % period;
    return phase < period / 2 ? 4 * amplitude * phase / period - amplitude
                              : 3 * amplitude - 4 * amplitude * phase / period;
}

// A key sound as a song package has them: a chord of one to three triangle waves with its own
// noise in each channel, rising over up to 2000 frames and then fading out to the end. The
// noise is what makes its Ogg Vorbis file about as large as a recorded one. The right channel's
// waves run a little lower than the left's; the peak stays below 3 * 6000 + 6000, so nothing
// clips. Integers only, as above.
std::string packageSoundFile(const Format& format, int64_t frames, Random& random) {
    const int waves = random.between(1, 3);
    int periods[3], amplitudes[3];
    for (int wave = 0; wave < waves; ++wave) {
        periods[wave] = random.between(20, 600);
        amplitudes[wave] = random.between(1000, 6000);
    }
    const int noise = random.between(750, 6000);
    const int64_t attack = std::min<int64_t>(random.between(100, 2000), frames / 2);
    std::string bytes = wavHeader(format, frames * (format.bits / 8) * format.channels);
    for (int64_t i = 0; i < frames; ++i) {
        const int64_t level =
            i < attack ? 1024 * i / attack : 1024 * (frames - i) / (frames - attack);
        for (int channel = 0; channel < format.channels; ++channel) {
            int64_t value = static_cast<int64_t>(random.next() % (2 * noise + 1)) - noise;
            for (int wave = 0; wave < waves; ++wave)
                value += triangle(i, periods[wave] + 3 * channel, amplitudes[wave]);
            putSample(&bytes, format, static_cast<int>(value * level / 1024));
        }
    }
    return bytes;
}

// Encodes the WAV files `names` in `dir` as Ogg Vorbis files of the same stem with oggenc of
// vorbis-tools at `quality`, and removes the WAV files. One oggenc runs on each hardware thread,
// each with every n-th file of the list, so the long and the short files spread evenly.
bool encodeOgg(const std::string& dir, const std::vector<std::string>& names, int quality) {
    const size_t processes =
        std::max<size_t>(1, std::min<size_t>(names.size(), std::thread::hardware_concurrency()));
    std::vector<pid_t> children;
    bool ok = true;
    for (size_t process = 0; process < processes && ok; ++process) {
        std::vector<std::string> args = {"oggenc", "-Q", "-q", std::to_string(quality)};
        for (size_t i = process; i < names.size(); i += processes) args.push_back(names[i]);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(&arg[0]);
        argv.push_back(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            if (chdir(dir.c_str()) == 0) execvp(argv[0], argv.data());
            _exit(127);
        }
        if (child < 0) ok = false;
        if (child > 0) children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            ok = false;
    }
    if (!ok) {
        std::fprintf(stderr, "oggenc failed (sudo apt-get install vorbis-tools)\n");
        return false;
    }
    for (const std::string& name : names) std::remove((dir + "/" + name).c_str());
    return true;
}

std::string wordText(int id) {
    return std::string(1, DIGITS[id / 36]) + DIGITS[id % 36];
}

// Builds one chart at one constant tempo: its samples, its object lines, and the frame of
// every sounding object, found the way the renderer walks the tics.
class ChartBuilder {
public:
    ChartBuilder(double tempo, uint64_t seed) : tempo(tempo), random(seed) {}

    Random& rng() { return random; }

    // Makes the samples Ogg Vorbis files of oggenc's `quality`, while the chart still names
    // them .wav.
    void encodeAsOgg(int quality) { oggQuality = quality; }

    // Makes the sample files with `maker` instead of `sampleFile`.
    void makeSamplesWith(SampleMaker maker) { makeSample = maker; }

    // Declares sample `id` (#WAVxx) with `frames` frames at its own rate.
    void addSample(int id, const Format& format, int64_t frames) {
        if (static_cast<int>(samples.size()) <= id) samples.resize(id + 1);
        samples[id] = {format, frames, true};
    }

    // One object line of a bar: `ids` spread evenly over the bar, 0 for no object. Its length
    // must divide 384 so every object lands on a whole tic.
    void addLine(int bar, int channel, const std::vector<int>& ids) {
        char head[16];
        std::snprintf(head, sizeof head, "#%03d%s:", bar, wordText(channel).c_str());
        std::string line = head;
        for (int id : ids) line += wordText(id);
        lines.push_back(line);
    }

    // Records that the object in slot `slot` of `slots` of the bar sounds sample `id`.
    void addTrigger(int bar, int slot, int slots, int id) {
        triggers.push_back({static_cast<int64_t>(bar) * TICS_PER_BAR +
                                static_cast<int64_t>(slot) * (TICS_PER_BAR / slots),
                            id});
    }

    // Writes chart.bms, the sample files and plan.txt into `dir`.
    bool write(const std::string& dir) {
        std::ostringstream chart;
        chart << "#PLAYER 1\n#TITLE benchmark\n#BPM " << tempo << "\n";
        BenchPlan plan;
        std::vector<int> sampleIndex(samples.size(), -1);
        for (size_t id = 0; id < samples.size(); ++id) {
            const Declared& sample = samples[id];
            if (!sample.declared) continue;
            char name[32];
            std::snprintf(name, sizeof name, "s%04d.wav", static_cast<int>(id));
            chart << "#WAV" << wordText(static_cast<int>(id)) << " " << name << "\n";
            const std::string bytes = makeSample(sample.format, sample.frames, random);
            if (!writeFile(dir + "/" + name, bytes)) return false;
            const int64_t dataBytes = static_cast<int64_t>(bytes.size()) - 44;
            sampleIndex[id] = static_cast<int>(plan.samples.size());
            plan.samples.push_back({name, normalisedBytes(sample.format, dataBytes)});
        }
        if (oggQuality > 0) {
            std::vector<std::string> names;
            for (BenchSample& sample : plan.samples) {
                names.push_back(sample.file);
                sample.file.replace(sample.file.size() - 4, 4, ".ogg");
            }
            if (!encodeOgg(dir, names, oggQuality)) return false;
        }
        for (const std::string& line : lines) chart << line << "\n";
        if (!writeFile(dir + "/chart.bms", chart.str())) return false;

        // The renderer keeps its position as a double and adds one tic's frames at a time; each
        // object's frame is that position truncated.
        std::sort(triggers.begin(), triggers.end());
        const double framesPerTic =
            static_cast<double>(2646000.0L / (96 * static_cast<long double>(tempo)));
        double position = 0.0;
        int64_t tic = 0;
        for (const Pending& trigger : triggers) {
            for (; tic < trigger.tic; ++tic)
                position = static_cast<double>(position + static_cast<long double>(framesPerTic));
            const int index = sampleIndex[trigger.id];
            const int64_t frame = static_cast<int64_t>(position);
            plan.triggers.push_back({index, frame});
            plan.outputBytes = std::max(plan.outputBytes, frame * 4 + plan.samples[index].bytes);
        }
        return writePlan(dir + "/plan.txt", plan);
    }

private:
    struct Declared {
        Format format;
        int64_t frames;
        bool declared;
    };
    struct Pending {
        int64_t tic;
        int id;
        bool operator<(const Pending& other) const {
            return tic != other.tic ? tic < other.tic : id < other.id;
        }
    };

    static bool writePlan(const std::string& path, const BenchPlan& plan) {
        std::ostringstream text;
        text << PLAN_VERSION << "\n";
        text << "output " << plan.outputBytes << "\n";
        text << "samples " << plan.samples.size() << "\n";
        for (const BenchSample& sample : plan.samples)
            text << sample.file << " " << sample.bytes << "\n";
        text << "triggers " << plan.triggers.size() << "\n";
        for (const BenchTrigger& trigger : plan.triggers)
            text << trigger.sample << " " << trigger.frame << "\n";
        return writeFile(path, text.str());
    }

    double tempo;
    Random random;
    // 0 keeps the samples WAV files.
    int oggQuality = 0;
    SampleMaker makeSample = sampleFile;
    std::vector<Declared> samples;
    std::vector<std::string> lines;
    std::vector<Pending> triggers;
};

// Frames of a sample `milliseconds` long at the format's own rate.
int64_t framesOf(const Format& format, int milliseconds) {
    return static_cast<int64_t>(format.rate) * milliseconds / 1000;
}

// A 3-minute chart at 150 BPM: 600 samples of 0.2 to 2 s in every format, and about 3000
// objects: a beat of 8 short drum samples and off-beats on two background lanes, 16 notes a
// bar over channels 11-19, and two long notes a bar on channels 51-59.
bool writeSong(const std::string& dir) {
    constexpr int SAMPLES = 600;
    constexpr int DRUMS = 8;
    constexpr int BARS = 113;
    ChartBuilder chart(150.0, 1);
    Random& random = chart.rng();
    for (int id = 1; id <= SAMPLES; ++id) {
        const Format& format = MIXED_FORMATS[random.between(0, MIXED_FORMAT_COUNT - 1)];
        const int milliseconds = id <= DRUMS ? random.between(200, 600) : random.between(200, 2000);
        chart.addSample(id, format, framesOf(format, milliseconds));
    }
    for (int bar = 0; bar < BARS; ++bar) {
        std::vector<int> beat(4);
        for (int slot = 0; slot < 4; ++slot) {
            beat[slot] = random.between(1, DRUMS);
            chart.addTrigger(bar, slot, 4, beat[slot]);
        }
        chart.addLine(bar, 1, beat);
        std::vector<int> offBeats(8, 0);
        for (int slot = 1; slot < 8; slot += 2) {
            offBeats[slot] = random.between(DRUMS + 1, SAMPLES);
            chart.addTrigger(bar, slot, 8, offBeats[slot]);
        }
        chart.addLine(bar, 1, offBeats);

        std::vector<std::vector<int>> keys(9, std::vector<int>(16, 0));
        for (int slot = 0; slot < 16; ++slot) {
            const int key = random.between(0, 8);
            keys[key][slot] = random.between(DRUMS + 1, SAMPLES);
            chart.addTrigger(bar, slot, 16, keys[key][slot]);
        }
        for (int key = 0; key < 9; ++key) {
            if (std::any_of(keys[key].begin(), keys[key].end(), [](int id) { return id != 0; }))
                chart.addLine(bar, 37 + key, keys[key]);
        }

        const int first = random.between(0, 8);
        const int second = (first + random.between(1, 8)) % 9;
        for (int key : {first, second}) {
            std::vector<int> note(16, 0);
            const int start = random.between(0, 7);
            const int id = random.between(DRUMS + 1, SAMPLES);
            note[start] = id;
            note[start + random.between(2, 8)] = id;
            chart.addTrigger(bar, start, 16, id);
            chart.addLine(bar, 181 + key, note);
        }
    }
    return chart.write(dir);
}

// Every bar from 000 to 998 at 180 BPM: all 1296 sample ids declared (0.05 to 0.2 s each) and
// 32 background lanes with an object on every 1/16 of every bar.
bool writeDense(const std::string& dir) {
    constexpr int SAMPLES = 1296;
    constexpr int BARS = 999;
    constexpr int LANES = 32;
    ChartBuilder chart(180.0, 2);
    Random& random = chart.rng();
    for (int id = 0; id < SAMPLES; ++id) {
        const Format& format = MIXED_FORMATS[random.between(0, MIXED_FORMAT_COUNT - 1)];
        chart.addSample(id, format, framesOf(format, random.between(50, 200)));
    }
    for (int bar = 0; bar < BARS; ++bar) {
        for (int lane = 0; lane < LANES; ++lane) {
            std::vector<int> ids(16);
            for (int slot = 0; slot < 16; ++slot) {
                ids[slot] = random.between(1, SAMPLES - 1);
                chart.addTrigger(bar, slot, 16, ids[slot]);
            }
            chart.addLine(bar, 1, ids);
        }
    }
    return chart.write(dir);
}

// 60 triggers, one a bar at 120 BPM, of 12 stereo samples of 30 s each: about 15 plays sound
// at once, and each sample starts again 24 s after its previous start.
bool writeLong(const std::string& dir) {
    constexpr int SAMPLES = 12;
    constexpr int TRIGGERS = 60;
    constexpr Format FORMATS[] = {{16, 2, 44100}, {16, 2, 48000}, {16, 2, 22050}};
    ChartBuilder chart(120.0, 3);
    for (int id = 1; id <= SAMPLES; ++id) {
        const Format& format = FORMATS[id % 3];
        chart.addSample(id, format, framesOf(format, 30000));
    }
    for (int bar = 0; bar < TRIGGERS; ++bar) {
        const int id = bar % SAMPLES + 1;
        chart.addLine(bar, 1, {id});
        chart.addTrigger(bar, 0, 1, id);
    }
    return chart.write(dir);
}

// A 1-minute chart at 150 BPM whose 300 key sounds of 0.2 to 1 s, mono or stereo at 44100 Hz,
// are Ogg Vorbis files: a beat of 8 drum sounds and 16 notes a bar over channels 11-19.
bool writeOgg(const std::string& dir) {
    constexpr int SAMPLES = 300;
    constexpr int DRUMS = 8;
    constexpr int BARS = 38;
    constexpr Format FORMATS[] = {{16, 1, 44100}, {16, 2, 44100}};
    ChartBuilder chart(150.0, 4);
    chart.encodeAsOgg(4);
    Random& random = chart.rng();
    for (int id = 1; id <= SAMPLES; ++id) {
        const Format& format = FORMATS[random.between(0, 1)];
        chart.addSample(id, format, framesOf(format, random.between(200, 1000)));
    }
    for (int bar = 0; bar < BARS; ++bar) {
        std::vector<int> beat(4);
        for (int slot = 0; slot < 4; ++slot) {
            beat[slot] = random.between(1, DRUMS);
            chart.addTrigger(bar, slot, 4, beat[slot]);
        }
        chart.addLine(bar, 1, beat);
        std::vector<std::vector<int>> keys(9, std::vector<int>(16, 0));
        for (int slot = 0; slot < 16; ++slot) {
            const int key = random.between(0, 8);
            keys[key][slot] = random.between(DRUMS + 1, SAMPLES);
            chart.addTrigger(bar, slot, 16, keys[key][slot]);
        }
        for (int key = 0; key < 9; ++key) {
            if (std::any_of(keys[key].begin(), keys[key].end(), [](int id) { return id != 0; }))
                chart.addLine(bar, 37 + key, keys[key]);
        }
    }
    return chart.write(dir);
}

// Deals the numbers from `low` to `high` in a shuffled order, each once, then shuffles them
// again: with n numbers, each comes up once in draws 1 to n, once in draws n + 1 to 2n, and so
// on.
class Deck {
public:
    Deck(int low, int high, Random& random) : random(random) {
        for (int card = low; card <= high; ++card) cards.push_back(card);
    }

    int draw() {
        if (next == cards.size()) next = 0;
        if (next == 0) {
            for (size_t i = cards.size() - 1; i > 0; --i)
                std::swap(cards[i],
                          cards[static_cast<size_t>(random.between(0, static_cast<int>(i)))]);
        }
        return cards[next++];
    }

private:
    Random& random;
    std::vector<int> cards;
    size_t next = 0;
};

// A large song package: a 3:44 chart at 150 BPM whose 1200 key sounds of 0.5 to 3 s are Ogg
// Vorbis files of oggenc's quality 6, mostly stereo at 44100 Hz, some mono, some at 22050 or
// 48000 Hz. Each bar has a beat of 4 of the 16 drum sounds and 4 off-beats on channel 01 and 16
// notes over channels 11-19. The sounds are dealt from shuffled decks, so every one of them
// sounds: the 1184 others all within the first 60 bars, and 2 or 3 times over the song.
bool writePackage(const std::string& dir) {
    constexpr int SAMPLES = 1200;
    constexpr int DRUMS = 16;
    constexpr int BARS = 140;
    constexpr Format FORMATS[] = {
        {16, 2, 44100}, {16, 2, 44100}, {16, 2, 44100}, {16, 2, 44100}, {16, 2, 44100},
        {16, 1, 44100}, {16, 1, 44100}, {16, 1, 44100}, {16, 2, 22050}, {16, 2, 48000},
    };
    constexpr int FORMAT_COUNT = sizeof FORMATS / sizeof FORMATS[0];
    ChartBuilder chart(150.0, 5);
    chart.encodeAsOgg(6);
    chart.makeSamplesWith(packageSoundFile);
    Random& random = chart.rng();
    for (int id = 1; id <= SAMPLES; ++id) {
        const Format& format = FORMATS[random.between(0, FORMAT_COUNT - 1)];
        chart.addSample(id, format, framesOf(format, random.between(500, 3000)));
    }
    Deck drums(1, DRUMS, random);
    Deck sounds(DRUMS + 1, SAMPLES, random);
    for (int bar = 0; bar < BARS; ++bar) {
        std::vector<int> beat(4);
        for (int slot = 0; slot < 4; ++slot) {
            beat[slot] = drums.draw();
            chart.addTrigger(bar, slot, 4, beat[slot]);
        }
        chart.addLine(bar, 1, beat);
        std::vector<int> offBeats(8, 0);
        for (int slot = 1; slot < 8; slot += 2) {
            offBeats[slot] = sounds.draw();
            chart.addTrigger(bar, slot, 8, offBeats[slot]);
        }
        chart.addLine(bar, 1, offBeats);
        std::vector<std::vector<int>> keys(9, std::vector<int>(16, 0));
        for (int slot = 0; slot < 16; ++slot) {
            const int key = random.between(0, 8);
            keys[key][slot] = sounds.draw();
            chart.addTrigger(bar, slot, 16, keys[key][slot]);
        }
        for (int key = 0; key < 9; ++key) {
            if (std::any_of(keys[key].begin(), keys[key].end(), [](int id) { return id != 0; }))
                chart.addLine(bar, 37 + key, keys[key]);
        }
    }
    return chart.write(dir);
}

}  // namespace

int64_t BenchPlan::sampleBytes() const {
    int64_t total = 0;
    for (const BenchSample& sample : samples) total += sample.bytes;
    return total;
}

const std::vector<std::string>& benchWorkloadNames() {
    static const std::vector<std::string> names = {"long", "song", "dense", "ogg", "package"};
    return names;
}

bool writeWorkload(const std::string& name, const std::string& dir) {
    if (name == "song") return writeSong(dir);
    if (name == "dense") return writeDense(dir);
    if (name == "long") return writeLong(dir);
    if (name == "ogg") return writeOgg(dir);
    if (name == "package") return writePackage(dir);
    return false;
}

bool readPlan(const std::string& path, BenchPlan* plan) {
    std::ifstream in(path);
    std::string version;
    if (!std::getline(in, version) || version != PLAN_VERSION) return false;
    std::string word;
    size_t count = 0;
    *plan = BenchPlan();
    if (!(in >> word >> plan->outputBytes) || word != "output") return false;
    if (!(in >> word >> count) || word != "samples") return false;
    plan->samples.resize(count);
    for (BenchSample& sample : plan->samples) {
        if (!(in >> sample.file >> sample.bytes)) return false;
    }
    if (!(in >> word >> count) || word != "triggers") return false;
    plan->triggers.resize(count);
    for (BenchTrigger& trigger : plan->triggers) {
        if (!(in >> trigger.sample >> trigger.frame)) return false;
        if (trigger.sample < 0 || static_cast<size_t>(trigger.sample) >= plan->samples.size())
            return false;
    }
    return true;
}
