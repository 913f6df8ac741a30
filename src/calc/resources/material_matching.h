// How resources meet list entries: materials the provisional-price list, bill
// material lines the selection flag of their project material, and the rule
// that picks the closest of several entries in price, shared by the resource
// aggregation and the bill material summary, which must agree on all three
// (and with PriceList, which applies it to the price lists in memory).

#ifndef QUILLMERE_CALC_RESOURCES_MATERIAL_MATCHING_H_
#define QUILLMERE_CALC_RESOURCES_MATERIAL_MATCHING_H_

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "calc/model/price_list.h"
#include "calc/model/resource_lines.h"
#include "quillmere/connection.h"

namespace quillmere {

// The SQL expression of the name a material carries when it is the entry
// `entry` (an alias of zgjclb): the entry's name, then one blank and its
// grade (ggxh) when the grade is not the empty text. Null parts read as empty
// text, but a null grade is not the empty one: such an entry expects its name
// followed by a lone blank.
std::string ListedName(std::string_view entry);

// The same name in memory, for an entry whose name is `mc` and grade `ggxh`.
std::string ListedNameOf(const Value& mc, const Value& ggxh);

// The SQL condition "the entry `candidate` is a better match for `price`
// than the entry `chosen`" (both aliases of one list): closer in price,
// measured on the decimals the prices denote, or as close and entered first
// (lower rowid). A statement keeps the entry for which no better one exists,
// so its choice never depends on the order the engine meets the entries in.
std::string CloserInPrice(std::string_view price, std::string_view candidate, std::string_view chosen);

// The selection flag of each project material (gcclb), found by code, name,
// unit and a base price within 0.01 of the project line's, the closest in
// base price deciding.
// The texts are pooled in `pool`, with the bill lines' own.
class SelectionFlags {
 public:
  SelectionFlags(Connection& connection, TextPool& pool);
  // The flag for a bill line, or nullopt when no project material is close.
  std::optional<Value> Of(TextId bh, TextId mc, TextId dw, Figure dj) const;

 private:
  struct Lines {
    std::vector<Figure> prices;
    std::vector<Value> flags;
  };
  std::map<std::array<TextId, 3>, Lines> materials_;
  // Bill lines repeat their materials at the same prices, and measuring the
  // distance of prices on their decimals is the cost of a lookup: each
  // material and price is decided once.
  mutable std::map<std::pair<std::array<TextId, 3>, double>, std::optional<Value>> decided_;
};

// Whether a bill line with current amount `xhj` can be selected at all.
bool Selectable(Figure xhj);

// Gives every bill material line the selection flag of its project material
// (same code, name and unit, base price within 0.01; the closest in base
// price when several are that close), then unselects the lines without a
// current amount, writing only the lines whose flag changes. Throws Error.
void RefreshBillMaterialSelection(Connection& connection);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_RESOURCES_MATERIAL_MATCHING_H_
