#include "bms/parser.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bms/bms.h"
#include "bms/control_flow.h"
#include "text/number.h"

namespace {

// Messages by result code; code 1 and every unknown code share the text at 1.
const char* const MESSAGES[] = {
    "正常に終了しました。",
    "なんかよくわかんないけどエラーが発生しました。",
    "小節長変更が2回指定されました。",
    "ヘッダの値の途中にEOFが検出されました。",
    "ファイルが開けませんでした。",
    "ヘッダのキーや小節番号の指定に英数字以外が指定されました。",
    "ヘッダのキー指定に不正な文字が使われました。",
    "オブジェ配列に不正な文字が使われました。",
    "オブジェ配列が正しく終了していません。",
    "小節長変更の小節番号指定が不正です。",
    "小節長変更の値指定が不正です。",
    "チャンネル番号指定に英数字以外が使われました。",
    "小節とチャンネルと値の間のコロンにコロンが使われていません。",
    "小節番号に数字が使われていません。",
    "予期せぬEOFを検出しました。",
};
constexpr int MESSAGE_COUNT = sizeof MESSAGES / sizeof MESSAGES[0];

// No character held back (end of file is EOF, -1).
constexpr int NONE = -2;

// States of the line machine; PASS_END and FAILED stop a pass.
enum State {
    PASS_END,
    FAILED,
    LINE_START,
    AFTER_SHARP,
    KEY,
    BLANKS,
    VALUE,
    BAR,
    CHANNEL,
    COLON,
    DATA
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Everything a load works with, made anew for each load.
struct Parser {
    int resultCode = 0;
    int line = 0;

    std::FILE* file = nullptr;
    BmsBms* chart = nullptr;
    int pass = 1;
    int pushed = NONE;     // a character a state gave back
    int lookahead = NONE;  // the byte read after a CR that turned out not to be LF
    // With control lines evaluated: the flow, and the start of a line read to
    // tell its kind, given back to the state machine character by character.
    BmsControlFlow* flow = nullptr;
    bool loneCrEndsLine = false;
    bool trimWavNames = false;
    std::string replay;
    size_t replayAt = 0;
    std::string word;
    std::string argument;

    std::string key;
    std::string value;
    std::string objects;
    std::string barText;
    int bar = 0;
    BmsWord channel;
    // Channel 01 lines met so far per bar: the lane the next one goes to.
    int layers[BmsBms::BAR_COUNT] = {};
    // The channel 01 lanes of this load in chain order, so that lane k is found
    // without stepping through the k lanes before it.
    std::vector<BmsChannel*> backgroundLanes;
    // Sum of all bar lengths, kept below 2^31 so no tic position can overflow.
    long long totalTics = 0;
    // Reading for a player: data lines kept exactly (bms/player_data.h).
    bool player = false;
    bool lengthGiven[BmsBms::BAR_COUNT] = {};

    State fail(int code) {
        resultCode = code;
        return FAILED;
    }

    int readByte() {
        if (lookahead != NONE) {
            int c = lookahead;
            lookahead = NONE;
            return c;
        }
        return std::getc(file);
    }

    // The next character, a CR LF pair read as one '\n', and a lone CR too when asked.
    int next() {
        if (pushed != NONE) {
            int c = pushed;
            pushed = NONE;
            return c;
        }
        if (replayAt < replay.size()) return static_cast<unsigned char>(replay[replayAt++]);
        int c = readByte();
        if (c == '\r') {
            int following = readByte();
            if (following == '\n') return '\n';
            lookahead = following;
            if (loneCrEndsLine) return '\n';
        }
        return c;
    }

    void giveBack(int c) { pushed = c; }

    // Reads up to and including the newline; false when the file ends first.
    bool skipLine() {
        for (;;) {
            int c = next();
            if (c == EOF) return false;
            if (c == '\n') {
                ++line;
                return true;
            }
        }
    }

    void rewindFile() {
        std::rewind(file);
        pushed = NONE;
        lookahead = NONE;
        replay.clear();
        replayAt = 0;
        // A UTF-8 byte-order mark is not part of the first line.
        if (std::getc(file) == 0xEF && std::getc(file) == 0xBB && std::getc(file) == 0xBF) return;
        std::rewind(file);
    }

