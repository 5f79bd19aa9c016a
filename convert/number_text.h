// Reading numbers from texts the way the standard strtol does, but with the
// same result on every platform (long is 32 bits on Windows, 64 on Linux).
#ifndef CONVERT_NUMBER_TEXT_H_
#define CONVERT_NUMBER_TEXT_H_

// Reads a base-10 integer at the start of `text`: leading white space, one
// optional sign, then digits up to the first other character. A value beyond
// the signed 32-bit range becomes its nearest limit. False, with `value`
// untouched, when no digit was read.
bool readDecimalInt(const char* text, int* value);

#endif  // CONVERT_NUMBER_TEXT_H_
