// Filling a table the engine rebuilds whole (the analysis lines, the project
// resources, the bill materials) without rewriting the rows that come out as
// they were: repricing a project that has not changed writes nothing there.

#ifndef QUILLMERE_DB_TABLE_REWRITE_H_
#define QUILLMERE_DB_TABLE_REWRITE_H_

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "quillmere/connection.h"

namespace quillmere {

// One value to write, viewed rather than owned.
struct Cell {
  enum class Kind { kNull, kInteger, kReal, kText };
  Kind kind = Kind::kNull;
  std::int64_t integer = 0;
  double real = 0;
  std::string_view text;

  static Cell Integer(std::int64_t i) { return {Kind::kInteger, i, 0, {}}; }
  static Cell Real(double r) { return {Kind::kReal, 0, r, {}}; }
  static Cell Text(std::string_view t) { return {Kind::kText, 0, 0, t}; }
  static Cell Of(const Value& value);
};

// Fills row `index` of the rows to write, one cell per column.
using RowCells = std::function<void(size_t index, Cell* cells)>;

// Appends `count` rows of `columns` to `table`, several rows to an insert:
// the texts the cells point to must stay as they are until the call ends.
void InsertRows(Connection& connection, const std::string& table, const std::vector<std::string>& columns, size_t count,
                const RowCells& row);

// Leaves `table` as emptying it and appending the rows would: the same
// values, with rowids 1 to `count`. Only rows that differ are written; a
// table whose rowids have gaps (a single row was rebuilt since) or that has
// a key of its own is emptied and filled.
void RewriteTable(Connection& connection, const std::string& table, const std::vector<std::string>& columns,
                  size_t count, const RowCells& row);

}  // namespace quillmere

#endif  // QUILLMERE_DB_TABLE_REWRITE_H_
