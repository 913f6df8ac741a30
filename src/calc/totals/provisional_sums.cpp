// Provisional sums: the lines of zljeb priced by formula and rate, and
// their total.
//
// The total line is rebuilt on every run: (1) the old total line goes first,
// so (2) the priced lines, written in one batch, and (3) their sum never
// count an old total; (4) the sum is published as "暂列金额" and (5) stored
// as the new total line. A line without a formula keeps the amount entered
// for it, and that amount counts in the total.

#include "calc/totals/provisional_sums.h"

#include <vector>

#include "calc/figure_check.h"
#include "calc/totals/fee_lists.h"
#include "db/recordset.h"

namespace quillmere {

void PriceProvisionalSums(Connection& connection) {
  const std::vector<FeeVariable> variables = OpenFeeVariables(connection);
  if (variables.empty()) return;

  connection.Execute("delete from zljeb where mc='合计'");
  Recordset lines;
  lines.Open(connection, "select id,sjxh,mc,dw,jsgs,fl,je from zljeb order by sjxh");
  PriceByFormula(lines, variables,
                 {.formula = "jsgs",
                  .rate = "fl",
                  .null_rate_counts_as_zero = false,
                  .amounts = {"je"},
                  .zero_without_formula = false,
                  .row_kind = "provisional sum line"});
  CheckFigures(connection, {{"zljeb", {"je"}, "jsgs<>''", "sjxh"}}, FigureUse::kComputed);

  const double total = PublishFeeVariable(connection, "select sum(je) as fwf from zljeb", "fwf", "暂列金额");
  connection.Execute("insert into zljeb(sjxh,mc,dw,jsgs,fl,je,bz) values(9999,'合计','','',0,?,'')", {total});
}

}  // namespace quillmere
