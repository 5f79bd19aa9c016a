#include "convert/render.h"

#include <cstdio>
#include <memory>

#include "bms/bms.h"
#include "convert/converter.h"
#include "convert/song_output.h"
#include "wav/wav.h"

namespace {

// Bytes of one frame and of one second of the converter's output, 16-bit stereo at 44100 Hz.
constexpr int BYTES_PER_FRAME = 4;
constexpr double BYTES_PER_SECOND = LU_BYTES_PER_SECOND;

// The converter's callbacks, passed on to the observer.
struct ConverterHooks {
    RenderObserver& observer;
    bool continueAnswer;

    void progress(int value) { observer.progress(value); }
    bool askContinue(const char* path) {
        return continueAnswer || observer.continuePastUnusedSample(path);
    }
};

RenderResult withStatus(RenderStatus status, RenderResult result = RenderResult()) {
    result.status = status;
    return result;
}

}  // namespace

RenderResult renderChart(const std::string& chartPath, const std::string& outputPath,
                         const RenderOptions& options, RenderObserver& observer) {
    auto converter = std::make_unique<BmsConverter>();
    converter->setOptions(options);
    converter->setChartPath(chartPath.c_str());
    if (!converter->openChart()) {
        RenderResult result;
        result.parseErrorCode = converter->getParseErrorCode();
        result.parseErrorLine = converter->getParseErrorLine();
        result.parseError = converter->getParseError();
        return withStatus(RenderStatus::PARSE_FAILED, std::move(result));
    }
    const bool outputExisted = outputExists(outputPath);
    if (!observer.chartParsed(*converter, outputExisted)) return withStatus(RenderStatus::STOPPED);

    // Test that the output can be written before the long work starts; a file made only by
    // this test is removed again when no song comes of the run.
    if (!probeOutput(outputPath)) return withStatus(RenderStatus::OUTPUT_UNWRITABLE);
    auto discardOutput = [&](RenderResult result) {
        if (!outputExisted) std::remove(outputPath.c_str());
        return result;
    };
    if (!observer.outputReady()) return discardOutput(withStatus(RenderStatus::STOPPED));

    ConverterHooks hooks{observer, options.continuePastUnusedSamples};
    converter->setProgressCallback(&hooks, &ConverterHooks::progress);
    converter->setContinueCallback(&hooks, &ConverterHooks::askContinue);
    std::unique_ptr<LuWav> song(converter->convert());
    RenderResult result;
    result.failedSoundPath = converter->getFailedWavPath();
    if (options.playerMode && converter->getBmsChart())
        result.repairs = converter->getBmsChart()->getRepairs()->getEntries();
    if (!song) {
        return discardOutput(withStatus(converter->isPreviewOutsideSong()
                                            ? RenderStatus::PREVIEW_OUTSIDE_SONG
                                            : RenderStatus::CONVERT_FAILED,
                                        std::move(result)));
    }
    for (const BmsConverter::SilencedSample& sample : converter->getSilencedSamples())
        result.silenced.push_back({sample.path, sample.notes});
    // The chart and the converter's buffers go before the song is written.
    converter.reset();

    if (!writeSong(*song, outputPath))
        return discardOutput(withStatus(RenderStatus::WRITE_FAILED, std::move(result)));
    result.outputBytes = song->getDataSize();
    result.outputFrames = result.outputBytes / BYTES_PER_FRAME;
    result.outputSeconds = song->getDataSize() / BYTES_PER_SECOND;
    return withStatus(RenderStatus::WRITTEN, std::move(result));
}
