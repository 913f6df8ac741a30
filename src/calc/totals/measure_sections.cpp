// Measure sections: measure items of class '1' rolled up into their
// level-2 sections.

#include "calc/totals/measure_sections.h"

namespace quillmere {

void RollUpMeasureSections(Connection&) {
  throw Error(std::string("not implemented yet: ") + ("JiSuanCSFB"));
}

}  // namespace quillmere
