// Measure sections: measure items of class '1' rolled up into their
// level-2 sections.
//
// In display order each level-2 section collects the totals of the items
// priced as a whole (level 6) that follow it, up to the next section. Items
// before the first section belong to no section and are counted nowhere; a
// section with no items gets 0. Only the section's total is written.

#include "calc/totals/measure_sections.h"

#include <cstdint>

#include "calc/figure_check.h"
#include "db/recordset.h"
#include "db/value.h"

namespace quillmere {
namespace {

void WriteSectionTotal(Connection& connection, std::int64_t section, double total) {
  if (section > 0) connection.Execute("update zhys set sjbj=? where ysid=?", {total, section});
}

}  // namespace

void RollUpMeasureSections(Connection& connection) {
  Recordset rows;
  rows.Open(connection,
            "select ysid,sjbj,fbcch from zhys where (fbcch=6 or fbcch=2) and qdlb=1 and cslb='1' order by sjxh");
  std::int64_t section = 0;
  double total = 0;
  for (rows.MoveFirst(); !rows.Eof(); rows.MoveNext()) {
    if (ToNumber(rows.Field("fbcch")) == 6) {
      total += rows.Number("sjbj");
    } else {
      WriteSectionTotal(connection, section, total);
      total = 0;
      section = ToId(rows.Field("ysid"));
    }
  }
  WriteSectionTotal(connection, section, total);
  CheckFigures(connection, {{"zhys", {"sjbj"}, "qdlb=1 and fbcch=2 and cslb='1'"}}, FigureUse::kComputed);
}

}  // namespace quillmere