    bool runPass(int number) {
        pass = number;
        rewindFile();
        if (flow) flow->restart();
        line = 1;
        State state = LINE_START;
        while (state != PASS_END) {
            switch (state) {
                case LINE_START:
                    state = lineStart();
                    break;
                case AFTER_SHARP:
                    state = afterSharp();
                    break;
                case KEY:
                    state = headerKey();
                    break;
                case BLANKS:
                    state = blanks();
                    break;
                case VALUE:
                    state = headerValue();
                    break;
                case BAR:
                    state = barNumber();
                    break;
                case CHANNEL:
                    state = channelNumber();
                    break;
                case COLON:
                    state = colon();
                    break;
                case DATA:
                    state = pass == 1 ? barLength() : objectArray();
                    break;
                case FAILED:
                    return false;
                case PASS_END:
                    break;
            }
        }
        return true;
    }

    State lineStart() {
        int c = next();
        if (c == '#') return flow ? controlLine() : AFTER_SHARP;
        if (c == ' ' || c == '\t') return LINE_START;
        if (c == '\n') {
            ++line;
            return LINE_START;
        }
        // A comment; a last one may lack its newline.
        if (c == EOF) return PASS_END;
        return skipLine() ? LINE_START : PASS_END;
    }

    // With control lines evaluated, the start of every `#` line is read first:
    // a control line is applied and a line outside the branches taken is
    // skipped, both before anything in them is parsed. Any other line goes on
    // as though nothing had been read.
    State controlLine() {
        // One character more than the longest command.
        constexpr size_t LONGEST = 10;
        word.clear();
        int c = next();
        while (BmsIsLetterOrDigit(c) && word.size() < LONGEST) {
            word += static_cast<char>(c);
            c = next();
        }
        const bool ended = c == ' ' || c == '\t' || c == '\n' || c == EOF;
        const BmsControlCommand command =
            ended ? BmsControlFlow::commandOfKey(word.c_str()) : BmsControlCommand::NONE;
        if (command != BmsControlCommand::NONE) {
            argument.clear();
            if (c != '\n' && c != EOF) {
                for (c = next(); c != '\n' && c != EOF; c = next())
                    argument += static_cast<char>(c);
            }
            flow->apply(command, argument.c_str(), line);
        } else if (flow->isReading()) {
            if (c != EOF) word += static_cast<char>(c);
            replay.swap(word);
            replayAt = 0;
            return AFTER_SHARP;
        } else if (c != '\n' && c != EOF) {
            return skipLine() ? LINE_START : PASS_END;
        }
        if (c == EOF) return PASS_END;
        ++line;
        return LINE_START;
    }

    State afterSharp() {
        int c = next();
        if (c >= '0' && c <= '9') {
            giveBack(c);
            return BAR;
        }
        if (pass == 2) {
            if (!BmsIsLetterOrDigit(c)) return fail(BMS_ERROR_AFTER_SHARP);
            giveBack(c);
            return KEY;
        }
        // Pass 1 skips header lines; a newline right after '#' already ends one.
        if (c == '\n') {
            ++line;
            return LINE_START;
        }
        if (c == EOF) return fail(BMS_ERROR_UNEXPECTED_EOF);
        return skipLine() ? LINE_START : fail(BMS_ERROR_UNEXPECTED_EOF);
    }

    State headerKey() {
        key.clear();
        for (;;) {
            int c = next();
            if (c == ' ' || c == '\t' || c == '\n') {
                giveBack(c);
                return BLANKS;
            }
            if (!BmsIsLetterOrDigit(c)) return fail(BMS_ERROR_HEADER_KEY);
            key += static_cast<char>(c);
        }
    }

    State blanks() {
        for (;;) {
            int c = next();
            if (c == ' ' || c == '\t') continue;
            if (c == '\n') {
                // A key without a value is dropped.
                ++line;
                return LINE_START;
            }
            giveBack(c);
            return VALUE;
        }
    }

    State headerValue() {
        value.clear();
        for (;;) {
            int c = next();
            if (c == EOF) return fail(BMS_ERROR_EOF_IN_HEADER);
            if (c == '\n') {
                ++line;
                storeHeader();
                return LINE_START;
            }
            value += static_cast<char>(c);
        }
    }

    // The value is stored as a text: it ends at a NUL byte, if it holds one.
    void storeHeader() {
        BmsRegistArray* wavs = chart->getWavs();
        BmsRegistArray* bmps = chart->getBmps();
        if (wavs->matchKey(key.c_str())) {
            if (trimWavNames) trimName();
            if (wavs->set(wavs->slotOfKey(key.c_str()), value.c_str()))
                std::fputs("wavs overwrite\n", stdout);
            if (player) chart->getPlayerData()->setWav(key[3], key[4], value.c_str());
        } else if (bmps->matchKey(key.c_str())) {
            if (bmps->set(bmps->slotOfKey(key.c_str()), value.c_str()))
                std::fputs("bmps overwrite\n", stdout);
        } else {
            chart->getHeaders()->add(key.c_str(), value.c_str());
        }
    }

