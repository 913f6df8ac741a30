// Table-level helpers the stages share.

#include "db/tables.h"

#include <cctype>
#include <string>

#include "quillmere/project.h"

namespace quillmere {

void InsertAllColumns(Connection& connection, std::string_view target, std::string_view source,
                      std::string_view where, const Params& params) {
  const auto columns = TableColumns(connection, source);
  if (columns.empty()) throw Error("no such table: " + std::string(source));
  std::string list;
  for (const auto& column : columns) {
    if (!list.empty()) list += ",";
    list += "\"" + column + "\"";
  }
  std::string sql = "insert into " + std::string(target) + " (" + list + ") select " + list + " from " +
                    std::string(source);
  if (!where.empty()) sql += " " + std::string(where);
  connection.Execute(sql, params);
}

char ColumnAffinity(std::string_view type) {
  std::string upper(type);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const auto has = [&](const char* part) { return upper.find(part) != std::string::npos; };
  if (has("INT")) return 'I';
  if (has("CHAR") || has("CLOB") || has("TEXT")) return 'T';
  if (has("BLOB") || upper.empty()) return 'B';
  if (has("REAL") || has("FLOA") || has("DOUB")) return 'R';
  return 'N';
}

}  // namespace quillmere
