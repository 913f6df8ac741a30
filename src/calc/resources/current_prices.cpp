// Current-price filling: current prices from the price lists onto the
// resources, split materials and machines.
//
// The plan, in the order that matters:
//  (1) the whole project forgets every current price (xxj 0, current amount
//      = base amount) and, on request, the current-price results of the fee
//      rows; one row keeps the prices stored on its lines instead;
//  (2) labour and the components of split materials take their list price
//      (one row: their amounts are recomputed from the stored prices);
//  (3) split materials of styles 1 and 2 take their components' current sum,
//      which needs the component amounts of (2);
//  (4) materials, machines, consumption items and the breakdowns of style-3
//      materials take their list price, so a split material that has a list
//      entry of its own ends with the list price, not the component sum
//      (one row: amounts recomputed, only the row's machines refilled);
//  (5) each machine adds the price differences of its consumption items,
//      which need the item prices of (4).

#include "calc/resources/current_prices.h"

#include <string>
#include <utility>
#include <vector>

#include "calc/figure_check.h"
#include "calc/resources/material_matching.h"

namespace quillmere {
namespace {

// What a resource table carries besides xxj: a current amount xhj, a
// machine's price with its own consumption (xxj2, xhj2), or the price
// difference jchj of a consumption item.
enum class Kind { kPriced, kMachine, kConsumption };

struct PricedTable {
  const char* name;
  Kind kind;
  const char* list;  // machines are priced from jxzxj, the rest from clzxj
};

constexpr PricedTable kGjrg = {"gjrg", Kind::kPriced, "clzxj"};
constexpr PricedTable kGjcl = {"gjcl", Kind::kPriced, "clzxj"};
constexpr PricedTable kGjjx = {"gjjx", Kind::kMachine, "jxzxj"};
constexpr PricedTable kGjpbf = {"gjpbf", Kind::kPriced, "clzxj"};
constexpr PricedTable kGjjxfb = {"gjjxfb", Kind::kConsumption, "clzxj"};
constexpr PricedTable kGjlpjb = {"gjlpjb", Kind::kPriced, "clzxj"};
constexpr PricedTable kFtrg = {"ftrg", Kind::kPriced, "clzxj"};
constexpr PricedTable kFtcl = {"ftcl", Kind::kPriced, "clzxj"};
constexpr PricedTable kFtjx = {"ftjx", Kind::kMachine, "jxzxj"};
constexpr PricedTable kFtpbf = {"ftpbf", Kind::kPriced, "clzxj"};
constexpr PricedTable kFtjxfb = {"ftjxfb", Kind::kConsumption, "clzxj"};

constexpr PricedTable kResetOrder[] = {kGjrg, kGjcl, kGjjx, kGjpbf, kGjjxfb, kGjlpjb,
                                       kFtrg, kFtcl, kFtjx, kFtpbf, kFtjxfb};
// Priced before the split materials, which read their amounts.
constexpr PricedTable kBeforeSplitMaterials[] = {kGjrg, kGjpbf, kGjlpjb};
constexpr PricedTable kAfterSplitMaterials[] = {kGjcl, kGjjx, kGjjxfb, kFtrg, kFtcl, kFtpbf, kFtjx, kFtjxfb};

// The component lists of split materials of styles 1 and 2.
struct ComponentList {
  const char* table;
  const char* style;
};
constexpr ComponentList kComponentLists[] = {{"gjpbf", "1"}, {"gjlpjb", "2"}};

// The columns a reset clears and the value each takes.
std::vector<std::pair<const char*, const char*>> ResetValues(Kind kind) {
  switch (kind) {
    case Kind::kPriced:
      return {{"xxj", "0"}, {"xhj", "hj"}};
    case Kind::kMachine:
      return {{"xxj", "0"}, {"jxcc", "0"}, {"xxj2", "0"}, {"xhj2", "hj"}};
    case Kind::kConsumption:
      return {{"xxj", "0"}, {"jchj", "0"}};
  }
  return {};
}

// "update T set <reset> where <a column differs from its reset value>":
// lines that hold no current price already (most consumption items of a new
// project) are not written again.
std::string Reset(const std::string& table, Kind kind, const std::string& and_scope) {
  std::string assignments;
  std::string differs;
  for (const auto& [column, value] : ResetValues(kind)) {
    assignments += (assignments.empty() ? "" : ",") + std::string(column) + "=" + value;
    differs += (differs.empty() ? "" : " or ") + std::string(column) + " is not " + value;
  }
  return "update " + table + " set " + assignments + " where (" + differs + ")" + and_scope;
}

// What a matching list entry L gives the line T: its current price, and the
// current amount (at the base price when the entry has no current price) or,
// for a consumption item, the price difference.
std::string ListAssignments(const std::string& t, Kind kind) {
  switch (kind) {
    case Kind::kPriced:
      return "xxj=L.xxdj,xhj=format(iif(L.xxdj=0," + t + ".dj,L.xxdj)*" + t + ".sl,'0.##')";
    case Kind::kMachine:
      return "xxj=L.xxdj,xxj2=L.xxdj,xhj2=format(iif(L.xxdj=0," + t + ".dj,L.xxdj)*" + t + ".sl,'0.##')";
    case Kind::kConsumption:
      return "xxj=L.xxdj,jchj=format(iif(L.xxdj=0,0,(L.xxdj-" + t + ".dj)*" + t + ".sl),'0.##')";
  }
  return {};
}

// The entry E of the list is a match for the line T: same code, name and
// unit, and a price within 0.01 of the line's base price, bounds included,
// measured on the decimals the prices denote (2.02 lies within 0.01 of 2.01,
// though in binary 2.01 + 0.01 falls short of 2.02).
std::string Matches(const std::string& e, const std::string& t) {
  return e + ".bh=" + t + ".bh AND " + e + ".mc=" + t + ".mc AND " + e + ".dw=" + t + ".dw AND decimal_distance(" + e +
         ".dj," + t + ".dj)<=0.01";
}

// "UPDATE T SET <assignments> FROM <list> AS L WHERE L is T's entry": of the
// matching entries the one closest in price, and of equally close ones the
// entry inserted first (lowest rowid), so the result never depends on the
// order in which the engine meets the entries. (SQLite cannot order a
// correlated subquery by the outer line, hence "no better entry exists"; the
// entry itself is passed over first, so a line with one entry, the usual
// case, measures its distance once.)
std::string LookUp(const PricedTable& table, const std::string& assignments) {
  const std::string t = table.name;
  const std::string list = table.list;
  return "UPDATE " + t + " SET " + assignments + " FROM " + list + " AS L WHERE " + Matches("L", t) +
         " AND NOT EXISTS (SELECT 1 FROM " + list + " AS c WHERE c.rowid<>L.rowid AND " + Matches("c", t) + " AND " +
         CloserInPrice(t + ".dj", "c", "L") + ")";
}

// One row's amounts from the prices already stored on its lines.
std::string RecomputeAssignments(Kind kind) {
  return kind == Kind::kConsumption ? "jchj=format(iif(xxj=0,0,xxj-dj)*sl,'0.##')"
                                    : "xhj=format(iif(xxj=0,dj,xxj)*sl,'0.##')";
}

class CurrentPricing {
 public:
  CurrentPricing(Connection& connection, const Scope& scope) : scope_(scope), run_(connection, scope) {}

