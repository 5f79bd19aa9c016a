#include "convert/converter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

#include "bms/bms.h"
#include "bms/parser.h"
#include "bmson/chart.h"
#include "bmson/timeline.h"
#include "convert/conversion_job.h"
#include "convert/player_mode.h"
#include "convert/sample_loader.h"
#include "convert/sample_lookup.h"
#include "convert/tic_steps.h"
#include "text/make_path.h"
#include "text/number.h"
#include "wav/wav.h"

namespace {

constexpr int SAMPLE_COUNT = BMS_WORD_COUNT;
// Far before any real frame, so a first trigger has nothing left to cut.
constexpr int NEVER_STARTED = -536870912;
constexpr double DEFAULT_TEMPO = 120.0;
// 44100 frames per second times 60 seconds per minute.
constexpr long double FRAMES_PER_MINUTE = 2646000.0L;
constexpr int TICS_PER_BEAT = 96;
// One second of 16-bit stereo sound at 44100 Hz.
constexpr int64_t SPARE_BYTES = LU_BYTES_PER_SECOND;
constexpr int64_t INT_LIMIT = std::numeric_limits<int>::max();

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads a decimal floating-point number at the start of the text: blanks, an
// optional sign, digits with an optional fraction and an optional exponent; the
// rest is ignored. Hexadecimal, "inf" and "nan" forms are no numbers here, and
// neither is a value beyond the range of a double. False when nothing is read.
bool readDecimal(const char* text, double* value) {
    const char* p = text;
    while (isSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    const char* start = p;
    int digits = 0;
    for (; isDigit(*p); ++p) ++digits;
    if (*p == '.') {
        for (++p; isDigit(*p); ++p) ++digits;
    }
    if (digits == 0) return false;
    if (*p == 'e' || *p == 'E') {
        const char* exponent = p + 1;
        if (*exponent == '+' || *exponent == '-') ++exponent;
        if (isDigit(*exponent)) {
            while (isDigit(*exponent)) ++exponent;
            p = exponent;
        }
    }
    // The text is checked above, so the conversion sees plain decimal digits
    // only; it is also independent of the locale's decimal point.
    double result = 0.0;
    const std::from_chars_result read = std::from_chars(start, p, result);
    if (read.ec != std::errc() || read.ptr != p) return false;
    *value = negative ? -result : result;
    return true;
}

// Frames of output per tic, stored as a double.
double framesPerTicAt(double tempo) {
    return static_cast<double>(FRAMES_PER_MINUTE /
                               (TICS_PER_BEAT * static_cast<long double>(tempo)));
}

// A tempo must be a finite number above 0 whose tic has a finite length.
bool isUsableTempo(double tempo) {
    return std::isfinite(tempo) && tempo > 0.0 && std::isfinite(framesPerTicAt(tempo));
}

// Truncates toward zero into the int range, for trace lines.
int toTraceInt(long double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<long double>(INT_LIMIT)) return static_cast<int>(INT_LIMIT);
    if (value <= -static_cast<long double>(INT_LIMIT) - 1) return -static_cast<int>(INT_LIMIT) - 1;
    return static_cast<int>(value);
}

bool isBmsonPath(const std::string& path) {
    const std::string extension = ".bmson";
    if (path.size() < extension.size()) return false;
    for (size_t i = 0; i < extension.size(); ++i) {
        char c = path[path.size() - extension.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != extension[i]) return false;
    }
    return true;
}

bool isLongNoteChannel(int id) {
    return (id >= 181 && id <= 215) || (id >= 217 && id <= 251);
}
bool isInvisibleChannel(int id) {
    return (id >= 109 && id <= 143) || (id >= 145 && id <= 179);
}

// A lane of the walk and the next tic at which it holds an object.
struct WalkLane {
    const BmsChannel* lane;
    int next;
};

// The first tic from `from` to `last` at which the lane holds an object, or
// `last` + 1 when there is none.
int nextObject(const BmsChannel* lane, int from, int last) {
    const int tic = lane->findObject(from);
    return tic < lane->getUsedSize() && tic <= last ? tic : last + 1;
}

}  // namespace

