#include "bms/player_data.h"

int BmsBase62Digit(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    if (c >= 'a' && c <= 'z') return c - 'a' + 36;
    return -1;
}

BmsPlayerData::BmsPlayerData() : lengths(BAR_COUNT, 1.0) {}

double BmsPlayerData::getBarLength(int bar) const {
    return bar >= 0 && bar < BAR_COUNT ? lengths[bar] : 0.0;
}

void BmsPlayerData::setBarLength(int bar, double length) {
    if (bar >= 0 && bar < BAR_COUNT) lengths[bar] = length;
}

void BmsPlayerData::setWav(char first, char second, const char* name) {
    const int high = BmsBase62Digit(static_cast<unsigned char>(first));
    const int low = BmsBase62Digit(static_cast<unsigned char>(second));
    if (high < 0 || low < 0) return;
    // Made on first use: most charts never need it.
    if (wavs.empty()) wavs.resize(BMS_BASE62_COUNT);
    wavs[high * 62 + low] = name ? name : "";
}
