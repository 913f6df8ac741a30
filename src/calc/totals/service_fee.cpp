// General-contractor service fee: the lines of zcbfwfb priced on their
// base value, and their total.

#include "calc/totals/service_fee.h"

namespace quillmere {

void PriceServiceFees(Connection&) {
  throw Error(std::string("not implemented yet: ") + ("JiSuanZCBFWF"));
}

}  // namespace quillmere