BmsConverter::BmsConverter() = default;
BmsConverter::~BmsConverter() = default;

void BmsConverter::report(int value) {
    if (progressFunction) progressFunction(value);
    if (progressTarget) progressTarget(value);
}

bool BmsConverter::askContinue(const char* path) {
    if (continueFunction) return continueFunction(path);
    if (continueTarget) return continueTarget(path);
    return false;
}

bool BmsConverter::openChart() {
    if (opened) return false;
    opened = true;
    if (debug) std::printf("file open %s\n", chartPath.c_str());
    if (isBmsonPath(chartPath)) return openBmson();
    BmsBms* loaded = nullptr;
    BmsLoadOptions options;
    options.evaluateRandom = playerMode;
    options.seed = randomSeed;
    if (!BmsLoad(chartPath.c_str(), &loaded, options)) loaded = nullptr;
    chart.reset(loaded);
    if (chart && debug) {
        for (const BmsRandomDraw& draw : chart->getRandomDraws())
            std::printf("RANDOM %d (line %d) => %d\n", draw.range, draw.line, draw.value);
    }
    return chart != nullptr;
}

BmsBms* BmsConverter::open() {
    return openChart() ? chart.get() : nullptr;
}

std::string BmsConverter::getParseError() const {
    if (isBmsonPath(chartPath)) return bmsonError;
    return "line " + std::to_string(BmsGetErrorLine()) + " : " + BmsGetErrorMessage();
}

LuWav* BmsConverter::convert() {
    if (converted) return nullptr;
    if (bmson) {
        converted = true;
        return convertBmson();
    }
    if (!chart) return nullptr;
    converted = true;
    return convertBms();
}

void BmsConverter::startJob(Job& job) {
    std::string directory = chartPath;
    makePath(&directory[0], true, true, false, false);
    job.baseDirectory = directory.c_str();
    if (debug) std::printf("%s\n", job.baseDirectory.c_str());
    job.volume = volume;
}

bool BmsConverter::startMix(Job& job) {
    if (debug) std::printf("max_data_size_of_wavs is %d\n", job.largestSize);
    job.bus = makeMixBus(finish, debug);
    return job.bus->reset();
}

void BmsConverter::hintMixSize(Job& job, int64_t frames) {
    // Only a hint for the block's size: skipped when it leaves the int range.
    const int64_t room = frames * 4 + job.largestSize + SPARE_BYTES;
    if (room <= INT_LIMIT) job.bus->extend(room);
}

bool BmsConverter::trigger(Job& job, int frame, int slot, bool cut) {
    const LuWav* sample = job.samples[slot].get();
    if (!sample) return true;
    // A trigger must end within the int range of bytes.
    if (INT64_C(4) * frame + sample->getDataSize() > INT_LIMIT) return false;
    if (cut) {
        const int64_t skip = static_cast<int64_t>(frame) - job.lastStart[slot];
        if (!job.bus->deduct(frame, *sample, static_cast<int>(std::min(skip, INT_LIMIT))))
            return false;
    }
    if (!job.bus->mixin(frame, *sample)) return false;
    job.lastStart[slot] = frame;
    return true;
}

