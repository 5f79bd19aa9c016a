// The length of one bar in tics.
#ifndef BMS_BAR_H_
#define BMS_BAR_H_

// Tics in a bar of length 1.0 (a 4/4 bar); a beat is a quarter of it.
constexpr int TICS_PER_BAR = 384;

// One bar's length in tics; 384 by default.
class BmsBar {
public:
    BmsBar() : length(TICS_PER_BAR) {}
    explicit BmsBar(int tics) : length(tics) {}
    // From a decimal text (see `ticsFromText`); a text whose tic count does not
    // fit in an int gives length 0.
    explicit BmsBar(const char* text);

    int getLength() const { return length; }
    void setLength(int tics) { length = tics; }

    // Reads digits, at most one point and more digits (stopping at the first
    // other character), multiplies by 384 and truncates toward zero: "0.75" is
    // 288, "." is 0. False, with `tics` untouched, when the result does not fit
    // in a signed 32-bit int.
    static bool ticsFromText(const char* text, int* tics);

private:
    int length;
};

#endif  // BMS_BAR_H_
