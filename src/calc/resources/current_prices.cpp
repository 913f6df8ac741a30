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
// The whole project holds the lines of every priced table and both price
// lists in memory, follows the plan on them and writes back only the cells
// that changed; one row runs the plan as statements over its own lines, but
// for its machines, which find their entry through the same list in memory.

#include "calc/resources/current_prices.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/compensated_sum.h"
#include "calc/figure_check.h"
#include "calc/model/line_table.h"
#include "calc/model/price_list.h"

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
  // Besides ysid, what ties a line to the line it belongs to: a component
  // to its split material, a consumption item to its machine.
  std::array<const char*, 2> owner;
};

constexpr PricedTable kGjrg = {"gjrg", Kind::kPriced, "clzxj", {}};
constexpr PricedTable kGjcl = {"gjcl", Kind::kPriced, "clzxj", {"clid"}};
constexpr PricedTable kGjjx = {"gjjx", Kind::kMachine, "jxzxj", {"jxid"}};
constexpr PricedTable kGjpbf = {"gjpbf", Kind::kPriced, "clzxj", {"clid"}};
constexpr PricedTable kGjjxfb = {"gjjxfb", Kind::kConsumption, "clzxj", {"jxid"}};
constexpr PricedTable kGjlpjb = {"gjlpjb", Kind::kPriced, "clzxj", {"clid"}};
constexpr PricedTable kFtrg = {"ftrg", Kind::kPriced, "clzxj", {}};
constexpr PricedTable kFtcl = {"ftcl", Kind::kPriced, "clzxj", {}};
constexpr PricedTable kFtjx = {"ftjx", Kind::kMachine, "jxzxj", {"jxid", "clid_src"}};
constexpr PricedTable kFtpbf = {"ftpbf", Kind::kPriced, "clzxj", {}};
constexpr PricedTable kFtjxfb = {"ftjxfb", Kind::kConsumption, "clzxj", {"jxid", "clid_src"}};

constexpr PricedTable kResetOrder[] = {kGjrg, kGjcl, kGjjx, kGjpbf, kGjjxfb, kGjlpjb,
                                       kFtrg, kFtcl, kFtjx, kFtpbf, kFtjxfb};
// Priced before the split materials, which read their amounts.
constexpr PricedTable kBeforeSplitMaterials[] = {kGjrg, kGjpbf, kGjlpjb};
constexpr PricedTable kAfterSplitMaterials[] = {kGjcl, kGjjx, kGjjxfb, kFtrg, kFtcl, kFtpbf, kFtjx, kFtjxfb};

// The component lists of split materials of styles 1 and 2.
struct ComponentList {
  const PricedTable& table;
  const char* style;
};
constexpr ComponentList kComponentLists[] = {{kGjpbf, "1"}, {kGjlpjb, "2"}};

// Machines and the consumption items whose price differences they add.
constexpr std::pair<const PricedTable&, const PricedTable&> kMachineItems[] = {{kGjjx, kGjjxfb}, {kFtjx, kFtjxfb}};

// The columns a reset clears and the value each takes: these are the columns
// the stage prices.
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

// One row's amounts from the prices already stored on its lines.
std::string RecomputeAssignments(Kind kind) {
  return kind == Kind::kConsumption ? "jchj=format(iif(xxj=0,0,xxj-dj)*sl,'0.##')"
                                    : "xhj=format(iif(xxj=0,dj,xxj)*sl,'0.##')";
}

// The columns of a priced table the whole project holds.
LineTable::Columns ColumnsOf(const PricedTable& table) {
  LineTable::Columns columns;
  columns.ids = {"ysid"};
  for (const char* owner : table.owner) {
    if (owner) columns.ids.push_back(owner);
  }
  if (std::string_view(table.name) == kGjcl.name) {
    columns.flags = {"chaifen"};
    columns.texts = {"cllb"};  // for the aggregation, which takes the lines over
  }
  columns.keyed = true;
  columns.figures = {"dj", "sl"};
  if (table.kind != Kind::kConsumption) columns.figures.push_back("hj");
  for (const auto& [column, value] : ResetValues(table.kind)) columns.priced.push_back(column);
  return columns;
}

