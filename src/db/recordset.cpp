// Client-side static recordsets with batch write-back.

#include "db/recordset.h"

#include <sqlite3.h>

#include <cctype>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/text.h"
#include "db/changed_cells.h"
#include "db/statement.h"
#include "db/transaction.h"
#include "db/value.h"

namespace quillmere {
namespace {

constexpr const char* kRowidColumn = "quillmere_rowid";

// The query with the source rowid added as its first column, so edited rows
// can be written back; empty when the query is not a plain select (a distinct
// select would change its meaning with the extra column).
std::string WithRowid(std::string_view sql) {
  size_t i = 0;
  while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
  if (sql.size() < i + 7 || !EqualsIgnoringCase(sql.substr(i, 6), "select") ||
      !std::isspace(static_cast<unsigned char>(sql[i + 6]))) {
    return {};
  }
  size_t j = i + 6;
  while (j < sql.size() && std::isspace(static_cast<unsigned char>(sql[j]))) ++j;
  if (EqualsIgnoringCase(sql.substr(j, 8), "distinct")) return {};
  std::string augmented(sql.substr(0, i + 6));
  augmented += " _rowid_ AS ";
  augmented += kRowidColumn;
  augmented += ",";
  augmented += sql.substr(i + 6);
  return augmented;
}

// The edited fields of a recordset as the cells an update walking its table
// asks for (see db/changed_cells.h): the columns are `columns`, in order.
class EditedFields : public ChangedCells {
 public:
  EditedFields(const std::vector<std::int64_t>& rowids, const std::vector<std::vector<Value>>& rows,
               const std::vector<std::vector<bool>>& edited, std::vector<size_t> columns)
      : rows_(rows), edited_(edited), columns_(std::move(columns)) {
    for (size_t row = 0; row < rowids.size(); ++row) {
      for (size_t column : columns_) {
        if (edited[row][column]) row_of_[rowids[row]] = row;
      }
    }
  }

  bool RowChanged(std::int64_t rowid) override { return row_of_.count(rowid) != 0; }

  bool NewValue(std::int64_t rowid, int k, sqlite3_context* context) override {
    const auto found = row_of_.find(rowid);
    if (found == row_of_.end()) return false;
    const size_t column = columns_[static_cast<size_t>(k)];
    if (!edited_[found->second][column]) return false;
    const Value& value = rows_[found->second][column];
    if (const auto* i = std::get_if<std::int64_t>(&value)) {
      sqlite3_result_int64(context, *i);
    } else if (const auto* d = std::get_if<double>(&value)) {
      sqlite3_result_double(context, *d);
    } else if (const auto* t = std::get_if<std::string>(&value)) {
      sqlite3_result_text(context, t->data(), static_cast<int>(t->size()), SQLITE_TRANSIENT);
    } else {
      sqlite3_result_null(context);
    }
    return true;
  }

 private:
  const std::vector<std::vector<Value>>& rows_;
  const std::vector<std::vector<bool>>& edited_;
  std::vector<size_t> columns_;
  std::unordered_map<std::int64_t, size_t> row_of_;
};

// Below this many edited rows a seek per row costs less than a walk.
constexpr size_t kWalkFrom = 1000;

}  // namespace

void Recordset::Close() {
  open_ = false;
  names_.clear();
  origin_columns_.clear();
  sources_.clear();
  table_.clear();
  rowids_.clear();
  rows_.clear();
  edited_.clear();
  position_ = 0;
}

void Recordset::Open(Connection& connection, std::string_view sql, const Params& params) {
  Close();
  failure_.clear();
  connection_ = &connection;
  try {
    std::unique_ptr<Statement> statement;
    bool has_rowid = false;
    const std::string augmented = WithRowid(sql);
    if (!augmented.empty()) {
      try {
        statement = std::make_unique<Statement>(connection.handle(), augmented, params);
        has_rowid = true;
      } catch (const Error&) {
        // Several tables, a subquery or an expression-only query: it opens
        // all the same, only without write-back.
      }
    }
    if (!statement) statement = std::make_unique<Statement>(connection.handle(), sql, params);

    const int first = has_rowid ? 1 : 0;
    const int count = statement->ColumnCount();
    if (has_rowid) {
      const char* table = sqlite3_column_table_name(statement->get(), 0);
      if (table) table_ = table;
    }
    for (int i = first; i < count; ++i) {
      names_.push_back(statement->ColumnName(i));
      const char* origin = sqlite3_column_origin_name(statement->get(), i);
      const char* table = sqlite3_column_table_name(statement->get(), i);
      const bool from_source = origin && table && !table_.empty() && EqualsIgnoringCase(table, table_);
      origin_columns_.push_back(from_source ? origin : "");
      sources_.push_back(origin && table ? std::string(table) + "." + origin : names_.back());
    }
    while (statement->Step()) {
      if (has_rowid) {
        const Value id = statement->ColumnValue(0);
        rowids_.push_back(std::holds_alternative<std::int64_t>(id) ? std::get<std::int64_t>(id) : 0);
      }
      std::vector<Value> row;
      row.reserve(names_.size());
      for (int i = first; i < count; ++i) row.push_back(statement->ColumnValue(i));
      rows_.push_back(std::move(row));
      edited_.emplace_back(names_.size(), false);
    }
    if (table_.empty()) rowids_.clear();
    open_ = true;
  } catch (const Error& e) {
    Close();
    failure_ = e.what();
    throw;
  }
}

void Recordset::RequireOpen() const {
  if (!open_) throw Error(failure_.empty() ? "Operation is not allowed when the object is closed." : failure_);
}

std::int64_t Recordset::RecordCount() const {
  RequireOpen();
  return static_cast<std::int64_t>(rows_.size());
}

bool Recordset::Eof() const {
  RequireOpen();
  return position_ >= rows_.size();
}

void Recordset::MoveFirst() {
  RequireOpen();
  position_ = 0;
}

void Recordset::MoveNext() {
  RequireOpen();
  if (position_ >= rows_.size()) throw Error("Either BOF or EOF is True, or the current record has been deleted.");
  ++position_;
}

size_t Recordset::ColumnIndex(std::string_view name) const {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (EqualsIgnoringCase(names_[i], name)) return i;
  }
  throw Error("Item cannot be found in the collection corresponding to the requested name or ordinal: " +
              std::string(name));
}

