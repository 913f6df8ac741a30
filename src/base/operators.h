// The arithmetic operators the host's two formula languages share: the
// script language of the project totals and the desktop-database SQL of the
// fee programme both raise to a power with ^, divide whole numbers with \ and
// take a remainder with Mod. The formula evaluator and the SQL functions of
// the fee programme compute them here, so the two can never disagree.

#ifndef QUILLMERE_BASE_OPERATORS_H_
#define QUILLMERE_BASE_OPERATORS_H_

#include <cstdint>

namespace quillmere {

// The range of the languages' 32-bit integers (Long).
inline constexpr double kLongMin = -2147483648.0;
inline constexpr double kLongMax = 2147483647.0;

// Each operator sets `result` and returns nullptr, or returns the language's
// own words for why there is no value ("Division by zero", "Overflow",
// "Invalid procedure call or argument").

// x ^ y; 0 raised to a negative power is a division by zero.
const char* Power(double x, double y, double& result);

// x \ y and x Mod y: both operands are first rounded half to even to a
// 32-bit integer (2.5 \ 1 is 2, 3.5 Mod 2 is 0); the quotient is truncated
// towards zero and the remainder takes the sign of x.
const char* IntegerQuotient(double x, double y, double& result);
const char* IntegerRemainder(double x, double y, double& result);

// Round(x, places): x to `places` decimals, a half to the even neighbour; the
// places themselves are rounded half to even first. Negative places are an
// invalid call; beyond 400 places every double is already its own rounding.
const char* RoundToPlaces(double x, double places, double& result);

// x rounded half to even to a 32-bit integer, as the whole-number operators
// and the logical ones take their operands; "Overflow" beyond that range.
const char* ToLongInteger(double x, std::int32_t& n);

}  // namespace quillmere

#endif  // QUILLMERE_BASE_OPERATORS_H_
