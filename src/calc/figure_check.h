// The guard on figures: a member refuses a figure it reads that is a text
// other than a number, and a figure it computed that came out null, infinite
// or not a number, naming the table, column and row, so that a broken price
// never reaches the database as a silently smaller project cost.

#ifndef QUILLMERE_CALC_FIGURE_CHECK_H_
#define QUILLMERE_CALC_FIGURE_CHECK_H_

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "quillmere/connection.h"

namespace quillmere {

// Figures a stage holds in memory just as their table stores them, the rows
// a check looks at in rowid order: checking them needs no scan of the table.
// Figures read into memory are numbers: held, they pass a check of figures
// read.
class HeldFigures {
 public:
  virtual ~HeldFigures() = default;
  virtual size_t Rows() const = 0;
  // The column's index among those held, or -1: a table with a figure column
  // that is not held is scanned.
  virtual int ColumnIndex(const std::string& column) const = 0;
  // The value as stored (nullopt for a null: no number at all is stored as
  // null).
  virtual std::optional<double> Value(size_t row, int column) const = 0;
  // The text of the row's value in `key_column`, or nullopt when naming the
  // row so takes a read (the table is then scanned for the message).
  virtual std::optional<std::string> Key(size_t row, const std::string& key_column) const = 0;
};

// Figure columns of one table and the rows of them that matter.
struct FigureSet {
  FigureSet(std::string table_name, std::vector<std::string> column_names = {}, std::string row_condition = {},
            std::string key_column = "ysid")
      : table(std::move(table_name)),
        columns(std::move(column_names)),
        rows(std::move(row_condition)),
        key(std::move(key_column)) {}
  std::string table;
  std::vector<std::string> columns;   // empty: every figure column the project schema gives the table
  std::string rows;                   // an SQL condition (may name :ysid); empty for every row
  std::string key;                    // the column naming a row in messages
  const HeldFigures* held = nullptr;  // the rows as the stage holds them, if it does
};

enum class FigureUse {
  kRead,      // only a text that reads as no number is refused
  kComputed,  // a null, an infinity and any text but a number are refused too
};

// What is wrong with a figure, and where.
struct FigureFault {
  std::string error;  // "Type mismatch", "Invalid use of Null" or "Overflow"
  std::string table;
  std::string column;
  std::string row;  // "row ysid 12"
  std::string Text() const { return error + ": " + table + "." + column + ", " + row; }
};

// The first fault among `figures`, table by table and, within the first row
// of a table that has one, column by column in the order given. One scan of
// each table.
std::optional<FigureFault> FindFigureFault(Connection& connection, const std::vector<FigureSet>& figures, FigureUse use,
                                           const Params& params = {});

// What a check found in held figures: a fault, none, or that the table has
// to be scanned after all.
struct HeldCheck {
  bool scan = false;
  std::optional<FigureFault> fault;
};
// Checks `figures.held` now, for a stage that lets go of the figures before
// it comes to its check.
HeldCheck CheckHeldFigures(Connection& connection, const FigureSet& figures, FigureUse use);

// Throws Error with the first fault's text.
void CheckFigures(Connection& connection, const std::vector<FigureSet>& figures, FigureUse use,
                  const Params& params = {});

}  // namespace quillmere

#endif  // QUILLMERE_CALC_FIGURE_CHECK_H_
