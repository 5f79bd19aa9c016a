#include "bms/bar.h"

#include <climits>
#include <cstdlib>
#include <string>

BmsBar::BmsBar(const char* text) : length(0) {
    ticsFromText(text, &length);
}

bool BmsBar::ticsFromText(const char* text, int* tics) {
    // Only digits and one point take part; strtod alone would also accept signs,
    // exponents, "inf" and leading blanks.
    std::string number;
    bool point = false;
    for (const char* p = text; p && *p; ++p) {
        if (*p == '.' && !point) {
            point = true;
        } else if (*p < '0' || *p > '9') {
            break;
        }
        number += *p;
    }
    double value = 0.0;
    if (number != "." && !number.empty()) value = std::strtod(number.c_str(), nullptr);
    long double product = static_cast<long double>(value) * 384.0L;
    if (!(product < 2147483648.0L)) return false;
    *tics = static_cast<int>(product);
    return true;
}
