// Arbitrary bytes as a chart file: the parser must load or refuse them with a
// result code, never crash, and leave a consistent chart on success.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bms/bms.h"
#include "bms/parser.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_util::silenceStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using fuzz_util::check;
    static const std::string path = fuzz_util::pathIn("chart.bms");
    fuzz_util::writeFile(path, data, size);

    BmsBms* chart = nullptr;
    const bool loaded = BmsLoad(path.c_str(), &chart);
    const int code = BmsGetErrorCode();
    check(BmsGetErrorMessage() != nullptr && std::strlen(BmsGetErrorMessage()) > 0);
    if (!loaded) {
        check(chart == nullptr && code != 0 && code != 4);
        check(BmsGetErrorLine() >= 1);
        return 0;
    }
    check(chart != nullptr && code == 0);

    // The loaded model answers every query within its bounds.
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
    delete chart;
    return 0;
}
