// Matching materials against the provisional-price list and the selection
// flags of bill materials: see material_matching.h.

#include "calc/resources/material_matching.h"

#include <string>

namespace quillmere {

std::string ListedName(std::string_view entry) {
  const std::string e(entry);
  return "(ifnull(" + e + ".mc,'')||iif(" + e + ".ggxh='','',' '||ifnull(" + e + ".ggxh,'')))";
}

void RefreshBillMaterialSelection(Connection& connection) {
  // Project lines of one material differ by current price and class as well;
  // they share the flag of their base price, so the closest base price decides
  // and the lowest rowid only settles the order among equals.
  connection.Execute(
      "update qdclb as a set xz=b.xz from gcclb as b "
      "where a.bh=b.bh and a.mc=b.mc and a.dw=b.dw and abs(a.dj-b.dj)<0.01 "
      "and not exists (select 1 from gcclb as c where c.bh=a.bh and c.mc=a.mc and c.dw=a.dw "
      "and (abs(a.dj-c.dj)<abs(a.dj-b.dj) or (abs(a.dj-c.dj)=abs(a.dj-b.dj) and c.rowid<b.rowid)))");
  connection.Execute("update qdclb set xz=FALSE where xhj=0 or xhj is null");
}

}  // namespace quillmere
