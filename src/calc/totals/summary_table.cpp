// Summary table: the summary programme evaluated over the fee variables,
// giving the project cost and the cost per floor area.

#include "calc/totals/summary_table.h"

namespace quillmere {

void EvaluateSummaryTable(Connection&, double, double&, double&) {
  throw Error(std::string("not implemented yet: ") + ("JiSuanHZB"));
}

}  // namespace quillmere