    // Cuts the value at its first NUL byte and drops the bytes up to 0x20 that end it; the
    // value's line is the one before the current line.
    void trimName() {
        size_t end = value.find('\0');
        if (end == std::string::npos) end = value.size();
        const size_t text = end;
        while (end > 0 && static_cast<unsigned char>(value[end - 1]) <= ' ') --end;
        value.resize(end);
        if (end < text) chart->getRepairs()->note(BmsRepairKind::WAV_NAME_TRIMMED, line - 1);
    }

    State barNumber() {
        bar = 0;
        for (int i = 0; i < 3; ++i) {
            int c = next();
            if (c < '0' || c > '9') return fail(BMS_ERROR_BAR_NUMBER);
            bar = bar * 10 + (c - '0');
        }
        return CHANNEL;
    }

    State channelNumber() {
        int first = next();
        if (!BmsIsLetterOrDigit(first)) return fail(BMS_ERROR_CHANNEL);
        int second = next();
        if (!BmsIsLetterOrDigit(second)) return fail(BMS_ERROR_CHANNEL);
        channel.set(static_cast<char>(first), static_cast<char>(second));
        // Pass 1 reads only bar lengths (channel 02), pass 2 everything else.
        if ((pass == 1) == channel.equals("02")) return COLON;
        return skipLine() ? LINE_START : fail(BMS_ERROR_UNEXPECTED_EOF);
    }

    State colon() { return next() == ':' ? DATA : fail(BMS_ERROR_COLON); }

    State barLength() {
        barText.clear();
        int c = next();
        if (!(c >= '0' && c <= '9') && c != '.') return fail(BMS_ERROR_BAR_LENGTH_VALUE);
        bool point = false;
        while ((c >= '0' && c <= '9') || (c == '.' && !point)) {
            if (c == '.') point = true;
            barText += static_cast<char>(c);
            c = next();
        }
        if (c != '\n') return fail(BMS_ERROR_BAR_LENGTH_END);
        int previous = chart->getBar(bar).getLength();
        if (player) {
            // The last length given holds; "." reads as 0, as on the tic grid.
            if (lengthGiven[bar]) chart->getRepairs()->note(BmsRepairKind::BAR_LENGTH_TWICE, line);
            lengthGiven[bar] = true;
            double exact = 0.0;
            if (!readDecimal(barText.c_str(), &exact)) exact = 0.0;
            chart->getPlayerData()->setBarLength(bar, exact);
        } else if (previous != TICS_PER_BAR) {
            // Reported after the newline, on the line that follows.
            ++line;
            return fail(BMS_ERROR_BAR_LENGTH_TWICE);
        }
        int tics = 0;
        if (!BmsBar::ticsFromText(barText.c_str(), &tics) ||
            totalTics - previous + tics > 0x7FFFFFFFLL)
            return fail(BMS_ERROR_BAR_LENGTH_VALUE);
        ++line;
        totalTics += tics - previous;
        chart->setBar(bar, BmsBar(tics));
        return LINE_START;
    }

    State objectArray() {
        if (player) return playerObjectArray();
        objects.clear();
        int c = next();
        for (;;) {
            // An odd count ends here too: the newline is no letter or digit.
            if (!BmsIsLetterOrDigit(c)) return fail(BMS_ERROR_OBJECT_CHAR);
            int second = next();
            if (!BmsIsLetterOrDigit(second)) return fail(BMS_ERROR_OBJECT_CHAR);
            objects += static_cast<char>(c);
            objects += static_cast<char>(second);
            c = next();
            if (c == '\n' || c == ' ' || c == '\t') break;
        }
        while (c != '\n') {
            if (c != ' ' && c != '\t') return fail(BMS_ERROR_OBJECT_END);
            c = next();
        }
        ++line;
        if (channel.equals("01")) {
            placeBackground();
        } else {
            chart->putObjects(bar, channel, objects.c_str());
        }
        return LINE_START;
    }

