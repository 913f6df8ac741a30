// What the project-total stages share: the named fee variables of qfblb, read
// for the formulas and written by name, and the pricing of list rows whose
// amount is a formula over those variables times a rate in percent.

#ifndef QUILLMERE_CALC_TOTALS_FEE_LISTS_H_
#define QUILLMERE_CALC_TOTALS_FEE_LISTS_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "db/recordset.h"
#include "formula/formula.h"
#include "quillmere/connection.h"

namespace quillmere {

// The fee variables the formulas may name (qfblb rows of kind 2), in the
// order the table delivers them. A null name or value is kept as such: it is
// an error only when a formula is substituted with it.
std::vector<FeeVariable> OpenFeeVariables(Connection& connection);

// Sets, or adds to, the value of the fee variable called `name`. The host
// creates the variables; a name without a row changes nothing and is no error.
void SetFeeVariable(Connection& connection, std::string_view name, double value);
void AddToFeeVariable(Connection& connection, std::string_view name, double amount);

// Writes `column` of the first row of `query` (an aggregate) into the fee
// variable `name`, a null or a missing row counting as 0, and returns it.
double PublishFeeVariable(Connection& connection, std::string_view query, std::string_view column,
                          std::string_view name);

// A formula's value with the fee variables substituted; a formula the
// evaluator cannot work out counts as 0. A null variable or a reference
// beyond the list ends the member with an error naming `where`, the line.
double FormulaValue(std::string_view formula, const std::vector<FeeVariable>& variables, std::string_view where);

// The value of a line of a programme (other items, summary table): the
// bracketed line references replaced by the results computed so far, before
// the variable names so that no name can hide a reference, then the fee
// variables substituted and the text evaluated.
double LineFormulaValue(std::string_view formula, const std::vector<double>& results,
                        const std::vector<FeeVariable>& variables, std::string_view where);

// How messages name a line of a list: the line 3 "材料涨价".
std::string LineName(const Recordset& rows, std::string_view kind, std::string_view number, std::string_view name);

// value × rate / 100, the product formed first, rounded to cents as every
// priced amount is stored.
double RatedAmount(double value, double rate);

// How a list prices its rows: the formula column, the rate column (percent),
// the amount columns that each receive the rated formula value, and what a
// row without a formula gets.
struct FormulaPricing {
  std::string_view formula;
  std::string_view rate;
  bool null_rate_counts_as_zero;  // otherwise a null rate is an error
  std::vector<std::string_view> amounts;
  bool zero_without_formula;  // otherwise the entered amounts stay
  // How the error of a null rate names the row: what a row of the list is
  // called, and the columns of its order number and name.
  std::string_view row_kind = "line";
  std::string_view row_number = "sjxh";
  std::string_view row_name = "mc";
};

// Prices every row of `rows` as `pricing` says and writes the edits back in
// one batch.
void PriceByFormula(Recordset& rows, const std::vector<FeeVariable>& variables, const FormulaPricing& pricing);

// The index into a line-results array of `results_size` elements that the
// line number sjxh of the current line names (rounded to a whole number as a
// long integer is); "Subscript out of range" when there is no such element,
// naming the line.
std::size_t LineIndex(const Recordset& lines, std::size_t results_size);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_TOTALS_FEE_LISTS_H_
