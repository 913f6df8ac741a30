// Comprehensive unit prices: management fee, profit and unit price of
// sub-items and bill items, by fixed rates or the fee programme.

#include "calc/unitprice/unit_prices.h"

namespace quillmere {

void ComputeUnitPrices(Connection&, const Scope& scope, const std::string&, bool) {
  throw Error(std::string("not implemented yet: ") + (scope.whole() ? "JiSuanZHDJ_QB" : "JiSuanZHDJ_DX"));
}

}  // namespace quillmere
