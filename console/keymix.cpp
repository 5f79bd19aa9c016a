#include "console/keymix.h"

#include <cstdio>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "console/make_path.h"
#include "convert/converter.h"
#include "convert/number_text.h"
#include "wav/wav.h"

namespace {

// The texts this program prints; each is a format for the standard printing.
constexpr char USAGE[] = "Usage: keymix [-v volume(%%)] [-o output] [-d] [-i] [-r] <input>\n";
constexpr char INPUT_LINE[] = "INPUT BMS FILE  : %s\n";
constexpr char OUTPUT_LINE[] = "OUTPUT WAV FILE : %s\n";
constexpr char VOLUME_LINE[] = "VOLUME          : %d%%\n";
constexpr char PREPARING[] = "WAV変換準備中 ......\n";
constexpr char LOADING[] = "WAV読み込み中\n";
constexpr char MIXING[] = "WAV合成開始\n";
constexpr char RULER[] = "0----------------------------------------------100\n";
constexpr char PARSE_FAILED[] = "\nBMSファイルの解析失敗 %s\n";
constexpr char PARSE_ERROR_LINE[] = "%s\n";
constexpr char CANNOT_WRITE[] = "\n出力ファイルに書き込めません %s\n";
constexpr char CONVERT_FAILED[] = "\nWAVへの変換失敗\n";
constexpr char WRITTEN[] = "\nWAVファイルへ書き込みました %s\n";
constexpr char WRITE_FAILED[] = "\nWAVファイルへの書き込みが失敗 %s\n";
constexpr char SILENCED[] = "WAVが読めないので無音にしました %s (ノーツ数 %d)\n";

constexpr int DEFAULT_VOLUME = 50;
constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = -1;

struct Settings {
    const char* inputPath = nullptr;
    const char* outputPath = nullptr;
    int volume = DEFAULT_VOLUME;
    bool debug = false;
    bool cutOnRetrigger = false;
    bool continuePastUnusedSamples = false;
    bool extendedSamples = false;
    bool missingSamplesSilent = false;
};

// The answer to the continue question (option -i). A plain function answers
// it, so it lives here; each run sets it before converting.
bool continueAnswer = false;

// Fills `settings` from the command line. False when the usage line is due: an
// unknown option, an option without its value, a volume without digits, a
// second input path or none at all.
bool parseArguments(int argc, char** argv, Settings* settings) {
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] != '-') {
            if (settings->inputPath) return false;
            settings->inputPath = argument;
            continue;
        }
        // The option is told by its second character; the rest is ignored.
        switch (argument[1]) {
            case 'd':
                settings->debug = true;
                break;
            case 'i':
                settings->continuePastUnusedSamples = true;
                break;
            case 'r':
                settings->cutOnRetrigger = true;
                break;
            case 'x':
                settings->extendedSamples = true;
                break;
            case 'm':
                settings->missingSamplesSilent = true;
                break;
            case 'o':
                if (++i >= argc) return false;
                settings->outputPath = argv[i];
                break;
            case 'v':
                if (++i >= argc) return false;
                if (!readDecimalInt(argv[i], &settings->volume)) return false;
                break;
            default:
                return false;
        }
    }
    return settings->inputPath != nullptr;
}

// The output path proposed for a chart: the chart's path without its extension,
// followed by ".wav".
std::string proposeOutputPath(const char* inputPath) {
    std::string input(inputPath);
    std::vector<char> path(input.begin(), input.end());
    path.push_back('\0');
    makePath(path.data(), true, true, true, false);
    return std::string(path.data()) + ".wav";
}

// Draws the progress bar: a ruler of 50 columns for loading and one for mixing,
// one star per two percent. Flushed at once so the bar grows while it runs.
void printProgress(int value) {
    if (value == -1) {
        std::printf(PREPARING);
    } else if (value == 0) {
        std::printf(LOADING);
        std::printf(RULER);
    } else if (value == 100) {
        std::printf("*\n");
        std::printf(MIXING);
        std::printf(RULER);
    } else if (value == 200) {
        std::printf("*\n");
    } else if (value > 0 && value < 200 && value % 2 == 0) {
        std::printf("*");
    } else {
        return;
    }
    std::fflush(stdout);
}

bool answerContinue(const char* /*path*/) {
    return continueAnswer;
}

// Whether anything is at `path`, a link that leads nowhere included.
bool pathExists(const char* path) {
    struct stat status;
#ifdef _WIN32
    return stat(path, &status) == 0;
#else
    return lstat(path, &status) == 0;
#endif
}

// Closing messages go to standard error. What standard output holds is sent
// before each, so that both streams read in order when they share one file.
std::FILE* messages() {
    std::fflush(stdout);
    return stderr;
}

// Names the key sounds that option -m left silent, after a blank line, each with the number
// of its notes.
void printSilenced(const BmsConverter& converter) {
    const std::vector<BmsConverter::SilencedSample>& silenced = converter.getSilencedSamples();
    if (silenced.empty()) return;
    std::fprintf(messages(), "\n");
    for (const BmsConverter::SilencedSample& sample : silenced)
        std::fprintf(messages(), SILENCED, sample.path.c_str(), sample.notes);
}

}  // namespace

int runKeymix(int argc, char** argv) {
    Settings settings;
    if (!parseArguments(argc, argv, &settings)) {
        std::fprintf(messages(), USAGE);
        return EXIT_OK;
    }
    std::string outputPath =
        settings.outputPath ? settings.outputPath : proposeOutputPath(settings.inputPath);
    const char* output = outputPath.c_str();

    std::printf(INPUT_LINE, settings.inputPath);
    std::printf(OUTPUT_LINE, output);
    std::printf(VOLUME_LINE, settings.volume);

    BmsConverter converter;
    converter.setDebug(settings.debug);
    converter.setCutOnRetrigger(settings.cutOnRetrigger);
    converter.setExtendedSamples(settings.extendedSamples);
    converter.setMissingSamplesSilent(settings.missingSamplesSilent);
    converter.setChartPath(settings.inputPath);
    if (!converter.openChart()) {
        std::fprintf(messages(), PARSE_FAILED, settings.inputPath);
        std::fprintf(messages(), PARSE_ERROR_LINE, converter.getParseError().c_str());
        return EXIT_FAILED;
    }

    // Test that the output can be written before the long work starts. Opened
    // for appending, so a file that is already there keeps its content until a
    // complete WAV replaces it; a file made only by this test is removed again
    // when no WAV comes of the run.
    bool outputExisted = pathExists(output);
    std::FILE* probe = std::fopen(output, "ab");
    if (!probe) {
        std::fprintf(messages(), CANNOT_WRITE, output);
        return EXIT_FAILED;
    }
    std::fclose(probe);
    auto discardOutput = [&] {
        if (!outputExisted) std::remove(output);
    };

    continueAnswer = settings.continuePastUnusedSamples;
    converter.setVolume(settings.volume);
    converter.setProgressCallback(printProgress);
    converter.setContinueCallback(answerContinue);
    std::unique_ptr<LuWav> wav(converter.convert());
    if (!wav) {
        discardOutput();
        std::fprintf(messages(), CONVERT_FAILED);
        return EXIT_FAILED;
    }
    printSilenced(converter);
    if (!wav->write(output)) {
        discardOutput();
        std::fprintf(messages(), WRITE_FAILED, output);
        return EXIT_FAILED;
    }
    std::fprintf(messages(), WRITTEN, output);
    return EXIT_OK;
}
