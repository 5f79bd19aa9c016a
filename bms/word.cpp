#include "bms/word.h"

namespace {

constexpr char DIGITS[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Digit value of a normalised character; anything outside the table counts 0.
int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 0;
}

char normalise(char c) {
    return BmsIsLetterOrDigit(static_cast<unsigned char>(c))
               ? static_cast<char>(BmsToUpper(static_cast<unsigned char>(c)))
               : '0';
}

}  // namespace

bool BmsIsLetterOrDigit(int c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int BmsToUpper(int c) {
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

char BmsDigitChar(int n) {
    int digit = n % 36;
    if (digit < 0) digit += 36;
    return DIGITS[digit];
}

int BmsDigitsValue(char c1, char c2) {
    return digitValue(normalise(c1)) * 36 + digitValue(normalise(c2));
}

BmsWord::BmsWord(int n) : first('0'), second('0') {
    if (n < 0 || n > 1295) return;
    first = BmsDigitChar(n / 36);
    second = BmsDigitChar(n % 36);
}

BmsWord::BmsWord(const char* text) : first('0'), second('0') {
    if (!text) return;
    // Never read past the terminator of a one-character text.
    set(text[0], text[0] ? text[1] : '\0');
}

void BmsWord::set(char c1, char c2) {
    first = normalise(c1);
    second = normalise(c2);
}

void BmsWord::toText(char* buffer) const {
    if (!buffer) return;
    buffer[0] = first;
    buffer[1] = second;
    buffer[2] = '\0';
}

bool BmsWord::equals(const char* text) const {
    return text && text[0] == first && text[1] == second;
}
