// Current-price amounts: each fee row's amounts at current prices, labour
// days and price differences, percentage resources included.

#include "calc/resources/current_amounts.h"

namespace quillmere {

void ComputeCurrentAmounts(Connection&, const Scope& scope, bool) {
  throw Error(std::string("not implemented yet: ") + (scope.whole() ? "JiSuanXXJ" : "JiSuanXXJ_DX"));
}

}  // namespace quillmere