LuWav* BmsConverter::convertBms() {
    report(-1);
    // The last tic is taken before the special lanes are prepared; the walk
    // and its progress use this one.
    const int lastTic = chart->getLastPosition();

    Job job;
    startJob(job);
    if (playerMode) {
        clearLongNoteEnds(chart.get());
        job.volume = keySoundVolume(*chart, volume);
    }
    const BmsRegistArray* wavs = chart->getWavs();
    std::vector<std::string> names(SAMPLE_COUNT);
    for (int id = 0; id < SAMPLE_COUNT; ++id) names[id] = wavs->get(BmsWord(id));
    if (!loadSamples(job, names, extendedSamples)) return nullptr;
    if (!startMix(job)) return nullptr;

    double tempo = DEFAULT_TEMPO;
    const char* tempoText = chart->getHeaders()->get("BPM");
    if (*tempoText != '\0') {
        if (!readDecimal(tempoText, &tempo) || !isUsableTempo(tempo)) {
            if (debug) std::printf("BPM error => %s\n", tempoText);
            return nullptr;
        }
    }

    const long double estimate = lastTic * static_cast<long double>(framesPerTicAt(tempo));
    const int64_t estimateFrames = estimate < static_cast<long double>(INT64_C(1) << 40)
                                       ? static_cast<int64_t>(estimate)
                                       : INT64_C(1) << 40;
    if (debug) std::printf("max position is %d tic\n", toTraceInt(estimateFrames));
    hintMixSize(job, estimateFrames);
    if (debug)
        std::printf("max position's data is %d\n",
                    toTraceInt(estimateFrames * 4 + job.largestSize));

    if (!prepareLanes()) return nullptr;
    if (!walk(job, tempo, lastTic)) return nullptr;
    return finishMix(job);
}

LuWav* BmsConverter::finishMix(Job& job) {
    // The key sounds are done with; their memory goes before the song's last copy is made.
    job.samples.clear();
    std::unique_ptr<LuWav> song;
    const FinishStatus status = finishSong(finish, job.bus.get(), &song);
    previewOutsideSong = status == FinishStatus::OUTSIDE_SONG;
    return status == FinishStatus::DONE ? song.release() : nullptr;
}

int BmsConverter::countNotes(Job& job, int slot) const {
    if (bmson) {
        const size_t notes = bmson->channels[slot].notes.size();
        return notes < static_cast<size_t>(INT_LIMIT) ? static_cast<int>(notes)
                                                      : static_cast<int>(INT_LIMIT);
    }
    const int id = slot;
    // One pass over the sound lanes serves every failed read, however many.
    if (job.noteCounts.empty()) {
        job.noteCounts.assign(SAMPLE_COUNT, 0);
        for (const BmsChannel* channel = chart->getFirstChannel(); channel;
             channel = channel->getNext()) {
            for (const BmsChannel* lane = channel; lane; lane = lane->getNextLane()) {
                if (!BmsIsSoundChannel(lane->getId())) continue;
                const int end = lane->getUsedSize();
                for (int tic = lane->findObject(0); tic < end; tic = lane->findObject(tic + 1))
                    ++job.noteCounts[lane->get(tic).toInt()];
            }
        }
    }
    // Every empty position holds "00", so id 00 is no use by itself.
    return id != 0 ? job.noteCounts[id] : 0;
}

void BmsConverter::silence(const std::string& path, int notes) {
    for (SilencedSample& known : silencedSamples) {
        if (known.path == path) {
            known.notes += notes;
            return;
        }
    }
    silencedSamples.push_back({path, notes});
}

void BmsConverter::reportUpTo(Job& job, int value) {
    if (!hasProgress()) return;
    for (int next = job.lastProgress + 1; next <= value; ++next) report(next);
    if (value > job.lastProgress) job.lastProgress = value;
}

