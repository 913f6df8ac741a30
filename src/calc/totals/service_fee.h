// General-contractor service fee: the lines of zcbfwfb priced on their
// base value, and their total.

#ifndef QUILLMERE_CALC_TOTALS_SERVICE_FEE_H_
#define QUILLMERE_CALC_TOTALS_SERVICE_FEE_H_

#include "quillmere/connection.h"

namespace quillmere {

// JiSuanZCBFWF. Throws Error.
void PriceServiceFees(Connection& connection);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_TOTALS_SERVICE_FEE_H_
