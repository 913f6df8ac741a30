// Lines of a resource table in memory: see line_table.h.

#include "calc/model/line_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "base/decimal.h"
#include "calc/figure_check.h"
#include "db/changed_cells.h"
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

Truth ReadTruth(sqlite3_value* value) {
  const int type = sqlite3_value_type(value);
  if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) return Truth::kNeither;
  const double number = sqlite3_value_double(value);
  return number == 1 ? Truth::kTrue : number == 0 ? Truth::kFalse : Truth::kNeither;
}

size_t IndexOf(const std::vector<std::string>& names, std::string_view name, const std::string& table) {
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return i;
  }
  throw Error("the lines of " + table + " hold no column " + std::string(name));
}

bool Differs(Figure a, Figure b) { return a.null() != b.null() || (!a.null() && a.value != b.value); }

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

bool SplitResourceKey(const TextPool& pool, TextId key, std::array<KeyPart, 3>& parts) {
  if (key == 0) return false;
  std::string_view rest = pool.Text(key);
  for (KeyPart& part : parts) {
    std::uint32_t length = 0;
    std::memcpy(&length, rest.data() + 1, sizeof length);
    part.blob = rest[0] == 'b';
    part.bytes = rest.substr(1 + sizeof length, length);
    rest.remove_prefix(1 + sizeof length + length);
  }
  return true;
}

Figure ReadFigureCell(sqlite3_stmt* stmt, int column, const std::string& table, int key_column) {
  Figure figure;
  if (ReadFigureValue(sqlite3_column_value(stmt, column), figure)) return figure;
  throw Error(FigureFault{"Type mismatch", table, sqlite3_column_name(stmt, column),
                          std::string("row ") + sqlite3_column_name(stmt, key_column) + " " +
                              std::string(CellBytes(sqlite3_column_value(stmt, key_column)))}
                  .Text());
}

// A text and a blob of the same bytes are not equal in SQL, so the key
// carries the kind.
std::string LineTable::TextKeyOf(int type, std::string_view bytes) {
  return (type == SQLITE_BLOB ? "b" : "t") + std::string(bytes);
}

