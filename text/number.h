// Reading numbers from texts with the same result on every platform (long is 32 bits on
// Windows, 64 on Linux).
#ifndef TEXT_NUMBER_H_
#define TEXT_NUMBER_H_

#include <string>

// Reads a base-10 integer at the start of `text` the way the standard strtol does: leading
// white space, one optional sign, then digits up to the first other character. A value beyond
// the signed 32-bit range becomes its nearest limit. False, with `value` untouched, when no
// digit was read.
bool readDecimalInt(const char* text, int* value);

// Reads a plain decimal number that is the whole of `text`: digits with an optional fraction,
// as "12" or "7.5", and nothing else (no sign, blank or exponent). False for any other text and
// for a number too large to hold.
bool readPlainDecimal(const std::string& text, double* value);

// Reads a decimal floating-point number at the start of `text`: blanks, an optional sign,
// digits with an optional fraction and an optional exponent; the rest is ignored. Hexadecimal,
// "inf" and "nan" forms are no numbers here, and neither is a value beyond the range of a
// double. The locale's decimal point plays no part. False, with `value` untouched, when
// nothing is read.
bool readDecimal(const char* text, double* value);

// The value of a hexadecimal digit, either case; -1 for any other character.
int hexDigitValue(char c);

#endif  // TEXT_NUMBER_H_
