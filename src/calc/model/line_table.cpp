// Lines of a resource table in memory: see line_table.h.

#include "calc/model/line_table.h"

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "base/decimal.h"
#include "calc/figure_check.h"
#include "db/statement.h"

namespace quillmere {
namespace {

std::string_view CellBytes(sqlite3_stmt* stmt, int column) {
  const auto* bytes = sqlite3_column_type(stmt, column) == SQLITE_BLOB
                          ? static_cast<const char*>(sqlite3_column_blob(stmt, column))
                          : reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
  return {bytes ? bytes : "", static_cast<size_t>(sqlite3_column_bytes(stmt, column))};
}

Id ReadId(sqlite3_stmt* stmt, int column, TextPool& pool) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
      return {};
    case SQLITE_INTEGER:
      return {Id::kInteger, sqlite3_column_int64(stmt, column)};
    case SQLITE_FLOAT: {
      const double value = sqlite3_column_double(stmt, column);
      std::int64_t bits = 0;
      std::memcpy(&bits, &value, sizeof bits);
      return {Id::kReal, bits};
    }
    case SQLITE_TEXT:
      return {Id::kText, pool.Intern(CellBytes(stmt, column))};
    default:
      return {Id::kBlob, pool.Intern(CellBytes(stmt, column))};
  }
}

// The test `column=TRUE`: a true flag is the number 1.
bool ReadFlag(sqlite3_stmt* stmt, int column) {
  const int type = sqlite3_column_type(stmt, column);
  return (type == SQLITE_INTEGER || type == SQLITE_FLOAT) && sqlite3_column_double(stmt, column) == 1;
}

size_t IndexOf(const std::vector<std::string>& names, std::string_view name, const std::string& table) {
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return i;
  }
  throw Error("the lines of " + table + " hold no column " + std::string(name));
}

bool Differs(Figure a, Figure b) { return a.null != b.null || (!a.null && a.value != b.value); }

}  // namespace

Figure Stored(Figure x) {
  if (x.null || std::isnan(x.value)) return {};
  return Figure::Of(x.value == 0 ? 0.0 : x.value);
}

Figure Plus(Figure a, Figure b) {
  if (a.null || b.null || std::isnan(a.value + b.value)) return {};
  return Figure::Of(a.value + b.value);
}

TextId ReadResourceKey(sqlite3_stmt* stmt, int first, TextPool& pool) {
  // Each part with its storage kind and length, so that no two different
  // triples share a key.
  std::string key;
  for (int column = first; column < first + 3; ++column) {
    const int type = sqlite3_column_type(stmt, column);
    if (type == SQLITE_NULL) return 0;
    const std::string_view bytes = CellBytes(stmt, column);
    const auto length = static_cast<std::uint32_t>(bytes.size());
    key += type == SQLITE_BLOB ? 'b' : 't';
    key.append(reinterpret_cast<const char*>(&length), sizeof length);
    key += bytes;
  }
  return pool.Intern(key);
}

Figure ReadFigureCell(sqlite3_stmt* stmt, int column, const std::string& table, int key_column) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
      return {};
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      return Figure::Of(sqlite3_column_double(stmt, column));
    default: {
      double value = 0;
      if (sqlite3_column_type(stmt, column) == SQLITE_TEXT && ParseNumber(CellBytes(stmt, column), value)) {
        return Figure::Of(value);
      }
      throw Error(FigureFault{"Type mismatch", table, sqlite3_column_name(stmt, column),
                              std::string("row ") + sqlite3_column_name(stmt, key_column) + " " +
                                  std::string(CellBytes(stmt, key_column))}
                      .Text());
    }
  }
}

LineTable::LineTable(Connection& connection, std::string table, Columns columns, TextPool& pool)
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
  Statement statement(connection.handle(), select + " from " + table_ + " order by rowid");
  sqlite3_stmt* stmt = statement.get();
  ids_.resize(columns_.ids.size());
  flags_.resize(columns_.flags.size());
  figures_.resize(columns_.figures.size());
  priced_.resize(columns_.priced.size());
  while (statement.Step()) {
    int column = 0;
    rowids_.push_back(sqlite3_column_int64(stmt, column++));
    for (auto& ids : ids_) ids.push_back(ReadId(stmt, column++, pool));
    for (auto& flags : flags_) flags.push_back(ReadFlag(stmt, column++));
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

void LineTable::WriteChanges(Connection& connection) const {
  // The changed columns of a line as bits, and the update for each such set.
  std::map<std::uint32_t, std::unique_ptr<Statement>> updates;
  for (size_t line = 0; line < rowids_.size(); ++line) {
    std::uint32_t changed = 0;
    for (size_t c = 0; c < priced_.size(); ++c) {
      if (Differs(priced_[c][line], read_[c][line])) changed |= 1u << c;
    }
    if (changed == 0) continue;
    std::unique_ptr<Statement>& update = updates[changed];
    if (!update) {
      std::string assignments;
      Params nulls;  // every value is bound afresh for each line
      for (size_t c = 0; c < priced_.size(); ++c) {
        if (!(changed & (1u << c))) continue;
        assignments += (assignments.empty() ? "" : ",") + columns_.priced[c] + "=?";
        nulls.Add(Value());
      }
      nulls.Add(Value());
      update = std::make_unique<Statement>(connection.handle(),
                                           "update " + table_ + " set " + assignments + " where rowid=?", nulls);
    }
    sqlite3_stmt* stmt = update->get();
    update->Reset();
    int index = 1;
    for (size_t c = 0; c < priced_.size(); ++c) {
      if (changed & (1u << c)) BindFigure(stmt, index++, priced_[c][line]);
    }
    sqlite3_bind_int64(stmt, index, rowids_[line]);
    update->Run();
  }
}

}  // namespace quillmere
