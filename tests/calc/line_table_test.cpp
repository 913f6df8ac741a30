// Lines held in memory and written back: whichever way the write goes (a
// statement a line, or one walk over the table with the lines of other
// columns written apart), exactly the changed cells change, and no other
// row is written.

#include "calc/model/line_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// 40 lines; hj = xhj = the line's number, the fifth line's xhj null, and a
// column no line holds in memory, a text.
void Fill(Project& p) {
  p.Execute(
      "with recursive n(i) as (select 1 union all select i+1 from n where i<40) "
      "insert into gjrg (ysid,bh,hj,xhj,xxj) select i, 'r', i, iif(i=5,null,i), 'kept as text' from n");
}

TEST(LineTable, WritesBackExactlyTheCellsThatChangedHoweverManyChanged) {
  struct Change {
    size_t line;
    const char* column;
    Figure value;
  };
  const auto changes = [](size_t lines_a, size_t lines_both, size_t lines_b) {
    std::vector<Change> list;
    size_t line = 0;
    for (size_t i = 0; i < lines_a; ++i, ++line) list.push_back({line, "hj", Figure::Of(100.5 + line)});
    for (size_t i = 0; i < lines_both; ++i, ++line) {
      list.push_back({line, "hj", Figure{}});
      list.push_back({line, "xhj", Figure::Of(-1)});
    }
    for (size_t i = 0; i < lines_b; ++i, ++line) list.push_back({line, "xhj", Figure::Of(7)});
    return list;
  };
  const struct {
    const char* what;
    std::vector<Change> changes;
  } cases[] = {
      {"a few lines, one by one", changes(2, 1, 0)},
      {"one walk, two lines of more columns apart", changes(30, 2, 0)},
      {"one walk over every changed column", changes(10, 2, 10)},
  };
  for (const auto& c : cases) {
    Project p;
    Fill(p);
    TextPool pool;
    LineTable::Columns columns;
    columns.ids = {"ysid"};
    columns.priced = {"hj", "xhj"};
    LineTable lines(p.db(), "gjrg", columns, pool);
    for (const Change& change : c.changes) lines.priced(change.column)[change.line] = change.value;
    // What the table must hold: every change made by a statement of its own.
    Project expected;
    Fill(expected);
    std::vector<bool> changed(40);
    for (const Change& change : c.changes) {
      expected.Execute(std::string("update gjrg set ") + change.column + "=" +
                       (change.value.null() ? "null" : std::to_string(change.value.value)) +
                       " where rowid=" + std::to_string(change.line + 1));
      changed[change.line] = true;
    }
    const double before = p.Number("select total_changes()");
    lines.WriteChanges(p.db());
    EXPECT_EQ(p.Number("select total_changes()") - before, std::count(changed.begin(), changed.end(), true))
        << c.what;
    EXPECT_EQ(p.Rows("select rowid,ysid,bh,hj,xhj,typeof(xxj) from gjrg"),
              expected.Rows("select rowid,ysid,bh,hj,xhj,typeof(xxj) from gjrg"))
        << c.what;
  }
}

}  // namespace
}  // namespace quillmere
