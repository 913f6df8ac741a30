// Lines of a resource table in memory: see line_table.h.

#include "calc/model/line_table.h"

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "base/decimal.h"
#include "calc/figure_check.h"
#include "db/kept_statement.h"
#include "db/statement.h"

namespace quillmere {
namespace {

// Each cell is fetched once as a value: every sqlite3_column_* call takes the
// connection's lock, and a line has a dozen cells.
std::string_view CellBytes(sqlite3_value* value) {
  const auto* bytes = sqlite3_value_type(value) == SQLITE_BLOB
                          ? static_cast<const char*>(sqlite3_value_blob(value))
                          : reinterpret_cast<const char*>(sqlite3_value_text(value));
  return {bytes ? bytes : "", static_cast<size_t>(sqlite3_value_bytes(value))};
}

Id ReadId(sqlite3_value* value, TextPool& pool) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
      return {};
    case SQLITE_INTEGER:
      return {Id::kInteger, sqlite3_value_int64(value)};
    case SQLITE_FLOAT: {
      const double real = sqlite3_value_double(value);
      std::int64_t bits = 0;
      std::memcpy(&bits, &real, sizeof bits);
      return {Id::kReal, bits};
    }
    case SQLITE_TEXT:
      return {Id::kText, pool.Intern(CellBytes(value))};
    default:
      return {Id::kBlob, pool.Intern(CellBytes(value))};
  }
}

// The test `column=TRUE`: a true flag is the number 1.
bool ReadFlag(sqlite3_value* value) {
  const int type = sqlite3_value_type(value);
  return (type == SQLITE_INTEGER || type == SQLITE_FLOAT) && sqlite3_value_double(value) == 1;
}

size_t IndexOf(const std::vector<std::string>& names, std::string_view name, const std::string& table) {
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return i;
  }
  throw Error("the lines of " + table + " hold no column " + std::string(name));
}

bool Differs(Figure a, Figure b) { return a.null != b.null || (!a.null && a.value != b.value); }

}  // namespace

TextId ReadResourceKey(sqlite3_stmt* stmt, int first, TextPool& pool) {
  // Each part with its storage kind and length, so that no two different
  // triples share a key.
  thread_local std::string key;
  key.clear();
  for (int column = first; column < first + 3; ++column) {
    sqlite3_value* value = sqlite3_column_value(stmt, column);
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_NULL) return 0;
    const std::string_view bytes = CellBytes(value);
    const auto length = static_cast<std::uint32_t>(bytes.size());
    key += type == SQLITE_BLOB ? 'b' : 't';
    key.append(reinterpret_cast<const char*>(&length), sizeof length);
    key += bytes;
  }
  return pool.Intern(key);
}

Figure ReadFigureCell(sqlite3_stmt* stmt, int column, const std::string& table, int key_column) {
  Figure figure;
  if (ReadFigureValue(sqlite3_column_value(stmt, column), figure)) return figure;
  throw Error(FigureFault{"Type mismatch", table, sqlite3_column_name(stmt, column),
                          std::string("row ") + sqlite3_column_name(stmt, key_column) + " " +
                              std::string(CellBytes(sqlite3_column_value(stmt, key_column)))}
                  .Text());
}

