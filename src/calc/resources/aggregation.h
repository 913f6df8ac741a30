// Resource aggregation: the per-row analysis tables, the project resource
// tables and the provisional-price and owner-supplied marks.

#ifndef QUILLMERE_CALC_RESOURCES_AGGREGATION_H_
#define QUILLMERE_CALC_RESOURCES_AGGREGATION_H_

#include "calc/scope.h"
#include "quillmere/connection.h"

namespace quillmere {

// HuiZongRCJ (whole project) and HuiZongRCJ_DX (one row). Throws Error.
void AggregateResources(Connection& connection, const Scope& scope);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_RESOURCES_AGGREGATION_H_
