// Current-price amounts: each fee row's amounts at current prices, labour
// days and price differences, percentage resources included.

#ifndef QUILLMERE_CALC_RESOURCES_CURRENT_AMOUNTS_H_
#define QUILLMERE_CALC_RESOURCES_CURRENT_AMOUNTS_H_

#include "calc/scope.h"
#include "quillmere/connection.h"

namespace quillmere {

// JiSuanXXJ (whole project; net_of_base is BolJSAZ) and JiSuanXXJ_DX (one
// row; net_of_base unused). Throws Error.
void ComputeCurrentAmounts(Connection& connection, const Scope& scope, bool net_of_base);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_RESOURCES_CURRENT_AMOUNTS_H_
