// General-contractor service fee: the lines of zcbfwfb priced on their
// base value, and their total.
//
// As for the provisional sums the total line is rebuilt on every run: the
// old one goes first, the lines are priced and written in one batch, their
// sum is published as "总承包服务费" and stored as the new total line. A line's
// base value comes from its formula when it has one (stored unrounded) and is
// entered by hand otherwise; its fee, the base value times its rate, is
// recomputed in either case.

#include "calc/totals/service_fee.h"

#include <string>
#include <vector>

#include "calc/figure_check.h"
#include "calc/totals/fee_lists.h"
#include "db/recordset.h"
#include "db/value.h"

namespace quillmere {

void PriceServiceFees(Connection& connection) {
  const std::vector<FeeVariable> variables = OpenFeeVariables(connection);
  if (variables.empty()) return;

  connection.Execute("delete from zcbfwfb where mc='合计'");
  Recordset lines;
  lines.Open(connection, "select id,sjxh,mc,jsgs,jz,fl,je from zcbfwfb order by sjxh");
  for (lines.MoveFirst(); !lines.Eof(); lines.MoveNext()) {
    const std::string formula = TextOrEmpty(lines.Field("jsgs"));
    if (!formula.empty()) {
      lines.SetField("jz", FormulaValue(formula, variables, LineName(lines, "service fee line", "sjxh", "mc")));
    }
    lines.SetField("je", RatedAmount(lines.NumberOrZero("jz"), lines.NumberOrZero("fl")));
  }
  lines.UpdateBatch();
  CheckFigures(connection, {{"zcbfwfb", {"je"}, "", "sjxh"}}, FigureUse::kComputed);

  const double total = PublishFeeVariable(connection, "select sum(je) as fwf from zcbfwfb", "fwf", "总承包服务费");
  connection.Execute("insert into zcbfwfb(sjxh,mc,jsgs,jz,fwnr,fl,je) values(9999,'合计','',0,'',0,?)", {total});
}

}  // namespace quillmere
