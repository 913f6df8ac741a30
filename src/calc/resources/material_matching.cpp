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

SelectionFlags::SelectionFlags(Connection& connection, TextPool& pool) {
  KeptStatement read(connection, "select bh,mc,dw,dj,xz from gcclb order by rowid");
  while (read->Step()) {
    const std::array<TextId, 3> key = {ReadText(read->get(), 0, pool), ReadText(read->get(), 1, pool),
                                       ReadText(read->get(), 2, pool)};
    if (key[0] == 0 || key[1] == 0 || key[2] == 0) continue;  // a null never matches
    Lines& lines = materials_[key];
    lines.prices.push_back(ReadFigure(read->get(), 3, "the project materials"));
    lines.flags.push_back(read->ColumnValue(4));
  }
}

std::optional<Value> SelectionFlags::Of(TextId bh, TextId mc, TextId dw, Figure dj) const {
  if (dj.null() || bh == 0 || mc == 0 || dw == 0) return std::nullopt;
  const auto found = materials_.find({bh, mc, dw});
  if (found == materials_.end()) return std::nullopt;
  const auto [decided, first_time] = decided_.try_emplace({{bh, mc, dw}, dj.value});
  if (first_time) {
    if (const auto chosen = ClosestInPrice(dj.value, found->second.prices, Bound::kExcluded)) {
      decided->second = found->second.flags[*chosen];
    }
  }
  return decided->second;
}

bool Selectable(Figure xhj) { return !xhj.null() && xhj.value != 0; }

void RefreshBillMaterialSelection(Connection& connection) {
  // The base prices are within 0.01 of each other, the bound excluded and
  // measured on the decimals they denote. Project lines of one material
  // differ by current price and class as well; they share the flag of their
  // base price, so the closest base price decides and the lowest rowid only
  // settles the order among equals. Lines without a current amount are
  // never selected.
  TextPool pool;
  const SelectionFlags flags(connection, pool);
  std::vector<std::pair<Value, Value>> changes;  // (flag, rowid)
  KeptStatement read(connection, "select rowid,bh,mc,dw,dj,xhj,xz from qdclb");
  sqlite3_stmt* stmt = read->get();
  while (read->Step()) {
    const Value stored = read->ColumnValue(6);
    Value flag = stored;
    const TextId bh = ReadText(stmt, 1, pool), mc = ReadText(stmt, 2, pool), dw = ReadText(stmt, 3, pool);
    if (bh != 0 && mc != 0 && dw != 0) {
      if (auto found = flags.Of(bh, mc, dw, ReadFigure(stmt, 4, "the bill lines"))) flag = *found;
    }
    if (!Selectable(ReadFigure(read->get(), 5, "the bill lines"))) flag = std::int64_t{0};
    if (!SameValue(flag, stored)) changes.emplace_back(flag, read->ColumnValue(0));
  }
  for (const auto& [flag, rowid] : changes) connection.Execute("update qdclb set xz=? where rowid=?", {flag, rowid});
}

}  // namespace quillmere
