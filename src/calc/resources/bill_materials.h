// Bill material summary: the materials of every bill item and the bill
// items' material, provisional-price and owner-supplied amounts.

#ifndef QUILLMERE_CALC_RESOURCES_BILL_MATERIALS_H_
#define QUILLMERE_CALC_RESOURCES_BILL_MATERIALS_H_

#include "quillmere/connection.h"

namespace quillmere {

class ProjectMemory;

// QingDanCLHZ. Rebuilds qdclb from fxclb and qddyb and writes the bill items'
// fcf_qd and zcf_qd and the provisional-price and owner-supplied figures
// zgjhj_qd, zgj_qd, jghj_qd, jg_qd of bill items and sub-items. Requires: the
// aggregation and current amounts ran. With `memory` holding the analysis
// lines, the materials are taken from there instead of fxclb. Throws Error;
// the caller's transaction undoes everything.
void SummariseBillMaterials(Connection& connection, ProjectMemory* memory = nullptr);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_RESOURCES_BILL_MATERIALS_H_
