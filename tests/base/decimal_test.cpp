// Decimal rounding and number text: the rounding every stored amount goes
// through, and the text numbers take in statements, formulas and gcxxb.

#include "base/decimal.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quillmere {
namespace {

TEST(RoundDecimal, RoundsTheVisibleDecimalHalfAwayFromZero) {
  // 2.675 is stored as 2.67499999...; a person reads 2.675 and expects 2.68.
  EXPECT_EQ(RoundDecimal(2.675, 2), 2.68);
  EXPECT_EQ(RoundDecimal(2.125, 2), 2.13);
  EXPECT_EQ(RoundDecimal(-2.125, 2), -2.13);
  EXPECT_EQ(RoundDecimal(0.66665, 4), 0.6667);
  EXPECT_EQ(RoundDecimal(1.0000005, 6), 1.000001);
  EXPECT_EQ(RoundDecimal(3, 2), 3);
  EXPECT_EQ(RoundDecimal(0.004999, 2), 0);
  EXPECT_EQ(RoundDecimal(0.005, 2), 0.01);
  EXPECT_EQ(RoundDecimal(99.995, 2), 100);
  EXPECT_EQ(RoundDecimal(-0.001, 2), 0);
  EXPECT_FALSE(std::signbit(RoundDecimal(-0.001, 2)));
  // 0.1 + 0.2 is 0.30000000000000004: within 15 digits it is 0.3.
  EXPECT_EQ(RoundDecimal(0.1 + 0.2, 6), 0.3);
  EXPECT_EQ(RoundDecimal(123456789.125, 2), 123456789.13);
}

TEST(RoundDecimal, HalfEvenSendsExactHalvesToTheEvenNeighbour) {
  EXPECT_EQ(RoundDecimal(2.125, 2, Rounding::kHalfEven), 2.12);
  EXPECT_EQ(RoundDecimal(2.135, 2, Rounding::kHalfEven), 2.14);
  EXPECT_EQ(RoundDecimal(2.5, 0, Rounding::kHalfEven), 2);
  EXPECT_EQ(RoundDecimal(3.5, 0, Rounding::kHalfEven), 4);
  EXPECT_EQ(RoundDecimal(-2.5, 0, Rounding::kHalfEven), -2);
  EXPECT_EQ(RoundDecimal(2.1251, 2, Rounding::kHalfEven), 2.13);
  EXPECT_EQ(RoundDecimal(0.5, 0, Rounding::kHalfEven), 0);
}

TEST(NumberText, PlainDecimalWithFifteenSignificantDigits) {
  EXPECT_EQ(NumberText(3), "3");
  EXPECT_EQ(NumberText(-2.13), "-2.13");
  EXPECT_EQ(NumberText(0.1 + 0.2), "0.3");
  EXPECT_EQ(NumberText(1234567.5), "1234567.5");
  EXPECT_EQ(NumberText(0.00001), "0.00001");
  EXPECT_EQ(NumberText(1e14), "100000000000000");
  EXPECT_EQ(NumberText(123456789012.34), "123456789012.34");
  EXPECT_EQ(NumberText(-0.0), "0");
  EXPECT_EQ(NumberText(2.0 / 3), "0.666666666666667");
}

TEST(ParseNumber, AcceptsDecimalNumbersOnly) {
  double v = 0;
  EXPECT_TRUE(ParseNumber(" 12.5 ", v));
  EXPECT_EQ(v, 12.5);
  EXPECT_TRUE(ParseNumber("-.5", v));
  EXPECT_EQ(v, -0.5);
  EXPECT_TRUE(ParseNumber("1.", v));
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(ParseNumber("2e3", v));
  EXPECT_EQ(v, 2000);
  for (const char* bad : {"", " ", "abc", "1a", "0x10", "inf", "nan", "1e", "--1", "."}) {
    EXPECT_FALSE(ParseNumber(bad, v)) << bad;
  }
}

}  // namespace
}  // namespace quillmere
