// User-defined measures: measure items priced by formula and rate, detail
// lines rolled up into their item, and the measure totals.
//
//   (1) every measure item priced as a whole (level 6) and every detail line
//       (level 7) gets its formula over the fee variables times its rate,
//       written back in one batch;
//   (2) the measure bill is walked in display order: an item with detail
//       lines under it takes their sum instead and loses its own formula; a
//       detail line under no item is reported and counts nowhere;
//   (3) the measure totals are published from the item prices as (2) left
//       them, which is why they come last.

#include "calc/totals/measures.h"

#include <cstdint>
#include <string>
#include <vector>

#include "calc/figure_check.h"
#include "calc/totals/fee_lists.h"
#include "db/recordset.h"
#include "db/value.h"

namespace quillmere {
namespace {

// The level-6 item whose detail lines are being summed (0 when none).
struct ItemGroup {
  std::int64_t item = 0;
  double sum = 0;
};

// An item takes the sum of its lines; a sum of exactly 0 leaves the price of
// its own formula in place.
void Flush(Connection& connection, const ItemGroup& group) {
  if (group.sum != 0 && group.item != 0) {
    connection.Execute("update zhys set sjdj=?,sjbj=? where ysid=?", {group.sum, group.sum, group.item});
  }
}

void RollUpDetailLines(Connection& connection, const MessageHandler& notify) {
  Recordset rows;
  rows.Open(connection, "select ysid,zhmc,sjbj,fbcch from zhys where qdlb=1 order by sjxh");
  ItemGroup group;
  std::int64_t position = 0;
  for (rows.MoveFirst(); !rows.Eof(); rows.MoveNext()) {
    ++position;
    // A row without a level is none of the rows below and is passed over,
    // as are the quota sub-items (level 0).
    const Value& fbcch = rows.Field("fbcch");
    if (IsNull(fbcch)) continue;
    const double level = ToNumber(fbcch);
    if (level > 0 && level < 6) {
      // A section or bill row closes the item before it.
      Flush(connection, group);
      group = ItemGroup{};
    } else if (level == 6) {
      Flush(connection, group);
      group = ItemGroup{ToId(rows.Field("ysid")), 0};
    } else if (level == 7) {
      if (group.item != 0) {
        // The item's price now comes from its lines, so its own formula must
        // not price it again on the next run.
        connection.Execute("update zhys set jsjs='' where ysid=?", {group.item});
      } else {
        notify("措施项目中第" + std::to_string(position) + "行费用[" + TextOrEmpty(rows.Field("zhmc")) +
                   "]没有对应的清单，会导致本记录费用不统计，请检查！",
               kExclamationStyle, kMessageTitle);
      }
      group.sum += rows.Number("sjbj");
    }
  }
  Flush(connection, group);
}

// The measure totals: the whole measure bill counts its bill items and its
// items priced as a whole (detail lines only through their item).
struct MeasureTotal {
  const char* rows;
  const char* variable;
};

constexpr MeasureTotal kMeasureTotals[] = {
    {"(fbcch=5 or fbcch=6) and qdlb=1", "措施项目计价"},
    {"fbcch=6 and qdlb=1", "施工组织措施"},
    {"fbcch=6 and qdlb=1 and bhlb='1'", "安全文明施工措施费"},
};

}  // namespace

void PriceMeasures(Connection& connection, const MessageHandler& notify) {
  const std::vector<FeeVariable> variables = OpenFeeVariables(connection);
  if (variables.empty()) return;

  Recordset items;
  items.Open(connection, "select ysid,zhmc,jsjs,zdycsfl,sjdj,sjbj from zhys where qdlb=1 and (fbcch=6 or fbcch=7)");
  PriceByFormula(items, variables,
                 {.formula = "jsjs",
                  .rate = "zdycsfl",
                  .null_rate_counts_as_zero = true,
                  .amounts = {"sjdj", "sjbj"},
                  .zero_without_formula = true,
                  .row_kind = "measure item",
                  .row_number = "ysid",
                  .row_name = "zhmc"});

  RollUpDetailLines(connection, notify);
  CheckFigures(connection, {{"zhys", {"sjdj", "sjbj"}, "qdlb=1 and fbcch in (5,6,7)"}}, FigureUse::kComputed);

  for (const MeasureTotal& total : kMeasureTotals) {
    PublishFeeVariable(connection, std::string("select sum(sjbj) as csxmfy from zhys where ") + total.rows, "csxmfy",
                       total.variable);
  }
}

}  // namespace quillmere
