// Decimal rounding and number text: see decimal.h.

#include "base/decimal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace quillmere {
namespace {

constexpr int kSignificantDigits = 15;

// The 15 significant digits of |x| and the decimal exponent of the first one:
// |x| = d0.d1d2...d14 * 10^exponent.
struct Digits {
  std::string digits;
  int exponent = 0;
};

Digits SignificantDigits(double magnitude) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.*e", kSignificantDigits - 1, magnitude);
  Digits result;
  const char* p = buffer;
  for (; *p != 'e'; ++p) {
    if (*p != '.') result.digits.push_back(*p);
  }
  result.exponent = std::atoi(p + 1);
  return result;
}

// The 15 significant digits of |x| as one integer and the decimal exponent of
// its last digit: |x| = digits * 10^exponent, exactly the value the C library
// writes with 15 significant digits. Worked out on exact integers for the
// magnitudes money takes (1e-17 <= |x| < 1e15): x = m * 2^k makes the digits
// m * 5^s * 2^(k+s) rounded half to even, at most 128 bits wide, for the s
// that makes them a 15-digit integer. Elsewhere read off the digit text.
struct DecimalValue {
  std::uint64_t digits = 0;
  int exponent = 0;
};

__extension__ typedef unsigned __int128 Wide;

// 5^s for 0 <= s <= 32; 5^32 * 2^53 still fits in 128 bits.
Wide PowerOfFive(int s) {
  static const auto kPowers = [] {
    std::array<Wide, 33> powers{};
    powers[0] = 1;
    for (size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 5;
    return powers;
  }();
  return kPowers[static_cast<size_t>(s)];
}

bool ExactDecimalValue(double magnitude, DecimalValue& out) {
  constexpr std::uint64_t kLow = 100000000000000;    // 10^14
  constexpr std::uint64_t kHigh = 1000000000000000;  // 10^15
  if (!(magnitude >= 1e-17 && magnitude < 1e15)) return false;
  int k = 0;
  const auto m = static_cast<std::uint64_t>(std::ldexp(std::frexp(magnitude, &k), 53));
  k -= 53;
  int e = static_cast<int>(std::floor(std::log10(magnitude)));
  for (int attempt = 0;; ++attempt) {
    const int s = 14 - e;
    if (s < 0 || s > 32 || attempt > 2) return false;
    Wide scaled = m * PowerOfFive(s);
    const int shift = k + s;
    bool round_up = false;
    if (shift >= 0) {
      if (shift > 60) return false;
      scaled <<= shift;
    } else if (-shift >= 127) {
      return false;
    } else {
      const Wide unit = Wide{1} << -shift;
      const Wide remainder = scaled & (unit - 1);
      const Wide half = unit >> 1;
      scaled >>= -shift;
      round_up = remainder > half || (remainder == half && (scaled & 1) != 0);
    }
    // The exponent is the one of the value before rounding; a value that
    // rounds up to 10^15 is written 1.00000000000000 with the next exponent.
    if (scaled >= kHigh) {
      ++e;
    } else if (scaled < kLow) {
      --e;
    } else {
      out.digits = static_cast<std::uint64_t>(scaled) + (round_up ? 1 : 0);
      if (out.digits == kHigh) {
        out.digits = kLow;
        ++e;
      }
      out.exponent = e - 14;
      return true;
    }
  }
}

DecimalValue DecimalValueOf(double magnitude) {
  DecimalValue value;
  if (magnitude == 0 || ExactDecimalValue(magnitude, value)) return value;
  const Digits d = SignificantDigits(magnitude);
  value.digits = std::strtoull(d.digits.c_str(), nullptr, 10);
  value.exponent = d.exponent - (kSignificantDigits - 1);
  return value;
}

// RoundDecimal on exact integers where the digits are exact; false where the
// digit text must decide.
bool RoundDecimalExactly(double x, int decimals, Rounding rounding, double& result) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  if (decimals < 0 || decimals > 15) return false;
  DecimalValue exact;
  if (!ExactDecimalValue(std::fabs(x), exact)) return false;
  const std::uint64_t digits = exact.digits;
  const int e = exact.exponent + 14;  // of the first digit
  const int keep = e + decimals + 1;
  double value = 0;
  if (keep >= 15) {
    const int exponent = e - 14;
    if (exponent > 15 || exponent < -15) return false;
    value = exponent >= 0 ? static_cast<double>(digits) * kPowers[exponent]
                          : static_cast<double>(digits) / kPowers[-exponent];
  } else if (keep < 0) {
    result = 0.0;
    return true;
  } else {
    std::uint64_t unit = 1;
    for (int i = keep; i < 15; ++i) unit *= 10;
    std::uint64_t kept = digits / unit;
    const std::uint64_t dropped = digits % unit;
    const std::uint64_t half = unit / 2;
    const bool round_up =
        rounding == Rounding::kHalfEven ? dropped > half || (dropped == half && kept % 2 == 1) : dropped >= half;
    if (round_up) ++kept;
    if (kept == 0) {
      result = 0.0;
      return true;
    }
    value = static_cast<double>(kept) / kPowers[decimals];
  }
  result = x < 0 ? -value : value;
  return true;
}

