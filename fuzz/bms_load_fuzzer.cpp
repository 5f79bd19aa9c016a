// Arbitrary bytes as a chart file, read plainly, with control lines evaluated
// and for a player: the parser must load or refuse them with a result code,
// never crash, and leave a consistent chart on success, whose exact timeline
// hands out triggers in time order.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bms/bms.h"
#include "bms/parser.h"
#include "bms/player_timeline.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_util::silenceStdout();
    return 0;
}

namespace {

// Loads the file read plainly or with control lines evaluated; on success the
// loaded model must answer every query within its bounds.
void loadAndCheck(const std::string& path, const BmsLoadOptions* options) {
    using fuzz_util::check;
    BmsBms* chart = nullptr;
    const bool loaded =
        options ? BmsLoad(path.c_str(), &chart, *options) : BmsLoad(path.c_str(), &chart);
    const int code = BmsGetErrorCode();
    check(BmsGetErrorMessage() != nullptr && std::strlen(BmsGetErrorMessage()) > 0);
    if (!loaded) {
        check(chart == nullptr && code != 0 && code != 4);
        check(BmsGetErrorLine() >= 1);
        return;
    }
    check(chart != nullptr && code == 0);

    const int last = chart->getLastPosition();
    check(last >= 0);
    check(chart->getBarStart(BmsBms::BAR_COUNT) >= 0);
    int lanes = 0;
    for (BmsChannel* channel = chart->getFirstChannel(); channel; channel = channel->getNext()) {
        if (channel->getNext())
            check(channel->getId().toInt() < channel->getNext()->getId().toInt());
        for (BmsChannel* lane = channel; lane; lane = lane->getNextLane()) {
            check(lane->getId() == channel->getId());
            check(lane->getUsedSize() - 1 <= last);
            check(lane->get(lane->getSize()).equals("00"));
            ++lanes;
        }
    }
    check(lanes >= chart->getChannelCount());
    for (const BmsRandomDraw& draw : chart->getRandomDraws())
        check(draw.value >= 1 && draw.value <= draw.range && draw.line >= 1);
    check(options || chart->getRandomDraws().empty());
    check((options && (options->trimWavNames || options->keepPlayerData)) ||
          chart->getRepairs()->empty());
    for (const BmsRepairs::Entry& entry : chart->getRepairs()->getEntries()) {
        check(entry.count >= static_cast<int>(entry.lines.size()) && !entry.lines.empty());
        check(entry.lines.size() <= static_cast<size_t>(BmsRepairs::LINES_KEPT));
    }
    if (options && options->keepPlayerData) {
        std::vector<BmsPlayerTrigger> triggers;
        BmsPlayerLayout layout;
        layout.popn = last % 2 == 1;
        if (BmsPlayerTriggers(chart, layout, &triggers)) {
            int64_t previous = 0;
            for (const BmsPlayerTrigger& trigger : triggers) {
                check(trigger.frame >= previous);
                check(trigger.id > 0 && trigger.id < BmsPlayerIdCount(*chart));
                previous = trigger.frame;
            }
        }
    }
    delete chart;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz_util::pathIn("chart.bms");
    fuzz_util::writeFile(path, data, size);
    loadAndCheck(path, nullptr);
    BmsLoadOptions options;
    options.evaluateRandom = true;
    options.seed = static_cast<int64_t>(size);
    // The first byte's low bit (set in "#") reads the lines as a player does too.
    const bool asPlayer = size > 0 && (data[0] & 1) != 0;
    options.loneCrEndsLine = asPlayer;
    options.trimWavNames = asPlayer;
    loadAndCheck(path, &options);
    options.keepPlayerData = true;
    loadAndCheck(path, &options);
    return 0;
}
