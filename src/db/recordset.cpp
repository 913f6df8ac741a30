// Client-side static recordsets with batch write-back.

#include "db/recordset.h"

#include <sqlite3.h>

#include <cctype>
#include <memory>
#include <string>

#include "base/text.h"
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
  for (size_t row = 0; row < rows_.size(); ++row) {
    std::string assignments;
    Params params;
    for (size_t column = 0; column < names_.size(); ++column) {
      if (!edited_[row][column]) continue;
      if (rowids_.empty() || origin_columns_[column].empty()) {
        throw Error("the field " + names_[column] + " cannot be written back: it is not a column of one table");
      }
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

bool DaKaiJLJ(std::string_view sql, Connection& connection, Recordset& recordset) {
  try {
    recordset.Open(connection, sql);
    return true;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace quillmere
