#include "bms/channel_roles.h"

BmsChannelRole BmsRoleOfChannel(int id) {
    switch (id) {
        case 1:
            return BmsChannelRole::BACKGROUND;
        case 3:
            return BmsChannelRole::TEMPO;
        case 8:
            return BmsChannelRole::EXTENDED_TEMPO;
        case 9:
            return BmsChannelRole::STOP;
        default:
            break;
    }
    // The first digit tells the group of lanes; a second digit 0 is no lane.
    if (id % 36 == 0) return BmsChannelRole::OTHER;
    switch (id / 36) {
        case 1:
        case 2:
            return BmsChannelRole::KEY;
        case 3:
        case 4:
            return BmsChannelRole::INVISIBLE;
        case 5:
        case 6:
            return BmsChannelRole::LONG_NOTE;
        default:
            return BmsChannelRole::OTHER;
    }
}

bool BmsIsPlayedLane(int id, bool popn) {
    const BmsChannelRole role = BmsRoleOfChannel(id);
    if (role != BmsChannelRole::KEY && role != BmsChannelRole::LONG_NOTE) return false;
    const int key = id % 36;
    if (key > 9) return false;
    const int group = id / 36;
    const bool secondPlayer = group == 2 || group == 6;
    return popn ? (secondPlayer ? key >= 2 && key <= 5 : key <= 5) : key != 7;
}

bool BmsIsSoundChannel(const BmsWord& channel) {
    switch (BmsRoleOfChannel(channel.toInt())) {
        case BmsChannelRole::BACKGROUND:
        case BmsChannelRole::KEY:
        case BmsChannelRole::INVISIBLE:
        case BmsChannelRole::LONG_NOTE:
            return true;
        default:
            return false;
    }
}
