// Decimal rounding and number text, shared by the SQL functions, the formula
// engine and the command line. Money is rounded on the decimal a person sees,
// never on the binary value underneath it.

#ifndef QUILLMERE_BASE_DECIMAL_H_
#define QUILLMERE_BASE_DECIMAL_H_

#include <string>
#include <string_view>

namespace quillmere {

enum class Rounding {
  kHalfAwayFromZero,  // the rounding of format(x,'0.##'): 2.125 -> 2.13
  kHalfEven,          // the rounding of round(): 2.125 -> 2.12, 2.135 -> 2.14
};

// Rounds x to `decimals` places on the decimal text of x written with 15
// significant digits: 2.675 gives 2.68 and -2.125 gives -2.13 (half away from
// zero) although neither is exactly representable. Negative `decimals` round
// to tens, hundreds, ...
double RoundDecimal(double x, int decimals, Rounding rounding = Rounding::kHalfAwayFromZero);

// RoundDecimal worked out on the digit text itself, the way its contract
// reads: slower, and the reference RoundDecimal is tested against.
double RoundDecimalByText(double x, int decimals, Rounding rounding = Rounding::kHalfAwayFromZero);

// How far apart the decimals a and b denote lie: the exact difference of
// their 15-significant-digit values, as the nearest double. So 380.01 and
// 380.00 are exactly 0.01 apart (not 0.0099999999999909 as in binary), and a
// tolerance "within 0.01" excludes or includes that bound as it says.
double DecimalDistance(double a, double b);

// The plain decimal text of x: at most 15 significant digits, a point as the
// separator, no trailing zeros, no exponent for ordinary magnitudes
// (1e-15 <= |x| < 1e15). -0 is written "0".
std::string NumberText(double x);

// Reads the whole of `text` (blanks around it allowed) as a decimal number:
// optional sign, digits with an optional point, optional exponent. Returns
// false for anything else, including an empty text, "inf" and hex forms.
bool ParseNumber(std::string_view text, double& value);

}  // namespace quillmere

#endif  // QUILLMERE_BASE_DECIMAL_H_