  void Run(bool clear_results) {
    if (scope_.whole()) {
      if (clear_results) {
        Execute(
            "update qfsjb set rgf=0,zcf=0,fcf=0,jxf=0,glf=0,lr=0,fxf=0,zhdj=0,zhbj=0,zcf_qd=0,zgj_qd=0,zgjhj_qd=0,"
            "fcf_qd=0");
      }
      for (const PricedTable& table : kResetOrder) {
        Execute(Reset(table.name, table.kind, ""));
      }
    }
    for (const PricedTable& table : kBeforeSplitMaterials) PriceFromListOrStoredPrice(table);
    PriceSplitMaterials();
    for (const PricedTable& table : kAfterSplitMaterials) PriceFromListOrStoredPrice(table);
    if (scope_.single_row()) RefillMachinesOfRow();
    AddConsumptionDifferences();
  }

 private:
  void Execute(const std::string& sql) { run_(sql); }

  // The whole project looks every line up in its list; one row keeps the
  // prices stored on its lines (a price the user set survives) and only
  // recomputes their amounts, machines excepted (see RefillMachinesOfRow).
  void PriceFromListOrStoredPrice(const PricedTable& table) {
    if (scope_.whole()) {
      Execute(LookUp(table, ListAssignments(table.name, table.kind)));
    } else if (table.kind != Kind::kMachine) {
      Execute("update " + std::string(table.name) + " set " + RecomputeAssignments(table.kind) + scope_.Where());
    }
  }

  // A split material's current price is its components' current amount. The
  // whole project prices every split material from both lists, and its
  // current amount is left unrounded; one row only the material of the
  // matching style, and only its price (its amount is recomputed with the
  // other materials).
  void PriceSplitMaterials() {
    for (const ComponentList& components : kComponentLists) {
      const std::string source = components.table;
      if (scope_.whole()) {
        Execute("UPDATE gjcl AS aaa SET xxj=bbb.hj,xhj=bbb.hj*aaa.sl FROM (SELECT ysid,clid,sum(xhj) as hj FROM " +
                source + " group by ysid,clid) AS bbb WHERE aaa.clid=bbb.clid and aaa.ysid=bbb.ysid AND chaifen=TRUE");
      } else {
        Execute("UPDATE gjcl AS aaa SET xxj=bbb.hj FROM (SELECT clid,sum(xhj) as hj FROM " + source +
                " where ysid=:ysid group by clid) AS bbb WHERE aaa.clid=bbb.clid AND aaa.chaifenstyle=" +
                std::string(components.style) + " and aaa.chaifen=TRUE and aaa.ysid=:ysid");
      }
    }
  }

