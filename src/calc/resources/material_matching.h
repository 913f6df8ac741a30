// How materials meet the provisional-price list and how bill material lines
// take the selection flag of their project material; shared by the resource
// aggregation and the bill material summary, which must agree on both.

#ifndef QUILLMERE_CALC_RESOURCES_MATERIAL_MATCHING_H_
#define QUILLMERE_CALC_RESOURCES_MATERIAL_MATCHING_H_

#include <string>
#include <string_view>

#include "quillmere/connection.h"

namespace quillmere {

// The SQL expression of the name a material carries when it is the entry
// `entry` (an alias of zgjclb): the entry's name, then one blank and its
// grade (ggxh) when the grade is not the empty text. Null parts read as empty
// text, but a null grade is not the empty one: such an entry expects its name
// followed by a lone blank.
std::string ListedName(std::string_view entry);

// Gives every bill material line the selection flag of its project material
// (same code, name and unit, base price within 0.01; the closest in base
// price when several are that close), then unselects the lines without a
// current amount. Whole-project statements; throws Error.
void RefreshBillMaterialSelection(Connection& connection);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_RESOURCES_MATERIAL_MATCHING_H_
