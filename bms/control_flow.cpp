#include "bms/control_flow.h"

#include <climits>

#include "bms/word.h"

namespace {

// The leading whole number of a text; 0 when there is none or it is below 1
// or beyond the int range.
int readNumber(const char* text) {
    if (!text) return 0;
    while (*text == ' ' || *text == '\t') ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    if (*text < '0' || *text > '9') return 0;
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > INT_MAX) return 0;
    }
    return negative ? 0 : static_cast<int>(value);
}

// Compares an upper-case name with a key of any case.
bool sameName(const char* name, const char* key) {
    for (; *name; ++name, ++key) {
        if (BmsToUpper(static_cast<unsigned char>(*key)) != *name) return false;
    }
    return *key == '\0';
}

}  // namespace

int BmsControlFlow::ifNumber(const Block& block) {
    // The number of a switch block is for its #CASE lines only.
    return block.isSwitch ? 0 : block.number;
}

uint64_t BmsRandomGenerator::next() {
    state += UINT64_C(0x9E3779B97F4A7C15);
    uint64_t z = state;
    z = (z ^ (z >> 30)) * UINT64_C(0xBF58476D1CE4E5B9);
    z = (z ^ (z >> 27)) * UINT64_C(0x94D049BB133111EB);
    return z ^ (z >> 31);
}

int BmsRandomGenerator::draw(int range) {
    if (range < 1) return 1;
    const uint64_t n = static_cast<uint64_t>(range);
    // 2^64 mod n: the outputs below it would make the low numbers likelier.
    const uint64_t biased = (0 - n) % n;
    uint64_t x = next();
    while (x < biased) x = next();
    return static_cast<int>(x % n) + 1;
}

BmsControlFlow::BmsControlFlow(int64_t seed) : generator(static_cast<uint64_t>(seed)), replayed(0) {
    restart();
}

BmsControlCommand BmsControlFlow::commandOfKey(const char* key) {
    if (!key) return BmsControlCommand::NONE;
    static const struct {
        const char* name;
        BmsControlCommand command;
    } COMMANDS[] = {{"RANDOM", BmsControlCommand::RANDOM},
                    {"SETRANDOM", BmsControlCommand::SETRANDOM},
                    {"IF", BmsControlCommand::IF},
                    {"ELSEIF", BmsControlCommand::ELSEIF},
                    {"ELSE", BmsControlCommand::ELSE},
                    {"ENDIF", BmsControlCommand::ENDIF},
                    {"ENDRANDOM", BmsControlCommand::ENDRANDOM},
                    {"SWITCH", BmsControlCommand::SWITCH},
                    {"SETSWITCH", BmsControlCommand::SETSWITCH},
                    {"CASE", BmsControlCommand::CASE},
                    {"SKIP", BmsControlCommand::SKIP},
                    {"DEF", BmsControlCommand::DEF},
                    {"ENDSW", BmsControlCommand::ENDSW}};
    for (const auto& entry : COMMANDS) {
        if (sameName(entry.name, key)) return entry.command;
    }
    return BmsControlCommand::NONE;
}

void BmsControlFlow::restart() {
    blocks.assign(1, Block{0, OUTSIDE, false, false, BEFORE});
    replayed = 0;
}

bool BmsControlFlow::isReading() const {
    const Block& block = blocks.back();
    if (block.skipped || (block.isSwitch && block.state != IN_CASE)) return false;
    return block.branch == OUTSIDE || block.branch == TAKING;
}

void BmsControlFlow::open(int number, bool skipped, bool isSwitch) {
    blocks.push_back(Block{number, OUTSIDE, skipped, isSwitch, BEFORE});
}

int BmsControlFlow::drawNumber(int range, int line, bool isSwitch) {
    if (replayed < draws.size()) return draws[replayed++].value;
    const int value = generator.draw(range);
    draws.push_back(BmsRandomDraw{line, range, value, isSwitch});
    replayed = draws.size();
    return value;
}

size_t BmsControlFlow::enterSwitch() {
    for (size_t i = blocks.size(); i-- > 1;) {
        if (!blocks[i].isSwitch) continue;
        blocks.resize(i + 1);
        blocks[i].branch = OUTSIDE;
        return i;
    }
    return 0;
}

void BmsControlFlow::apply(BmsControlCommand command, const char* argument, int line) {
    Block& block = blocks.back();
    const int number = readNumber(argument);
    switch (command) {
        case BmsControlCommand::RANDOM: {
            const bool reading = isReading();
            open(reading && number > 0 ? drawNumber(number, line, false) : 0, !reading, false);
            break;
        }
        case BmsControlCommand::SETRANDOM:
            open(number, !isReading(), false);
            break;
        case BmsControlCommand::IF:
            block.branch = number > 0 && number == ifNumber(block) ? TAKING : WAITING;
            break;
        case BmsControlCommand::ELSEIF:
            if (block.branch == WAITING) {
                if (number > 0 && number == ifNumber(block)) block.branch = TAKING;
            } else if (block.branch == TAKING) {
                block.branch = DONE;
            }
            break;
        case BmsControlCommand::ELSE:
            if (block.branch == WAITING) {
                block.branch = TAKING;
            } else if (block.branch == TAKING) {
                block.branch = DONE;
            }
            break;
        case BmsControlCommand::ENDIF:
            for (size_t i = blocks.size(); i-- > 0;) {
                if (blocks[i].branch == OUTSIDE) continue;
                blocks.resize(i + 1);
                blocks[i].branch = OUTSIDE;
                break;
            }
            break;
        case BmsControlCommand::ENDRANDOM:
            for (size_t i = blocks.size(); i-- > 1;) {
                if (blocks[i].isSwitch) continue;
                blocks.resize(i);
                break;
            }
            break;
        case BmsControlCommand::SWITCH: {
            const bool reading = isReading();
            open(reading && number > 0 ? drawNumber(number, line, true) : 0, !reading, true);
            break;
        }
        case BmsControlCommand::SETSWITCH:
            open(number, !isReading(), true);
            break;
        case BmsControlCommand::CASE: {
            Block& inner = blocks[enterSwitch()];
            if (inner.isSwitch && inner.state == BEFORE && number > 0 && number == inner.number)
                inner.state = IN_CASE;
            break;
        }
        case BmsControlCommand::DEF: {
            Block& inner = blocks[enterSwitch()];
            if (inner.isSwitch && inner.state == BEFORE) inner.state = IN_CASE;
            break;
        }
        case BmsControlCommand::SKIP: {
            Block& inner = blocks[enterSwitch()];
            if (inner.isSwitch && inner.state == IN_CASE) inner.state = PAST;
            break;
        }
        case BmsControlCommand::ENDSW:
            if (const size_t inner = enterSwitch()) blocks.resize(inner);
            break;
        case BmsControlCommand::NONE:
            break;
    }
}
