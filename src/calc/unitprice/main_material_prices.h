// The main-material figures of the estimate rows (zhys.zcfdj, zhys.zcfhj),
// which hosts read on every sub-item after recalculating a single row.

#ifndef QUILLMERE_CALC_UNITPRICE_MAIN_MATERIAL_PRICES_H_
#define QUILLMERE_CALC_UNITPRICE_MAIN_MATERIAL_PRICES_H_

#include "quillmere/connection.h"

namespace quillmere {

// Brings the main-material figures of every estimate row up to date with the
// fee rows, the main-material lines and the rows' levels. When the record of
// changes this connection keeps can vouch that only the rows it names may
// differ from what their inputs give, only those rows are refreshed;
// otherwise every row is, and the record starts afresh. Throws Error.
void RefreshMainMaterialPrices(Connection& connection);

// For members that rewrite the inputs of every row: keeping the record would
// cost a write per row they change, so it stops, and the next refresh covers
// every row.
void StopRecordingMainMaterialInputs(Connection& connection);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_UNITPRICE_MAIN_MATERIAL_PRICES_H_
