#include "console/keymix.h"

#include <cstdio>
#include <string>

#include "console/library_command.h"
#include "convert/render.h"
#include "convert/song_output.h"
#include "library/chart_message.h"
#include "text/number.h"

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
constexpr char BAD_TRACK[] = "練習トラックには bgm か keys を指定してください %s\n";

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = -1;

struct Settings {
    const char* inputPath = nullptr;
    const char* outputPath = nullptr;
    RenderOptions render;
    // Options -a and -f: every chart under the input folder, rendered again even when its
    // output is up to date.
    bool library = false;
    bool force = false;
    // The value of -s when it names no track, for the message before the usage line.
    const char* badTrack = nullptr;
};

// Reads the practice track of option -s: "bgm" or "keys".
bool readTrack(const std::string& text, SoundTrack* track) {
    if (text == "bgm") {
        *track = SoundTrack::BACKGROUND;
    } else if (text == "keys") {
        *track = SoundTrack::KEYS;
    } else {
        return false;
    }
    return true;
}

// Reads the start of option -w: decimal seconds, a decimal percentage of the song ("40%"),
// "first", the first key note, or "auto", the loudest part from a bar line.
bool readWindowStart(const std::string& text, SongFinish* finish) {
    if (text == "first" || text == "auto") {
        finish->previewForm =
            text == "first" ? PreviewStartForm::FIRST_KEY : PreviewStartForm::LOUDEST;
        return true;
    }
    if (!text.empty() && text.back() == '%') {
        finish->previewForm = PreviewStartForm::PERCENT;
        return readPlainDecimal(text.substr(0, text.size() - 1), &finish->previewStart);
    }
    finish->previewForm = PreviewStartForm::SECONDS;
    return readPlainDecimal(text, &finish->previewStart);
}

// Reads the preview window "START,LENGTH" of option -w into `finish`. False unless the start
// is one of its forms, the length decimal seconds and not zero.
bool readWindow(const std::string& text, SongFinish* finish) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos || !readWindowStart(text.substr(0, comma), finish) ||
        !readPlainDecimal(text.substr(comma + 1), &finish->previewLength) ||
        !(finish->previewLength > 0))
        return false;
    finish->preview = true;
    return true;
}

// Fills `settings` from the command line. False when the usage line is due: an
// unknown option, an option without its value, a volume or seed without digits, a bad window, a
// track that is none (named in `badTrack`), a second input path or none at all; "-" (the list
// on standard input) and -f belong to -a.
bool parseArguments(int argc, char** argv, Settings* settings) {
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        const bool standardInput = argument[0] == '-' && argument[1] == '\0';
        if (argument[0] != '-' || standardInput) {
            if (settings->inputPath) return false;
            settings->inputPath = argument;
            continue;
        }
        // The option is told by its second character; the rest is ignored.
        switch (argument[1]) {
            case 'a':
                settings->library = true;
                break;
            case 'f':
                settings->force = true;
                break;
            case 'd':
                settings->render.debug = true;
                break;
            case 'i':
                settings->render.continuePastUnusedSamples = true;
                break;
            case 'r':
                settings->render.cutOnRetrigger = true;
                break;
            case 'x':
                settings->render.extendedSamples = true;
                break;
            case 'm':
                settings->render.missingSamplesSilent = true;
                break;
            case 'n':
                settings->render.finish.normalise = true;
                break;
            case 'w':
                if (++i >= argc) return false;
                if (!readWindow(argv[i], &settings->render.finish)) return false;
                break;
            case 'o':
                if (++i >= argc) return false;
                settings->outputPath = argv[i];
                break;
            case 'v':
                if (++i >= argc) return false;
                if (!readDecimalInt(argv[i], &settings->render.volume)) return false;
                break;
            case 'p':
                if (++i >= argc) return false;
                if (!readDecimalInt(argv[i], &settings->render.seed)) return false;
                settings->render.playerMode = true;
                break;
            case 's':
                if (++i >= argc) return false;
                if (readTrack(argv[i], &settings->render.track)) break;
                settings->badTrack = argv[i];
                return false;
            default:
                return false;
        }
    }
    // A player gives each key sound one voice and never stops at a sound it cannot find.
    if (settings->render.playerMode) {
        settings->render.cutOnRetrigger = true;
        settings->render.extendedSamples = true;
        settings->render.missingSamplesSilent = true;
    }
    if (!settings->inputPath) return false;
    if (settings->library) return true;
    return !settings->force && std::string(settings->inputPath) != "-";
}

// Draws the progress bar: a ruler of 50 columns for loading and one for mixing,
// one star per two percent. Flushed at once so the bar grows while it runs.
class ProgressBar : public RenderObserver {
public:
    void progress(int value) override;
};

void ProgressBar::progress(int value) {
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

// Closing messages go to standard error. What standard output holds is sent
// before each, so that both streams read in order when they share one file.
std::FILE* messages() {
    std::fflush(stdout);
    return stderr;
}

}  // namespace

int runKeymix(int argc, char** argv) {
    Settings settings;
    if (!parseArguments(argc, argv, &settings)) {
        if (settings.badTrack) std::fprintf(messages(), BAD_TRACK, settings.badTrack);
        std::fprintf(messages(), USAGE);
        return EXIT_OK;
    }
    if (settings.library) {
        LibraryOptions library;
        library.force = settings.force;
        library.render = settings.render;
        const std::string outputFolder = settings.outputPath ? settings.outputPath : "";
        return runLibraryCommand(settings.inputPath, outputFolder, library) ? EXIT_OK : EXIT_FAILED;
    }
    std::string outputPath =
        settings.outputPath ? settings.outputPath : proposeOutputPath(settings.inputPath);
    const char* output = outputPath.c_str();

    std::printf(INPUT_LINE, settings.inputPath);
    std::printf(OUTPUT_LINE, output);
    std::printf(VOLUME_LINE, settings.render.volume);

    ProgressBar bar;
    const RenderResult result = renderChart(settings.inputPath, outputPath, settings.render, bar);
    std::fputs(chartMessage(result, settings.inputPath, outputPath).c_str(), messages());
    return result.status == RenderStatus::WRITTEN ? EXIT_OK : EXIT_FAILED;
}
