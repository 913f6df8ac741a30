// Summary table: the summary programme evaluated over the fee variables,
// giving the project cost and the cost per floor area.

#ifndef QUILLMERE_CALC_TOTALS_SUMMARY_TABLE_H_
#define QUILLMERE_CALC_TOTALS_SUMMARY_TABLE_H_

#include "quillmere/connection.h"

namespace quillmere {

// JiSuanHZB. project_cost and cost_per_area are written where the
// summary writes them. Throws Error.
void EvaluateSummaryTable(Connection& connection, double floor_area, double& project_cost, double& cost_per_area);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_TOTALS_SUMMARY_TABLE_H_
