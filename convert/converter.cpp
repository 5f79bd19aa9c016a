#include "convert/converter.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <vector>

#include "bms/bms.h"
#include "bms/parser.h"
#include "convert/chart_source.h"
#include "convert/conversion_job.h"
#include "convert/sample_loader.h"
#include "convert/sample_lookup.h"
#include "text/make_path.h"
#include "wav/wav.h"

namespace {

// Far before any real frame, so a first trigger has nothing left to cut.
constexpr int NEVER_STARTED = -536870912;
// One second of 16-bit stereo sound at 44100 Hz.
constexpr int64_t SPARE_BYTES = LU_BYTES_PER_SECOND;
constexpr int64_t INT_LIMIT = std::numeric_limits<int>::max();

// Whether the chart is a .pms chart, its name ending so in any case.
bool isPmsChartPath(const std::string& path) {
    if (path.size() < 4) return false;
    std::string end = path.substr(path.size() - 4);
    for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == ".pms";
}

}  // namespace

BmsConverter::BmsConverter() = default;
BmsConverter::~BmsConverter() = default;

void BmsConverter::setOptions(const RenderOptions& options) {
    debug = options.debug;
    cutOnRetrigger = options.cutOnRetrigger;
    extendedSamples = options.extendedSamples;
    missingSamplesSilent = options.missingSamplesSilent;
    loadingThreads = options.loaderThreads;
    finish = options.finish;
    setPlayerMode(options.playerMode, options.seed);
    track = options.track;
    volume = options.volume;
}

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
    if (isBmsonChartPath(chartPath)) {
        source = openBmsonSource(chartPath, debug, &bmsonError);
        return source != nullptr;
    }
    BmsBms* loaded = nullptr;
    BmsLoadOptions options;
    options.evaluateRandom = playerMode;
    options.keepPlayerData = playerMode;
    options.seed = randomSeed;
    options.loneCrEndsLine = playerMode;
    options.trimWavNames = playerMode;
    if (!BmsLoad(chartPath.c_str(), &loaded, options)) loaded = nullptr;
    parseErrorCode = BmsGetErrorCode();
    parseErrorLine = BmsGetErrorLine();
    chart.reset(loaded);
    if (!chart) return false;
    if (debug) {
        for (const BmsRandomDraw& draw : chart->getRandomDraws())
            std::printf("%s %d (line %d) => %d\n", draw.isSwitch ? "SWITCH" : "RANDOM", draw.range,
                        draw.line, draw.value);
    }
    source = makeBmsSource(chart.get(), playerMode, isPmsChartPath(chartPath));
    return true;
}

BmsBms* BmsConverter::open() {
    return openChart() ? chart.get() : nullptr;
}

int BmsConverter::countSoundedNotes() {
    if (converted || !source) return -1;
    converted = true;
    const std::vector<std::string> names = source->start(false, cutOnRetrigger, track, {});
    if (!source->begin(0, [](int64_t) {})) return -1;
    int count = 0;
    ChartTrigger next;
    while (source->next(&next)) {
        if (next.slot >= 0 && next.slot < static_cast<int>(names.size()) &&
            !names[next.slot].empty())
            ++count;
    }
    return source->failed() ? -1 : count;
}

std::string BmsConverter::getPreviewFile() const {
    return source ? source->previewFile() : std::string();
}

std::string BmsConverter::getParseError() const {
    if (isBmsonChartPath(chartPath)) return bmsonError;
    return "line " + std::to_string(parseErrorLine) + " : " + BmsErrorText(parseErrorCode);
}

