// Random formulas and random bytes through the fee formula engine: it must
// never crash, hang, leak or read out of bounds, a failure must give exactly 0,
// and evaluating the same text twice must give the same value (nothing
// survives from one evaluation to the next).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "formula/formula.h"
#include "quillmere/formula.h"

namespace {

using quillmere::FeeVariable;
using quillmere::FormulaError;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void Evaluate(std::string_view text) {
  std::string reason;
  const double value = quillmere::EvaluateExpression(text, &reason);
  Check(std::isfinite(value));
  Check(reason.empty() || value == 0);
  std::string again;
  Check(SameBits(quillmere::EvaluateExpression(text, &again), value) && again == reason);
  Check(std::isfinite(quillmere::JiSuanGS(text)));
}

// Fee variables named by pieces of the input (split at '\x01'), with values
// of every sign and size, after a few fixed ones.
std::vector<FeeVariable> VariablesFrom(std::string_view names) {
  static const double kValues[] = {100, 250, -3, 0.1 + 0.2, 1e20, -1e-20, 0, 1234567.89};
  std::vector<FeeVariable> variables{{"A", 100.0}, {"AB", -250.0}, {"人工费", 1200.5}};
  size_t i = 0;
  while (!names.empty() && variables.size() < 16) {
    const size_t cut = names.find('\x01');
    variables.push_back({std::string(names.substr(0, cut)), kValues[i++ % 8]});
    if (cut == std::string_view::npos) break;
    names.remove_prefix(cut + 1);
  }
  return variables;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // Before a NUL byte: the formula; after it: names of fee variables.
  const size_t nul = input.find('\0');
  const std::string_view formula = input.substr(0, nul);
  const std::string_view names = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);

  Evaluate(input);
  Evaluate(formula);

  const std::vector<double> results{0, 300, -4, 12.5, 1e300, -0.0, 7, 0.000001};
  std::string text;
  try {
    const std::vector<std::int16_t> lines = quillmere::TiQuXH(formula);
    Check(!lines.empty() && lines[0] == 0);
    text = quillmere::ReplaceLineReferences(formula, results);
  } catch (const FormulaError&) {
    text = std::string(formula);
  }
  try {
    text = quillmere::TiHuanBL(text, VariablesFrom(names));
  } catch (const FormulaError&) {
  }
  Evaluate(quillmere::ReplacePercentSigns(text));

  const quillmere::FeeFormulaValue value =
      quillmere::EvaluateFeeFormula(formula, {{"A", 100}, {"x", -3}}, {{1, 300}, {2, -4}, {40000, 1}});
  Check(std::isfinite(value.value) && (value.error.empty() || value.value == 0));
  return 0;
}