  // One row's machines start again from the machine list (price only); the
  // machines of its split materials are not looked up.
  void RefillMachinesOfRow() {
    Execute(Reset("gjjx", Kind::kMachine, scope_.And()));
    Execute(Reset("ftjx", Kind::kMachine, scope_.And()));
    Execute(LookUp(kGjjx, "xxj=L.xxdj") + scope_.And("gjjx.ysid"));
  }

  // A machine's price with its own consumption: its current price (or base
  // price without one) plus the price differences of its consumption items.
  void AddConsumptionDifferences() {
    const std::string machine_items =
        "(SELECT jxid,ysid,sum(jchj) as jxcc FROM gjjxfb" + scope_.Where() + " group by jxid,ysid) AS gjjxfbtemp";
    if (scope_.whole()) {
      Execute(
          "UPDATE gjjx SET jxcc=gjjxfbtemp.jxcc,xxj2=iif(gjjx.xxj=0,gjjx.dj,gjjx.xxj)+gjjxfbtemp.jxcc,"
          "xhj2=format((iif(gjjx.xxj=0,gjjx.dj,gjjx.xxj)+gjjxfbtemp.jxcc)*gjjx.sl,'0.##') FROM " +
          machine_items + " WHERE gjjx.jxid=gjjxfbtemp.jxid and gjjx.ysid=gjjxfbtemp.ysid");
    } else {
      // Every machine of the row gets xxj2, with or without items.
      Execute("UPDATE gjjx SET jxcc=gjjxfbtemp.jxcc FROM " + machine_items +
              " WHERE gjjx.jxid=gjjxfbtemp.jxid and gjjx.ysid=gjjxfbtemp.ysid AND gjjx.ysid=:ysid");
      Execute("update gjjx set xxj2=iif(gjjx.xxj=0,gjjx.dj+gjjx.jxcc,gjjx.xxj+gjjx.jxcc) where gjjx.ysid=:ysid");
      Execute("update gjjx set xhj2=format(gjjx.xxj2*gjjx.sl,'0.00') where gjjx.ysid=:ysid");
    }
    Execute(
        "UPDATE ftjx SET jxcc=ftjxfbtemp.jxcc,xxj2=iif(ftjx.xxj=0,ftjx.dj,ftjx.xxj)+ftjxfbtemp.jxcc,"
        "xhj2=format((iif(ftjx.xxj=0,ftjx.dj,ftjx.xxj)+ftjxfbtemp.jxcc)*ftjx.sl,'0.##') FROM (SELECT jxid,clid_src,"
        "ysid,sum(jchj) as jxcc FROM ftjxfb" +
        scope_.Where() +
        " group by jxid,clid_src,ysid) AS ftjxfbtemp "
        "WHERE ftjx.jxid=ftjxfbtemp.jxid and ftjx.clid_src=ftjxfbtemp.clid_src and ftjx.ysid=ftjxfbtemp.ysid" +
        scope_.And("ftjx.ysid"));
    if (scope_.single_row()) {
      // A machine without a price of its own falls back to its base price.
      Execute("update gjjx set xhj2=format(iif(xxj2=0,dj,xxj2)*sl,'0.##')" + scope_.Where());
      Execute("update ftjx set xhj2=format(iif(xxj2=0,dj,xxj2)*sl,'0.##')" + scope_.Where());
    }
  }

  const Scope& scope_;
  StageRunner run_;
};

}  // namespace

void FillCurrentPrices(Connection& connection, const Scope& scope, bool clear_results) {
  CheckFigures(connection, {{"clzxj", {}, "", "bh"}, {"jxzxj", {}, "", "bh"}}, FigureUse::kRead);
  CurrentPricing(connection, scope).Run(clear_results);
  std::vector<FigureSet> computed;
  for (const char* table : {"gjrg", "gjcl", "gjjx", "ftrg", "ftcl", "ftjx"}) {
    computed.push_back({table, {"xxj"}, scope.Rows()});
  }
  computed.push_back({"gjjx", {"xxj2", "xhj2", "jxcc"}, scope.Rows()});
  CheckFigures(connection, computed, FigureUse::kComputed, scope.params());
}

}  // namespace quillmere
