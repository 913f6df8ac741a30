// A price list in memory: see price_list.h.

#include "calc/model/price_list.h"

#include "base/decimal.h"
#include "calc/model/line_table.h"
#include "db/statement.h"

namespace quillmere {

PriceList::PriceList(Connection& connection, const std::string& table, TextPool& pool) {
  Statement statement(connection.handle(), "select bh,mc,dw,dj,xxdj from " + table + " order by rowid");
  sqlite3_stmt* stmt = statement.get();
  while (statement.Step()) {
    const TextId key = ReadResourceKey(stmt, 0, pool);
    // An entry with a null code, name or unit is no resource's entry.
    if (key == 0) continue;
    entries_[key].push_back({ReadFigureCell(stmt, 3, table, 0), ReadFigureCell(stmt, 4, table, 0)});
  }
}

const PriceListEntry* PriceList::EntryFor(TextId key, Figure dj) const {
  if (key == 0 || dj.null) return nullptr;
  const auto found = entries_.find(key);
  if (found == entries_.end()) return nullptr;
  const PriceListEntry* closest = nullptr;
  double closest_distance = 0;
  for (const PriceListEntry& entry : found->second) {
    if (entry.dj.null) continue;
    // A distance that is no number (two infinities) matches nothing.
    const double distance = DecimalDistance(dj.value, entry.dj.value);
    if (!(distance <= 0.01)) continue;
    // Strictly closer only: of equally close entries the first entered stays.
    if (closest == nullptr || distance < closest_distance) {
      closest = &entry;
      closest_distance = distance;
    }
  }
  return closest;
}

}  // namespace quillmere
