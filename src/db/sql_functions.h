// The application SQL functions the calculation statements and stored fee
// formulas rely on, registered on every connection when it is opened.

#ifndef QUILLMERE_DB_SQL_FUNCTIONS_H_
#define QUILLMERE_DB_SQL_FUNCTIONS_H_

struct sqlite3;

namespace quillmere {

// format(x, pattern)   x rounded to the decimals of '0.##', '0.00', '0.####',
//                      '0.######' (any '0' or '0.' followed by '#'/'0'), a
//                      half away from zero, as a REAL; null gives null.
// isnull(x)            1 when x is null, else 0.
// int(x), fix(x)       the whole part towards minus infinity / towards zero.
// sgn(x)               -1, 0 or 1.
// sqr(x)               square root; a negative x is an error.
// round(x[, n])        x rounded to n decimals, an exact half to even.
// decimal_distance(a, b)  |a - b| on the decimals a and b denote (see
//                      DecimalDistance); null when either is null.
// vb_power(x, y)      x ^ y, x \ y and x Mod y of the fee programme's
// vb_intdiv(x, y)     formulas (see base/operators.h); null when either is
// vb_mod(x, y)        null, an error for a division by zero or an overflow.
// sum(x)               SQLite's sum, with reals added without rounding drift.
// quillmere_changed_row(c, r), quillmere_changed_cell(c, r, k, x)
//                      the cells a stage changed in memory (see
//                      changed_cells.h); prefixed, since they are registered
//                      on the host's connection too.
void RegisterSqlFunctions(sqlite3* db);

}  // namespace quillmere

#endif  // QUILLMERE_DB_SQL_FUNCTIONS_H_
