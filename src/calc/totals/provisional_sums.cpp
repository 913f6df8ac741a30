// Provisional sums: the lines of zljeb priced by formula and rate, and
// their total.

#include "calc/totals/provisional_sums.h"

namespace quillmere {

void PriceProvisionalSums(Connection&) {
  throw Error(std::string("not implemented yet: ") + ("JiSuanZLJE"));
}

}  // namespace quillmere
