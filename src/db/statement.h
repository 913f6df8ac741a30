// One prepared SQLite statement with its parameters bound: the single place
// where SQL text meets the engine, so the one-statement rule and the error
// texts are the same for statements and for recordset queries.

#ifndef QUILLMERE_DB_STATEMENT_H_
#define QUILLMERE_DB_STATEMENT_H_

#include <sqlite3.h>

#include <string>
#include <string_view>

#include "quillmere/connection.h"

namespace quillmere {

class Statement {
 public:
  // Prepares `sql` on `db` and binds `params`. Throws Error when the text is
  // more than one statement (blanks and semicolons may follow it), holds a
  // comment, or does not prepare.
  Statement(sqlite3* db, std::string_view sql, const Params& params = {});
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement();

  // Makes the statement ready to run again with other parameters.
  void Rebind(const Params& params);

  // Advances to the next result row; false when done. Throws Error.
  bool Step();
  // Runs the statement to completion, discarding any rows.
  void Run();
  // Ends the run so the statement holds no read or lock; the bindings stay.
  void Reset();

  int ColumnCount() const;
  std::string ColumnName(int i) const;
  Value ColumnValue(int i) const;

  sqlite3_stmt* get() const { return stmt_; }

 private:
  [[noreturn]] void Fail() const;
  void BindAll(const Params& params);
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  std::string sql_;
};

// Nulls for the `count` parameters of a statement that binds its values
// afresh for every row it writes.
Params NullParams(size_t count);

// Binds `value` to parameter `index` of `stmt`; SQLite's result code.
int BindValue(sqlite3_stmt* stmt, int index, const Value& value);

// Throws Error when `sql` holds a comment outside its quoted texts and names:
// a stored formula placed into a statement could otherwise hide the rest of
// the statement behind one.
void CheckNoComments(std::string_view sql);

}  // namespace quillmere

#endif  // QUILLMERE_DB_STATEMENT_H_
