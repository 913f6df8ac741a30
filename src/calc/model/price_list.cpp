// A price list in memory: see price_list.h.

#include "calc/model/price_list.h"

#include "base/decimal.h"
#include "calc/model/line_table.h"
#include "db/kept_statement.h"
#include "db/statement.h"

namespace quillmere {

PriceList::PriceList(Connection& connection, const std::string& table, TextPool& pool) {
  KeptStatement statement(connection, "select bh,mc,dw,dj,xxdj from " + table + " order by rowid");
  sqlite3_stmt* stmt = statement->get();
  while (statement->Step()) {
    const TextId key = ReadResourceKey(stmt, 0, pool);
    // An entry with a null code, name or unit is no resource's entry.
    if (key == 0) continue;
    Entries& entries = entries_[key];
    entries.entries.push_back({ReadFigureCell(stmt, 3, table, 0), ReadFigureCell(stmt, 4, table, 0)});
    entries.prices.push_back(entries.entries.back().dj);
  }
}

const PriceListEntry* PriceList::EntryFor(TextId key, Figure dj) const {
  if (key == 0 || dj.null()) return nullptr;
  const auto [decided, first_time] = decided_.try_emplace({key, dj.value}, nullptr);
  if (first_time) {
    const auto found = entries_.find(key);
    if (found == entries_.end()) return nullptr;
    if (const auto chosen = ClosestInPrice(dj.value, found->second.prices, Bound::kIncluded)) {
      decided->second = &found->second.entries[*chosen];
    }
  }
  return decided->second;
}

std::optional<size_t> ClosestInPrice(double price, const std::vector<Figure>& prices, Bound bound) {
  std::optional<size_t> chosen;
  double closest = 0;
  for (size_t i = 0; i < prices.size(); ++i) {
    if (prices[i].null()) continue;
    const double distance = DecimalDistance(price, prices[i].value);
    const bool within = bound == Bound::kIncluded ? distance <= 0.01 : distance < 0.01;
    if (!within) continue;
    // Strictly closer only: of equally close entries the first entered stays.
    if (!chosen || distance < closest) {
      chosen = i;
      closest = distance;
    }
  }
  return chosen;
}

}  // namespace quillmere
