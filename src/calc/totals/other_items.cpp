// Other items: the qtxm programme evaluated in calculation order and its
// total published.
//
//   (1) the lines are evaluated in calculation order, each formula seeing
//       the amounts of the lines before it (a later line, or a line without
//       formula, counts as 0); the amounts reach the database in one batch;
//   (2) the line named '合计' is the total, published as "其他项目计价"; with
//       no such line the variable is 0 and the user is told.

#include "calc/totals/other_items.h"

#include <string>
#include <vector>

#include "base/decimal.h"
#include "calc/figure_check.h"
#include "calc/totals/fee_lists.h"
#include "db/recordset.h"
#include "db/value.h"

namespace quillmere {

void EvaluateOtherItems(Connection& connection, const MessageHandler& notify) {
  const std::vector<FeeVariable> variables = OpenFeeVariables(connection);
  if (variables.empty()) return;
  Recordset lines;
  lines.Open(connection, "select * from qtxm order by jsxh");

  // amounts[n] is the stored amount of line n; index 0 and lines not yet
  // evaluated hold 0.
  std::vector<double> amounts(static_cast<std::size_t>(lines.RecordCount()) + 1, 0.0);
  for (lines.MoveFirst(); !lines.Eof(); lines.MoveNext()) {
    // A percent sign reads as a division by 100; it is spelt out before the
    // line references are looked for.
    const std::string formula = ReplacePercentSigns(TextOrEmpty(lines.Field("jsgs")));
    if (formula.empty()) {
      lines.SetField("hj", 0.0);
      continue;
    }
    const std::string line = LineName(lines, "other item line", "sjxh", "xmmc");
    lines.SetField("hj", RoundDecimal(LineFormulaValue(formula, amounts, variables, line), 2));
    amounts[LineIndex(lines, amounts.size())] = lines.Number("hj");
  }
  lines.UpdateBatch();
  CheckFigures(connection, {{"qtxm", {"hj"}, "", "sjxh"}}, FigureUse::kComputed);

  // With two lines named '合计' the first one entered is the total.
  Recordset total;
  total.Open(connection, "select hj as qdhj from qtxm where xmmc='合计' order by rowid");
  if (!total.Eof()) {
    SetFeeVariable(connection, "其他项目计价", total.NumberOrZero("qdhj"));
  } else {
    SetFeeVariable(connection, "其他项目计价", 0);
    notify("其他项目中没有合计值，软件没有汇总其他项目中的价格，请检查！", kInformationStyle, kMessageTitle);
  }
}

}  // namespace quillmere
