// The user messages of the bmson reader and timeline, worded in one table.
#ifndef BMSON_MESSAGE_H_
#define BMSON_MESSAGE_H_

#include <cstdint>
#include <string>

enum class BmsonMessage {
    OPEN,
    FILE_TOO_LARGE,
    SYNTAX,
    NUMBER_TOO_LARGE,
    TOO_DEEP,
    TOO_MANY,
    TWICE,
    MISSING,
    NEED_OBJECT,
    NEED_ARRAY,
    NEED_STRING,
    NEED_NUMBER,
    NEED_INTEGER,
    NEED_UNSIGNED,
    NEED_BOOLEAN,
    TEMPO,
    NAME_ABSOLUTE,
    NAME_PARENT,
    NAME_NUL,
    TOO_LATE,
};

// The message's text with `path` (a JSON path such as "$.info.init_bpm") and `number` (a byte
// offset or a limit) filled in where it names them.
std::string BmsonMessageText(BmsonMessage message, const std::string& path, uint64_t number = 0);

#endif  // BMSON_MESSAGE_H_
