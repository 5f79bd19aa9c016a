#include "bms/player_mode.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "bms/bms.h"
#include "bms/channel_roles.h"

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

namespace {

bool isBlank(char c) {
    return c != '\0' && static_cast<unsigned char>(c) <= ' ';
}

// The whole number that is all of `text` but for blanks and control characters around it,
// limited to the int range; false when there is none.
bool readWholeNumber(const char* text, int* value) {
    while (isBlank(*text)) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    if (*text < '0' || *text > '9') return false;
    int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (magnitude <= std::numeric_limits<int>::max())
            magnitude = magnitude * 10 + (*text - '0');
    }
    while (isBlank(*text)) ++text;
    if (*text != '\0') return false;
    magnitude = std::min<int64_t>(magnitude, std::numeric_limits<int>::max());
    *value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

}  // namespace

int BmsKeySoundVolume(const BmsBms& chart, int volume) {
    int percent = 0;
    if (!readWholeNumber(chart.getHeaders()->get("VOLWAV"), &percent)) return volume;
    if (percent < 1 || percent > 99) return volume;
    // Below 100 percent the product stays within the int range.
    return static_cast<int>(static_cast<int64_t>(volume) * percent / 100);
}
