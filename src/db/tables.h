// Table-level helpers the stages share.

#ifndef QUILLMERE_DB_TABLES_H_
#define QUILLMERE_DB_TABLES_H_

#include <string_view>

#include "quillmere/connection.h"

namespace quillmere {

// "insert into <target> select * from <source> <where>": copies every column
// of `source` into the column of the same name of `target`, which has them
// all and possibly more (left at their defaults). `where` may be empty.
void InsertAllColumns(Connection& connection, std::string_view target, std::string_view source,
                      std::string_view where = {}, const Params& params = {});

}  // namespace quillmere

#endif  // QUILLMERE_DB_TABLES_H_
