// Decimal rounding and number text: the rounding every stored amount goes
// through, and the text numbers take in statements, formulas and gcxxb.

#include "base/decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iomanip>
#include <limits>
#include <random>
#include <vector>

namespace quillmere {
namespace {

// RoundDecimal takes a road of exact integers for ordinary amounts; it must
// give, bit for bit, what the rounding of the digit text gives.
TEST(RoundDecimal, AgreesBitForBitWithTheRoundingOfTheDigitText) {
  std::mt19937_64 random(20240607);
  std::uniform_real_distribution<double> exponent(-17.0, 15.5);
  std::uniform_int_distribution<int> decimals(0, 15);
  // 0 and -0.0, which rounds to 0; amounts that overflow once scaled.
  std::vector<double> amounts = {0.0, 1e300, std::numeric_limits<double>::max()};
  for (int i = 0; i < 100000; ++i) amounts.push_back(std::pow(10.0, exponent(random)));
  // Cents, mills and the like as a person types them: 2.675, 1.005, ...
  for (int i = 0; i < 50000; ++i) {
    const double cents = static_cast<double>(random() % 100000000000);
    amounts.push_back(cents / std::pow(10.0, static_cast<double>(random() % 7)));
  }
  // Exact binary halves at the fifteenth digit: 2^-22 = 2.384185791015625e-7
  // and friends, and n + 0.5 for fifteen-digit n.
  for (int i = 0; i < 50000; ++i) {
    amounts.push_back(std::ldexp(static_cast<double>(random() % (1 << 20) + 1), -static_cast<int>(random() % 60)));
    amounts.push_back(static_cast<double>(100000000000000 + random() % 900000000000000) + 0.5);
  }
  // Next to the powers of ten, where the exponent of the digits changes.
  for (int p = -17; p <= 15; ++p) {
    for (double x = std::pow(10.0, p), n = 0; n < 40; ++n) {
      amounts.push_back(x = std::nextafter(x, 0.0));
      amounts.push_back(std::nextafter(std::pow(10.0, p), 1e300) + n * std::pow(10.0, p - 15));
    }
  }
  int differences = 0;
  for (const double amount : amounts) {
    for (const double x : {amount, -amount}) {
      const int d = decimals(random);
      for (const Rounding rounding : {Rounding::kHalfAwayFromZero, Rounding::kHalfEven}) {
        const double fast = RoundDecimal(x, d, rounding);
        const double reference = RoundDecimalByText(x, d, rounding);
        if (std::memcmp(&fast, &reference, sizeof fast) != 0 && ++differences <= 5) {
          ADD_FAILURE() << std::setprecision(17) << x << " to " << d << " decimals: " << fast << " but the text gives "
                        << reference;
        }
      }
    }
  }
  EXPECT_EQ(differences, 0);
}

TEST(DecimalDistance, MeasuresTheDecimalsThePricesDenote) {
  // In binary 380.01 - 380 is 0.0099999999999909 and 0.08 - 0.07 is
  // 0.0099999999999999; on the decimals both are exactly 0.01. 50.005 lies
  // exactly as far from 50 as from 50.01.
  EXPECT_EQ(DecimalDistance(380.01, 380.00), 0.01);
  EXPECT_EQ(DecimalDistance(0.07, 0.08), 0.01);
  EXPECT_EQ(DecimalDistance(-12.34, -12.35), 0.01);
  EXPECT_EQ(DecimalDistance(0.005, -0.005), 0.01);
  EXPECT_EQ(DecimalDistance(50.005, 50.00), DecimalDistance(50.01, 50.005));
  EXPECT_EQ(DecimalDistance(128.01, 127.01), 1);
  EXPECT_EQ(DecimalDistance(0, 1e-300), 1e-300);
  EXPECT_EQ(DecimalDistance(123456789012.34, 0.01), 123456789012.33);
}

TEST(NumberText, PlainDecimalWithFifteenSignificantDigits) {
  // clang-format off
  const std::pair<double, const char*> cases[] = {
      {3, "3"}, {-2.13, "-2.13"}, {0.1 + 0.2, "0.3"}, {1234567.5, "1234567.5"}, {0.00001, "0.00001"},
      {1e14, "100000000000000"}, {123456789012.34, "123456789012.34"}, {-0.0, "0"}, {2.0 / 3, "0.666666666666667"},
      // Plain up to fifteen digits before the point, an exponent from 1e15 on
      // (999999999999999.6 rounds up to it) and below 1e-15.
      {999999999999999, "999999999999999"}, {999999999999999.4, "999999999999999"}, {999999999999999.6, "1e+15"},
      {1e15, "1e+15"}, {-1e15, "-1e+15"}, {1e-15, "0.000000000000001"}, {9.99999999999999e-16, "9.99999999999999e-16"}};
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
