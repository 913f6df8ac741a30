// Application SQL functions: the rounding and the few built-ins of the
// desktop database dialect that SQLite lacks or defines differently.

#include "db/sql_functions.h"

#include <sqlite3.h>

#include <cmath>
#include <string>

#include "base/compensated_sum.h"
#include "base/decimal.h"
#include "base/operators.h"
#include "db/changed_cells.h"

namespace quillmere {
namespace {

// Reads a numeric argument; a numeric text counts as its number. Returns false
// (after setting the error) for a null or for a value that is no number.
bool NumberArgument(sqlite3_context* context, sqlite3_value* argument, const char* function, double& value) {
  switch (sqlite3_value_type(argument)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      value = sqlite3_value_double(argument);
      return true;
    case SQLITE_TEXT: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argument));
      if (ParseNumber(text ? text : "", value)) return true;
      break;
    }
    default:
      break;
  }
  const std::string message = std::string(function) + "(): the value is not a number";
  sqlite3_result_error(context, message.c_str(), -1);
  return false;
}

// Decimals of a pattern such as '0.##' or '0.0000'; -1 when unsupported.
int PatternDecimals(const char* pattern) {
  if (pattern == nullptr || pattern[0] != '0') return -1;
  if (pattern[1] == '\0') return 0;
  if (pattern[1] != '.') return -1;
  int decimals = 0;
  for (const char* p = pattern + 2; *p; ++p, ++decimals) {
    if (*p != '#' && *p != '0') return -1;
  }
  return decimals;
}

void Format(sqlite3_context* context, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(context);
  const int decimals = PatternDecimals(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])));
  if (decimals < 0) return sqlite3_result_error(context, "format(): unsupported pattern", -1);
  double x = 0;
  if (!NumberArgument(context, argv[0], "format", x)) return;
  sqlite3_result_double(context, RoundDecimal(x, decimals));
}

void IsNullFunction(sqlite3_context* context, int, sqlite3_value** argv) {
  sqlite3_result_int(context, sqlite3_value_type(argv[0]) == SQLITE_NULL ? 1 : 0);
}

// The one-argument numeric functions: a null gives null.
template <double (*F)(double)>
void Unary(sqlite3_context* context, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(context);
  double x = 0;
  if (!NumberArgument(context, argv[0], "function", x)) return;
  const double result = F(x);
  if (std::isnan(result)) return sqlite3_result_error(context, "Invalid procedure call or argument", -1);
  sqlite3_result_double(context, result);
}

double Int(double x) { return std::floor(x); }
double Fix(double x) { return std::trunc(x); }
double Sgn(double x) { return x > 0 ? 1.0 : (x < 0 ? -1.0 : 0.0); }
double Sqr(double x) { return x < 0 ? std::nan("") : std::sqrt(x); }

void Round(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(context);
  double x = 0;
  if (!NumberArgument(context, argv[0], "round", x)) return;
  double decimals = 0;
  if (argc == 2) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(context);
    if (!NumberArgument(context, argv[1], "round", decimals)) return;
  }
  double rounded = 0;
  if (const char* error = RoundToPlaces(x, decimals, rounded)) return sqlite3_result_error(context, error, -1);
  sqlite3_result_double(context, rounded);
}

// decimal_distance(a, b): how far apart the decimals a and b denote lie, so
// that a price tolerance includes or excludes its bound exactly.
void DecimalDistanceFunction(sqlite3_context* context, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    return sqlite3_result_null(context);
  }
  double a = 0, b = 0;
  if (!NumberArgument(context, argv[0], "decimal_distance", a) ||
      !NumberArgument(context, argv[1], "decimal_distance", b)) {
    return;
  }
  sqlite3_result_double(context, DecimalDistance(a, b));
}

// The operators ^, \ and Mod of the fee programme's formulas, which SQLite
// lacks: a null operand gives null, like any arithmetic on a null; a division
// by zero or an overflow is an error, as it is in the formula's own dialect.
template <const char* (*Operator)(double, double, double&)>
void Arithmetic(sqlite3_context* context, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    return sqlite3_result_null(context);
  }
  double x = 0, y = 0, result = 0;
  if (!NumberArgument(context, argv[0], "operator", x) || !NumberArgument(context, argv[1], "operator", y)) return;
  if (const char* error = Operator(x, y, result)) return sqlite3_result_error(context, error, -1);
  sqlite3_result_double(context, result);
}

