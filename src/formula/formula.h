// The fee formula engine: fee variables and bracketed line references
// substituted into a formula text, and the text evaluated as an expression of
// the VBScript subset stored formulas use. Depends on nothing in db/.

#ifndef QUILLMERE_FORMULA_FORMULA_H_
#define QUILLMERE_FORMULA_FORMULA_H_

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// An error that ends the calling member (a null variable, a bracketed text
// that is not a line number, a reference beyond the list).
class FormulaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The value of `expression`; any error (syntax, unknown name, division by
// zero, overflow, domain, type mismatch, empty text) gives 0, and `reason`,
// when given, receives why. A numeric text result counts as its number.
double EvaluateExpression(std::string_view expression, std::string* reason = nullptr);

// JiSuanGS: every "%" becomes "/100", then the text is evaluated.
double JiSuanGS(std::string_view expression);

// `expression` with every "%" written as "/100" (a percentage of what precedes it).
std::string ReplacePercentSigns(std::string_view expression);

// TiQuXH: element 0 is always 0, then the bracketed numbers in order of
// appearance. Throws FormulaError for a bracketed text that is no number or a
// number outside the 16-bit range.
std::vector<std::int16_t> TiQuXH(std::string_view formula);

// A fee variable as the table delivers it; a null name or value is an error.
struct FeeVariable {
  std::optional<std::string> name;
  std::optional<double> value;
};

// TiHuanBL: every occurrence of each variable's name replaced by its value.
// Longer names go first (ties in delivery order), so a name inside another
// name never corrupts it; a negative value is put in parentheses.
std::string TiHuanBL(std::string_view formula, const std::vector<FeeVariable>& variables);

// The text a value takes when it is put into a formula: NumberText(value), in
// parentheses when negative so that it stays one operand ((-3)^2, not -3^2).
std::string OperandText(double value);

// Replaces each bracketed line reference [n] by results[n] (parenthesised
// when negative). Throws FormulaError "Subscript out of range" for an n
// outside results.
std::string ReplaceLineReferences(std::string_view formula, const std::vector<double>& results);

}  // namespace quillmere

#endif  // QUILLMERE_FORMULA_FORMULA_H_
