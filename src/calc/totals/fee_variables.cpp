// Project fee variables: the priced project summed into the named fee
// variables, the labour days and the electricity and water used.

#include "calc/totals/fee_variables.h"

namespace quillmere {

void ComputeFeeVariables(Connection&, bool, double&) {
  throw Error(std::string("not implemented yet: ") + ("JiSuanGCRCJ"));
}

}  // namespace quillmere
