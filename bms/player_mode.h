// The headers a player applies when it plays a chart, which the plain rendering leaves alone:
// #LNOBJ, whose notes end long notes, and #VOLWAV, the loudness of the key sounds.
#ifndef BMS_PLAYER_MODE_H_
#define BMS_PLAYER_MODE_H_

class BmsBms;

// Empties every position of the player's key lanes (channels 11-1Z and 21-2Z) that holds the
// id #LNOBJ names: such a note ends the long note begun by the note before it on its lane, and
// only that note sounds. Returns how many were emptied; none when #LNOBJ is absent or names
// no id (not two letters or digits, or 00).
int BmsClearLongNoteEnds(BmsBms* chart);

// `volume` scaled by #VOLWAV n percent, truncated toward zero, when n is from 1 to 99: a player
// only ever lowers the key sounds with it. `volume` itself for any other n (0 and 100 up
// included) and when #VOLWAV is absent or its value is not a whole number alone (an optional
// sign and digits, blanks or control characters around them).
int BmsKeySoundVolume(const BmsBms& chart, int volume);

#endif  // BMS_PLAYER_MODE_H_
