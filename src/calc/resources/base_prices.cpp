// Quota base prices: every resource priced at its base price and the
// base amounts of every fee row, for the whole project or one row.

#include "calc/resources/base_prices.h"

namespace quillmere {

void PriceAtBasePrices(Connection&, const Scope& scope) {
  throw Error(std::string("not implemented yet: ") + (scope.whole() ? "JiSuanDEJJ_QB" : "JiSuanDEJJ_DX"));
}

}  // namespace quillmere
