#include "console/chart_run.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <vector>

#include "convert/converter.h"
#include "song/sound_file_writer.h"
#include "text/format.h"
#include "text/make_path.h"
#include "wav/wav.h"

namespace {

constexpr char PARSE_FAILED[] = "\nBMSファイルの解析失敗 %s\n";
constexpr char CANNOT_WRITE[] = "\n出力ファイルに書き込めません %s\n";
constexpr char CONVERT_FAILED[] = "\nWAVへの変換失敗\n";
constexpr char WRITTEN[] = "\nWAVファイルへ書き込みました %s\n";
constexpr char WRITE_FAILED[] = "\nWAVファイルへの書き込みが失敗 %s\n";
constexpr char OUTSIDE_SONG[] = "\nプレビューの開始位置が曲の長さを超えています\n";
constexpr char SILENCED[] = "WAVが読めないので無音にしました %s (ノーツ数 %d)\n";

// Bytes of one second of the converter's output, 16-bit stereo at 44100 Hz.
constexpr double BYTES_PER_SECOND = LU_BYTES_PER_SECOND;

// The chart library keeps the result code and line of one load per process, so loads and the
// reading of their result take turns.
std::mutex parserTurn;

// The answer to the continue question (option -i) of one chart.
struct ContinueAnswer {
    bool answer = false;
    bool ask(const char* /*path*/) { return answer; }
};

// Whether anything is at `path`, a link that leads nowhere included.
bool pathExists(const char* path) {
    struct stat status;
#ifdef _WIN32
    return stat(path, &status) == 0;
#else
    return lstat(path, &status) == 0;
#endif
}

// The lines naming the key sounds that played as silence, after a blank line; empty when none
// did.
std::string silencedLines(const BmsConverter& converter) {
    const std::vector<BmsConverter::SilencedSample>& silenced = converter.getSilencedSamples();
    if (silenced.empty()) return std::string();
    std::string lines = "\n";
    for (const BmsConverter::SilencedSample& sample : silenced) {
        lines += format(SILENCED, sample.path, sample.notes);
    }
    return lines;
}

ChartResult failure(std::string message) {
    ChartResult result;
    result.message = std::move(message);
    return result;
}

}  // namespace

std::string proposeOutputPath(const std::string& chartPath) {
    std::vector<char> path(chartPath.begin(), chartPath.end());
    path.push_back('\0');
    makePath(path.data(), true, true, true, false);
    return std::string(path.data()) + ".wav";
}

ChartResult renderChart(const std::string& chartPath, const std::string& shownPath,
                        const std::string& outputPath, const ChartSettings& settings,
                        void (*progress)(int value), const ChartUpToDate& upToDate) {
    const char* output = outputPath.c_str();
    BmsConverter converter;
    converter.setDebug(settings.debug);
    converter.setCutOnRetrigger(settings.cutOnRetrigger);
    converter.setExtendedSamples(settings.extendedSamples);
    converter.setMissingSamplesSilent(settings.missingSamplesSilent);
    converter.setLoadingThreads(settings.loaderThreads);
    converter.setFinish(settings.finish);
    converter.setPlayerMode(settings.playerMode, settings.seed);
    converter.setChartPath(chartPath.c_str());
    {
        std::lock_guard<std::mutex> turn(parserTurn);
        if (!converter.openChart()) {
            return failure(
                format(PARSE_FAILED, shownPath.empty() ? chartPath.c_str() : shownPath.c_str()) +
                converter.getParseError() + "\n");
        }
    }
    // The check reads the sound names of a BMS chart; a bmson chart is always rendered.
    const BmsBms* chart = converter.getBmsChart();
    if (upToDate && chart && upToDate(*chart)) {
        ChartResult result;
        result.status = ChartStatus::SKIPPED;
        return result;
    }

    // Test that the output can be written before the long work starts. Opened for appending,
    // so a file that is already there keeps its content until a complete song replaces it; a
    // file made only by this test is removed again when no song comes of the run.
    const bool outputExisted = pathExists(output);
    std::FILE* probe = std::fopen(output, "ab");
    if (!probe) return failure(format(CANNOT_WRITE, output));
    std::fclose(probe);
    auto discardOutput = [&] {
        if (!outputExisted) std::remove(output);
    };

    ContinueAnswer continueAnswer;
    continueAnswer.answer = settings.continuePastUnusedSamples;
    converter.setVolume(settings.volume);
    converter.setProgressCallback(progress);
    converter.setContinueCallback(&continueAnswer, &ContinueAnswer::ask);
    std::unique_ptr<LuWav> wav(converter.convert());
    if (!wav) {
        discardOutput();
        return failure(converter.isPreviewOutsideSong() ? OUTSIDE_SONG : CONVERT_FAILED);
    }
    const std::string silenced = silencedLines(converter);
    const bool written =
        LuIsEncodedFormat(output) ? LuWriteSoundFile(output, *wav) : wav->write(output);
    if (!written) {
        discardOutput();
        return failure(silenced + format(WRITE_FAILED, output));
    }
    ChartResult result;
    result.status = ChartStatus::WRITTEN;
    result.message = silenced + format(WRITTEN, output);
    result.outputSeconds = wav->getDataSize() / BYTES_PER_SECOND;
    return result;
}
