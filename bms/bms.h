// The chart document: headers, registered WAV and BMP names, bar lengths and
// the lanes of objects of every channel.
#ifndef BMS_BMS_H_
#define BMS_BMS_H_

#include <cstddef>
#include <vector>

#include "bms/bar.h"
#include "bms/channel.h"
#include "bms/control_flow.h"
#include "bms/header_hash.h"
#include "bms/player_data.h"
#include "bms/regist_array.h"
#include "bms/repairs.h"
#include "bms/word.h"

// One chart. Positions are tics on one axis through the whole chart: bar 000
// starts at tic 0 and each bar starts where the previous one ends. The chart
// owns its headers, both regist arrays and every lane.
class BmsBms {
public:
    static constexpr int BAR_COUNT = 1000;

    BmsBms();
    ~BmsBms();
    BmsBms(const BmsBms&) = delete;
    BmsBms& operator=(const BmsBms&) = delete;

    // The parts; the chart keeps ownership.
    BmsHeaderHash* getHeaders() { return &headers; }
    const BmsHeaderHash* getHeaders() const { return &headers; }
    BmsRegistArray* getWavs() { return &wavs; }
    const BmsRegistArray* getWavs() const { return &wavs; }
    BmsRegistArray* getBmps() { return &bmps; }
    const BmsRegistArray* getBmps() const { return &bmps; }
    // Head of the channel list: the first lane of each channel id in ascending
    // order of id, linked through `BmsChannel::getNext`. Null when empty.
    BmsChannel* getFirstChannel() const { return firstChannel; }
    int getChannelCount() const { return channelCount; }

    // A copy of the bar; bars outside 000-999 read as length 0.
    BmsBar getBar(int bar) const;
    // Replaces the bar and returns the previous one; outside 000-999 nothing is
    // stored and length 0 is returned.
    BmsBar setBar(int bar, const BmsBar& length);
    // First tic of the bar: the sum of the lengths of bars 000 to bar - 1
    // (bars from 1000 on add nothing), limited to the int range.
    int getBarStart(int bar) const;

    // The first lane of the channel, or null.
    BmsChannel* findChannel(const BmsWord& id) const;
    // Links the lane (the chart takes ownership) into the channel list in order
    // of id. A lane of an id already listed takes that entry's place, and the
    // displaced lane, with its next lanes, is returned to the caller, who owns
    // it. Null otherwise, and for a null argument.
    BmsChannel* insertChannel(BmsChannel* lane);
    // Destroys every lane; returns how many first lanes there were.
    int clearChannels();
    // The highest tic at which any lane holds an object; 0 when there is none.
    int getLastPosition() const;

    // The numbers #RANDOM lines drew when the chart was read with control lines
    // evaluated, in order; empty otherwise.
    const std::vector<BmsRandomDraw>& getRandomDraws() const { return randomDraws; }
    void setRandomDraws(const std::vector<BmsRandomDraw>& draws) { randomDraws = draws; }
    // What reading or playing the chart as a player does it needed mending (bms/repairs.h).
    BmsRepairs* getRepairs() { return &repairs; }
    const BmsRepairs* getRepairs() const { return &repairs; }
    // The exact objects, bar lengths and #WAV names of a chart read for a player
    // (bms/player_data.h); not kept otherwise.
    BmsPlayerData* getPlayerData() { return &playerData; }
    const BmsPlayerData* getPlayerData() const { return &playerData; }

    // Spreads an object text (two characters per object) evenly over the bar in
    // the channel's lane, creating the lane when needed. "00" pairs leave their
    // position as it is. A text of odd or zero length, or with more pairs than
    // the bar has tics, places nothing. Returns the number of characters used,
    // 0 when the text was refused.
    size_t putObjects(int bar, const BmsWord& channel, const char* objects);
    // The placement rule: pair k of `objects` (length characters, an even
    // number) goes to tic truncate(start + k * step) of `lane`, step = bar
    // length / pairs added up in double precision, until a position reaches the
    // bar's end. With `skipEmpty` "00" pairs are not written. No check of the
    // pair count: with more pairs than tics later pairs overwrite earlier ones.
    // Returns twice the number of pairs visited.
    size_t spreadObjects(int bar, BmsBuffer* lane, const char* objects, size_t length,
                         bool skipEmpty);

private:
    BmsHeaderHash headers;
    BmsRegistArray wavs;
    BmsRegistArray bmps;
    int channelCount;
    BmsChannel* firstChannel;  // owns the list
    BmsBar bars[BAR_COUNT];
    std::vector<BmsRandomDraw> randomDraws;
    BmsRepairs repairs;
    BmsPlayerData playerData;
};

#endif  // BMS_BMS_H_
