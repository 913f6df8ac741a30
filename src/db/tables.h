// Table-level helpers the stages share.

#ifndef QUILLMERE_DB_TABLES_H_
#define QUILLMERE_DB_TABLES_H_

#include <string>
#include <string_view>
#include <vector>

#include "quillmere/connection.h"

namespace quillmere {

// "insert into <target> select * from <source> <where>": copies every column
// of `source` into the column of the same name of `target`, which has them
// all and possibly more (left at their defaults). `where` may be empty.
void InsertAllColumns(Connection& connection, std::string_view target, std::string_view source,
                      std::string_view where = {}, const Params& params = {});

// The affinity SQLite gives a column declared with `type`, by its rules:
// 'I'nteger, 'T'ext, 'B'lob (no type), 'R'eal or 'N'umeric.
char ColumnAffinity(std::string_view type);

// The figure columns (declared as numbers) the project schema gives `table`,
// in their order; empty for a table the schema does not know.
std::vector<std::string> FigureColumns(std::string_view table);

// Whether every figure column of `table` that the file declares takes a
// number or null where a row leaves it out: a column declared with a word as
// its default would fill with words.
bool FigureDefaultsAreNumbers(Connection& connection, std::string_view table);

}  // namespace quillmere

#endif  // QUILLMERE_DB_TABLES_H_
