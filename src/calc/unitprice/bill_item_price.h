// Bill item unit price: one bill item priced on demand from the sub-items
// the host lists.

#ifndef QUILLMERE_CALC_UNITPRICE_BILL_ITEM_PRICE_H_
#define QUILLMERE_CALC_UNITPRICE_BILL_ITEM_PRICE_H_

#include <cstdint>
#include <string>

#include "quillmere/connection.h"

namespace quillmere {

// JiSuanQDDJ_DX: writes unit_price and provisional (the bill item's zhdj
// and zgj_qd) only when it gets to read them back. Throws Error.
void PriceBillItem(Connection& connection, std::int32_t bill_item, const std::string& subitems,
                   bool own_quantities, bool fee_programme, double& unit_price, double& provisional);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_UNITPRICE_BILL_ITEM_PRICE_H_