// The whole project: every priced table and both price lists read once (the
// tables the base prices kept are taken as they hold them), the plan
// followed on the lines in memory, the changed cells written back.
class ProjectPricing {
 public:
  ProjectPricing(Connection& connection, std::shared_ptr<PricedLines> kept)
      : connection_(connection),
        held_(kept ? std::move(kept) : std::make_shared<PricedLines>()),
        materials_(connection, "clzxj", held_->pool),
        machines_(connection, "jxzxj", held_->pool) {
    for (const PricedTable& table : kResetOrder) {
      if (held_->tables.count(table.name) == 0) {
        held_->tables.emplace(table.name, LineTable(connection, table.name, ColumnsOf(table), held_->pool));
      }
    }
  }

  // A priced table's lines as it now holds them.
  const LineTable& Held(const std::string& table) const { return held_->tables.at(table); }

  // The lines the aggregation reads of gjrg, gjcl, gjjx and gjjxfb, once
  // every line is written; null where a line holds what they cannot carry as
  // its selects would give it (an id that is no integer, a null code, name or
  // unit, a blob class). Each table is let go once its lines are taken, the
  // others first.
  std::shared_ptr<HandedLines> HandOverLines() {
    std::erase_if(held_->tables, [](const auto& table) {
      return table.first != kGjrg.name && table.first != kGjcl.name && table.first != kGjjx.name &&
             table.first != kGjjxfb.name;
    });
    for (auto& [name, lines] : held_->tables) lines.FinishWriting();
    auto handed = std::make_shared<HandedLines>();
    KeyTexts texts(held_->pool, *handed);
    const bool whole = TakeLabour(*handed, texts) && TakeMachines(*handed, texts) && TakeConsumption(*handed, texts) &&
                       TakeMaterials(*handed, texts);
    held_->tables.clear();
    return whole ? handed : nullptr;
  }

  void Run(bool clear_results) {
    if (clear_results) {
      connection_.Execute(
          "update qfsjb set rgf=0,zcf=0,fcf=0,jxf=0,glf=0,lr=0,fxf=0,zhdj=0,zhbj=0,zcf_qd=0,zgj_qd=0,zgjhj_qd=0,"
          "fcf_qd=0");
    }
    for (const PricedTable& table : kResetOrder) ForgetCurrentPrices(table);
    for (const PricedTable& table : kBeforeSplitMaterials) PriceFromList(table);
    PriceSplitMaterials();
    for (const PricedTable& table : kAfterSplitMaterials) PriceFromList(table);
    AddConsumptionDifferences();
    for (const PricedTable& table : kResetOrder) Lines(table).WriteChanges(connection_);
  }

 private:
  LineTable& Lines(const PricedTable& table) { return held_->tables.at(table.name); }

  void ForgetCurrentPrices(const PricedTable& table) {
    LineTable& lines = Lines(table);
    for (const auto& [column, value] : ResetValues(table.kind)) {
      std::vector<Figure>& priced = lines.priced(column);
      if (value == std::string("0")) {
        std::fill(priced.begin(), priced.end(), Figure::Of(0));
      } else {
        priced = lines.column(value);
      }
    }
  }

  // A line with a list entry takes its current price, and the current amount
  // (at the base price when the entry has no current price) or, for a
  // consumption item, the price difference.
  void PriceFromList(const PricedTable& table) {
    LineTable& lines = Lines(table);
    const PriceList& list = std::string_view(table.list) == kGjjx.list ? machines_ : materials_;
    const std::vector<Figure>& dj = lines.column("dj");
    const std::vector<Figure>& sl = lines.column("sl");
    std::vector<Figure>& xxj = lines.priced("xxj");
    // Where the amount goes, and where a machine keeps the price again.
    std::vector<Figure>& amount = lines.priced(table.kind == Kind::kPriced    ? "xhj"
                                               : table.kind == Kind::kMachine ? "xhj2"
                                                                              : "jchj");
    std::vector<Figure>* machine_price = table.kind == Kind::kMachine ? &lines.priced("xxj2") : nullptr;
    for (size_t i = 0; i < lines.size(); ++i) {
      const PriceListEntry* entry = list.EntryFor(lines.keys()[i], dj[i]);
      if (entry == nullptr) continue;
      xxj[i] = entry->xxdj;
      if (machine_price) (*machine_price)[i] = entry->xxdj;
      ResourceLine line;
      line.dj = dj[i];
      line.xxj = entry->xxdj;
      line.sl = sl[i];
      amount[i] = Stored(table.kind == Kind::kConsumption ? PriceDifference(line) : CurrentAmount(line));
    }
  }

