// Fee variables and formula-priced list rows: see fee_lists.h.

#include "calc/totals/fee_lists.h"

#include <optional>
#include <string>

#include "base/decimal.h"
#include "base/operators.h"
#include "calc/figure_check.h"
#include "db/value.h"

namespace quillmere {

std::vector<FeeVariable> OpenFeeVariables(Connection& connection) {
  Recordset rows;
  // A kind written as text by another tool ('2.0') is the number it reads as.
  CheckFigures(connection, {{"qfblb", {}, "", "fymc"}}, FigureUse::kRead);
  rows.Open(connection, "select * from qfblb where bllx+0=2");
  std::vector<FeeVariable> variables;
  for (rows.MoveFirst(); !rows.Eof(); rows.MoveNext()) {
    FeeVariable variable;
    const Value& name = rows.Field("fymc");
    if (!IsNull(name)) variable.name = TextOrEmpty(name);
    const Value& value = rows.Field("blsz");
    if (!IsNull(value)) variable.value = rows.Number("blsz");
    variables.push_back(std::move(variable));
  }
  return variables;
}

void SetFeeVariable(Connection& connection, std::string_view name, double value) {
  connection.Execute("update qfblb set blsz=? where fymc=?", {value, std::string(name)});
}

void AddToFeeVariable(Connection& connection, std::string_view name, double amount) {
  connection.Execute("update qfblb set blsz=blsz+? where fymc=?", {amount, std::string(name)});
}

double PublishFeeVariable(Connection& connection, std::string_view query, std::string_view column,
                          std::string_view name) {
  Recordset rows;
  rows.Open(connection, query);
  const double value = rows.Eof() ? 0 : rows.NumberOrZero(column);
  SetFeeVariable(connection, name, value);
  return value;
}

namespace {

// A formula error that ends the member names the line it stands on.
template <typename Compute>
double NamingTheLine(std::string_view where, Compute compute) {
  try {
    return compute();
  } catch (const FormulaError& e) {
    throw Error(std::string(e.what()) + ": " + std::string(where));
  }
}

}  // namespace

double FormulaValue(std::string_view formula, const std::vector<FeeVariable>& variables, std::string_view where) {
  return NamingTheLine(where, [&] { return JiSuanGS(TiHuanBL(formula, variables)); });
}

double LineFormulaValue(std::string_view formula, const std::vector<double>& results,
                        const std::vector<FeeVariable>& variables, std::string_view where) {
  return NamingTheLine(where, [&] { return JiSuanGS(TiHuanBL(ReplaceLineReferences(formula, results), variables)); });
}

std::string LineName(const Recordset& rows, std::string_view kind, std::string_view number, std::string_view name) {
  return "the " + std::string(kind) + " " + TextOrEmpty(rows.Field(number)) + " \"" + TextOrEmpty(rows.Field(name)) +
         "\"";
}

double RatedAmount(double value, double rate) { return RoundDecimal(value * rate / 100, 2); }

void PriceByFormula(Recordset& rows, const std::vector<FeeVariable>& variables, const FormulaPricing& pricing) {
  for (rows.MoveFirst(); !rows.Eof(); rows.MoveNext()) {
    const std::string formula = TextOrEmpty(rows.Field(pricing.formula));
    double amount = 0;
    if (!formula.empty()) {
      const std::string line = LineName(rows, pricing.row_kind, pricing.row_number, pricing.row_name);
      const double value = FormulaValue(formula, variables, line);
      const Value& rate = rows.Field(pricing.rate);
      if (IsNull(rate) && !pricing.null_rate_counts_as_zero) {
        // Counting the amount as 0 would lose money without a word; the
        // member stops instead, and says which row wants its rate.
        throw Error("Invalid use of Null: " + line + " has no rate (" + std::string(pricing.rate) + ")");
      }
      amount = RatedAmount(value, rows.NumberOrZero(pricing.rate));
    } else if (!pricing.zero_without_formula) {
      continue;
    }
    for (std::string_view column : pricing.amounts) rows.SetField(column, amount);
  }
  rows.UpdateBatch();
}

std::size_t LineIndex(const Recordset& lines, std::size_t results_size) {
  // A line number is read as a long integer: rounded half to even, and a
  // value beyond the long range overflows rather than wrapping into range.
  std::int32_t number = 0;
  if (ToLongInteger(lines.Number("sjxh"), number)) throw Error("Overflow: " + lines.Where("sjxh"));
  if (number < 0 || static_cast<std::size_t>(number) >= results_size) {
    throw Error("Subscript out of range: " + lines.Where("sjxh"));
  }
  return static_cast<std::size_t>(number);
}

}  // namespace quillmere
