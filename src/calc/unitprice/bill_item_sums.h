// A bill item's figures summed from its quota sub-items: each sub-item's
// per-unit figure times its quantity per unit of the bill item, rounded
// before the sum, gathered per bill item (as desjb) and then
// copied onto the bill item's fee row.

#ifndef QUILLMERE_CALC_UNITPRICE_BILL_ITEM_SUMS_H_
#define QUILLMERE_CALC_UNITPRICE_BILL_ITEM_SUMS_H_

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace quillmere {

using Figures = std::span<const std::string_view>;

// The fee parts a plain bill item price is made of.
inline constexpr std::array<std::string_view, 5> kFeeParts = {"rgf", "fcf", "jxf", "glf", "lr"};
// The same with the labour days.
inline constexpr std::array<std::string_view, 6> kFeePartsAndLabourDays = {"zrg", "rgf", "fcf", "jxf", "glf", "lr"};
// Every component the fee programme of a bill item can name: amounts at
// current prices, at base prices and their differences, fees, labour days.
inline constexpr std::array<std::string_view, 15> kEveryComponent = {
    "zrg", "rgf", "fcf", "zcf", "jxf", "rgjj", "rgjc", "fcjc", "zcjc", "jxjc", "fcjj", "zcjj", "jxjj", "glf", "lr"};

// "select qddyb.fb5 as ysid_qd, sum(...) as <figure>_qd ... group by
// qddyb.fb5" over the sub-items of qddyb; `where` (may be empty) restricts
// the mapping rows.
std::string SubItemSums(Figures figures, std::string_view where);

// The sums as a subquery named desjb, to join in an update: a table created
// and dropped for them would write pages of the project file and make every
// statement the connection keeps prepared be prepared again.
std::string SubItemSumsAsDesjb(Figures figures, std::string_view where);

// Sets the figures of the bill items' rows of `table` ("qfsjb", or the
// working copy as "temp_qfsjb as qfsjb") from `sums`, a subquery named desjb;
// `and` (may be empty) further restricts the rows.
std::string SetBillItemsFromDesjb(std::string_view table, Figures figures, std::string_view and_where,
                                  std::string_view sums);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_UNITPRICE_BILL_ITEM_SUMS_H_
