// Provisional sums: the lines of zljeb priced by formula and rate, and
// their total.

#ifndef QUILLMERE_CALC_TOTALS_PROVISIONAL_SUMS_H_
#define QUILLMERE_CALC_TOTALS_PROVISIONAL_SUMS_H_

#include "quillmere/connection.h"

namespace quillmere {

// JiSuanZLJE. Throws Error.
void PriceProvisionalSums(Connection& connection);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_TOTALS_PROVISIONAL_SUMS_H_
