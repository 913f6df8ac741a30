// Matching materials against the provisional-price list and the selection
// flags of bill materials: see material_matching.h.

#include "calc/resources/material_matching.h"

#include <string>

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

void RefreshBillMaterialSelection(Connection& connection) {
  // The base prices are within 0.01 of each other, the bound excluded and
  // measured on the decimals they denote. Project lines of one material
  // differ by current price and class as well;
  // they share the flag of their base price, so the closest base price decides
  // and the lowest rowid only settles the order among equals. The flag depends
  // on a line's code, name, unit and base price alone, and a project has many
  // bill lines but few such keys: each key finds its project line once, in a
  // scratch table of the connection's own, and the bill lines take the flag
  // through its index.
  connection.Execute(
      "create temp table qdclb_selection as select k.bh,k.mc,k.dw,k.dj,b.xz "
      "from (select distinct bh,mc,dw,dj from qdclb) as k inner join gcclb as b "
      "on b.bh=k.bh and b.mc=k.mc and b.dw=k.dw and decimal_distance(k.dj,b.dj)<0.01 "
      "where not exists (select 1 from gcclb as c where c.bh=k.bh and c.mc=k.mc and c.dw=k.dw and " +
      CloserInPrice("k.dj", "c", "b") + ")");
  connection.Execute("create index temp.qdclb_selection_key on qdclb_selection (bh,mc,dw,dj)");
  connection.Execute(
      "update qdclb set xz=s.xz from temp.qdclb_selection as s "
      "where qdclb.bh=s.bh and qdclb.mc=s.mc and qdclb.dw=s.dw and qdclb.dj=s.dj");
  connection.Execute("drop table temp.qdclb_selection");
  connection.Execute("update qdclb set xz=FALSE where xhj=0 or xhj is null");
}

}  // namespace quillmere
