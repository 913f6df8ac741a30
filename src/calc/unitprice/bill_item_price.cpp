// Bill item unit price: one bill item priced on demand from the sub-items
// the host lists.

#include "calc/unitprice/bill_item_price.h"

namespace quillmere {

void PriceBillItem(Connection&, std::int32_t, const std::string&, bool, bool, double&, double&) {
  throw Error(std::string("not implemented yet: ") + ("JiSuanQDDJ"));
}

}  // namespace quillmere