LineTable::LineTable(Connection& connection, std::string table, Columns columns, TextPool& pool,
                     const std::string& where, const Params& params)
    : table_(std::move(table)), columns_(std::move(columns)), where_(where), params_(params), pool_(pool) {
  std::string select = "select rowid";
  const auto add = [&](const std::vector<std::string>& names) {
    for (const std::string& name : names) select += "," + name;
  };
  add(columns_.ids);
  add(columns_.flags);
  add(columns_.texts);
  if (columns_.keyed) select += ",bh,mc,dw";
  add(columns_.figures);
  add(columns_.priced);
  ids_.resize(columns_.ids.size());
  flags_.resize(columns_.flags.size());
  texts_.resize(columns_.texts.size());
  figures_.resize(columns_.figures.size());
  priced_.resize(columns_.priced.size());
  {
    KeptStatement count(connection, "select count(*) from " + table_ + where, params);
    count->Step();
    const auto lines = static_cast<size_t>(sqlite3_column_int64(count->get(), 0));
    rowids_.reserve(lines);
    for (auto& column : ids_) column.reserve(lines);
    for (auto& column : flags_) column.reserve(lines);
    for (auto& column : texts_) column.reserve(lines);
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
    for (auto& flags : flags_) flags.push_back(ReadTruth(sqlite3_column_value(stmt, column++)));
    for (auto& texts : texts_) {
      sqlite3_value* value = sqlite3_column_value(stmt, column++);
      const int type = sqlite3_value_type(value);
      texts.push_back(type == SQLITE_NULL ? 0 : pool.Intern(TextKeyOf(type, CellBytes(value))));
    }
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

const std::vector<Truth>& LineTable::flags(std::string_view column) const {
  return flags_[IndexOf(columns_.flags, column, table_)];
}

const std::vector<TextId>& LineTable::texts(std::string_view column) const {
  return texts_[IndexOf(columns_.texts, column, table_)];
}

const std::vector<Figure>& LineTable::figures(std::string_view column) const {
  return figures_[IndexOf(columns_.figures, column, table_)];
}

std::vector<Figure>& LineTable::priced(std::string_view column) {
  return priced_[IndexOf(columns_.priced, column, table_)];
}

const std::vector<Figure>& LineTable::priced(std::string_view column) const {
  return priced_[IndexOf(columns_.priced, column, table_)];
}

const std::vector<Figure>& LineTable::column(std::string_view name) const {
  for (size_t c = 0; c < columns_.figures.size(); ++c) {
    if (columns_.figures[c] == name) return figures_[c];
  }
  return priced(name);
}

void LineTable::SetId(std::string_view column, size_t line, Id id) {
  ids_[IndexOf(columns_.ids, column, table_)][line] = id;
}

LineTable::Columns LineTable::Columns::With(const Columns& other) const {
  Columns both = *this;
  const auto add = [](std::vector<std::string>& names, const std::string& name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  };
  for (const std::string& name : other.ids) add(both.ids, name);
  for (const std::string& name : other.flags) add(both.flags, name);
  for (const std::string& name : other.texts) add(both.texts, name);
  both.keyed = keyed || other.keyed;
  for (const std::string& name : other.priced) add(both.priced, name);
  for (const std::string& name : other.figures) add(both.figures, name);
  std::erase_if(both.figures, [&](const std::string& name) {
    return std::find(both.priced.begin(), both.priced.end(), name) != both.priced.end();
  });
  return both;
}

void LineTable::FinishWriting() {
  finished_ = true;
  std::vector<std::vector<Figure>>().swap(read_);
}

std::optional<size_t> LineTable::LineOf(std::int64_t rowid) const {
  const auto found = std::lower_bound(rowids_.begin(), rowids_.end(), rowid);
  if (found == rowids_.end() || *found != rowid) return std::nullopt;
  return static_cast<size_t>(found - rowids_.begin());
}

bool LineTable::GroupOf(size_t line, const std::vector<std::string>& key, IdKey& group) const {
  group = {};
  for (size_t k = 0; k < key.size(); ++k) {
    group[k] = ids(key[k])[line];
    if (group[k].kind == Id::kNull) return false;
  }
  return true;
}

size_t IdKeyHash::operator()(const IdKey& key) const {
  size_t hash = 0;
  for (const Id& id : key) hash = hash * 1000003u ^ std::hash<std::int64_t>()(id.bits) ^ id.kind;
  return hash;
}

GroupSums SumPerGroup(const LineTable& lines, const std::vector<std::string>& key, const std::vector<Figure>& values) {
  std::unordered_map<IdKey, FigureSum, IdKeyHash> totals;
  IdKey group;
  for (size_t i = 0; i < values.size(); ++i) {
    if (lines.GroupOf(i, key, group)) totals[group].Add(values[i]);
  }
  GroupSums sums;
  for (const auto& [group_key, total] : totals) sums[group_key] = Stored(total.Total());
  return sums;
}

GroupLines LinesPerGroup(const LineTable& lines, const std::vector<std::string>& key) {
  GroupLines groups;
  IdKey group;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines.GroupOf(i, key, group)) groups[group].push_back(i);
  }
  return groups;
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
  if (figure.null()) return std::nullopt;
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

std::vector<std::uint32_t> LineTable::ChangedColumns() const {
  std::vector<std::uint32_t> changed(rowids_.size());
  for (size_t line = 0; line < rowids_.size(); ++line) {
    for (size_t c = 0; c < priced_.size(); ++c) {
      if (Differs(priced_[c][line], read_[c][line])) changed[line] |= 1u << c;
    }
  }
  return changed;
}

void LineTable::WriteChanges(Connection& connection) {
  if (finished_) throw Error("the lines of " + table_ + " were finished");
  Write(connection);
  read_ = priced_;
}

void LineTable::Write(Connection& connection) const {
  const std::vector<std::uint32_t> changed = ChangedColumns();
  std::map<std::uint32_t, size_t> lines_per_set;
  size_t lines = 0;
  for (std::uint32_t columns : changed) {
    if (columns) ++lines_per_set[columns], ++lines;
  }
  // A seek costs about what a step of the walk costs eight rows on.
  const auto few = [&](size_t count) { return count * 8 < rowids_.size(); };
  if (lines == 0 || few(lines)) return WriteLineByLine(connection, changed);

  // The walk sets the columns most lines changed; when the lines that
  // changed others as well are few, they are written apart.
  std::uint32_t walked_columns =
      std::max_element(lines_per_set.begin(), lines_per_set.end(), [](const auto& a, const auto& b) {
        return a.second < b.second;
      })->first;
  std::vector<std::uint32_t> walked = changed, apart(changed.size());
  size_t lines_apart = 0;
  for (size_t line = 0; line < changed.size(); ++line) {
    if (changed[line] & ~walked_columns) apart[line] = changed[line], walked[line] = 0, ++lines_apart;
  }
  if (!few(lines_apart)) {
    for (std::uint32_t columns : changed) walked_columns |= columns;
    walked = changed;
    apart.assign(changed.size(), 0);
  }
  WriteInOneWalk(connection, walked, walked_columns);
  WriteLineByLine(connection, apart);
}

void LineTable::WriteLineByLine(Connection& connection, const std::vector<std::uint32_t>& changed) const {
  std::map<std::uint32_t, std::unique_ptr<KeptStatement>> updates;
  for (size_t line = 0; line < rowids_.size(); ++line) {
    if (changed[line] == 0) continue;
    std::unique_ptr<KeptStatement>& update = updates[changed[line]];
    if (!update) {
      std::string assignments;
      size_t count = 1;  // the rowid
      for (size_t c = 0; c < priced_.size(); ++c) {
        if (!(changed[line] & (1u << c))) continue;
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
      if (changed[line] & (1u << c)) BindFigure(stmt, index++, priced_[c][line]);
    }
    sqlite3_bind_int64(stmt, index, rowids_[line]);
    statement.Run();
  }
}

namespace {

// The cells of a LineTable for the walk. The lines are held in rowid order
// and SQLite walks the table in rowid order, so a row is nearly always the
// line last asked for or the one after it.
class ChangedLines : public ChangedCells {
 public:
  ChangedLines(const std::vector<std::int64_t>& rowids, const std::vector<std::uint32_t>& changed,
               const std::vector<std::vector<Figure>>& priced)
      : rowids_(rowids), changed_(changed), priced_(priced) {}

  bool RowChanged(std::int64_t rowid) override {
    const size_t line = Find(rowid);
    return line < rowids_.size() && changed_[line] != 0;
  }

  bool NewValue(std::int64_t rowid, int k, sqlite3_context* context) override {
    const size_t line = Find(rowid);
    if (line == rowids_.size() || !(changed_[line] & (1u << k))) return false;
    const Figure figure = priced_[static_cast<size_t>(k)][line];
    if (figure.null()) {
      sqlite3_result_null(context);
    } else {
      sqlite3_result_double(context, figure.value);
    }
    return true;
  }

 private:
  size_t Find(std::int64_t rowid) {
    for (size_t line : {last_, last_ + 1}) {
      if (line < rowids_.size() && rowids_[line] == rowid) return last_ = line;
    }
    const auto found = std::lower_bound(rowids_.begin(), rowids_.end(), rowid);
    if (found == rowids_.end() || *found != rowid) return rowids_.size();
    return last_ = static_cast<size_t>(found - rowids_.begin());
  }

  const std::vector<std::int64_t>& rowids_;
  const std::vector<std::uint32_t>& changed_;
  const std::vector<std::vector<Figure>>& priced_;
  size_t last_ = 0;
};

}  // namespace

void LineTable::WriteInOneWalk(Connection& connection, const std::vector<std::uint32_t>& changed,
                               std::uint32_t columns) const {
  std::string assignments;
  for (size_t c = 0; c < priced_.size(); ++c) {
    if (!(columns & (1u << c))) continue;
    const std::string& column = columns_.priced[c];
    assignments += (assignments.empty() ? "" : ",") + column + "=quillmere_changed_cell(:cells,rowid," +
                   std::to_string(c) + "," + column + ")";
  }
  Params params = params_;
  params.Set("cells", quillmere::Value(std::int64_t{0}));  // the pointer is bound below
  // The lines' own condition goes in parentheses: it may hold an `or`.
  constexpr std::string_view kWhere = " where ";
  if (!where_.empty() && where_.compare(0, kWhere.size(), kWhere) != 0) throw Error("no condition: " + where_);
  const std::string rows = where_.empty() ? " where " : " where (" + where_.substr(kWhere.size()) + ") and ";
  KeptStatement update(
      connection, "update " + table_ + " set " + assignments + rows + "quillmere_changed_row(:cells,rowid)", params);
  ChangedLines cells(rowids_, changed, priced_);
  sqlite3_stmt* stmt = update->get();
  sqlite3_bind_pointer(stmt, sqlite3_bind_parameter_index(stmt, ":cells"), &cells, kChangedCellsType, nullptr);
  update->Run();
}

}  // namespace quillmere
