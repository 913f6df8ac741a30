// Current-price filling: current prices from the price lists onto the
// resources, split materials and machines.

#ifndef QUILLMERE_CALC_RESOURCES_CURRENT_PRICES_H_
#define QUILLMERE_CALC_RESOURCES_CURRENT_PRICES_H_

#include <string_view>

#include "calc/model/line_table.h"
#include "calc/model/project_memory.h"
#include "calc/scope.h"
#include "quillmere/connection.h"

namespace quillmere {

// ChongXinJSXXJ_QB (whole project; clear_results zeroes the current-price
// results of every fee row) and ChongXinJSXXJ_DX (one row). Throws Error.
// The whole project takes the lines the base prices kept in `memory`, if
// any.
void FillCurrentPrices(Connection& connection, const Scope& scope, bool clear_results, ProjectMemory* memory = nullptr);

// The columns the whole project's current prices hold of `table`; empty
// for a table they do not price.
LineTable::Columns CurrentPriceColumns(std::string_view table);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_RESOURCES_CURRENT_PRICES_H_
