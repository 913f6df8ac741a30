// The lines of one resource table held in memory by a stage that prices them
// in place: read once in rowid order, priced in C++ step by step, and written
// back once, only the cells whose value changed, by rowid. The values behave
// as the table's cells do in SQL: a null joins nothing and spreads through
// arithmetic, a computed value is stored as a REAL column stores it.

#ifndef QUILLMERE_CALC_MODEL_LINE_TABLE_H_
#define QUILLMERE_CALC_MODEL_LINE_TABLE_H_

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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

// The code, name and unit such a key holds, each as its bytes and whether it
// was a blob; false for the key 0.
struct KeyPart {
  std::string_view bytes;
  bool blob = false;
};
bool SplitResourceKey(const TextPool& pool, TextId key, std::array<KeyPart, 3>& parts);

// A figure column: a number, or a text that reads as one; null stays null.
// Any other text is "Type mismatch", naming the table, the column and the row
// by the value in `key_column`.
Figure ReadFigureCell(sqlite3_stmt* stmt, int column, const std::string& table, int key_column);

// A yes/no column as `column=TRUE` and `column=FALSE` test it: the number 1
// or 0; a null, a text or any other number is neither.
enum class Truth : std::uint8_t { kNeither, kFalse, kTrue };

// Up to three ids that name a group of lines together: a row, and the
// material its components belong to, say. Places not used stay null.
using IdKey = std::array<Id, 3>;
struct IdKeyHash {
  size_t operator()(const IdKey& key) const;
};

class LineTable : public HeldFigures {
 public:
  struct Columns {
    std::vector<std::string> ids;      // ysid first: it names a line in messages
    std::vector<std::string> flags;    // yes/no columns
    std::vector<std::string> texts;    // compared whole with a text (TextKey)
    bool keyed = false;                // bh, mc, dw as one key
    std::vector<std::string> figures;  // read only
    std::vector<std::string> priced;   // read, computed and written back

    // What two stages hold of one table: every column either holds, priced
    // where either prices it.
    Columns With(const Columns& other) const;
  };

  // `where` (" where ysid=:ysid", with `params`) keeps to some lines; the
  // write-back keeps to them too.
  LineTable(Connection& connection, std::string table, Columns columns, TextPool& pool, const std::string& where = "",
            const Params& params = {});

  const std::string& name() const { return table_; }
  size_t size() const { return rowids_.size(); }
  std::int64_t rowid(size_t line) const { return rowids_[line]; }
  // The line of a rowid, if held.
  std::optional<size_t> LineOf(std::int64_t rowid) const;
  const std::vector<Id>& ids(std::string_view column) const;
  const std::vector<Truth>& flags(std::string_view column) const;
  // A text column's cells as keys: 0 for null; equal to TextKey(t) exactly
  // where the cell = t in SQL.
  const std::vector<TextId>& texts(std::string_view column) const;
  TextId TextKey(std::string_view text) const { return pool_.Intern(TextKeyOf(SQLITE_TEXT, text)); }
  const std::vector<TextId>& keys() const { return keys_; }
  const std::vector<Figure>& figures(std::string_view column) const;
  std::vector<Figure>& priced(std::string_view column);
  const std::vector<Figure>& priced(std::string_view column) const;
  // A figure column, read only or priced.
  const std::vector<Figure>& column(std::string_view name) const;
  // An id the stage wrote itself.
  void SetId(std::string_view column, size_t line, Id id);

  // The group a line belongs to by the id columns `key`, or false when one
  // of them is null: such a line joins no group.
  bool GroupOf(size_t line, const std::vector<std::string>& key, IdKey& group) const;

  // Writes back every priced cell whose value is not (in SQL's null-aware
  // sense) the one read: by rowid, one prepared update per set of changed
  // columns, when few lines changed; else by one update that walks the
  // lines of the table (see db/changed_cells.h). The lines then hold what
  // the table holds, and a later stage's changes are taken from there.
  void WriteChanges(Connection& connection);
  // For lines no stage writes again: lets go of the copy of the cells as the
  // table held them, which only the write-back compares with.
  void FinishWriting();

  // The figures as the table holds them once the changes are written: the
  // check of computed figures reads them here.
  size_t Rows() const override { return size(); }
  int ColumnIndex(const std::string& column) const override;
  std::optional<double> Value(size_t row, int column) const override;
  std::optional<std::string> Key(size_t row, const std::string& key_column) const override;

 private:
  void Write(Connection& connection) const;
  // The changed columns of each line, as bits.
  std::vector<std::uint32_t> ChangedColumns() const;
  void WriteLineByLine(Connection& connection, const std::vector<std::uint32_t>& changed) const;
  void WriteInOneWalk(Connection& connection, const std::vector<std::uint32_t>& changed, std::uint32_t columns) const;
  static std::string TextKeyOf(int type, std::string_view bytes);

  std::string table_;
  Columns columns_;
  std::string where_;
  Params params_;
  TextPool& pool_;
  std::vector<std::int64_t> rowids_;
  std::vector<std::vector<Id>> ids_;
  std::vector<std::vector<Truth>> flags_;
  std::vector<std::vector<TextId>> texts_;
  std::vector<TextId> keys_;
  std::vector<std::vector<Figure>> figures_;
  std::vector<std::vector<Figure>> priced_;
  std::vector<std::vector<Figure>> read_;  // the priced cells as read
  bool finished_ = false;
};

// The sum of `values` (a column of `lines`) over each group the id columns
// `key` name, as a stored sum() gives it: null when all are null. The lines
// are added in rowid order, which is SQLite's when its grouping reads the
// table through an index that starts with the key columns.
using GroupSums = std::unordered_map<IdKey, Figure, IdKeyHash>;
GroupSums SumPerGroup(const LineTable& lines, const std::vector<std::string>& key, const std::vector<Figure>& values);

// The lines of each group the id columns `key` name, in the order of the
// table; a line with a null id joins none.
using GroupLines = std::unordered_map<IdKey, std::vector<size_t>, IdKeyHash>;
GroupLines LinesPerGroup(const LineTable& lines, const std::vector<std::string>& key);

// Calls `take(line, sum)` for each line of `lines` that `wanted(line)` keeps
// and whose group by the id columns `key` has a sum in `sums`: the join of an
// update with the grouped sums of another table.
template <typename Wanted, typename Take>
void JoinGroupSums(const LineTable& lines, const std::vector<std::string>& key, const GroupSums& sums, Wanted&& wanted,
                   Take&& take) {
  IdKey group;
  for (size_t line = 0; line < lines.size(); ++line) {
    if (!wanted(line) || !lines.GroupOf(line, key, group)) continue;
    if (const auto found = sums.find(group); found != sums.end()) take(line, found->second);
  }
}

}  // namespace quillmere

#endif  // QUILLMERE_CALC_MODEL_LINE_TABLE_H_
