// Organising project data: normalises the estimate rows, maps every quota
// sub-item to its sections and bill item, and derives actual quantities.

#include "calc/prepare/organise.h"

namespace quillmere {

std::string OrganiseProjectData(Connection&, bool) {
  throw Error(std::string("not implemented yet: ") + ("ZhengLiGCShuJu"));
}

}  // namespace quillmere
