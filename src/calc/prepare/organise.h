// Organising project data: normalises the estimate rows, maps every quota
// sub-item to its sections and bill item, and derives actual quantities.

#ifndef QUILLMERE_CALC_PREPARE_ORGANISE_H_
#define QUILLMERE_CALC_PREPARE_ORGANISE_H_

#include <string>

#include "calc/model/project_memory.h"
#include "quillmere/connection.h"

namespace quillmere {

// ZhengLiGCShuJu. Returns the empty text, or the unmapped sub-item message
// under bill-item pricing (the caller then rolls back). Throws Error.
// Leaves in `memory` only that the estimate rows' figures are numbers.
std::string OrganiseProjectData(Connection& connection, bool bill_pricing, ProjectMemory* memory = nullptr);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_PREPARE_ORGANISE_H_
