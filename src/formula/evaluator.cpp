// The expression evaluator standing in for the platform's script evaluator.

#include "formula/formula.h"

namespace quillmere {

double EvaluateExpression(std::string_view, std::string* reason) {
  if (reason) *reason = "not implemented yet: the formula evaluator";
  return 0;
}

double JiSuanGS(std::string_view expression) { return EvaluateExpression(expression); }

}  // namespace quillmere
