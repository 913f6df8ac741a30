// Current-price amounts: each fee row's amounts at current prices, labour
// days and price differences, percentage resources included.

#ifndef QUILLMERE_CALC_RESOURCES_CURRENT_AMOUNTS_H_
#define QUILLMERE_CALC_RESOURCES_CURRENT_AMOUNTS_H_

#include "calc/scope.h"
#include "quillmere/connection.h"

namespace quillmere {

class ProjectMemory;

// JiSuanXXJ (whole project; net_of_base is BolJSAZ) and JiSuanXXJ_DX (one
// row; net_of_base unused). Writes the current amounts, labour days and price
// differences of the fee rows (qfsjb), prices the percentage resources of
// gjrg, gjcl, gjjx and appends them to fxrgb, fxclb, fxjxb. Requires: the
// analysis tables were just rebuilt (a second run on them counts the
// percentage rows twice). Throws Error; the caller's transaction undoes
// everything.
// With `memory` holding the analysis lines, the whole project takes them
// from there and keeps the percentage rows it appends there too.
void ComputeCurrentAmounts(Connection& connection, const Scope& scope, bool net_of_base,
                           ProjectMemory* memory = nullptr);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_RESOURCES_CURRENT_AMOUNTS_H_
