// What a chart read as a player reads it keeps beside the tic lanes: every object of every data
// line exactly where its line puts it (slot k of n), each bar's length as written, and the #WAV
// names by their two characters as written, for charts whose ids tell case apart (#BASE 62).
#ifndef BMS_PLAYER_DATA_H_
#define BMS_PLAYER_DATA_H_

#include <cstdint>
#include <string>
#include <vector>

// The ids of a chart whose ids tell case apart: two characters of 0-9, A-Z, a-z.
constexpr int BMS_BASE62_COUNT = 62 * 62;

// 0-9, A-Z, a-z as 0 to 61; -1 for any other value.
int BmsBase62Digit(int c);

// One object of a data line: slot `slot` of the `slots` its line holds, in bar `bar`.
struct BmsPlayerObject {
    int bar = 0;
    // The channel word's value, 0 to 1295.
    int channel = 0;
    int64_t slot = 0;
    int64_t slots = 1;
    // The two characters as written, both letters or digits, not "00".
    char first = '0';
    char second = '0';
    // 1-based line of the file.
    int line = 0;
};

// The exact record of one chart; empty unless the parser was asked to keep it.
class BmsPlayerData {
public:
    static constexpr int BAR_COUNT = 1000;

    BmsPlayerData();

    // Whether the parser kept the record.
    bool isKept() const { return kept; }
    void keep() { kept = true; }

    // Objects in the order of the file.
    void addObject(const BmsPlayerObject& object) { objects.push_back(object); }
    const std::vector<BmsPlayerObject>& getObjects() const { return objects; }

    // In bars of 4/4: 1 unless set; 0 outside 000-999.
    double getBarLength(int bar) const;
    void setBarLength(int bar, double length);

    // The #WAV name of the two characters as written; a later name replaces an earlier one.
    // Characters that are not letters or digits store nothing.
    void setWav(char first, char second, const char* name);
    // BMS_BASE62_COUNT names by base-62 id, empty where none is given; no names at all (an
    // empty vector) when no #WAV line was read.
    const std::vector<std::string>& getBase62Wavs() const { return wavs; }

private:
    bool kept = false;
    std::vector<BmsPlayerObject> objects;
    std::vector<double> lengths;
    std::vector<std::string> wavs;
};

#endif  // BMS_PLAYER_DATA_H_
