// User-defined measures: measure items priced by formula and rate, detail
// lines rolled up into their item, and the measure totals.

#include "calc/totals/measures.h"

namespace quillmere {

void PriceMeasures(Connection&, const MessageHandler&) {
  throw Error(std::string("not implemented yet: ") + ("JiSuanZDYCS"));
}

}  // namespace quillmere
