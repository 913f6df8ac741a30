// One fee formula through the substitutions of the project totals and the
// evaluator: the public face of the formula engine (quillmere/formula.h).

#include <algorithm>
#include <cstdint>

#include "base/decimal.h"
#include "formula/formula.h"
#include "quillmere/formula.h"

namespace quillmere {

FeeFormulaValue EvaluateFeeFormula(std::string_view formula, const std::vector<FeeFormulaVariable>& variables,
                                   const std::vector<FeeFormulaLine>& lines) {
  FeeFormulaValue out;
  try {
    // The list of line results reaches the highest line the formula names, so
    // that only a negative line number is out of range; lines no formula can
    // name (beyond the 16-bit line numbers) are of no use.
    int highest = 0;
    for (std::int16_t n : TiQuXH(formula)) highest = std::max(highest, static_cast<int>(n));
    std::vector<double> results(static_cast<size_t>(highest) + 1, 0.0);
    for (const FeeFormulaLine& line : lines) {
      if (line.number >= 0 && line.number <= highest) results[static_cast<size_t>(line.number)] = line.result;
    }
    std::vector<FeeVariable> fee_variables;
    fee_variables.reserve(variables.size());
    for (const FeeFormulaVariable& v : variables) fee_variables.push_back({v.name, v.value});
    const std::string text = TiHuanBL(ReplaceLineReferences(formula, results), fee_variables);
    out.value = EvaluateExpression(ReplacePercentSigns(text), &out.error);
  } catch (const FormulaError& e) {
    out.value = 0;
    out.error = e.what();
    out.stops_member = true;
  }
  out.text = NumberText(out.value);
  return out;
}

}  // namespace quillmere
