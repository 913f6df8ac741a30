// Project fee variables: the priced project summed into the named fee
// variables, the labour days and the electricity and water used.

#ifndef QUILLMERE_CALC_TOTALS_FEE_VARIABLES_H_
#define QUILLMERE_CALC_TOTALS_FEE_VARIABLES_H_

#include "quillmere/connection.h"

namespace quillmere {

// JiSuanGCRCJ. total_labour_days receives the labour days when the Part
// writes them. Throws Error.
void ComputeFeeVariables(Connection& connection, bool bill_pricing, double& total_labour_days);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_TOTALS_FEE_VARIABLES_H_
