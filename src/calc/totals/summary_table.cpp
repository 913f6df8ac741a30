// Summary table: the summary programme evaluated over the fee variables,
// giving the project cost and the cost per floor area.
//
//   (1) the summary lines are evaluated in calculation order, each formula
//       seeing the results of the lines before it (a later line, or a line
//       without formula, counts as 0); their results reach the database in
//       one batch;
//   (2) the project cost is the result of the line numbered as many as there
//       are lines, not the line evaluated last and not a sum;
//   (3) the cost and the cost per floor area go to the project information
//       and to the caller.

#include "calc/totals/summary_table.h"

#include <string>
#include <vector>

#include "base/decimal.h"
#include "calc/figure_check.h"
#include "calc/totals/fee_lists.h"
#include "db/recordset.h"
#include "db/value.h"

namespace quillmere {

void EvaluateSummaryTable(Connection& connection, double floor_area, double& project_cost, double& cost_per_area) {
  const std::vector<FeeVariable> variables = OpenFeeVariables(connection);
  if (variables.empty()) return;
  Recordset lines;
  lines.Open(connection, "select * from qfjjcxb where leixing=2 order by jsxh");
  if (lines.RecordCount() < 1) return;

  // results[n] is the stored result of line n; index 0 and lines not yet
  // evaluated hold 0.
  std::vector<double> results(static_cast<std::size_t>(lines.RecordCount()) + 1, 0.0);
  for (lines.MoveFirst(); !lines.Eof(); lines.MoveNext()) {
    const std::string formula = TextOrEmpty(lines.Field("jsjs"));
    if (formula.empty()) {
      // The old formula value stays for display; the result is 0.
      lines.SetField("jsjg", 0.0);
      continue;
    }
    const double value = LineFormulaValue(formula, results, variables, LineName(lines, "summary line", "sjxh", "fymc"));
    lines.SetField("jsjsje", RoundDecimal(value, 2));
    lines.SetField("jsjg", RatedAmount(value, lines.Number("fl")));
    results[LineIndex(lines, results.size())] = lines.Number("jsjg");
  }
  lines.UpdateBatch();
  CheckFigures(connection, {{"qfjjcxb", {"jsjsje", "jsjg"}, "leixing=2 and jsjs<>''", "sjxh"}}, FigureUse::kComputed);

  const double cost = results.back();
  connection.Execute("update gcxxb set shuzhi=? where mingc='工程造价'", {NumberText(cost)});
  project_cost = cost;
  if (floor_area == 0) {
    connection.Execute("update gcxxb set shuzhi='0' where mingc='经济指标'");
    cost_per_area = 0;
  } else {
    const double per_area = RoundDecimal(cost / floor_area, 2);
    connection.Execute("update gcxxb set shuzhi=? where mingc='经济指标'", {NumberText(per_area)});
    cost_per_area = per_area;
  }
}

}  // namespace quillmere