LineTable::LineTable(Connection& connection, std::string table, Columns columns, TextPool& pool,
                     const std::string& where, const Params& params)
    : table_(std::move(table)), columns_(std::move(columns)) {
  std::string select = "select rowid";
  const auto add = [&](const std::vector<std::string>& names) {
    for (const std::string& name : names) select += "," + name;
  };
  add(columns_.ids);
  add(columns_.flags);
  if (columns_.keyed) select += ",bh,mc,dw";
  add(columns_.figures);
  add(columns_.priced);
  ids_.resize(columns_.ids.size());
  flags_.resize(columns_.flags.size());
  figures_.resize(columns_.figures.size());
  priced_.resize(columns_.priced.size());
  {
    KeptStatement count(connection, "select count(*) from " + table_ + where, params);
    count->Step();
    const auto lines = static_cast<size_t>(sqlite3_column_int64(count->get(), 0));
    rowids_.reserve(lines);
    for (auto& column : ids_) column.reserve(lines);
    for (auto& column : flags_) column.reserve(lines);
    if (columns_.keyed) keys_.reserve(lines);
    for (auto& column : figures_) column.reserve(lines);
    for (auto& column : priced_) column.reserve(lines);
  }
  KeptStatement statement(connection, select + " from " + table_ + where + " order by rowid", params);
  sqlite3_stmt* stmt = statement->get();
  while (statement->Step()) {
    int column = 0;
    rowids_.push_back(sqlite3_column_int64(stmt, column++));
    for (auto& ids : ids_) ids.push_back(ReadId(sqlite3_column_value(stmt, column++), pool));
    for (auto& flags : flags_) flags.push_back(ReadFlag(sqlite3_column_value(stmt, column++)));
    if (columns_.keyed) {
      keys_.push_back(ReadResourceKey(stmt, column, pool));
      column += 3;
    }
    for (auto& figures : figures_) figures.push_back(ReadFigureCell(stmt, column++, table_, 1));
    for (auto& priced : priced_) priced.push_back(ReadFigureCell(stmt, column++, table_, 1));
  }
  read_ = priced_;
}

const std::vector<Id>& LineTable::ids(std::string_view column) const {
  return ids_[IndexOf(columns_.ids, column, table_)];
}

const std::vector<bool>& LineTable::flags(std::string_view column) const {
  return flags_[IndexOf(columns_.flags, column, table_)];
}

const std::vector<Figure>& LineTable::figures(std::string_view column) const {
  return figures_[IndexOf(columns_.figures, column, table_)];
}

std::vector<Figure>& LineTable::priced(std::string_view column) {
  return priced_[IndexOf(columns_.priced, column, table_)];
}

int LineTable::ColumnIndex(const std::string& column) const {
  for (size_t c = 0; c < columns_.priced.size(); ++c) {
    if (columns_.priced[c] == column) return static_cast<int>(c);
  }
  for (size_t c = 0; c < columns_.figures.size(); ++c) {
    if (columns_.figures[c] == column) return static_cast<int>(columns_.priced.size() + c);
  }
  return -1;
}

std::optional<double> LineTable::Value(size_t row, int column) const {
  const auto c = static_cast<size_t>(column);
  const Figure figure = c < priced_.size() ? priced_[c][row] : figures_[c - priced_.size()][row];
  if (figure.null || std::isnan(figure.value)) return std::nullopt;
  return figure.value;
}

// A row named by an integer id, or by none, needs no read.
std::optional<std::string> LineTable::Key(size_t row, const std::string& key_column) const {
  if (columns_.ids.empty() || columns_.ids[0] != key_column) return std::nullopt;
  const Id& id = ids_[0][row];
  if (id.kind == Id::kNull) return std::string();
  if (id.kind == Id::kInteger) return std::to_string(id.bits);
  return std::nullopt;
}

void LineTable::WriteChanges(Connection& connection) const {
  // The changed columns of a line as bits, and the update for each such set.
  std::map<std::uint32_t, std::unique_ptr<KeptStatement>> updates;
  for (size_t line = 0; line < rowids_.size(); ++line) {
    std::uint32_t changed = 0;
    for (size_t c = 0; c < priced_.size(); ++c) {
      if (Differs(priced_[c][line], read_[c][line])) changed |= 1u << c;
    }
    if (changed == 0) continue;
    std::unique_ptr<KeptStatement>& update = updates[changed];
    if (!update) {
      std::string assignments;
      size_t count = 1;  // the rowid
      for (size_t c = 0; c < priced_.size(); ++c) {
        if (!(changed & (1u << c))) continue;
        assignments += (assignments.empty() ? "" : ",") + columns_.priced[c] + "=?";
        ++count;
      }
      update = std::make_unique<KeptStatement>(
          connection, "update " + table_ + " set " + assignments + " where rowid=?", NullParams(count));
    }
    Statement& statement = **update;
    sqlite3_stmt* stmt = statement.get();
    statement.Reset();
    int index = 1;
    for (size_t c = 0; c < priced_.size(); ++c) {
      if (changed & (1u << c)) BindFigure(stmt, index++, priced_[c][line]);
    }
    sqlite3_bind_int64(stmt, index, rowids_[line]);
    statement.Run();
  }
}

}  // namespace quillmere
