// Matching materials against the provisional-price list and the selection
// flags of bill materials: see material_matching.h.

#include "calc/resources/material_matching.h"

#include <string>
#include <utility>

#include "base/decimal.h"
#include "db/kept_statement.h"
#include "db/statement.h"
#include "db/value.h"

namespace quillmere {

std::string ListedName(std::string_view entry) {
  const std::string e(entry);
  return "(ifnull(" + e + ".mc,'')||iif(" + e + ".ggxh='','',' '||ifnull(" + e + ".ggxh,'')))";
}

std::string CloserInPrice(std::string_view price, std::string_view candidate, std::string_view chosen) {
  const std::string p(price), c(candidate), b(chosen);
  const std::string to_candidate = "decimal_distance(" + p + "," + c + ".dj)";
  const std::string to_chosen = "decimal_distance(" + p + "," + b + ".dj)";
  return "(" + to_candidate + "<" + to_chosen + " or (" + to_candidate + "=" + to_chosen + " and " + c + ".rowid<" + b +
         ".rowid))";
}

std::string ListedNameOf(const Value& mc, const Value& ggxh) {
  // A null grade is not the empty one: the name is then followed by a lone blank.
  const bool empty_grade = !IsNull(ggxh) && ToText(ggxh).empty();
  return TextOrEmpty(mc) + (empty_grade ? "" : " " + TextOrEmpty(ggxh));
}

SelectionFlags::SelectionFlags(Connection& connection) {
  KeptStatement read(connection, "select bh,mc,dw,dj,xz from gcclb order by rowid");
  while (read->Step()) {
    const Value bh = read->ColumnValue(0), mc = read->ColumnValue(1), dw = read->ColumnValue(2);
    if (IsNull(bh) || IsNull(mc) || IsNull(dw)) continue;  // a null never matches
    Lines& lines = materials_[{ToText(bh), ToText(mc), ToText(dw)}];
    lines.prices.push_back(ReadFigure(read->get(), 3, "the project materials"));
    lines.flags.push_back(read->ColumnValue(4));
  }
}

std::optional<Value> SelectionFlags::Of(const std::string& bh, const std::string& mc, const std::string& dw,
                                        Figure dj) const {
  if (dj.null()) return std::nullopt;
  const auto found = materials_.find({bh, mc, dw});
  if (found == materials_.end()) return std::nullopt;
  const auto chosen = ClosestInPrice(dj.value, found->second.prices, Bound::kExcluded);
  if (!chosen) return std::nullopt;
  return found->second.flags[*chosen];
}

bool Selectable(Figure xhj) { return !xhj.null() && xhj.value != 0; }

void RefreshBillMaterialSelection(Connection& connection) {
  // The base prices are within 0.01 of each other, the bound excluded and
  // measured on the decimals they denote. Project lines of one material
  // differ by current price and class as well; they share the flag of their
  // base price, so the closest base price decides and the lowest rowid only
  // settles the order among equals. Lines without a current amount are
  // never selected.
  const SelectionFlags flags(connection);
  std::vector<std::pair<Value, Value>> changes;  // (flag, rowid)
  KeptStatement read(connection, "select rowid,bh,mc,dw,dj,xhj,xz from qdclb");
  while (read->Step()) {
    const Value bh = read->ColumnValue(1), mc = read->ColumnValue(2), dw = read->ColumnValue(3);
    const Value stored = read->ColumnValue(6);
    Value flag = stored;
    if (!IsNull(bh) && !IsNull(mc) && !IsNull(dw)) {
      if (auto found = flags.Of(ToText(bh), ToText(mc), ToText(dw), ReadFigure(read->get(), 4, "the bill lines"))) {
        flag = *found;
      }
    }
    if (!Selectable(ReadFigure(read->get(), 5, "the bill lines"))) flag = std::int64_t{0};
    if (!SameValue(flag, stored)) changes.emplace_back(flag, read->ColumnValue(0));
  }
  for (const auto& [flag, rowid] : changes) connection.Execute("update qdclb set xz=? where rowid=?", {flag, rowid});
}

}  // namespace quillmere