  // The columns naming the line a component or consumption item belongs to:
  // ysid and the table's owner columns.
  static std::vector<std::string> OwnerKey(const PricedTable& table) {
    std::vector<std::string> key = {"ysid"};
    for (const char* column : table.owner) {
      if (column) key.emplace_back(column);
    }
    return key;
  }

  // A split material's current price is its components' current amount, and
  // its current amount that price times its quantity, left unrounded. Every
  // split material is priced from both lists, whatever its style.
  void PriceSplitMaterials() {
    LineTable& materials = Lines(kGjcl);
    const std::vector<Truth>& split = materials.flags("chaifen");
    const std::vector<Figure>& sl = materials.column("sl");
    std::vector<Figure>& xxj = materials.priced("xxj");
    std::vector<Figure>& xhj = materials.priced("xhj");
    const std::vector<std::string> material_key = OwnerKey(kGjcl);
    for (const ComponentList& components : kComponentLists) {
      const LineTable& component_lines = Lines(components.table);
      JoinGroupSums(
          materials, material_key,
          SumPerGroup(component_lines, OwnerKey(components.table), component_lines.priced("xhj")),
          [&](size_t i) { return split[i] == Truth::kTrue; },
          [&](size_t i, Figure sum) {
            xxj[i] = sum;
            xhj[i] = Stored(Times(sum, sl[i]));
          });
    }
  }

  // A machine's price with its own consumption: its current price (or base
  // price without one) plus the price differences of its consumption items.
  void AddConsumptionDifferences() {
    for (const auto& [machine_table, item_table] : kMachineItems) {
      const LineTable& items = Lines(item_table);
      LineTable& machines = Lines(machine_table);
      const std::vector<Figure>& dj = machines.column("dj");
      const std::vector<Figure>& sl = machines.column("sl");
      const std::vector<Figure>& xxj = machines.priced("xxj");
      std::vector<Figure>& jxcc = machines.priced("jxcc");
      std::vector<Figure>& xxj2 = machines.priced("xxj2");
      std::vector<Figure>& xhj2 = machines.priced("xhj2");
      JoinGroupSums(
          machines, OwnerKey(machine_table), SumPerGroup(items, OwnerKey(item_table), items.priced("jchj")),
          [](size_t) { return true; },
          [&](size_t i, Figure sum) {
            const bool unpriced = !xxj[i].null() && xxj[i].value == 0;
            const Figure price = Plus(unpriced ? dj[i] : xxj[i], sum);
            jxcc[i] = sum;
            xxj2[i] = Stored(price);
            xhj2[i] = Stored(Rounded(Times(price, sl[i]), 2));
          });
    }
  }

  // The code, name and unit of each resource key of the held lines, in the
  // pool of the lines handed over, and whether the unit makes a percentage
  // line; worked out once per key.
  class KeyTexts {
   public:
    KeyTexts(const TextPool& held, HandedLines& handed) : held_(held), handed_(handed), texts_(held.size()) {}
    struct Texts {
      bool known = false, percentage = false;
      TextId bh = 0, mc = 0, dw = 0;
    };
    const Texts& Of(TextId key) {
      Texts& texts = texts_[key];
      if (texts.known) return texts;
      std::array<KeyPart, 3> parts;
      if (SplitResourceKey(held_, key, parts)) {
        texts.bh = handed_.pool.Intern(parts[0].bytes);
        texts.mc = handed_.pool.Intern(parts[1].bytes);
        texts.dw = handed_.pool.Intern(parts[2].bytes);
        texts.percentage = !parts[2].blob && parts[2].bytes == "%";
      }
      texts.known = true;
      return texts;
    }

