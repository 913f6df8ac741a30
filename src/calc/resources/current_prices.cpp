// Current-price filling: current prices from the price lists onto the
// resources, split materials and machines.

#include "calc/resources/current_prices.h"

namespace quillmere {

void FillCurrentPrices(Connection&, const Scope& scope, bool) {
  throw Error(std::string("not implemented yet: ") + (scope.whole() ? "ChongXinJSXXJ_QB" : "ChongXinJSXXJ_DX"));
}

}  // namespace quillmere
