// ASCII letters without regard to case, as file names and extensions are compared: the bytes
// of other characters (Shift-JIS, UTF-8) are left as they are.
#ifndef TEXT_ASCII_H_
#define TEXT_ASCII_H_

#include <string>

// `text` with A-Z lowered to a-z.
std::string lowerAscii(std::string text);

// Whether `text` ends in `ending` (written in lower case), A-Z counting as a-z.
bool endsWithIgnoringCase(const std::string& text, const char* ending);

#endif  // TEXT_ASCII_H_
