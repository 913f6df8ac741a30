// Other items: the qtxm programme evaluated in calculation order and its
// total published.

#ifndef QUILLMERE_CALC_TOTALS_OTHER_ITEMS_H_
#define QUILLMERE_CALC_TOTALS_OTHER_ITEMS_H_

#include "quillmere/connection.h"
#include "quillmere/messages.h"

namespace quillmere {

// JiSuanQTXM. The missing-total warning goes to `notify`. Throws Error.
void EvaluateOtherItems(Connection& connection, const MessageHandler& notify);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_TOTALS_OTHER_ITEMS_H_
