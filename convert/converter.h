// The conversion engine: opens a chart and renders it into one mixed sound.
#ifndef CONVERT_CONVERTER_H_
#define CONVERT_CONVERTER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/render_options.h"
#include "convert/song_finish.h"

class BmsBms;
class ChartSource;
class LuWav;

// Turns one chart file, BMS or bmson, into one 16-bit stereo 44100 Hz LuWav. Use it once:
// setChartPath, openChart (or open), then the options and callbacks, then convert.
class BmsConverter {
public:
    // Progress: -1 at the start, 0 to 100 while samples load, 101 to 200 while mixing.
    using ProgressFunction = void (*)(int value);
    // Asked with the full path of a sample that failed to load and that no sound
    // channel uses; true goes on without it.
    using ContinueFunction = bool (*)(const char* path);

    BmsConverter();
    ~BmsConverter();
    BmsConverter(const BmsConverter&) = delete;
    BmsConverter& operator=(const BmsConverter&) = delete;

    void setChartPath(const char* path) { chartPath = path ? path : ""; }
    // Every option of `options` at once, as the setters below would set them one by one; the
    // continue answer of `continuePastUnusedSamples` stays the continue callback's.
    void setOptions(const RenderOptions& options);
    // When set, a retriggered sample first loses the rest of its previous play. A bmson
    // chart's sound channel always does.
    void setCutOnRetrigger(bool flag) { cutOnRetrigger = flag; }
    // Trace lines on standard output, from the converter and every buffer it makes.
    void setDebug(bool flag) { debug = flag; }
    // Loudness in percent applied to every sample before mixing; 100 keeps them.
    void setVolume(int percent) { volume = percent; }
    // When set, sample files are looked up forgivingly and may be Ogg Vorbis or wider WAV
    // formats (findSampleFile, LuReadExtended); a failed one is still named by its path as
    // the chart writes it. A bmson chart's sounds are always looked up so, a name without an
    // extension trying each known one.
    void setExtendedSamples(bool flag) { extendedSamples = flag; }
    // When set, a sample that cannot be found or read, whether notes use it or not, stays
    // silent instead of failing the conversion, and no question is asked about it; such
    // samples are listed by getSilencedSamples.
    void setMissingSamplesSilent(bool flag) { missingSamplesSilent = flag; }
    // Threads that read the samples: 0 (the default) one per hardware thread, 1 one sample
    // after the other on the calling thread. The result, the progress and the questions come
    // the same either way; with traces on, samples always load one after the other.
    void setLoadingThreads(int count) { loadingThreads = count; }
    // The preview window and the normalisation applied to the mix (convert/song_finish.h);
    // by default neither, and the mix saturates at 16 bits as it goes.
    void setFinish(const SongFinish& settings) { finish = settings; }
    // When set before open, the chart renders as a player plays it: only the branches of
    // #RANDOM that numbers drawn from `seed` take are read, a note with the id of #LNOBJ ends
    // the long note before it on its lane and sounds nothing, and #VOLWAV scales every key
    // sound on top of the volume. With traces on, the numbers drawn are traced.
    void setPlayerMode(bool flag, int64_t seed) {
        playerMode = flag;
        randomSeed = seed;
    }

    // The plain form is called first, then the bound one; either may be empty.
    void setProgressCallback(ProgressFunction function) { progressFunction = function; }
    template <class T, class R>
    void setProgressCallback(T* object, R (T::*method)(int)) {
        progressTarget = nullptr;
        if (object && method)
            progressTarget = [object, method](int value) { (object->*method)(value); };
    }
    // The plain form is asked when installed, else the bound one, else the answer is no.
    void setContinueCallback(ContinueFunction function) { continueFunction = function; }
    template <class T>
    void setContinueCallback(T* object, bool (T::*method)(const char*)) {
        continueTarget = nullptr;
        if (object && method)
            continueTarget = [object, method](const char* path) { return (object->*method)(path); };
    }