bool BmsConverter::loadSamples(Job& job, const std::vector<std::string>& slotNames, bool lookup) {
    const int slots = static_cast<int>(slotNames.size());
    job.samples.resize(slots);
    job.lastStart.assign(slots, NEVER_STARTED);
    // Only slots holding a name count: a value that starts with a NUL byte leaves an empty
    // text in its slot, which loading passes over, and counting it would keep the share
    // from ever reaching 100.
    // The buffers are made here, so that a worker only fills its own.
    std::vector<std::string> names;
    std::vector<LuWav*> buffers;
    for (int id = 0; id < slots; ++id) {
        if (slotNames[id].empty()) continue;
        names.push_back(slotNames[id]);
        job.samples[id].reset(new LuWav);
        job.samples[id]->setDebug(debug);
        buffers.push_back(job.samples[id].get());
    }
    const int declared = static_cast<int>(names.size());
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(job.baseDirectory + name);
    std::vector<std::string> found;
    // A bmson chart may leave out the extension, which BMS charts always write.
    if (lookup) found = findSampleFiles(job.baseDirectory, names, bmson != nullptr);
    found.resize(names.size());

    // Traces are printed while the buffers read, so with them every sample loads in turn.
    OrderedLoader loader(declared, debug ? 1 : loadingThreads, [&](int index) {
        return loadKeySound(buffers[index], paths[index], found[index], lookup, job.volume);
    });

    int loaded = 0;
    for (int id = 0; id < slots; ++id) {
        if (job.samples[id]) {
            const std::string& path = paths[loaded];
            if (!loader.wait(loaded)) {
                failedWavPath = path;
                if (missingSamplesSilent) {
                    silence(path, countNotes(job, id));
                    job.samples[id].reset();
                } else {
                    if (countNotes(job, id) > 0 || !askContinue(path.c_str())) return false;
                    job.samples[id]->changeVolume(job.volume);
                }
            }
            const LuWav* sample = job.samples[id].get();
            if (sample && sample->getDataSize() > job.largestSize)
                job.largestSize = sample->getDataSize();
            ++loaded;
        }
        // With no sample declared, loading is complete at once.
        reportUpTo(job, declared > 0 ? loaded * 100 / declared : 100);
    }
    reportUpTo(job, 100);
    return true;
}

bool BmsConverter::prepareLanes() {
    for (BmsChannel* lane = chart->getFirstChannel(); lane; lane = lane->getNext()) {
        const int id = lane->getId().toInt();
        if (isInvisibleChannel(id)) {
            lane->clear();
        } else if (isLongNoteChannel(id)) {
            // Objects pair up as start and end; the end is cleared so that only
            // the start sounds.
            bool inside = false;
            bool malformed = false;
            BmsWord start;
            // From object to object: clearing an end object may lower the used
            // size, which then ends the scan.
            for (int tic = lane->findObject(0); tic < lane->getUsedSize() && !malformed;
                 tic = lane->findObject(tic + 1)) {
                const BmsWord word = lane->get(tic);
                if (!inside) {
                    start = word;
                    inside = true;
                } else if (word.equals(start)) {
                    lane->put(tic, BmsWord());
                    inside = false;
                } else {
                    malformed = true;
                }
            }
            if (inside || malformed) {
                if (debug) std::printf("LONG NOTE OBJECT FORMAT error \n");
                return false;
            }
        }
    }
    return true;
}

