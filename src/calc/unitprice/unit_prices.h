// Comprehensive unit prices: management fee, profit and unit price of
// sub-items and bill items, by fixed rates or the fee programme.

#ifndef QUILLMERE_CALC_UNITPRICE_UNIT_PRICES_H_
#define QUILLMERE_CALC_UNITPRICE_UNIT_PRICES_H_

#include <string>

#include "calc/model/project_memory.h"
#include "calc/scope.h"
#include "quillmere/connection.h"

namespace quillmere {

// JiSuanZHDJ_QB (whole project) and JiSuanZHDJ_DX (one row; the method
// text is unused). Keeps nothing in `memory`. Throws Error.
void ComputeUnitPrices(Connection& connection, const Scope& scope, const std::string& pricing_method,
                       bool fee_programme, ProjectMemory* memory = nullptr);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_UNITPRICE_UNIT_PRICES_H_
