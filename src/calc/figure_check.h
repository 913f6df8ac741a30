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

// Figure columns of one table and the rows of them that matter.
struct FigureSet {
  FigureSet(std::string table_name, std::vector<std::string> column_names = {}, std::string row_condition = {},
            std::string key_column = "ysid")
      : table(std::move(table_name)),
        columns(std::move(column_names)),
        rows(std::move(row_condition)),
        key(std::move(key_column)) {}
  std::string table;
  std::vector<std::string> columns;  // empty: every figure column the project schema gives the table
  std::string rows;                  // an SQL condition (may name :ysid); empty for every row
  std::string key;                   // the column naming a row in messages
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
std::optional<FigureFault> FindFigureFault(Connection& connection, const std::vector<FigureSet>& figures,
                                           FigureUse use, const Params& params = {});

// Throws Error with the first fault's text.
void CheckFigures(Connection& connection, const std::vector<FigureSet>& figures, FigureUse use,
                  const Params& params = {});

}  // namespace quillmere

#endif  // QUILLMERE_CALC_FIGURE_CHECK_H_