   private:
    const TextPool& held_;
    HandedLines& handed_;
    std::vector<Texts> texts_;
  };

  // The lines of a held table as a select of ysid, bh, mc, dw, dj, `price`,
  // sl gives them, their texts in the pool of the lines handed over.
  class Selected {
   public:
    Selected(const LineTable& lines, const char* price, KeyTexts& texts)
        : ysid_(lines.ids("ysid")),
          keys_(lines.keys()),
          dj_(lines.column("dj")),
          price_(lines.column(price)),
          sl_(lines.column("sl")),
          texts_(texts) {}

    // Line i, and whether it is a percentage line; false where the select
    // would give what a line cannot carry.
    bool Line(size_t i, ResourceLine& line, bool& percentage) const {
      if (keys_[i] == 0) return false;
      if (ysid_[i].kind != Id::kNull && ysid_[i].kind != Id::kInteger) return false;
      const KeyTexts::Texts& texts = texts_.Of(keys_[i]);
      line.ysid_null = ysid_[i].kind == Id::kNull;
      line.ysid = ysid_[i].bits;
      line.bh = texts.bh;
      line.mc = texts.mc;
      line.dw = texts.dw;
      percentage = texts.percentage;
      line.dj = dj_[i];
      line.xxj = price_[i];
      line.sl = sl_[i];
      return true;
    }

   private:
    const std::vector<Id>& ysid_;
    const std::vector<TextId>& keys_;
    const std::vector<Figure>&dj_, &price_, &sl_;
    KeyTexts& texts_;
  };

  bool TakeLabour(HandedLines& handed, KeyTexts& texts) {
    const LineTable& labour = Lines(kGjrg);
    const Selected selected(labour, "xxj", texts);
    for (size_t i = 0; i < labour.size(); ++i) {
      ResourceLine line;
      bool percentage = false;
      if (!selected.Line(i, line, percentage)) return false;
      if (!percentage) handed.labour.push_back(line);
    }
    held_->tables.erase(kGjrg.name);
    return true;
  }

  bool TakeMachines(HandedLines& handed, KeyTexts& texts) {
    const LineTable& machines = Lines(kGjjx);
    const Selected selected(machines, "xxj", texts);
    const std::vector<Figure>& xxj2 = machines.column("xxj2");
    const std::vector<Id>& jxid = machines.ids("jxid");
    handed.machines.reserve(machines.size());
    for (size_t i = 0; i < machines.size(); ++i) {
      ResourceLine line;
      bool percentage = false;
      if (!selected.Line(i, line, percentage)) return false;
      handed.machines.push_back(line);
      handed.machine_prices.push_back(xxj2[i]);
      handed.machine_ids.push_back(jxid[i]);
      handed.percentage_machines.push_back(percentage);
    }
    held_->tables.erase(kGjjx.name);
    return true;
  }

