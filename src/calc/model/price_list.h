// A price list (clzxj for labour and materials, jxzxj for machines) held in
// memory: its entries per code, name and unit, in the order they were
// entered, and the rule by which a resource finds its entry.

#ifndef QUILLMERE_CALC_MODEL_PRICE_LIST_H_
#define QUILLMERE_CALC_MODEL_PRICE_LIST_H_

#include <string>
#include <unordered_map>
#include <vector>

#include "calc/model/resource_lines.h"
#include "quillmere/connection.h"

namespace quillmere {

struct PriceListEntry {
  Figure dj;    // the base price the entry is listed at
  Figure xxdj;  // its current price
};

class PriceList {
 public:
  // Reads every entry of `table`; the code, name and unit are pooled as the
  // key ReadResourceKey gives a resource line.
  PriceList(Connection& connection, const std::string& table, TextPool& pool);

  // The entry of the resource with `key` and base price `dj`: of the entries
  // with its code, name and unit whose price lies within 0.01 of `dj`, both
  // bounds included and measured on the decimals the prices denote, the
  // closest, and of equally close entries the one entered first. Null when
  // none is that close.
  const PriceListEntry* EntryFor(TextId key, Figure dj) const;

 private:
  std::unordered_map<TextId, std::vector<PriceListEntry>> entries_;
};

}  // namespace quillmere

#endif  // QUILLMERE_CALC_MODEL_PRICE_LIST_H_