const std::vector<Value>& Recordset::CurrentRow() const {
  RequireOpen();
  if (position_ >= rows_.size()) throw Error("Either BOF or EOF is True, or the current record has been deleted.");
  return rows_[position_];
}

const Value& Recordset::Field(std::string_view name) const { return CurrentRow()[ColumnIndex(name)]; }

double Recordset::Number(std::string_view name) const {
  const Value& value = Field(name);
  try {
    return ToNumber(value);
  } catch (const Error& e) {
    throw Error(std::string(e.what()) + ": " + Where(name));
  }
}

double Recordset::NumberOrZero(std::string_view name) const { return IsNull(Field(name)) ? 0 : Number(name); }

std::string Recordset::Where(std::string_view name) const {
  CurrentRow();
  std::string where = sources_[ColumnIndex(name)] + ", row ";
  for (const char* key : {"ysid", "sjxh"}) {
    for (size_t i = 0; i < names_.size(); ++i) {
      if (EqualsIgnoringCase(names_[i], key) && !IsNull(rows_[position_][i])) {
        return where + key + " " + TextOrEmpty(rows_[position_][i]);
      }
    }
  }
  return where + std::to_string(position_ + 1);
}

void Recordset::SetField(std::string_view name, Value value) {
  CurrentRow();
  const size_t column = ColumnIndex(name);
  rows_[position_][column] = std::move(value);
  edited_[position_][column] = true;
}

void Recordset::UpdateBatch() {
  RequireOpen();
  Transaction transaction(*connection_);
  std::vector<size_t> columns;
  size_t edited_rows = 0;
  for (size_t column = 0; column < names_.size(); ++column) {
    for (size_t row = 0; row < rows_.size(); ++row) {
      if (!edited_[row][column]) continue;
      if (rowids_.empty() || origin_columns_[column].empty()) {
        throw Error("the field " + names_[column] + " cannot be written back: it is not a column of one table");
      }
      if (columns.empty() || columns.back() != column) columns.push_back(column);
    }
  }
  for (size_t row = 0; row < rows_.size(); ++row) {
    for (size_t column : columns) {
      if (edited_[row][column]) {
        ++edited_rows;
        break;
      }
    }
  }
  if (edited_rows >= kWalkFrom && WalkTable(columns, edited_rows)) {
    transaction.Commit();
    for (auto& flags : edited_) flags.assign(flags.size(), false);
    return;
  }
  for (size_t row = 0; row < rows_.size(); ++row) {
    std::string assignments;
    Params params;
    for (size_t column = 0; column < names_.size(); ++column) {
      if (!edited_[row][column]) continue;
      if (!assignments.empty()) assignments += ",";
      assignments += "\"" + origin_columns_[column] + "\"=?";
      params.Add(rows_[row][column]);
    }
    if (assignments.empty()) continue;
    params.Add(rowids_[row]);
    connection_->Execute("UPDATE \"" + table_ + "\" SET " + assignments + " WHERE rowid=?", params);
  }
  transaction.Commit();
  for (auto& flags : edited_) flags.assign(flags.size(), false);
}

bool Recordset::WalkTable(const std::vector<size_t>& columns, size_t edited_rows) {
  // A walk reads every row of the table: worth it only when most of them
  // were edited. The highest rowid bounds the number of rows.
  const std::string table = "\"" + table_ + "\"";
  {
    Statement highest(connection_->handle(), "select max(_rowid_) from " + table);
    if (!highest.Step() || sqlite3_column_int64(highest.get(), 0) > static_cast<std::int64_t>(edited_rows) * 2) {
      return false;
    }
  }
  std::string assignments;
  for (size_t k = 0; k < columns.size(); ++k) {
    const std::string column = "\"" + origin_columns_[columns[k]] + "\"";
    assignments +=
        (k == 0 ? "" : ",") + column + "=quillmere_changed_cell(:cells,rowid," + std::to_string(k) + "," + column + ")";
  }
  Params cells_placeholder;
  cells_placeholder.Set("cells", Value(std::int64_t{0}));  // the pointer is bound below
  Statement update(connection_->handle(),
                   "update " + table + " set " + assignments + " where quillmere_changed_row(:cells,rowid)",
                   cells_placeholder);
  EditedFields cells(rowids_, rows_, edited_, columns);
  sqlite3_bind_pointer(update.get(), sqlite3_bind_parameter_index(update.get(), ":cells"), &cells, kChangedCellsType,
                       nullptr);
  update.Run();
  return true;
}

bool DaKaiJLJ(std::string_view sql, Connection& connection, Recordset& recordset) {
  try {
    recordset.Open(connection, sql);
    return true;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace quillmere
