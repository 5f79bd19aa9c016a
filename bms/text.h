// Small helpers for the owned NUL-terminated texts of the chart library.
#ifndef BMS_TEXT_H_
#define BMS_TEXT_H_

#include <memory>

// Upper-cases a-z in place; other bytes stay. A null text is left alone.
void toUpperText(char* text);
// A new copy of the text, upper-cased when `upper` is set; null for null.
std::unique_ptr<char[]> copyText(const char* text, bool upper);

#endif  // BMS_TEXT_H_
