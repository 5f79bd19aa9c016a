#include "bms/player_mode.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "bms/bms.h"
#include "bms/channel_roles.h"
#include "text/number.h"

int BmsClearLongNoteEnds(BmsBms* chart) {
    const char* text = chart->getHeaders()->get("LNOBJ");
    if (!BmsIsLetterOrDigit(text[0]) || !BmsIsLetterOrDigit(text[1])) return 0;
    const BmsWord end(text);
    if (end.toInt() == 0) return 0;
    int cleared = 0;
    for (BmsChannel* lane = chart->getFirstChannel(); lane; lane = lane->getNext()) {
        if (BmsRoleOfChannel(lane->getId().toInt()) != BmsChannelRole::KEY) continue;
        // From object to object: emptying the last one lowers the used size, which ends the scan.
        for (int tic = lane->findObject(0); tic < lane->getUsedSize();
             tic = lane->findObject(tic + 1)) {
            if (lane->get(tic).equals(end) && lane->remove(tic)) ++cleared;
        }
    }
    return cleared;
}

int BmsKeySoundVolume(const BmsBms& chart, int volume) {
    constexpr int64_t LOW = std::numeric_limits<int>::min();
    constexpr int64_t HIGH = std::numeric_limits<int>::max();
    int percent = 0;
    if (!readDecimalInt(chart.getHeaders()->get("VOLWAV"), &percent) || percent < 0) return volume;
    const int64_t scaled = static_cast<int64_t>(volume) * percent / 100;
    return static_cast<int>(std::min(HIGH, std::max(LOW, scaled)));
}
