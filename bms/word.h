// Base-36 words: the two-character names of samples, bitmaps and channels.
#ifndef BMS_WORD_H_
#define BMS_WORD_H_

// The words "00" to "ZZ": two base-36 digits.
constexpr int BMS_WORD_COUNT = 36 * 36;

// True for the ASCII letters and digits 0-9, A-Z, a-z; every other value,
// bytes from 0x80 up and end of file (-1) included, is neither.
bool BmsIsLetterOrDigit(int c);
// a-z becomes A-Z; every other value is returned unchanged.
int BmsToUpper(int c);
// The character of "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ" at n mod 36 (never
// negative, so -1 gives 'Z').
char BmsDigitChar(int n);
// 36 times the digit value of the first character plus that of the second, each
// character normalised as in a word first: 0 to 1295.
int BmsDigitsValue(char c1, char c2);

// Two characters from the digit table; "00" is the default and, in a lane, an
// empty position. Made from characters, anything that is not a letter or digit
// becomes '0' and lower case is folded to upper case.
class BmsWord {
public:
    BmsWord() : first('0'), second('0') {}
    // n outside 0 to 1295 gives "00".
    explicit BmsWord(int n);
    // From the first two characters of the text; a null text gives "00", and a
    // text shorter than two characters is padded with '0'.
    BmsWord(const char* text);
    BmsWord(char c1, char c2) { set(c1, c2); }

    void set(char c1, char c2);
    // 0 to 1295.
    int toInt() const { return BmsDigitsValue(first, second); }
    char getFirst() const { return first; }
    char getSecond() const { return second; }
    // Writes both characters and a terminating NUL into a buffer of 3 bytes.
    void toText(char* buffer) const;

    bool equals(const BmsWord& other) const {
        return first == other.first && second == other.second;
    }
    // Compares with the text's first two characters as they are (not folded);
    // false for a null or shorter text.
    bool equals(const char* text) const;
    bool differs(const BmsWord& other) const { return !equals(other); }
    bool differs(const char* text) const { return !equals(text); }
    // Own numeric value minus the other one.
    int compare(int value) const { return toInt() - value; }
    int compare(char c1, char c2) const { return toInt() - BmsDigitsValue(c1, c2); }

    bool operator==(const BmsWord& other) const { return equals(other); }
    bool operator!=(const BmsWord& other) const { return !equals(other); }

private:
    char first;
    char second;
};


#endif  // BMS_WORD_H_
