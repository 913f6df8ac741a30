// Fee variables and bracketed line references substituted into formula texts
// before they are evaluated: the text the project totals hand to JiSuanGS.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/decimal.h"
#include "base/text.h"
#include "formula/formula.h"

namespace quillmere {
namespace {

// A formula that substitution blows up beyond this (variables whose names
// occur in other variables' values, over and over) is refused instead of
// exhausting memory.
constexpr size_t kMaxFormulaText = size_t{16} << 20;

// NumberText(value), without its printf for the usual fee figures: when the
// shortest text that reads back as `value` has at most 15 significant digits,
// the 15-digit rounding NumberText writes is that same text.
std::string PlainNumberText(double value) {
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e-15 && magnitude < 1e15) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (error == std::errc()) {
      int significant = 0;
      bool leading = true;
      for (const char* p = buffer; p != end; ++p) {
        if (*p < '0' || *p > '9' || (leading && *p == '0')) continue;
        leading = false;
        ++significant;
      }
      if (significant <= 15) return std::string(buffer, end);
    }
  }
  return NumberText(value);
}

// The line number a bracketed text spells exactly as the caller writes it
// ("[" + decimal text + "]"), or false.
bool CanonicalLineNumber(std::string_view inside, int& number) {
  const bool negative = !inside.empty() && inside.front() == '-';
  std::string_view digits = negative ? inside.substr(1) : inside;
  if (digits.empty() || digits.size() > 5) return false;
  if (digits.size() > 1 && digits.front() == '0') return false;
  int n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if ((negative && n == 0) || n > 32767) return false;
  number = negative ? -n : n;
  return true;
}

}  // namespace

std::string OperandText(double value) {
  std::string text = PlainNumberText(value);
  if (value < 0) return "(" + text + ")";
  return text;
}

std::vector<std::int16_t> TiQuXH(std::string_view formula) {
  std::vector<std::int16_t> numbers{0};
  std::string_view rest = formula;
  for (;;) {
    const size_t open = rest.find('[');
    const size_t close = rest.find(']');
    // A "]" before the first "[" ends the scan, whatever brackets follow.
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) return numbers;
    double value = 0;
    if (!ParseNumber(rest.substr(open + 1, close - open - 1), value) || !std::isfinite(value)) {
      throw FormulaError("Type mismatch");
    }
    // The whole part towards minus infinity, kept as a 16-bit line number.
    const double line = std::floor(value);
    if (!(line >= -32768 && line <= 32767)) throw FormulaError("Overflow");
    numbers.push_back(static_cast<std::int16_t>(line));
    rest.remove_prefix(close + 1);
  }
}

std::string TiHuanBL(std::string_view formula, const std::vector<FeeVariable>& variables) {
  for (const FeeVariable& v : variables) {
    if (!v.name || !v.value) throw FormulaError("Invalid use of Null");
  }
  // Longer names first, so that a name standing inside a longer one (A inside
  // AB) cannot eat part of it; equal lengths keep the table's order.
  std::vector<size_t> order(variables.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return variables[a].name->size() > variables[b].name->size(); });
  std::string text(formula);
  for (size_t i : order) {
    const std::string& name = *variables[i].name;
    // An empty name matches nothing, as a text replacement of "" leaves the text alone.
    if (name.empty()) continue;
    if (text.find(name) == std::string::npos) continue;
    if (!ReplaceAll(text, name, OperandText(*variables[i].value), kMaxFormulaText)) {
      throw FormulaError("Out of string space");
    }
  }
  return text;
}

std::string ReplaceLineReferences(std::string_view formula, const std::vector<double>& results) {
  const std::vector<std::int16_t> numbers = TiQuXH(formula);
  if (numbers.size() == 1) return std::string(formula);
  // Every listed number is looked up, repeated ones included, before anything
  // is replaced: a reference outside the list of lines ends the caller.
  std::vector<std::int16_t> listed(numbers.begin() + 1, numbers.end());
  for (std::int16_t n : listed) {
    if (n < 0 || static_cast<size_t>(n) >= results.size()) throw FormulaError("Subscript out of range");
  }
  std::sort(listed.begin(), listed.end());
  // One pass over the text: each "[n]" written with a listed n becomes that
  // line's result. A replacement never contains a bracket, so it cannot form
  // a reference of its own.
  std::string text;
  text.reserve(formula.size() + 16 * (numbers.size() - 1));
  size_t from = 0;
  for (;;) {
    const size_t open = formula.find('[', from);
    if (open == std::string_view::npos) break;
    const size_t close = formula.find_first_of("[]", open + 1);
    if (close == std::string_view::npos) break;
    int n = 0;
    if (formula[close] == ']' && CanonicalLineNumber(formula.substr(open + 1, close - open - 1), n) &&
        std::binary_search(listed.begin(), listed.end(), static_cast<std::int16_t>(n))) {
      text.append(formula, from, open - from);
      text += OperandText(results[static_cast<size_t>(n)]);
      from = close + 1;
    } else {
      text.append(formula, from, close - from);
      from = close;
    }
  }
  text.append(formula, from, std::string_view::npos);
  return text;
}

}  // namespace quillmere
