// The engine computes in long double and relies on the x87 unit working with a
// 64-bit mantissa, rounding to nearest. Windows starts threads at 53 bits; the
// runtime must have switched the unit to 64 bits before main.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>

namespace {

uint16_t x87ControlWord() {
    uint16_t word = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(word));
    return word;
}

TEST(X87PrecisionTest, UnitRunsAt64BitsRoundingToNearest) {
    const uint16_t word = x87ControlWord();
    EXPECT_EQ(0x300, word & 0x300) << "precision control of " << std::hex << word;
    EXPECT_EQ(0, word & 0xC00) << "rounding control of " << std::hex << word;
    EXPECT_EQ(64, LDBL_MANT_DIG);
}

TEST(X87PrecisionTest, LongDoubleKeepsBitsThatDoubleLoses) {
    // volatile keeps the compiler from folding these at build time, where it
    // would always use 64 bits.
    volatile long double one = 1.0L;
    volatile long double tiny = std::ldexp(1.0L, -62);
    volatile long double sum = one + tiny;
    EXPECT_EQ(std::ldexp(1.0L, -62), sum - one);

    // At 53 bits a third would come out as the double nearest to it.
    volatile long double three = 3.0L;
    volatile long double third = one / three;
    EXPECT_NE(static_cast<long double>(1.0 / 3.0), third);
}

TEST(X87PrecisionTest, DoublesRoundToDouble) {
    // Intermediate double results are not kept at extended precision, so
    // double arithmetic gives the same bits on every build.
    EXPECT_EQ(0, FLT_EVAL_METHOD);
    volatile double one = 1.0;
    volatile double tiny = std::ldexp(1.0, -60);
    double lost = (one + tiny) - one;
    EXPECT_EQ(0.0, lost);
}

}  // namespace
