// Client-side static recordsets: the way the row loops of the calculation read
// project rows, edit fields locally and write every edit back in one batch.

#ifndef QUILLMERE_DB_RECORDSET_H_
#define QUILLMERE_DB_RECORDSET_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quillmere/connection.h"

namespace quillmere {

class Recordset {
 public:
  Recordset() = default;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Fetches every row of `sql` at once and stands on the first. An open
  // recordset is closed first, so one object serves successive queries.
  // Throws Error; the recordset then stays closed and remembers the message,
  // which every later read raises again.
  void Open(Connection& connection, std::string_view sql, const Params& params = {});
  void Close();
  bool IsOpen() const { return open_; }

  std::int64_t RecordCount() const;
  bool Eof() const;
  void MoveFirst();
  void MoveNext();

  // The current row's field, by name (case-insensitive, as in the query).
  const Value& Field(std::string_view name) const;
  // The current row's field as a number (see ToNumber); the error of a null
  // or a word names where it stands, as Where does.
  double Number(std::string_view name) const;
  // The same, a null counting as 0.
  double NumberOrZero(std::string_view name) const;
  // Where the current row's field comes from, for messages: its table and
  // column, and the row by its estimate row id or line number, else by its
  // position ("zhys.yssl, row ysid 12", "qtxm.hj, row sjxh 3", "row 4").
  std::string Where(std::string_view name) const;
  // Changes the current row's field locally; nothing reaches the database
  // before UpdateBatch.
  void SetField(std::string_view name, Value value);

  // Writes every edited row back by rowid in one all-or-nothing step.
  void UpdateBatch();

 private:
  // Writes the edited fields of `columns` in one update that walks the
  // table, when that costs less than a seek per edited row; false if not.
  bool WalkTable(const std::vector<size_t>& columns, size_t edited_rows);
  void RequireOpen() const;
  size_t ColumnIndex(std::string_view name) const;
  const std::vector<Value>& CurrentRow() const;

  Connection* connection_ = nullptr;
  bool open_ = false;
  std::string failure_;  // why the last Open failed, raised by every read
  std::vector<std::string> names_;
  std::vector<std::string> origin_columns_;  // empty: an expression, not updatable
  std::vector<std::string> sources_;         // "table.column", or the field's name for an expression
  std::string table_;                        // the one table the rows come from, if any
  std::vector<std::int64_t> rowids_;         // empty when the query has no single table
  std::vector<std::vector<Value>> rows_;
  std::vector<std::vector<bool>> edited_;
  size_t position_ = 0;
};

// Opens `recordset` on `sql` and returns true; on any error returns false and
// leaves it closed, so the caller's first read raises the engine's message.
bool DaKaiJLJ(std::string_view sql, Connection& connection, Recordset& recordset);

}  // namespace quillmere

#endif  // QUILLMERE_DB_RECORDSET_H_
