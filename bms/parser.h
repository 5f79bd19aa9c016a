// Loading a chart file, and the result code and line of the last load.
#ifndef BMS_PARSER_H_
#define BMS_PARSER_H_

#include <cstdint>

class BmsBms;

// Result codes of a load; `BmsErrorText` gives their messages.
constexpr int BMS_OK = 0;
constexpr int BMS_ERROR_BAR_LENGTH_TWICE = 2;
constexpr int BMS_ERROR_EOF_IN_HEADER = 3;
constexpr int BMS_ERROR_OPEN = 4;
constexpr int BMS_ERROR_AFTER_SHARP = 5;
constexpr int BMS_ERROR_HEADER_KEY = 6;
constexpr int BMS_ERROR_OBJECT_CHAR = 7;
constexpr int BMS_ERROR_OBJECT_END = 8;
constexpr int BMS_ERROR_BAR_LENGTH_END = 9;
constexpr int BMS_ERROR_BAR_LENGTH_VALUE = 10;
constexpr int BMS_ERROR_CHANNEL = 11;
constexpr int BMS_ERROR_COLON = 12;
constexpr int BMS_ERROR_BAR_NUMBER = 13;
constexpr int BMS_ERROR_UNEXPECTED_EOF = 14;

// Reads the chart file at `path` in two passes (bar lengths, then headers and
// objects). True on success with the new chart stored in `*chart`, which the
// caller then owns; with a null `chart` the file is only checked. False on
// failure, leaving `*chart` untouched. Sets the result code and line counter
// that the functions below report; one load at a time per process.
bool BmsLoad(const char* path, BmsBms** chart);

// How a chart is read. By default every line is read, control lines included,
// which are then plain headers.
struct BmsLoadOptions {
    // Reads only the lines of the branches a player takes, #RANDOM and the
    // other control lines evaluated as bms/control_flow.h describes; they are
    // not stored as headers, and a line outside the branches taken is skipped
    // before it is parsed, so its errors are not reported; a control line may
    // end the file without its newline. The chart records the numbers drawn
    // (`BmsBms::getRandomDraws`).
    bool evaluateRandom = false;
    // Seeds the numbers #RANDOM and #SWITCH draw: one seed, one set of branches.
    int64_t seed = 0;
    // A CR alone ends a line, as CR LF and LF do; otherwise it is a character of its line.
    bool loneCrEndsLine = false;
    // The blanks and control characters (bytes up to 0x20) that end a #WAV value are not part
    // of the file's name; each value shortened so is noted (`BmsRepairKind::WAV_NAME_TRIMMED`).
    bool trimWavNames = false;
    // Reads data lines as a player does and keeps them exactly (`BmsBms::getPlayerData`): a
    // line is everything after its colon; a pair that is not two letters or digits is
    // skipped and keeps its slot, an odd last character is ignored, and neither fails the
    // load; a bar length given twice takes the last value. Each such mending is noted in the
    // chart's repairs. A line that places on the tic grid as before is placed there too.
    bool keepPlayerData = false;
};
// `BmsLoad` with the choices of `options`.
bool BmsLoad(const char* path, BmsBms** chart, const BmsLoadOptions& options);
// The line the calling thread's last load stopped at (1-based); 0 before any load.
int BmsGetErrorLine();
// The result code of the calling thread's last load; 0 before any load.
int BmsGetErrorCode();
// `BmsErrorText` of the last result code.
const char* BmsGetErrorMessage();
// The fixed message of a result code; unknown codes share one text.
const char* BmsErrorText(int code);

#endif  // BMS_PARSER_H_
