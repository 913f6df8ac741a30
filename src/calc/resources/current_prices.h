// Current-price filling: current prices from the price lists onto the
// resources, split materials and machines.

#ifndef QUILLMERE_CALC_RESOURCES_CURRENT_PRICES_H_
#define QUILLMERE_CALC_RESOURCES_CURRENT_PRICES_H_

#include "calc/scope.h"
#include "quillmere/connection.h"

namespace quillmere {

// ChongXinJSXXJ_QB (whole project; clear_results zeroes the current-price
// results of every fee row) and ChongXinJSXXJ_DX (one row). Throws Error.
void FillCurrentPrices(Connection& connection, const Scope& scope, bool clear_results);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_RESOURCES_CURRENT_PRICES_H_
