// The lines of one resource table held in memory by a stage that prices them
// in place: read once in rowid order, priced in C++ step by step, and written
// back once, only the cells whose value changed, by rowid. The values behave
// as the table's cells do in SQL: a null joins nothing and spreads through
// arithmetic, a computed value is stored as a REAL column stores it.

#ifndef QUILLMERE_CALC_MODEL_LINE_TABLE_H_
#define QUILLMERE_CALC_MODEL_LINE_TABLE_H_

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "calc/model/resource_lines.h"
#include "quillmere/connection.h"

namespace quillmere {

// The value of an id column (ysid, clid, jxid, ...) as SQL compares it: equal
// to a value of the same storage kind and the same bits only (an INTEGER
// column holds a real or a text only when it is no whole number); a null is
// equal to nothing.
struct Id {
  enum Kind : std::uint8_t { kNull, kInteger, kReal, kText, kBlob };
  Kind kind = kNull;
  std::int64_t bits = 0;  // the integer, the real's bits, or the pooled text
  bool operator==(const Id&) const = default;
};

// The code, name and unit of a resource as one pooled key, in the columns
// from `first` on; 0 when any of them is null, since a null matches nothing.
TextId ReadResourceKey(sqlite3_stmt* stmt, int first, TextPool& pool);

// A figure column: a number, or a text that reads as one; null stays null.
// Any other text is "Type mismatch", naming the table, the column and the row
// by the value in `key_column`.
Figure ReadFigureCell(sqlite3_stmt* stmt, int column, const std::string& table, int key_column);

class LineTable : public HeldFigures {
 public:
  struct Columns {
    std::vector<std::string> ids;      // ysid first: it names a line in messages
    std::vector<std::string> flags;    // true where the column = 1 (TRUE)
    bool keyed = false;                // bh, mc, dw as one key
    std::vector<std::string> figures;  // read only
    std::vector<std::string> priced;   // read, computed and written back
  };

  // `where` (" where ysid=:ysid", with `params`) keeps to some lines.
  LineTable(Connection& connection, std::string table, Columns columns, TextPool& pool, const std::string& where = "",
            const Params& params = {});

  const std::string& name() const { return table_; }
  size_t size() const { return rowids_.size(); }
  const std::vector<Id>& ids(std::string_view column) const;
  const std::vector<bool>& flags(std::string_view column) const;
  const std::vector<TextId>& keys() const { return keys_; }
  const std::vector<Figure>& figures(std::string_view column) const;
  std::vector<Figure>& priced(std::string_view column);

  // Writes back, by rowid, every priced cell whose value is not (in SQL's
  // null-aware sense) the one read: one prepared update per set of changed
  // columns.
  void WriteChanges(Connection& connection) const;

  // The figures as the table holds them once the changes are written: the
  // check of computed figures reads them here.
  size_t Rows() const override { return size(); }
  int ColumnIndex(const std::string& column) const override;
  std::optional<double> Value(size_t row, int column) const override;
  std::optional<std::string> Key(size_t row, const std::string& key_column) const override;

 private:
  std::string table_;
  Columns columns_;
  std::vector<std::int64_t> rowids_;
  std::vector<std::vector<Id>> ids_;
  std::vector<std::vector<bool>> flags_;
  std::vector<TextId> keys_;
  std::vector<std::vector<Figure>> figures_;
  std::vector<std::vector<Figure>> priced_;
  std::vector<std::vector<Figure>> read_;  // the priced cells as read
};

}  // namespace quillmere

#endif  // QUILLMERE_CALC_MODEL_LINE_TABLE_H_
