// Prints every table of a project database, every row in rowid order with its
// rowid, every value with its storage class and all the digits of a real, so
// that two databases priced by two builds compare byte for byte. Used by
// bench/compare-results, which also lets it print the rows of a query (to
// choose the rows it recalculates) and run a statement (to edit a price).
// Indexes are left out on purpose: adding one is not a change of result.

#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void Print(sqlite3_stmt* rows, int i) {
  switch (sqlite3_column_type(rows, i)) {
    case SQLITE_NULL:
      std::fputs("NULL", stdout);
      break;
    case SQLITE_INTEGER:
      std::printf("i%lld", static_cast<long long>(sqlite3_column_int64(rows, i)));
      break;
    case SQLITE_FLOAT:
      std::printf("r%.17g", sqlite3_column_double(rows, i));
      break;
    default:
      std::printf("t'%s'", reinterpret_cast<const char*>(sqlite3_column_text(rows, i)));
      break;
  }
}

}  // namespace

// Prints the rows of `sql`, values separated by a blank, or runs it.
int RunStatement(sqlite3* db, const char* sql) {
  sqlite3_stmt* rows = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &rows, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
    return 1;
  }
  int rc;
  while ((rc = sqlite3_step(rows)) == SQLITE_ROW) {
    for (int i = 0; i < sqlite3_column_count(rows); ++i) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(rows, i));
      std::printf("%s%s", i ? " " : "", text ? text : "NULL");
    }
    std::fputc('\n', stdout);
  }
  sqlite3_finalize(rows);
  if (rc != SQLITE_DONE) {
    std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
    return 1;
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--sql")) {
    std::fprintf(stderr, "usage: result_snapshot DB [--sql STATEMENT]\n");
    return 2;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 2;
  }
  if (argc == 4) {
    const int rc = RunStatement(db, argv[3]);
    sqlite3_close(db);
    return rc;
  }
  std::vector<std::string> tables;
  sqlite3_stmt* names = nullptr;
  sqlite3_prepare_v2(db, "select name, sql from sqlite_schema where type='table' order by name", -1, &names, nullptr);
  while (sqlite3_step(names) == SQLITE_ROW) {
    tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(names, 0)));
    std::printf("%s\n", reinterpret_cast<const char*>(sqlite3_column_text(names, 1)));
  }
  sqlite3_finalize(names);
  for (const std::string& table : tables) {
    std::printf("## %s\n", table.c_str());
    sqlite3_stmt* rows = nullptr;
    const std::string sql = "select rowid, * from \"" + table + "\" order by rowid";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &rows, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "%s: %s\n", table.c_str(), sqlite3_errmsg(db));
      return 1;
    }
    while (sqlite3_step(rows) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(rows); ++i) {
        if (i) std::fputs(" | ", stdout);
        Print(rows, i);
      }
      std::fputc('\n', stdout);
    }
    sqlite3_finalize(rows);
  }
  sqlite3_close(db);
  return 0;
}