bool BmsConverter::walk(Job& job, double tempo, int lastTic) {
    // The sound lanes in the chart's lane order; the order in which they are
    // mixed at one tic matters because of saturation and the retrigger cut.
    std::vector<WalkLane> lanes;
    for (const BmsChannel* channel = chart->getFirstChannel(); channel;
         channel = channel->getNext()) {
        if (!BmsIsSoundChannel(channel->getId())) continue;
        for (const BmsChannel* lane = channel; lane; lane = lane->getNextLane()) {
            const int next = nextObject(lane, 0, lastTic);
            if (next <= lastTic) lanes.push_back({lane, next});
        }
    }
    int nextSound = lastTic + 1;
    for (const WalkLane& lane : lanes) nextSound = std::min(nextSound, lane.next);

    // The tempo and stop lanes, each with its next object; an absent lane has none.
    WalkLane tempoLane = {chart->findChannel(BmsWord("03")), lastTic + 1};
    WalkLane headerTempoLane = {chart->findChannel(BmsWord("08")), lastTic + 1};
    WalkLane stopLane = {chart->findChannel(BmsWord("09")), lastTic + 1};
    for (WalkLane* lane : {&tempoLane, &headerTempoLane, &stopLane}) {
        if (lane->lane) lane->next = nextObject(lane->lane, 0, lastTic);
    }
    const BmsHeaderHash* headers = chart->getHeaders();
    TicProgress progress(lastTic, job.lastProgress, [this](int value) { report(value); });

    double framesPerTic = framesPerTicAt(tempo);
    double position = 0.0;
    for (int tic = 0;; ++tic) {
        // The tics up to the next object, or to the last tic, hold nothing: each only moves the
        // position on by one tic's frames.
        const int event =
            std::min({nextSound, tempoLane.next, headerTempoLane.next, stopLane.next, lastTic});
        if (event > tic) {
            position = advanceTics(position, framesPerTic, event - tic);
            if (hasProgress()) progress.reach(event - 1);
            tic = event;
        }

        if (tic == nextSound) {
            nextSound = lastTic + 1;
            for (WalkLane& lane : lanes) {
                if (lane.next == tic) {
                    const int id = lane.lane->get(tic).toInt();
                    if (job.samples[id]) {
                        // A trigger must start within the int range of frames.
                        if (!(position < 2147483648.0)) return false;
                        if (!trigger(job, static_cast<int>(position), id, cutOnRetrigger))
                            return false;
                    }
                    lane.next = nextObject(lane.lane, tic + 1, lastTic);
                }
                nextSound = std::min(nextSound, lane.next);
            }
        }

        if (tempoLane.next == tic) {
            const BmsWord word = tempoLane.lane->get(tic);
            tempoLane.next = nextObject(tempoLane.lane, tic + 1, lastTic);
            if (word.toInt() != 0) {
                if (debug) std::printf("bpm changed %lf =>", tempo);
                const int high = hexValue(word.getFirst());
                const int low = hexValue(word.getSecond());
                const int value = high < 0 ? 0 : low < 0 ? high : high * 16 + low;
                if (value == 0) {
                    char text[3];
                    word.toText(text);
                    if (debug) std::printf("BPM error => %s\n", text);
                    return false;
                }
                tempo = value;
                framesPerTic = framesPerTicAt(tempo);
                if (debug) std::printf(" %lf\n", tempo);
            }
        }

        if (headerTempoLane.next == tic) {
            const BmsWord word = headerTempoLane.lane->get(tic);
            headerTempoLane.next = nextObject(headerTempoLane.lane, tic + 1, lastTic);
            if (word.toInt() != 0) {
                if (debug) std::printf("exbpm changed %lf =>", tempo);
                char key[8];
                std::snprintf(key, sizeof key, "BPM%c%c", word.getFirst(), word.getSecond());
                const char* text = headers->get(key);
                double value = 0.0;
                if (!readDecimal(text, &value) || !isUsableTempo(value)) {
                    if (debug) std::printf("ex BPM error => %s %s\n", key, text);
                    return false;
                }
                tempo = value;
                framesPerTic = framesPerTicAt(tempo);
                if (debug) std::printf(" %lf\n", tempo);
            }
        }

        if (stopLane.next == tic) {
            const BmsWord word = stopLane.lane->get(tic);
            stopLane.next = nextObject(stopLane.lane, tic + 1, lastTic);
            if (word.toInt() != 0) {
                char key[8];
                std::snprintf(key, sizeof key, "STOP%c%c", word.getFirst(), word.getSecond());
                const char* text = headers->get(key);
                int stop = 0;
                if (!readDecimalInt(text, &stop) || stop < 0) {
                    if (debug) std::printf("ex STOP error => %s %s\n", key, text);
                    return false;
                }
                const long double length = 2.0L * stop * framesPerTic;
                position = static_cast<double>(position + length);
                if (debug) std::printf("STOP %d\n", toTraceInt(length));
            }
        }

        position = advanceTic(position, framesPerTic);
        if (hasProgress()) progress.reach(tic);
        if (tic == lastTic) return true;
    }
}
