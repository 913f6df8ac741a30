// A price list (clzxj for labour and materials, jxzxj for machines) held in
// memory: its entries per code, name and unit, in the order they were
// entered, and the rule by which a resource finds its entry.

#ifndef QUILLMERE_CALC_MODEL_PRICE_LIST_H_
#define QUILLMERE_CALC_MODEL_PRICE_LIST_H_

#include <optional>
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

// Whether a price exactly 0.01 from an entry's lies within the tolerance:
// the price lists include the bound, the provisional-price list and the
// selection of bill lines exclude it.
enum class Bound { kIncluded, kExcluded };

// The rule every list match shares: of `prices` (the candidates' prices, in
// the order the candidates were entered), the index of the one within 0.01 of
// `price`, measured on the decimals the prices denote, that lies closest, the
// first of equally close ones; nullopt when none is that close. A null price
// is never close, nor is a distance that is no number.
std::optional<size_t> ClosestInPrice(double price, const std::vector<Figure>& prices, Bound bound);

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
  struct Entries {
    std::vector<Figure> prices;
    std::vector<PriceListEntry> entries;
  };
  std::unordered_map<TextId, Entries> entries_;
  // Lines repeat their resources at the same prices, and measuring the
  // distance of prices on their decimals is the cost of a lookup: each
  // resource and price is decided once.
  struct Asked {
    TextId key;
    double dj;
    bool operator==(const Asked& other) const { return key == other.key && dj == other.dj; }
  };
  struct AskedHash {
    size_t operator()(const Asked& asked) const {
      return std::hash<TextId>()(asked.key) * 1000003u ^ std::hash<double>()(asked.dj);
    }
  };
  mutable std::unordered_map<Asked, const PriceListEntry*, AskedHash> decided_;
};

}  // namespace quillmere

#endif  // QUILLMERE_CALC_MODEL_PRICE_LIST_H_