LuWav* BmsConverter::convert() {
    if (converted || !source) return nullptr;
    converted = true;
    report(-1);
    Job job;
    startJob(job);
    std::function<void(int)> progress;
    if (hasProgress()) progress = [this](int value) { report(value); };
    const std::vector<std::string> names =
        source->start(debug, cutOnRetrigger, track, std::move(progress));
    job.volume = source->keySoundVolume(volume);
    if (!loadSamples(job, names)) return nullptr;
    if (!startMix(job)) return nullptr;
    if (!source->begin(job.largestSize, [&](int64_t frames) { hintMixSize(job, frames); }))
        return nullptr;
    ChartTrigger next;
    while (source->next(&next)) {
        // The triggers come in time order; a key note counts even when its sound is missing.
        if (next.key && job.marks.firstKey < 0) job.marks.firstKey = next.frame;
        if (!job.samples[next.slot]) continue;
        // A trigger must start within the int range of frames.
        if (next.frame > INT_LIMIT) return nullptr;
        if (!trigger(job, static_cast<int>(next.frame), next.slot, next.cut)) return nullptr;
    }
    if (source->failed()) return nullptr;
    job.marks.bars = source->barFrames();
    return finishMix(job);
}

std::string BmsConverter::chartFolder() const {
    std::string directory = chartPath;
    makePath(&directory[0], true, true, false, false);
    return directory.c_str();
}

std::vector<std::string> BmsConverter::declaredNames(const std::vector<std::string>& slotNames,
                                                     std::vector<int>* slots) const {
    // Only slots holding a name count: a value that starts with a NUL byte leaves an empty
    // text in its slot, which loading passes over. A source whose every slot holds a sound
    // counts them all, an empty name then failing as a file that is not there.
    std::vector<std::string> names;
    const bool emptyIsMissing = source->emptyNameIsMissing();
    for (size_t id = 0; id < slotNames.size(); ++id) {
        if (slotNames[id].empty() && !emptyIsMissing) continue;
        names.push_back(slotNames[id]);
        if (slots) slots->push_back(static_cast<int>(id));
    }
    return names;
}

bool BmsConverter::looksUp() const {
    return extendedSamples || source->forgivingLookup();
}

std::vector<std::string> BmsConverter::soundFiles(const std::string& folder,
                                                  const std::vector<std::string>& names) const {
    // A bmson chart may leave out the extension, which BMS charts always write.
    if (looksUp()) return findSampleFiles(folder, names, source->forgivingLookup());
    std::vector<std::string> files;
    for (const std::string& name : names) files.push_back(folder + name);
    return files;
}

std::vector<std::string> BmsConverter::getSoundFiles() const {
    if (!source) return {};
    return soundFiles(chartFolder(), declaredNames(source->soundNames(), nullptr));
}

void BmsConverter::startJob(Job& job) {
    job.baseDirectory = chartFolder();
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

LuWav* BmsConverter::finishMix(Job& job) {
    // The key sounds are done with; their memory goes before the song's last copy is made.
    job.samples.clear();
    std::unique_ptr<LuWav> song;
    const FinishStatus status = finishSong(finish, job.marks, job.bus.get(), &song);
    previewOutsideSong = status == FinishStatus::OUTSIDE_SONG;
    return status == FinishStatus::DONE ? song.release() : nullptr;
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

bool BmsConverter::loadSamples(Job& job, const std::vector<std::string>& slotNames) {
    const int slots = static_cast<int>(slotNames.size());
    job.samples.resize(slots);
    job.lastStart.assign(slots, NEVER_STARTED);
    // Only the declared sounds count, so that the share reaches 100. The buffers are made
    // here, so that a worker only fills its own.
    std::vector<int> ids;
    const std::vector<std::string> names = declaredNames(slotNames, &ids);
    std::vector<LuWav*> buffers;
    for (int id : ids) {
        job.samples[id].reset(new LuWav);
        job.samples[id]->setDebug(debug);
        buffers.push_back(job.samples[id].get());
    }
    const int declared = static_cast<int>(names.size());
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(job.baseDirectory + name);
    const bool lookup = looksUp();
    const std::vector<std::string> found = soundFiles(job.baseDirectory, names);

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
                    silence(path, source->notesOf(id));
                    job.samples[id].reset();
                } else {
                    if (source->notesOf(id) > 0 || !askContinue(path.c_str())) return false;
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
