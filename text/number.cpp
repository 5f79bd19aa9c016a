#include "text/number.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool readDecimalInt(const char* text, int* value) {
    constexpr int64_t LIMIT = std::numeric_limits<int>::max();
    const char* p = text;
    while (isSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!isDigit(*p)) return false;
    // The magnitude stops growing just past the largest one that matters.
    int64_t magnitude = 0;
    for (; isDigit(*p); ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > LIMIT + 1) magnitude = LIMIT + 1;
    }
    if (negative)
        *value = static_cast<int>(-magnitude);
    else
        *value = static_cast<int>(magnitude > LIMIT ? LIMIT : magnitude);
    return true;
}

bool readPlainDecimal(const std::string& text, double* value) {
    const size_t digits = text.find_first_not_of("0123456789");
    const size_t fraction = digits == std::string::npos || text[digits] != '.'
                                ? digits
                                : text.find_first_not_of("0123456789", digits + 1);
    if (fraction != std::string::npos || text.find_first_of("0123456789") == std::string::npos)
        return false;
    *value = std::strtod(text.c_str(), nullptr);
    return std::isfinite(*value);
}

bool readDecimal(const char* text, double* value) {
    const char* p = text;
    while (isSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    const char* start = p;
    int digits = 0;
    for (; isDigit(*p); ++p) ++digits;
    if (*p == '.') {
        for (++p; isDigit(*p); ++p) ++digits;
    }
    if (digits == 0) return false;
    if (*p == 'e' || *p == 'E') {
        const char* exponent = p + 1;
        if (*exponent == '+' || *exponent == '-') ++exponent;
        if (isDigit(*exponent)) {
            while (isDigit(*exponent)) ++exponent;
            p = exponent;
        }
    }
    // The text is checked above, so the conversion sees plain decimal digits only.
    double result = 0.0;
    const std::from_chars_result read = std::from_chars(start, p, result);
    if (read.ec != std::errc() || read.ptr != p) return false;
    *value = negative ? -result : result;
    return true;
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
