// Prepared statements: preparation, the one-statement rule and binding.

#include "db/statement.h"

#include <cstdlib>
#include <string>

namespace quillmere {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

}  // namespace

Params NullParams(size_t count) {
  Params nulls;
  for (size_t i = 0; i < count; ++i) nulls.Add(Value());
  return nulls;
}

int BindValue(sqlite3_stmt* stmt, int index, const Value& value) {
  if (IsNull(value)) return sqlite3_bind_null(stmt, index);
  if (auto* i = std::get_if<std::int64_t>(&value)) return sqlite3_bind_int64(stmt, index, *i);
  if (auto* d = std::get_if<double>(&value)) return sqlite3_bind_double(stmt, index, *d);
  const std::string& text = std::get<std::string>(value);
  return sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

const Value* Params::Find(std::string_view name) const {
  for (const auto& [key, value] : named_) {
    if (key == name) return &value;
  }
  return nullptr;
}

void CheckNoComments(std::string_view sql) {
  const size_t n = sql.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      size_t j = i + 1;
      for (; j < n; ++j) {
        if (sql[j] == close) {
          // A doubled quote inside a quoted text stands for the quote itself.
          if (close != ']' && j + 1 < n && sql[j + 1] == close) {
            ++j;
            continue;
          }
          break;
        }
      }
      i = j;
      continue;
    }
    if ((c == '-' && i + 1 < n && sql[i + 1] == '-') || (c == '/' && i + 1 < n && sql[i + 1] == '*')) {
      throw Error("a statement may not contain a comment", std::string(sql));
    }
  }
}

Statement::Statement(sqlite3* db, std::string_view sql, const Params& params) : db_(db), sql_(sql) {
  CheckNoComments(sql);
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db, sql_.c_str(), static_cast<int>(sql_.size()), &stmt_, &tail) != SQLITE_OK) {
    Fail();
  }
  if (stmt_ == nullptr) throw Error("empty statement", sql_);
  try {
    // Whatever follows the first statement must be blanks or semicolons.
    for (const char* p = tail; p && *p; ++p) {
      if (!IsBlank(*p) && *p != ';') throw Error("only one SQL statement may be executed at a time", sql_);
    }
    BindAll(params);
  } catch (...) {
    // The destructor of an object whose constructor throws never runs; a
    // statement left unfinalized would keep the host's handle from closing.
    sqlite3_finalize(stmt_);
    throw;
  }
}

void Statement::Rebind(const Params& params) {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
  BindAll(params);
}

void Statement::BindAll(const Params& params) {
  const int count = sqlite3_bind_parameter_count(stmt_);
  size_t next_positional = 0;
  for (int i = 1; i <= count; ++i) {
    const char* name = sqlite3_bind_parameter_name(stmt_, i);
    const Value* value = nullptr;
    if (name == nullptr) {
      if (next_positional < params.positional().size()) value = &params.positional()[next_positional++];
    } else if (name[0] == '?') {
      const size_t index = static_cast<size_t>(std::atoi(name + 1));
      if (index >= 1 && index <= params.positional().size()) value = &params.positional()[index - 1];
    } else {
      value = params.Find(name + 1);
    }
    if (value == nullptr) {
      throw Error("no value for the parameter " + (name ? std::string(name) : "?" + std::to_string(i)), sql_);
    }
    if (BindValue(stmt_, i, *value) != SQLITE_OK) throw Error(sqlite3_errmsg(db_), sql_);
  }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::Fail() const { throw Error(sqlite3_errmsg(db_), sql_, sqlite3_extended_errcode(db_)); }

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fail();
}

void Statement::Run() {
  while (Step()) {
  }
}

void Statement::Reset() { sqlite3_reset(stmt_); }

int Statement::ColumnCount() const { return sqlite3_column_count(stmt_); }

std::string Statement::ColumnName(int i) const {
  const char* name = sqlite3_column_name(stmt_, i);
  return name ? name : "";
}

Value Statement::ColumnValue(int i) const {
  switch (sqlite3_column_type(stmt_, i)) {
    case SQLITE_NULL:
      return Value{};
    case SQLITE_INTEGER:
      return Value{static_cast<std::int64_t>(sqlite3_column_int64(stmt_, i))};
    case SQLITE_FLOAT:
      return Value{sqlite3_column_double(stmt_, i)};
    default: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
      return Value{std::string(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(stmt_, i)))};
    }
  }
}

}  // namespace quillmere