// RoundDecimal for the amounts far from a half of their last kept decimal,
// which are nearly all: scaled by 10^decimals in binary they round to the
// same integer as their 15-digit text does, since that text lies within
// 5e-15 of them and the scaling within 2^-53 (both relative). A value within
// 1e-14 of a half takes the exact road, so neither rounding rule for halves
// comes into play here. Nor does a value of 5e13 or more once scaled (nor
// one that overflows): only there can the text have dropped digits before
// the last kept decimal.
bool RoundDecimalQuickly(double x, int decimals, double& result) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13};
  if (decimals < 0 || decimals > 13) return false;
  const double scaled = x * kPowers[decimals];
  if (!(std::fabs(scaled) < 5e13)) return false;
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;
  if (std::fabs(fraction - 0.5) <= 1e-14 * std::fabs(scaled)) return false;
  const double rounded = fraction > 0.5 ? whole + 1 : whole;
  result = rounded == 0 ? 0.0 : rounded / kPowers[decimals];
  return true;
}

}  // namespace

// The rounding written out on the digit text: the reference every result of
// the exact integer road below agrees with, and the road for the magnitudes
// that one does not cover.
double RoundDecimalByText(double x, int decimals, Rounding rounding) {
  if (!std::isfinite(x) || x == 0) return x == 0 ? 0.0 : x;
  const bool negative = x < 0;
  Digits d = SignificantDigits(std::fabs(x));
  // Number of leading digits whose place value is at least 10^-decimals.
  const int keep = d.exponent + decimals + 1;
  if (keep >= kSignificantDigits) {
    // Nothing beyond the requested decimals: the value is its own 15-digit text.
    double value = std::strtod((d.digits + "e" + std::to_string(d.exponent - kSignificantDigits + 1)).c_str(), nullptr);
    return negative ? -value : value;
  }
  if (keep < 0) return 0.0;
  std::string kept = d.digits.substr(0, static_cast<size_t>(keep));
  const char first_dropped = d.digits[static_cast<size_t>(keep)];
  bool round_up = first_dropped >= '5';
  if (rounding == Rounding::kHalfEven && first_dropped == '5' &&
      d.digits.find_first_not_of('0', static_cast<size_t>(keep) + 1) == std::string::npos) {
    // An exact half goes to the even neighbour.
    const char last_kept = keep > 0 ? kept.back() : '0';
    round_up = (last_kept - '0') % 2 == 1;
  }
  if (round_up) {
    int i = keep - 1;
    for (; i >= 0 && kept[static_cast<size_t>(i)] == '9'; --i) kept[static_cast<size_t>(i)] = '0';
    if (i >= 0) {
      ++kept[static_cast<size_t>(i)];
    } else {
      kept.insert(kept.begin(), '1');
    }
  }
  if (kept.empty()) return 0.0;
  double value = std::strtod((kept + "e" + std::to_string(-decimals)).c_str(), nullptr);
  if (value == 0) return 0.0;
  return negative ? -value : value;
}

