// Rewriting a table by difference: see table_rewrite.h.

#include "db/table_rewrite.h"

#include <cstring>
#include <optional>

#include "base/text.h"
#include "db/kept_statement.h"
#include "db/statement.h"
#include "db/tables.h"
#include "db/value.h"

namespace quillmere {
namespace {

std::string Quoted(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

// A column written as a number that SQLite keeps as a real reads back as a
// real: an integer bound to it is compared as the real it becomes. Every
// other conversion on storing is left to count as a difference, which costs
// a write and never a wrong row.
bool HasRealAffinity(const std::string& declared_type) { return ColumnAffinity(declared_type) == 'R'; }

void Bind(sqlite3_stmt* stmt, int index, const Cell& cell) {
  switch (cell.kind) {
    case Cell::Kind::kNull:
      sqlite3_bind_null(stmt, index);
      break;
    case Cell::Kind::kInteger:
      sqlite3_bind_int64(stmt, index, cell.integer);
      break;
    case Cell::Kind::kReal:
      sqlite3_bind_double(stmt, index, cell.real);
      break;
    case Cell::Kind::kText:
      sqlite3_bind_text(stmt, index, cell.text.data(), static_cast<int>(cell.text.size()), SQLITE_STATIC);
      break;
  }
}

// Whether column `index` of the current row holds exactly what storing
// `cell` would leave there (a real compares bit for bit).
bool Holds(sqlite3_stmt* stmt, int index, Cell cell, bool real_affinity) {
  if (real_affinity && cell.kind == Cell::Kind::kInteger) cell = Cell::Real(static_cast<double>(cell.integer));
  switch (sqlite3_column_type(stmt, index)) {
    case SQLITE_NULL:
      return cell.kind == Cell::Kind::kNull;
    case SQLITE_INTEGER:
      return cell.kind == Cell::Kind::kInteger && sqlite3_column_int64(stmt, index) == cell.integer;
    case SQLITE_FLOAT: {
      if (cell.kind != Cell::Kind::kReal) return false;
      const double stored = sqlite3_column_double(stmt, index);
      return std::memcmp(&stored, &cell.real, sizeof stored) == 0;
    }
    case SQLITE_TEXT: {
      if (cell.kind != Cell::Kind::kText) return false;
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
      return static_cast<size_t>(sqlite3_column_bytes(stmt, index)) == cell.text.size() &&
             std::memcmp(text, cell.text.data(), cell.text.size()) == 0;
    }
    default:
      return false;
  }
}

// The table's columns as a rewrite sees them: those written, then the others
// with the value an insert leaves in them (the column's default).
struct TableShape {
  std::vector<std::string> columns;
  std::vector<bool> real_affinity;
  std::vector<Value> defaults;  // of the columns not written
};

// Nothing when the table has a key of its own (its rows cannot be matched by
// rowid) or a default that is not a constant.
std::optional<TableShape> ShapeOf(Connection& connection, const std::string& table,
                                  const std::vector<std::string>& written) {
  TableShape shape{written, std::vector<bool>(written.size(), false), {}};
  std::vector<std::string> declared_key;
  Statement info(connection.handle(), "select name,type,dflt_value,pk from pragma_table_info(?)", {table});
  while (info.Step()) {
    const std::string name = TextOrEmpty(info.ColumnValue(0));
    const std::string type = TextOrEmpty(info.ColumnValue(1));
    if (std::get<std::int64_t>(info.ColumnValue(3)) > 0) {
      declared_key.push_back(type);
      continue;
    }
    size_t i = 0;
    while (i < written.size() && !EqualsIgnoringCase(written[i], name)) ++i;
    if (i < written.size()) {
      shape.real_affinity[i] = HasRealAffinity(type);
      continue;
    }
    Value dflt;
    if (const Value text = info.ColumnValue(2); !IsNull(text)) {
      try {
        Statement constant(connection.handle(), "select " + TextOrEmpty(text));
        if (!constant.Step()) return std::nullopt;
        dflt = constant.ColumnValue(0);
      } catch (const Error&) {
        return std::nullopt;
      }
    }
    shape.columns.push_back(name);
    shape.real_affinity.push_back(HasRealAffinity(type));
    shape.defaults.push_back(dflt);
  }
  // An INTEGER PRIMARY KEY is the rowid itself; any other key is not.
  if (!declared_key.empty() && !(declared_key.size() == 1 && EqualsIgnoringCase(declared_key[0], "INTEGER")))
    return std::nullopt;
  return shape;
}

std::string ColumnList(const std::vector<std::string>& columns) {
  std::string list;
  for (const std::string& column : columns) list += (list.empty() ? "" : ",") + Quoted(column);
  return list;
}

}  // namespace

Cell Cell::Of(const Value& value) {
  if (const auto* i = std::get_if<std::int64_t>(&value)) return Integer(*i);
  if (const auto* r = std::get_if<double>(&value)) return Real(*r);
  if (const auto* t = std::get_if<std::string>(&value)) return Text(*t);
  return {};
}

void InsertRows(Connection& connection, const std::string& table, const std::vector<std::string>& columns, size_t count,
                const RowCells& row) {
  // Rows go in by batches, several to a statement: a statement run per row
  // costs about a fifth again of the insert itself.
  constexpr size_t kBatch = 32;
  const size_t width = columns.size();
  const auto insert = [&](size_t rows) {
    std::string values = "(?";
    for (size_t i = 1; i < width; ++i) values += ",?";
    values += ")";
    std::string all = values;
    for (size_t i = 1; i < rows; ++i) all += "," + values;
    return "insert into " + Quoted(table) + "(" + ColumnList(columns) + ") values " + all;
  };
  std::vector<Cell> cells(width);
  size_t r = 0;
  for (const size_t batch : {kBatch, size_t{1}}) {
    if (count - r < batch) continue;
    KeptStatement statement(connection, insert(batch), NullParams(width * batch));
    for (; count - r >= batch; r += batch) {
      statement->Reset();
      for (size_t k = 0; k < batch; ++k) {
        row(r + k, cells.data());
        for (size_t c = 0; c < width; ++c) Bind(statement->get(), static_cast<int>(k * width + c + 1), cells[c]);
      }
      statement->Run();
    }
  }
}

void RewriteTable(Connection& connection, const std::string& table, const std::vector<std::string>& columns,
                  size_t count, const RowCells& row) {
  const std::optional<TableShape> shape = ShapeOf(connection, table, columns);
  const auto refill = [&] {
    connection.Execute("delete from " + Quoted(table));
    InsertRows(connection, table, columns, count, row);
  };
  if (!shape) return refill();
  // Cells for a whole row: those the rows give, then the defaults.
  const auto whole_row = [&] {
    std::vector<Cell> cells(shape->columns.size());
    for (size_t i = 0; i < shape->defaults.size(); ++i) cells[columns.size() + i] = Cell::Of(shape->defaults[i]);
    return cells;
  };

  // The rows as they stand, beside the rows to write; the rows that differ
  // are noted and written once the read is over.
  std::vector<size_t> differing;
  size_t stored = 0;
  {
    KeptStatement read(connection,
                       "select rowid," + ColumnList(shape->columns) + " from " + Quoted(table) + " order by rowid");
    sqlite3_stmt* stmt = read->get();
    std::vector<Cell> cells = whole_row();
    while (read->Step()) {
      if (sqlite3_column_int64(stmt, 0) != static_cast<std::int64_t>(stored + 1)) {
        read->Reset();
        return refill();
      }
      if (stored < count) {
        row(stored, cells.data());
        for (size_t c = 0; c < cells.size(); ++c) {
          if (!Holds(stmt, static_cast<int>(c + 1), cells[c], shape->real_affinity[c])) {
            differing.push_back(stored);
            break;
          }
        }
      }
      ++stored;
    }
  }

  if (!differing.empty()) {
    std::string assignments;
    for (const std::string& column : shape->columns) {
      assignments += (assignments.empty() ? "" : ",") + Quoted(column) + "=?";
    }
    const int rowid_index = static_cast<int>(shape->columns.size()) + 1;
    KeptStatement update(connection, "update " + Quoted(table) + " set " + assignments + " where rowid=?",
                         NullParams(shape->columns.size() + 1));
    std::vector<Cell> cells = whole_row();
    for (size_t r : differing) {
      row(r, cells.data());
      update->Reset();
      for (size_t c = 0; c < cells.size(); ++c) Bind(update->get(), static_cast<int>(c + 1), cells[c]);
      sqlite3_bind_int64(update->get(), rowid_index, static_cast<std::int64_t>(r + 1));
      update->Run();
    }
  }
  if (stored > count) {
    connection.Execute("delete from " + Quoted(table) + " where rowid>?", {static_cast<std::int64_t>(count)});
  } else if (stored < count) {
    InsertRows(connection, table, columns, count - stored, [&](size_t r, Cell* cells) { row(stored + r, cells); });
  }
}

}  // namespace quillmere
