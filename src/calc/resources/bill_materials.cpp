// Bill material summary: the materials of every bill item and the bill
// items' material, provisional-price and owner-supplied amounts.

#include "calc/resources/bill_materials.h"

namespace quillmere {

void SummariseBillMaterials(Connection&) {
  throw Error(std::string("not implemented yet: ") + ("QingDanCLHZ"));
}

}  // namespace quillmere