    // Everything up to the end of the line is the line's objects, two characters each.
    State playerObjectArray() {
        objects.clear();
        int c = next();
        for (; c != '\n' && c != EOF; c = next()) objects += static_cast<char>(c);
        const int at = line;
        if (c == '\n') ++line;
        const size_t slots = objects.size() / 2;
        BmsRepairs* repairs = chart->getRepairs();
        if (objects.size() % 2 != 0) repairs->note(BmsRepairKind::ODD_OBJECT, at);
        bool clean = slots > 0 && objects.size() % 2 == 0;
        bool skipped = false;
        BmsPlayerData* data = chart->getPlayerData();
        for (size_t k = 0; k < slots; ++k) {
            const char first = objects[2 * k];
            const char second = objects[2 * k + 1];
            if (!BmsIsLetterOrDigit(static_cast<unsigned char>(first)) ||
                !BmsIsLetterOrDigit(static_cast<unsigned char>(second))) {
                skipped = true;
                continue;
            }
            if (first == '0' && second == '0') continue;
            BmsPlayerObject object;
            object.bar = bar;
            object.channel = channel.toInt();
            object.slot = static_cast<int64_t>(k);
            object.slots = static_cast<int64_t>(slots);
            object.first = first;
            object.second = second;
            object.line = at;
            data->addObject(object);
        }
        if (skipped) {
            repairs->note(BmsRepairKind::OBJECT_PAIR, at);
            clean = false;
        }
        // The tic lanes get what they would have had without a player's reading.
        if (clean) {
            if (channel.equals("01")) {
                placeBackground();
            } else {
                chart->putObjects(bar, channel, objects.c_str());
            }
        }
        return c == EOF ? PASS_END : LINE_START;
    }

    // Each channel 01 line of a bar gets its own lane, so that background sounds
    // written on several lines of one bar all play.
    void placeBackground() {
        // Lanes are made one at a time, so lane k is new exactly when k lanes exist.
        size_t layer = static_cast<size_t>(layers[bar]++);
        BmsChannel* lane = nullptr;
        if (layer < backgroundLanes.size()) {
            lane = backgroundLanes[layer];
        } else {
            lane = new BmsChannel(channel);
            if (backgroundLanes.empty()) {
                chart->insertChannel(lane);
            } else {
                backgroundLanes.back()->setNextLane(lane);
            }
            backgroundLanes.push_back(lane);
        }
        chart->spreadObjects(bar, lane, objects.data(), objects.size(), false);
    }
};

// How the last load of this thread ended, for its front end to report, so that charts load side
// by side. Plain numbers, which need no destroying when a thread ends: mingw-w64 may free a
// thread's storage before it runs the destructors of the objects there.
thread_local int lastResultCode = BMS_OK;
thread_local int lastLine = 0;

}  // namespace

bool BmsLoad(const char* path, BmsBms** chart) {
    return BmsLoad(path, chart, BmsLoadOptions());
}

bool BmsLoad(const char* path, BmsBms** chart, const BmsLoadOptions& options) {
    lastResultCode = BMS_OK;
    std::unique_ptr<std::FILE, FileCloser> file(path ? std::fopen(path, "rb") : nullptr);
    // A folder opens on some systems, but cannot be read.
    if (file && std::getc(file.get()) == EOF && std::ferror(file.get())) file.reset();
    if (!file) {
        lastResultCode = BMS_ERROR_OPEN;
        return false;
    }

    std::unique_ptr<BmsBms> loaded(new BmsBms);
    std::unique_ptr<Parser> parser(new Parser);
    parser->file = file.get();
    parser->chart = loaded.get();
    parser->totalTics = static_cast<long long>(TICS_PER_BAR) * BmsBms::BAR_COUNT;
    parser->player = options.keepPlayerData;
    if (parser->player) loaded->getPlayerData()->keep();
    std::unique_ptr<BmsControlFlow> flow(options.evaluateRandom ? new BmsControlFlow(options.seed)
                                                                : nullptr);
    parser->flow = flow.get();
    parser->loneCrEndsLine = options.loneCrEndsLine;
    parser->trimWavNames = options.trimWavNames;
    const bool ok = parser->runPass(1) && parser->runPass(2);
    lastResultCode = parser->resultCode;
    lastLine = parser->line;
    if (!ok) return false;

    lastResultCode = BMS_OK;
    if (flow) loaded->setRandomDraws(flow->getDraws());
    if (chart) *chart = loaded.release();
    return true;
}

int BmsGetErrorLine() {
    return lastLine;
}

int BmsGetErrorCode() {
    return lastResultCode;
}

const char* BmsGetErrorMessage() {
    return BmsErrorText(lastResultCode);
}

const char* BmsErrorText(int code) {
    return code >= 0 && code < MESSAGE_COUNT ? MESSAGES[code] : MESSAGES[1];
}
