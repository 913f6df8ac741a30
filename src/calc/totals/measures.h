// User-defined measures: measure items priced by formula and rate, detail
// lines rolled up into their item, and the measure totals.

#ifndef QUILLMERE_CALC_TOTALS_MEASURES_H_
#define QUILLMERE_CALC_TOTALS_MEASURES_H_

#include "quillmere/connection.h"
#include "quillmere/messages.h"

namespace quillmere {

// JiSuanZDYCS. Warnings go to `notify`. Throws Error.
void PriceMeasures(Connection& connection, const MessageHandler& notify);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_TOTALS_MEASURES_H_
