// A table rewritten by difference must come out exactly as emptying it and
// inserting the rows would leave it, values and rowids alike, while writing
// nothing when nothing changed.

#include "db/table_rewrite.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

struct Row {
  std::string a;
  double b;
  std::int64_t c;
};

const std::vector<std::string> kColumns = {"a", "b", "c"};

RowCells CellsOf(const std::vector<Row>& rows) {
  return [&rows](size_t i, Cell* cells) {
    cells[0] = Cell::Text(rows[i].a);
    cells[1] = Cell::Real(rows[i].b);
    // An integer into a REAL column: stored, it reads back as a real.
    cells[2] = Cell::Integer(rows[i].c);
  };
}

std::string Snapshot(Project& p, const std::string& table) {
  return p.Rows("select rowid,typeof(a),a,printf('%!.17g',b),typeof(c),c,typeof(d),d,typeof(e),e from " + table +
                " order by rowid");
}

// Rewrites t by difference and u by emptying and filling it, and compares.
void ExpectAsRefilled(Project& p, const std::vector<Row>& rows) {
  RewriteTable(p.db(), "t", kColumns, rows.size(), CellsOf(rows));
  p.Execute("delete from u");
  InsertRows(p.db(), "u", kColumns, rows.size(), CellsOf(rows));
  EXPECT_EQ(Snapshot(p, "t"), Snapshot(p, "u"));
}

int Changes(Project& p) { return sqlite3_total_changes(p.db().handle()); }

TEST(TableRewrite, LeavesTheTableAsARefillWouldAndWritesOnlyWhatDiffers) {
  Project p;
  for (const char* table : {"t", "u"}) {
    p.Execute(std::string("create table ") + table + " (a TEXT, b REAL, c REAL, d REAL DEFAULT 7, e DEFAULT 'x')");
  }
  std::vector<Row> rows = {{"one", 0.1 + 0.2, 1}, {"two", 2.5, 2}, {"three", -4, 3}};
  ExpectAsRefilled(p, rows);

  // The same rows again: nothing is written.
  const int before = Changes(p);
  RewriteTable(p.db(), "t", kColumns, rows.size(), CellsOf(rows));
  EXPECT_EQ(Changes(p), before);

  // A figure off in its last bit, a column the rows do not write changed by
  // a host: each row is written again.
  rows[0].b = 0.3;
  p.Execute("update t set d=1 where rowid=2");
  ExpectAsRefilled(p, rows);

  // Fewer rows, then more.
  rows.pop_back();
  ExpectAsRefilled(p, rows);
  rows.push_back({"four", 4, 4});
  rows.push_back({"five", 5, 5});
  ExpectAsRefilled(p, rows);

  // Rowids with a gap: a refill numbers the rows from 1 again.
  p.Execute("delete from t where rowid=2");
  ExpectAsRefilled(p, rows);
  rows.clear();
  ExpectAsRefilled(p, rows);
}

}  // namespace
}  // namespace quillmere
