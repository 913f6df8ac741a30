// Quota base prices: every resource priced at its base price and the
// base amounts of every fee row, for the whole project or one row.

#ifndef QUILLMERE_CALC_RESOURCES_BASE_PRICES_H_
#define QUILLMERE_CALC_RESOURCES_BASE_PRICES_H_

#include "calc/model/project_memory.h"
#include "calc/scope.h"
#include "quillmere/connection.h"

namespace quillmere {

// JiSuanDEJJ_QB (whole project) and JiSuanDEJJ_DX (one row). Throws Error.
// The whole project keeps its lines in `memory`, if given, for the current
// prices that follow it.
void PriceAtBasePrices(Connection& connection, const Scope& scope, ProjectMemory* memory = nullptr);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_RESOURCES_BASE_PRICES_H_
