// Conversions of field values: see value.h.

#include "db/value.h"

#include "base/decimal.h"

namespace quillmere {

double ToNumber(const Value& value) {
  if (IsNull(value)) throw Error("Invalid use of Null");
  if (auto* i = std::get_if<std::int64_t>(&value)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&value)) return *d;
  double number = 0;
  if (!ParseNumber(std::get<std::string>(value), number)) throw Error("Type mismatch");
  return number;
}

std::int64_t ToId(const Value& value) {
  if (const auto* id = std::get_if<std::int64_t>(&value)) return *id;
  const double number = ToNumber(value);
  // -2^63 fits and 2^63 does not; a NaN fails both comparisons.
  if (!(number >= -9223372036854775808.0 && number < 9223372036854775808.0)) throw Error("Overflow");
  return static_cast<std::int64_t>(number);
}

std::string ToText(const Value& value) {
  if (IsNull(value)) throw Error("Invalid use of Null");
  return TextOrEmpty(value);
}

std::string TextOrEmpty(const Value& value) {
  if (IsNull(value)) return {};
  if (auto* i = std::get_if<std::int64_t>(&value)) return std::to_string(*i);
  if (auto* d = std::get_if<double>(&value)) return NumberText(*d);
  return std::get<std::string>(value);
}

bool IsTrue(const Value& value) {
  if (IsNull(value)) return false;
  if (auto* i = std::get_if<std::int64_t>(&value)) return *i != 0;
  if (auto* d = std::get_if<double>(&value)) return *d != 0;
  double number = 0;
  return ParseNumber(std::get<std::string>(value), number) && number != 0;
}

bool SameValue(const Value& a, const Value& b) {
  if (IsNull(a) || IsNull(b)) return IsNull(a) && IsNull(b);
  const auto* text_a = std::get_if<std::string>(&a);
  const auto* text_b = std::get_if<std::string>(&b);
  if (text_a || text_b) return text_a && text_b && *text_a == *text_b;
  const auto* int_a = std::get_if<std::int64_t>(&a);
  const auto* int_b = std::get_if<std::int64_t>(&b);
  if (int_a && int_b) return *int_a == *int_b;
  const auto number = [](const Value& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<long double>(*i);
    return static_cast<long double>(std::get<double>(v));
  };
  return number(a) == number(b);
}

}  // namespace quillmere
