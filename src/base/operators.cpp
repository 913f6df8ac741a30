// The shared arithmetic operators: see operators.h.

#include "base/operators.h"

#include <cmath>

#include "base/decimal.h"

namespace quillmere {
namespace {

// x \ y or x Mod y once both are whole numbers.
const char* WholeNumberDivision(double x, double y, bool quotient, double& result) {
  std::int32_t a = 0, b = 0;
  if (const char* error = ToLongInteger(x, a)) return error;
  if (const char* error = ToLongInteger(y, b)) return error;
  if (b == 0) return "Division by zero";
  // In 64 bits, so that -2147483648 \ -1 is 2147483648 rather than a trap.
  const std::int64_t wide_a = a, wide_b = b;
  result = static_cast<double>(quotient ? wide_a / wide_b : wide_a % wide_b);
  return nullptr;
}

}  // namespace

const char* ToLongInteger(double x, std::int32_t& n) {
  const double rounded = std::nearbyint(x);
  if (!(rounded >= kLongMin && rounded <= kLongMax)) return "Overflow";
  n = static_cast<std::int32_t>(rounded);
  return nullptr;
}

const char* Power(double x, double y, double& result) {
  if (x == 0 && y < 0) return "Division by zero";
  const double r = std::pow(x, y);
  if (std::isnan(r)) return "Invalid procedure call or argument";
  if (!std::isfinite(r)) return "Overflow";
  result = r;
  return nullptr;
}

const char* RoundToPlaces(double x, double places, double& result) {
  const double whole = std::nearbyint(places);
  if (!(whole >= 0)) return "Invalid procedure call or argument";
  result = whole > 400 ? x : RoundDecimal(x, static_cast<int>(whole), Rounding::kHalfEven);
  return nullptr;
}

const char* IntegerQuotient(double x, double y, double& result) { return WholeNumberDivision(x, y, true, result); }

const char* IntegerRemainder(double x, double y, double& result) { return WholeNumberDivision(x, y, false, result); }

}  // namespace quillmere
