// The guard on figures read and computed: see figure_check.h.

#include "calc/figure_check.h"

#include <cmath>

#include "base/decimal.h"
#include "base/text.h"
#include "db/recordset.h"
#include "db/tables.h"
#include "db/value.h"
#include "quillmere/project.h"

namespace quillmere {
namespace {

// The columns to look at: those named, or the table's figure columns that the
// database has (a host's table may lack a column no statement of the member
// uses).
std::vector<std::string> ColumnsOf(Connection& connection, const FigureSet& figures) {
  if (!figures.columns.empty()) return figures.columns;
  const std::vector<std::string> present = TableColumns(connection, figures.table);
  std::vector<std::string> columns;
  for (const std::string& column : FigureColumns(figures.table)) {
    for (const std::string& p : present) {
      if (EqualsIgnoringCase(p, column)) columns.push_back(column);
    }
  }
  return columns;
}

// The rows worth a closer look, found with comparisons alone (a function
// call per cell would double the cost of a scan over a large project). SQLite
// orders every text above every number, whatever the column's declared type:
// a text is at least ''; a finite number lies within the range of doubles,
// which a null, an infinity and a text do not.
std::string Suspect(const std::string& column, FigureUse use) {
  const std::string c = "[" + column + "]";
  if (use == FigureUse::kRead) return c + ">=''";
  return "(" + c + " between -1.7976931348623157e308 and 1.7976931348623157e308) is not 1";
}

const char* ErrorOf(const Value& value, FigureUse use) {
  if (IsNull(value)) return use == FigureUse::kComputed ? "Invalid use of Null" : nullptr;
  double number = 0;
  if (const auto* text = std::get_if<std::string>(&value)) {
    if (!ParseNumber(*text, number)) return "Type mismatch";
  } else {
    number = ToNumber(value);
  }
  return std::isfinite(number) ? nullptr : "Overflow";
}

HeldCheck CheckHeld(const FigureSet& f, const std::vector<std::string>& columns, FigureUse use) {
  std::vector<int> indexes;
  for (const std::string& column : columns) {
    indexes.push_back(f.held->ColumnIndex(column));
    if (indexes.back() < 0) return {true, std::nullopt};
  }
  // Held figures are numbers: a text where a figure belongs could not have
  // been read into them.
  if (use == FigureUse::kRead) return {};
  for (size_t row = 0; row < f.held->Rows(); ++row) {
    for (size_t c = 0; c < columns.size(); ++c) {
      const std::optional<double> value = f.held->Value(row, indexes[c]);
      const char* error = !value ? (use == FigureUse::kComputed ? "Invalid use of Null" : nullptr)
                                 : (std::isfinite(*value) ? nullptr : "Overflow");
      if (!error) continue;
      const std::optional<std::string> key = f.held->Key(row, f.key);
      if (!key) return {true, std::nullopt};
      return {false, FigureFault{error, f.table, columns[c], "row " + f.key + " " + *key}};
    }
  }
  return {};
}

}  // namespace

std::optional<FigureFault> FindFigureFault(Connection& connection, const std::vector<FigureSet>& figures, FigureUse use,
                                           const Params& params) {
  for (const FigureSet& f : figures) {
    const std::vector<std::string> columns = ColumnsOf(connection, f);
    if (columns.empty()) continue;
    if (f.held) {
      if (const HeldCheck held = CheckHeld(f, columns, use); !held.scan) {
        if (held.fault) return held.fault;
        continue;
      }
    }
    std::string select = "select [" + f.key + "]", suspect;
    for (const std::string& column : columns) {
      select += ",[" + column + "]";
      suspect += (suspect.empty() ? "(" : " or ") + Suspect(column, use);
    }
    select += " from [" + f.table + "] where " + suspect + ")";
    if (!f.rows.empty()) select += " and (" + f.rows + ")";
    Recordset rows;
    rows.Open(connection, select, params);
    for (; !rows.Eof(); rows.MoveNext()) {
      for (const std::string& column : columns) {
        if (const char* error = ErrorOf(rows.Field(column), use)) {
          return FigureFault{error, f.table, column, "row " + f.key + " " + TextOrEmpty(rows.Field(f.key))};
        }
      }
    }
  }
  return std::nullopt;
}

HeldCheck CheckHeldFigures(Connection& connection, const FigureSet& figures, FigureUse use) {
  const std::vector<std::string> columns = ColumnsOf(connection, figures);
  if (columns.empty()) return {};
  return CheckHeld(figures, columns, use);
}

void CheckFigures(Connection& connection, const std::vector<FigureSet>& figures, FigureUse use, const Params& params) {
  if (auto fault = FindFigureFault(connection, figures, use, params)) throw Error(fault->Text());
}

}  // namespace quillmere
