// Decimal rounding and number text: the rounding every stored amount goes
// through, and the text numbers take in statements, formulas and gcxxb.

#include "base/decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace quillmere {
namespace {

TEST(RoundDecimal, RoundsTheVisibleDecimalHalfAwayFromZeroOrHalfEven) {
  // 2.675 is stored as 2.67499999...; a person reads 2.675 and expects 2.68.
  // 0.1 + 0.2 is 0.30000000000000004: within 15 digits it is 0.3. Half even
  // sends exact halves to the even neighbour, anything above goes up.
  constexpr auto kAway = Rounding::kHalfAwayFromZero;
  constexpr auto kEven = Rounding::kHalfEven;
  // clang-format off
  const std::tuple<double, int, Rounding, double> cases[] = {
      {2.675, 2, kAway, 2.68},   {2.125, 2, kAway, 2.13},     {-2.125, 2, kAway, -2.13},  {0.66665, 4, kAway, 0.6667},
      {3, 2, kAway, 3},          {0.004999, 2, kAway, 0},     {0.005, 2, kAway, 0.01},    {99.995, 2, kAway, 100},
      {0.1 + 0.2, 6, kAway, 0.3}, {1.0000005, 6, kAway, 1.000001}, {123456789.125, 2, kAway, 123456789.13},
      {2.125, 2, kEven, 2.12},   {2.135, 2, kEven, 2.14},     {2.5, 0, kEven, 2},         {3.5, 0, kEven, 4},
      {-2.5, 0, kEven, -2},      {2.1251, 2, kEven, 2.13},    {0.5, 0, kEven, 0}};
  // clang-format on
  for (const auto& [x, decimals, rounding, expected] : cases) {
    EXPECT_EQ(RoundDecimal(x, decimals, rounding), expected) << x << " to " << decimals;
  }
  EXPECT_EQ(RoundDecimal(-0.001, 2), 0);
  EXPECT_FALSE(std::signbit(RoundDecimal(-0.001, 2)));
}

TEST(NumberText, PlainDecimalWithFifteenSignificantDigits) {
  // clang-format off
  const std::pair<double, const char*> cases[] = {
      {3, "3"}, {-2.13, "-2.13"}, {0.1 + 0.2, "0.3"}, {1234567.5, "1234567.5"}, {0.00001, "0.00001"},
      {1e14, "100000000000000"}, {123456789012.34, "123456789012.34"}, {-0.0, "0"}, {2.0 / 3, "0.666666666666667"}};
  // clang-format on
  for (const auto& [x, text] : cases) EXPECT_EQ(NumberText(x), text);
}

TEST(ParseNumber, AcceptsDecimalNumbersOnly) {
  for (const auto& [text, expected] : {std::pair{" 12.5 ", 12.5}, {"-.5", -0.5}, {"1.", 1.0}, {"2e3", 2000.0}}) {
    double v = 0;
    EXPECT_TRUE(ParseNumber(text, v)) << text;
    EXPECT_EQ(v, expected) << text;
  }
  double v = 0;
  for (const char* bad : {"", " ", "abc", "1a", "0x10", "inf", "nan", "1e", "--1", "."}) {
    EXPECT_FALSE(ParseNumber(bad, v)) << bad;
  }
}

}  // namespace
}  // namespace quillmere
