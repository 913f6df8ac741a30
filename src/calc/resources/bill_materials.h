// Bill material summary: the materials of every bill item and the bill
// items' material, provisional-price and owner-supplied amounts.

#ifndef QUILLMERE_CALC_RESOURCES_BILL_MATERIALS_H_
#define QUILLMERE_CALC_RESOURCES_BILL_MATERIALS_H_

#include "quillmere/connection.h"

namespace quillmere {

// QingDanCLHZ. Throws Error.
void SummariseBillMaterials(Connection& connection);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_RESOURCES_BILL_MATERIALS_H_