// sum() with the reals added by CompensatedSum. Integers add exactly, as in
// SQLite's own sum, which this replaces, until the first real.
struct SumState {
  bool any = false;
  bool real = false;
  sqlite3_int64 integer = 0;
  CompensatedSum reals;
};

void SumStep(sqlite3_context* context, int, sqlite3_value** argv) {
  auto* state = static_cast<SumState*>(sqlite3_aggregate_context(context, sizeof(SumState)));
  if (state == nullptr) return sqlite3_result_error_nomem(context);
  const int type = sqlite3_value_numeric_type(argv[0]);
  if (type == SQLITE_NULL) return;
  state->any = true;
  if (type == SQLITE_INTEGER && !state->real) {
    sqlite3_int64 sum = 0;
    if (!__builtin_add_overflow(state->integer, sqlite3_value_int64(argv[0]), &sum)) {
      state->integer = sum;
      return;
    }
    return sqlite3_result_error(context, "integer overflow", -1);
  }
  if (!state->real) {
    state->real = true;
    state->reals = CompensatedSum(static_cast<double>(state->integer));
  }
  state->reals.Add(sqlite3_value_double(argv[0]));
}

void SumFinal(sqlite3_context* context) {
  auto* state = static_cast<SumState*>(sqlite3_aggregate_context(context, 0));
  if (state == nullptr || !state->any) return sqlite3_result_null(context);
  if (!state->real) return sqlite3_result_int64(context, state->integer);
  sqlite3_result_double(context, state->reals.Total());
}

ChangedCells* CellsArgument(sqlite3_context* context, sqlite3_value* argument) {
  auto* cells = static_cast<ChangedCells*>(sqlite3_value_pointer(argument, kChangedCellsType));
  if (cells == nullptr) sqlite3_result_error(context, "no changed cells are bound", -1);
  return cells;
}

void ChangedRow(sqlite3_context* context, int, sqlite3_value** argv) {
  if (ChangedCells* cells = CellsArgument(context, argv[0])) {
    sqlite3_result_int(context, cells->RowChanged(sqlite3_value_int64(argv[1])) ? 1 : 0);
  }
}

void ChangedCell(sqlite3_context* context, int, sqlite3_value** argv) {
  ChangedCells* cells = CellsArgument(context, argv[0]);
  if (cells && !cells->NewValue(sqlite3_value_int64(argv[1]), sqlite3_value_int(argv[2]), context)) {
    sqlite3_result_value(context, argv[3]);
  }
}

void Register(sqlite3* db, const char* name, int argc, void (*function)(sqlite3_context*, int, sqlite3_value**)) {
  sqlite3_create_function_v2(db, name, argc, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, function, nullptr, nullptr,
                             nullptr);
}

}  // namespace

void RegisterSqlFunctions(sqlite3* db) {
  // Registered with exactly two arguments, format takes precedence over
  // SQLite's own printf-style format for the calls the statements make.
  Register(db, "format", 2, Format);
  Register(db, "isnull", 1, IsNullFunction);
  Register(db, "int", 1, Unary<Int>);
  Register(db, "fix", 1, Unary<Fix>);
  Register(db, "sgn", 1, Unary<Sgn>);
  Register(db, "sqr", 1, Unary<Sqr>);
  Register(db, "round", 1, Round);
  Register(db, "round", 2, Round);
  Register(db, "decimal_distance", 2, DecimalDistanceFunction);
  Register(db, "vb_power", 2, Arithmetic<Power>);
  Register(db, "vb_intdiv", 2, Arithmetic<IntegerQuotient>);
  Register(db, "vb_mod", 2, Arithmetic<IntegerRemainder>);
  // Not deterministic: what they give depends on the cells bound, not only
  // on the arguments SQL sees.
  sqlite3_create_function_v2(db, "quillmere_changed_row", 2, SQLITE_UTF8 | SQLITE_DIRECTONLY, nullptr, ChangedRow,
                             nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "quillmere_changed_cell", 4, SQLITE_UTF8 | SQLITE_DIRECTONLY, nullptr, ChangedCell,
                             nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr, SumStep, SumFinal,
                             nullptr);
}

}  // namespace quillmere
