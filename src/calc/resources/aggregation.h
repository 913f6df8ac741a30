// Resource aggregation: the per-row analysis tables, the project resource
// tables and the provisional-price and owner-supplied marks.

#ifndef QUILLMERE_CALC_RESOURCES_AGGREGATION_H_
#define QUILLMERE_CALC_RESOURCES_AGGREGATION_H_

#include "calc/scope.h"
#include "quillmere/connection.h"

namespace quillmere {

class ProjectMemory;

// HuiZongRCJ (whole project) and HuiZongRCJ_DX (one row). Rebuilds the
// analysis tables fx* from the resources gj*/ft* as their prices stand; the
// whole project also rebuilds the project tables gc* and jxtcb, the list marks
// (gcclb, gjcl.tzbz), the quantities of zgjclb and the selection flags of
// qdclb, and empties the staging tables fx*1 a project priced by an older
// engine may hold lines in. One row leaves the project tables alone.
// Requires: base and current prices filled.
// Throws Error; the caller's transaction undoes everything.
// With `memory`, the whole project keeps the analysis lines of labour,
// materials and machines there for the members after it.
void AggregateResources(Connection& connection, const Scope& scope, ProjectMemory* memory = nullptr);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_RESOURCES_AGGREGATION_H_