    // Parses the chart file: a bmson chart when its name ends in ".bmson" in any case, else a
    // BMS chart. False when the file does not parse (getParseError tells why) or when called a
    // second time.
    bool openChart();
    // openChart for callers that work on the BMS chart: returns it, which the converter keeps,
    // or null when openChart fails or the chart is a bmson chart (which convert then renders).
    BmsBms* open();
    // After openChart, instead of convert: how many notes start a key sound that the chart
    // names, as convert would trigger them, with no key sound loaded. -1 when the chart cannot
    // be played or the converter is used up.
    int countSoundedNotes();
    // After openChart: the files that the key sounds are read from, found as loading finds them
    // with the options set; one per sound the chart declares, in the order of their slots,
    // empty where the lookup finds none.
    std::vector<std::string> getSoundFiles() const;
    // After openChart: the file the chart names as the song's preview clip (#PREVIEW, a bmson
    // chart's preview_music) as written; empty for none.
    std::string getPreviewFile() const;
    // The opened BMS chart, which the converter keeps; null before a successful openChart and
    // for a bmson chart.
    BmsBms* getBmsChart() const { return chart.get(); }
    // Why openChart failed, in one line: "line N : reason" for a BMS chart, the reader's
    // message for a bmson chart.
    std::string getParseError() const;
    // The parser's result code and line (bms/parser.h) of a BMS chart's openChart; 0 for a
    // bmson chart.
    int getParseErrorCode() const { return parseErrorCode; }
    int getParseErrorLine() const { return parseErrorLine; }
    // Renders the opened chart. Returns a new buffer that the caller owns, or
    // null on failure, before a successful open, or when called a second time.
    // Changes a BMS chart: long-note ends and invisible notes are cleared, and in player mode
    // the notes of #LNOBJ.
    LuWav* convert();
    // Full path of the last sample file that could not be read; empty if none.
    const char* getFailedWavPath() const { return failedWavPath.c_str(); }
    // Whether the last convert call failed because the preview window starts at or past the
    // song's end.
    bool isPreviewOutsideSong() const { return previewOutsideSong; }

    // A sample file that setMissingSamplesSilent left silent: its full path as the chart names
    // it, and how many objects of the sound lanes (notes of a bmson channel) hold it.
    struct SilencedSample {
        std::string path;
        int notes;
    };
    // The silenced files of the last convert call in the chart's order, each path once (the
    // objects of samples that share it added up).
    const std::vector<SilencedSample>& getSilencedSamples() const { return silencedSamples; }

private:
    struct Job;

    void report(int value);
    bool hasProgress() const { return progressFunction || progressTarget; }
    void reportUpTo(Job& job, int value);
    bool askContinue(const char* path);
    void silence(const std::string& path, int notes);
    void startJob(Job& job);
    bool loadSamples(Job& job, const std::vector<std::string>& names);
    // The folder of the chart, ending in a separator, as the key sound names start from it.
    std::string chartFolder() const;
    // Of the slots' names, those of the sounds that load, with their slots in `*slots` (may be
    // null).
    std::vector<std::string> declaredNames(const std::vector<std::string>& slotNames,
                                           std::vector<int>* slots) const;
    // Whether the key sound files are looked up rather than read as the chart writes them.
    bool looksUp() const;
    // The files of `names` in `folder` as loading reads them: found by the lookup when it looks
    // up, else as written.
    std::vector<std::string> soundFiles(const std::string& folder,
                                        const std::vector<std::string>& names) const;
    bool startMix(Job& job);
    void hintMixSize(Job& job, int64_t frames);
    bool trigger(Job& job, int frame, int slot, bool cut);
    // The song from the mix, with the preview window and the normalisation applied.
    LuWav* finishMix(Job& job);

    // The BMS chart, null for a bmson chart.
    std::unique_ptr<BmsBms> chart;
    // The opened chart of either kind, and why a bmson chart failed to open.
    std::unique_ptr<ChartSource> source;
    std::string bmsonError;
    int parseErrorCode = 0;
    int parseErrorLine = 0;
    std::string chartPath;
    int volume = 100;
    bool cutOnRetrigger = true;
    ProgressFunction progressFunction = nullptr;
    ContinueFunction continueFunction = nullptr;
    std::function<void(int)> progressTarget;
    std::function<bool(const char*)> continueTarget;
    bool debug = false;
    bool extendedSamples = false;
    bool missingSamplesSilent = false;
    int loadingThreads = 0;
    SongFinish finish;
    bool previewOutsideSong = false;
    bool playerMode = false;
    int64_t randomSeed = 0;
    SoundTrack track = SoundTrack::ALL;
    std::string failedWavPath;
    std::vector<SilencedSample> silencedSamples;
    bool opened = false;
    bool converted = false;
};

#endif  // CONVERT_CONVERTER_H_
