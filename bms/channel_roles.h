// What each channel of a chart does: the one table of channel roles that the timeline, the
// note counts and the player's rules read.
#ifndef BMS_CHANNEL_ROLES_H_
#define BMS_CHANNEL_ROLES_H_

#include "bms/word.h"

enum class BmsChannelRole {
    // Bitmaps, bar lengths and channels this program does not play.
    OTHER,
    // 01: key sounds that play in the background.
    BACKGROUND,
    // 03: tempo changes written in hexadecimal.
    TEMPO,
    // 08: tempo changes to a #BPMxx value.
    EXTENDED_TEMPO,
    // 09: stops for a #STOPxx length.
    STOP,
    // 11-1Z and 21-2Z: the player's key lanes.
    KEY,
    // 31-3Z and 41-4Z: invisible notes, which play nothing.
    INVISIBLE,
    // 51-5Z and 61-6Z: long notes, a start object and an end object of the same id.
    LONG_NOTE,
};

// The role of channel `id`, a word's value (0 to 1295).
BmsChannelRole BmsRoleOfChannel(int id);

// Whether a player plays the lane of channel `id`, a KEY or LONG_NOTE one, as beatoraja lays
// the lanes out: keys 1-9 of the first and second player, but in a beat chart 7 is no lane
// (the foot pedal), and a pop'n chart (.pms) has only 11-15 and 22-25.
bool BmsIsPlayedLane(int id, bool popn);

// True for the channels whose objects name key sounds: 01, 11-1Z, 21-2Z, 31-3Z, 41-4Z, 51-5Z
// and 61-6Z (10, 20, ... 60 are not).
bool BmsIsSoundChannel(const BmsWord& channel);

#endif  // BMS_CHANNEL_ROLES_H_