  bool TakeConsumption(HandedLines& handed, KeyTexts& texts) {
    const LineTable& items = Lines(kGjjxfb);
    const Selected selected(items, "xxj", texts);
    const std::vector<Id>& jxid = items.ids("jxid");
    handed.consumption.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
      ResourceLine line;
      bool percentage = false;
      if (!selected.Line(i, line, percentage)) return false;
      handed.consumption.push_back(line);
      handed.consumption_machine_ids.push_back(jxid[i]);
    }
    held_->tables.erase(kGjjxfb.name);
    return true;
  }

  // The material lines, and the classes the aggregation resets.
  bool TakeMaterials(HandedLines& handed, KeyTexts& texts) {
    const LineTable& materials = Lines(kGjcl);
    const std::vector<Truth>& split = materials.flags("chaifen");
    const std::vector<TextId>& cllb = materials.texts("cllb");
    const Selected selected(materials, "xxj", texts);
    const TextId main_material = materials.TextKey("主材"), none = materials.TextKey("");
    handed.materials.reserve(std::count(split.begin(), split.end(), Truth::kFalse));
    for (size_t i = 0; i < materials.size(); ++i) {
      if (cllb[i] != 0 && cllb[i] != main_material && cllb[i] != none) {
        handed.other_classes.push_back(materials.rowid(i));
      }
      if (split[i] != Truth::kFalse) continue;
      ResourceLine line;
      bool percentage = false;
      if (!selected.Line(i, line, percentage)) return false;
      if (percentage) continue;
      if (cllb[i] != 0) {
        const std::string& key = held_->pool.Text(cllb[i]);
        if (key[0] == 'b') return false;
        line.cllb = handed.pool.Intern(std::string_view(key).substr(1));
      }
      handed.materials.push_back(line);
    }
    held_->tables.erase(kGjcl.name);
    return true;
  }

  Connection& connection_;
  std::shared_ptr<PricedLines> held_;
  const PriceList materials_;
  const PriceList machines_;
};

// One row: the plan as statements over the row's lines.
class RowPricing {
 public:
  RowPricing(Connection& connection, const Scope& scope)
      : connection_(connection), scope_(scope), run_(connection, scope) {}

  void Run() {
    for (const PricedTable& table : kBeforeSplitMaterials) RecomputeAmounts(table);
    PriceSplitMaterials();
    for (const PricedTable& table : kAfterSplitMaterials) RecomputeAmounts(table);
    RefillMachines();
    AddConsumptionDifferences();
  }

 private:
  void Execute(const std::string& sql) { run_(sql); }

  // The row keeps the prices stored on its lines (a price the user set
  // survives) and only recomputes their amounts, machines excepted (see
  // RefillMachines).
  void RecomputeAmounts(const PricedTable& table) {
    if (table.kind == Kind::kMachine) return;
    Execute("update " + std::string(table.name) + " set " + RecomputeAssignments(table.kind) + scope_.Where());
  }

  // Only the split materials of the matching style take their components'
  // sum, and only as their price (their amount is recomputed with the other
  // materials).
  void PriceSplitMaterials() {
    for (const ComponentList& components : kComponentLists) {
      Execute("UPDATE gjcl AS aaa SET xxj=bbb.hj FROM (SELECT clid,sum(xhj) as hj FROM " +
              std::string(components.table.name) +
              " where ysid=:ysid group by clid) AS bbb WHERE aaa.clid=bbb.clid AND aaa.chaifenstyle=" +
              std::string(components.style) + " and aaa.chaifen=TRUE and aaa.ysid=:ysid");
    }
  }

  // The row's machines start again from the machine list (price only); the
  // machines of its split materials are not looked up.
  void RefillMachines() {
    Execute(Reset("gjjx", Kind::kMachine, scope_.And()));
    Execute(Reset("ftjx", Kind::kMachine, scope_.And()));
    TextPool pool;
    const PriceList machines(connection_, kGjjx.list, pool);
    LineTable::Columns columns;
    columns.ids = {"ysid"};
    columns.keyed = true;
    columns.figures = {"dj"};
    columns.priced = {"xxj"};
    LineTable lines(connection_, kGjjx.name, std::move(columns), pool, scope_.Where(), scope_.params());
    for (size_t i = 0; i < lines.size(); ++i) {
      if (const PriceListEntry* entry = machines.EntryFor(lines.keys()[i], lines.column("dj")[i])) {
        lines.priced("xxj")[i] = entry->xxdj;
      }
    }
    lines.WriteChanges(connection_);
  }

