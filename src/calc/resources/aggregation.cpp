// Resource aggregation: the per-row analysis tables, the project resource
// tables and the provisional-price and owner-supplied marks.

#include "calc/resources/aggregation.h"

namespace quillmere {

void AggregateResources(Connection&, const Scope& scope) {
  throw Error(std::string("not implemented yet: ") + (scope.whole() ? "HuiZongRCJ" : "HuiZongRCJ_DX"));
}

}  // namespace quillmere