double RoundDecimal(double x, int decimals, Rounding rounding) {
  double result = 0;
  if (RoundDecimalQuickly(x, decimals, result)) return result;
  if (RoundDecimalExactly(x, decimals, rounding, result)) return result;
  return RoundDecimalByText(x, decimals, rounding);
}

double DecimalDistance(double a, double b) {
  __extension__ typedef __int128 Wide;
  if (!std::isfinite(a) || !std::isfinite(b)) return std::fabs(a - b);
  const DecimalValue da = DecimalValueOf(std::fabs(a));
  const DecimalValue db = DecimalValueOf(std::fabs(b));
  // Both on the scale of the finer last digit; a zero takes the other's.
  int scale = std::min(da.exponent, db.exponent);
  if (da.digits == 0) scale = db.exponent;
  if (db.digits == 0) scale = da.exponent;
  const int shift_a = da.exponent - scale, shift_b = db.exponent - scale;
  // Beyond 10^23 the scaled digits leave 128 bits; values that far apart in
  // magnitude are far apart in price too, and the binary distance serves.
  if ((da.digits != 0 && shift_a > 23) || (db.digits != 0 && shift_b > 23)) return std::fabs(a - b);
  auto scaled = [](const DecimalValue& d, int shift, bool negative) {
    Wide w = static_cast<Wide>(d.digits);
    for (int i = 0; i < shift && w != 0; ++i) w *= 10;
    return negative ? -w : w;
  };
  Wide difference = scaled(da, shift_a, a < 0) - scaled(db, shift_b, b < 0);
  if (difference < 0) difference = -difference;
  // One correctly rounded operation on exact operands where it can be done,
  // the digit text read back otherwise.
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (difference < (Wide{1} << 53) && scale >= -22 && scale <= 22) {
    const auto exact = static_cast<double>(difference);
    return scale < 0 ? exact / kPowers[-scale] : exact * kPowers[scale];
  }
  std::string text;
  for (; difference != 0; difference /= 10) text.insert(text.begin(), static_cast<char>('0' + difference % 10));
  return std::strtod((text + "e" + std::to_string(scale)).c_str(), nullptr);
}

std::string NumberText(double x) {
  if (std::isnan(x)) return "0";
  if (std::isinf(x)) return x > 0 ? "1E+308" : "-1E+308";
  if (x == 0) return "0";
  Digits d = SignificantDigits(std::fabs(x));
  std::string text = x < 0 ? "-" : "";
  if (d.exponent < -15 || d.exponent >= 15) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.15g", x);
    return buffer;
  }
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  const int digit_count = static_cast<int>(d.digits.size());
  if (d.exponent < 0) {
    text += "0.";
    text.append(static_cast<size_t>(-d.exponent - 1), '0');
    text += d.digits;
  } else if (d.exponent + 1 >= digit_count) {
    text += d.digits;
    text.append(static_cast<size_t>(d.exponent + 1 - digit_count), '0');
  } else {
    text += d.digits.substr(0, static_cast<size_t>(d.exponent + 1));
    text += '.';
    text += d.digits.substr(static_cast<size_t>(d.exponent + 1));
  }
  return text;
}

bool ParseNumber(std::string_view text, double& value) {
  auto is_blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  size_t i = 0;
  const size_t n = text.size();
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t start = i;
  size_t digits = 0;
  while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
    size_t exponent_digits = 0;
    while (j < n && text[j] >= '0' && text[j] <= '9') ++j, ++exponent_digits;
    if (exponent_digits == 0) return false;
    i = j;
  }
  if (i != n) return false;
  std::string body(text.substr(start));
  if (!body.empty() && body.front() == '.') body.insert(body.begin(), '0');
  double parsed = 0;
  auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), parsed);
  if (error == std::errc::result_out_of_range) {
    parsed = std::strtod(body.c_str(), nullptr);
  } else if (error != std::errc() || end != body.data() + body.size()) {
    return false;
  }
  value = negative ? -parsed : parsed;
  return true;
}

}  // namespace quillmere
