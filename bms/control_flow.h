// The control lines of a chart (#RANDOM, #SETRANDOM, #IF, #ELSEIF, #ELSE,
// #ENDIF, #ENDRANDOM; #SWITCH, #SETSWITCH, #CASE, #SKIP, #DEF, #ENDSW)
// evaluated the way players evaluate them, so that only the lines of the
// branches taken are read; and the seeded generator that draws the numbers of
// #RANDOM and #SWITCH.
//
// A control line is `#`, its command (any case), and for the commands that take
// one a whole number after blanks: an optional sign and digits, anything after
// them ignored. No digits, or a number below 1 or beyond 2^31 - 1, is no
// number. The rules:
// - #RANDOM n opens a block and draws its number from 1 to n; #SETRANDOM n
//   opens a block whose number is n. Blocks nest: a #RANDOM before the
//   #ENDRANDOM of the one before opens a block inside it.
// - #IF n opens a branch of the innermost block, taken when n is the block's
//   number. An #IF while a branch is open starts a new branch, as though an
//   #ENDIF came first. #ELSEIF n is taken when no branch before it since the
//   #IF was and n is the number; #ELSE when none was. After a taken branch,
//   every #ELSEIF and #ELSE up to the #ENDIF is not taken, a second #ELSE too.
// - #ENDIF closes the innermost open branch, and with it any block opened
//   inside that branch and left without its #ENDRANDOM. #ENDRANDOM closes the
//   innermost block, with its open branch.
// - A line is read when it lies in no branch or in taken branches only. A
//   block opened where lines are not read is not read whatever its branches,
//   and its #RANDOM draws nothing.
// - A block whose #RANDOM or #SETRANDOM has no number takes no #IF or #ELSEIF
//   branch, only #ELSE. So does the file outside any block: an #IF there is
//   not taken.
// - Stray lines change nothing: #ELSEIF or #ELSE with no branch open, #ENDIF
//   with none open anywhere, #ENDRANDOM with no block open. Blocks and branches
//   still open at the end of the file end there.
#ifndef BMS_CONTROL_FLOW_H_
#define BMS_CONTROL_FLOW_H_

#include <cstddef>
#include <cstdint>
#include <vector>

// A portable generator (splitmix64): one seed gives one sequence of numbers on
// every platform and compiler.
class BmsRandomGenerator {
public:
    explicit BmsRandomGenerator(uint64_t seed) : state(seed) {}

    uint64_t next();
    // A number from 1 to `range` (at least 1), every value equally likely:
    // outputs below 2^64 mod range are drawn again, the rest reduced mod range.
    int draw(int range);

private:
    uint64_t state;
};

enum class BmsControlCommand {
    NONE,
    RANDOM,
    SETRANDOM,
    IF,
    ELSEIF,
    ELSE,
    ENDIF,
    ENDRANDOM,
    SWITCH,
    SETSWITCH,
    CASE,
    SKIP,
    DEF,
    ENDSW
};

// One number drawn by a #RANDOM or a #SWITCH: its line, its n and the number.
struct BmsRandomDraw {
    int line;
    int range;
    int value;
    // Drawn by a #SWITCH.
    bool isSwitch = false;
};

// The state of the blocks and branches while a file is read, fed each control
// line in order and asked whether the other lines are read.
class BmsControlFlow {
public:
    explicit BmsControlFlow(int64_t seed);

    // The command a key names (any case); NONE for any other key and for null.
    static BmsControlCommand commandOfKey(const char* key);

    // Starts the file again: no block open, and the #RANDOM and #SWITCH lines
    // met get the numbers drawn before in order, so every reading takes the
    // same branches.
    void restart();
    // Applies a control line: `argument` is the text after the command (null or
    // empty for none), `line` its line number, recorded with a draw.
    void apply(BmsControlCommand command, const char* argument, int line);
    // True when the lines met now are read.
    bool isReading() const;
    // Every number drawn, in order of the #RANDOM and #SWITCH lines.
    const std::vector<BmsRandomDraw>& getDraws() const { return draws; }

private:
    enum Branch { OUTSIDE, TAKING, WAITING, DONE };
    // Where a switch block is: before its case, in it (falling through), past its #SKIP.
    enum Case { BEFORE, IN_CASE, PAST };
    struct Block {
        int number;  // 0 for none
        Branch branch;
        bool skipped;  // opened where lines were not read
        bool isSwitch;
        Case state;
    };

    void open(int number, bool skipped, bool isSwitch);
    int drawNumber(int range, int line, bool isSwitch);
    // The index of the innermost switch block (0 for none), the blocks opened
    // inside it closed and its open branch with them.
    size_t enterSwitch();
    // The number an #IF or #ELSEIF of the block is compared with.
    static int ifNumber(const Block& block);

    std::vector<Block> blocks;  // the file itself first, the innermost last
    BmsRandomGenerator generator;
    std::vector<BmsRandomDraw> draws;
    size_t replayed;
};

#endif  // BMS_CONTROL_FLOW_H_
