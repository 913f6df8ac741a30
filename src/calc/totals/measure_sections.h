// Measure sections: measure items of class '1' rolled up into their
// level-2 sections.

#ifndef QUILLMERE_CALC_TOTALS_MEASURE_SECTIONS_H_
#define QUILLMERE_CALC_TOTALS_MEASURE_SECTIONS_H_

#include "quillmere/connection.h"

namespace quillmere {

// JiSuanCSFB. Throws Error.
void RollUpMeasureSections(Connection& connection);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_TOTALS_MEASURE_SECTIONS_H_
