// The fee formula engine as the project totals apply it, for hosts and the
// command line: one formula through line references, fee variables and percent
// signs to the value the engine gives it.

#ifndef QUILLMERE_FORMULA_H_
#define QUILLMERE_FORMULA_H_

#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// A fee variable as formulas name it (qfblb: fymc, blsz).
struct FeeFormulaVariable {
  std::string name;
  double value = 0;
};

// The result of an earlier line of the same list, by its line number (sjxh).
struct FeeFormulaLine {
  int number = 0;
  double result = 0;
};

struct FeeFormulaValue {
  double value = 0;   // 0 whenever `error` is set
  std::string text;   // `value` as the engine writes numbers into formulas and statements
  std::string error;  // why the formula counts as 0 or stops the member; empty when it evaluated
  // True when the substitution itself failed (a bracketed text that is no line
  // number, a negative line number): a member totalling this formula would end
  // with `error` instead of counting it as 0.
  bool stops_member = false;
};

// Evaluates `formula` as the project totals do: every bracketed line reference
// [n] is replaced by the result of line n (lines not listed count 0, as lines
// not yet computed do), then every fee variable by its value (longer names
// first, negative values in parentheses), then every "%" by "/100"; the text
// is then evaluated as a script expression. An evaluation error (syntax, an
// unknown name, division by zero, overflow, ...) gives 0 with `error` set.
FeeFormulaValue EvaluateFeeFormula(std::string_view formula, const std::vector<FeeFormulaVariable>& variables,
                                   const std::vector<FeeFormulaLine>& lines = {});

}  // namespace quillmere

#endif  // QUILLMERE_FORMULA_H_