  // Every machine of the row gets xxj2, with or without items; a machine
  // without a price of its own falls back to its base price.
  void AddConsumptionDifferences() {
    Execute(
        "UPDATE gjjx SET jxcc=gjjxfbtemp.jxcc FROM (SELECT jxid,ysid,sum(jchj) as jxcc FROM gjjxfb where ysid=:ysid "
        "group by jxid,ysid) AS gjjxfbtemp WHERE gjjx.jxid=gjjxfbtemp.jxid and gjjx.ysid=gjjxfbtemp.ysid AND "
        "gjjx.ysid=:ysid");
    Execute("update gjjx set xxj2=iif(gjjx.xxj=0,gjjx.dj+gjjx.jxcc,gjjx.xxj+gjjx.jxcc) where gjjx.ysid=:ysid");
    Execute("update gjjx set xhj2=format(gjjx.xxj2*gjjx.sl,'0.00') where gjjx.ysid=:ysid");
    Execute(
        "UPDATE ftjx SET jxcc=ftjxfbtemp.jxcc,xxj2=iif(ftjx.xxj=0,ftjx.dj,ftjx.xxj)+ftjxfbtemp.jxcc,"
        "xhj2=format((iif(ftjx.xxj=0,ftjx.dj,ftjx.xxj)+ftjxfbtemp.jxcc)*ftjx.sl,'0.##') FROM (SELECT jxid,clid_src,"
        "ysid,sum(jchj) as jxcc FROM ftjxfb where ysid=:ysid group by jxid,clid_src,ysid) AS ftjxfbtemp "
        "WHERE ftjx.jxid=ftjxfbtemp.jxid and ftjx.clid_src=ftjxfbtemp.clid_src and ftjx.ysid=ftjxfbtemp.ysid "
        "and ftjx.ysid=:ysid");
    Execute("update gjjx set xhj2=format(iif(xxj2=0,dj,xxj2)*sl,'0.##') where ysid=:ysid");
    Execute("update ftjx set xhj2=format(iif(xxj2=0,dj,xxj2)*sl,'0.##') where ysid=:ysid");
  }

  Connection& connection_;
  const Scope& scope_;
  StageRunner run_;
};

}  // namespace

LineTable::Columns CurrentPriceColumns(std::string_view table) {
  for (const PricedTable& priced : kResetOrder) {
    if (table == priced.name) return ColumnsOf(priced);
  }
  return {};
}

// Whether the tables whose lines the current prices hand over read back as
// they wrote them.
bool HandedTablesKeepAsWritten(Connection& connection) {
  for (const PricedTable& table : {kGjrg, kGjcl, kGjjx, kGjjxfb}) {
    std::vector<std::pair<std::string, char>> written;
    for (const auto& [column, value] : ResetValues(table.kind)) written.emplace_back(column, 'R');
    if (!KeepsAsWritten(connection, table.name, written)) return false;
  }
  return true;
}

void FillCurrentPrices(Connection& connection, const Scope& scope, bool clear_results, ProjectMemory* memory) {
  // The lines the base prices kept are taken; once priced here they no
  // longer hold what the base prices left. (The analysis lines stay: this
  // stage writes no analysis table.)
  std::shared_ptr<PricedLines> kept;
  if (memory) {
    kept = std::move(memory->priced_lines);
    memory->handed_lines.reset();
  }
  CheckFigures(connection, {{"clzxj", {}, "", "bh"}, {"jxzxj", {}, "", "bh"}}, FigureUse::kRead);
  std::optional<ProjectPricing> project;
  if (scope.whole()) {
    project.emplace(connection, std::move(kept));
    project->Run(clear_results);
  } else {
    RowPricing(connection, scope).Run();
  }
  std::vector<FigureSet> computed;
  for (const char* table : {"gjrg", "gjcl", "gjjx", "ftrg", "ftcl", "ftjx"}) {
    computed.push_back({table, {"xxj"}, scope.Rows()});
  }
  computed.push_back({"gjjx", {"xxj2", "xhj2", "jxcc"}, scope.Rows()});
  if (project) {
    for (FigureSet& set : computed) set.held = &project->Held(set.table);
  }
  CheckFigures(connection, computed, FigureUse::kComputed, scope.params());
  if (memory && project && HandedTablesKeepAsWritten(connection)) memory->handed_lines = project->HandOverLines();
}

}  // namespace quillmere
