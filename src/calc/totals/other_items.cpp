// Other items: the qtxm programme evaluated in calculation order and its
// total published.

#include "calc/totals/other_items.h"

namespace quillmere {

void EvaluateOtherItems(Connection&, const MessageHandler&) {
  throw Error(std::string("not implemented yet: ") + ("JiSuanQTXM"));
}

}  // namespace quillmere
