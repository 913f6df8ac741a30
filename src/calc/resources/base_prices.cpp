// Quota base prices: every resource priced at its base price and the
// base amounts of every fee row, for the whole project or one row.
//
// The plan, in the order that matters:
//  (1) fee rows: rebuilt with every amount 0 (the whole project), or the
//      row's own fee row and bill mapping entry replaced (one row);
//  (2) every resource line gets its base amount hj = dj*sl;
//  (3) split materials take their unit price from their components: first
//      the split components of style-3 breakdowns (ftcl) from ftpbf, then
//      the material, labour and machine parts of gjcl from gjpbf, gjlpjb
//      and the ftrg/ftcl/ftjx breakdown, whose sum is the material's price;
//  (4) ordinary lines are added up per row into rgjj, fcjj, zcjj, jxjj;
//  (5) plain percentage lines are priced on their own row's amounts of (4)
//      and added;
//  (6) linked percentage lines are priced on the amounts of the row they
//      name, then added; because those amounts are still being completed
//      by this very step, the whole project runs a second pass over the
//      lines that came out at 0 and marks them (azfy=1) so that only their
//      new amounts are added.
// Each step reads what the step before it completed: (3) needs the hj of
// (2), the sums of (4) the parts of (3), and (5) the sums of (4).
//
// Steps (2) to (4) go over every resource line, so they run on the lines and
// fee rows held in memory and write back only the cells that changed: a
// project priced again as it was writes none. The percentage lines, a few in
// a thousand, are priced by statements once that is written, and read the
// fee rows as (4) left them.

#include "calc/resources/base_prices.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "calc/figure_check.h"
#include "calc/model/line_table.h"
#include "calc/model/project_memory.h"
#include "calc/resources/current_prices.h"
#include "db/kept_statement.h"
#include "db/statement.h"
#include "db/tables.h"

namespace quillmere {
namespace {

// The resource tables whose lines carry a base amount hj = dj*sl, with the
// ids that tie a component to the material it belongs to.
struct AmountTable {
  const char* name;
  std::vector<std::string> ids;  // ysid first
};
const std::vector<AmountTable>& AmountTables() {
  static const std::vector<AmountTable> tables = {{"gjrg", {"ysid"}},
                                                  {"gjcl", {"ysid", "clid"}},
                                                  {"gjjx", {"ysid"}},
                                                  {"gjpbf", {"ysid", "clid"}},
                                                  {"gjlpjb", {"ysid", "clid"}},
                                                  {"ftrg", {"ysid", "clid_src"}},
                                                  {"ftcl", {"ysid", "clid", "clid_src"}},
                                                  {"ftjx", {"ysid", "clid_src"}},
                                                  {"ftpbf", {"ysid", "clid", "clid_src"}}};
  return tables;
}

// A material line's labour, material and machine parts, price and amount.
constexpr const char* kMaterialParts[] = {"rgdj", "rghj", "cldj", "clhj", "jxdj", "jxhj"};

// The parts of a split material of gjcl that its components price: the
// components of style 1 (gjpbf) and 2 (gjlpjb) give the material part, the
// labour, material and machine lines of a style-3 breakdown give one part
// each. `key` is the component's column naming the material.
struct SplitPart {
  const char* source;
  const char* key;
  const char* price;   // the gjcl part it prices
  const char* amount;  // and that part's amount
  double style;
};
constexpr SplitPart kSplitParts[] = {
    {"gjpbf", "clid", "cldj", "clhj", 1},    {"gjlpjb", "clid", "cldj", "clhj", 2},
    {"ftrg", "clid_src", "rgdj", "rghj", 3}, {"ftcl", "clid_src", "cldj", "clhj", 3},
    {"ftjx", "clid_src", "jxdj", "jxhj", 3},
};

// An amount as `format(price*quantity,'0.##')` stores it.
Figure AmountOf(Figure price, Figure quantity) { return Stored(Rounded(Times(price, quantity), 2)); }

bool IsStyle(Figure style, double wanted) { return !style.null() && style.value == wanted; }

// The fee-row amounts a linked percentage line is charged on.
enum class Base { kLabour, kLabourAndMachines, kMachines };

// A percentage line charged on another row's amounts, read from that row's
// fee row (qfsjb).
struct LinkedCode {
  const char* code;
  Base base;
};

// The three kinds of resource line and the fee-row amount each adds to.
struct ResourceKind {
  const char* table;
  const char* amount;  // the line's amount that is added up: hj, or clhj for materials
  const char* fee;     // the fee-row column it adds to
  bool material;       // a material line keeps its material part (cldj, clhj) equal to dj, hj
  std::vector<LinkedCode> linked;
};
const std::vector<ResourceKind>& Kinds() {
  static const std::vector<ResourceKind> kinds = {
      {"gjrg", "hj", "rgjj", false, {{"0000FE", Base::kLabour}, {"0000FF", Base::kLabourAndMachines}}},
      {"gjcl", "clhj", "fcjj", true, {{"1000FE", Base::kLabour}, {"1000FF", Base::kLabourAndMachines}}},
      {"gjjx",
       "hj",
       "jxjj",
       false,
       {{"J000FE", Base::kLabour}, {"J000FF", Base::kLabourAndMachines}, {"J000FG", Base::kMachines}}},
  };
  return kinds;
}

// A percentage line (dw='%') of a kind, and the index of its linked code,
// or -1 for a plain one.
struct PercentageLine {
  size_t line;
  int linked;
};

class BasePricing {
 public:
  // `keeping`: the lines are read with the columns the current prices hold
  // too, for them to take as they are left.
  BasePricing(Connection& connection, const Scope& scope, bool keeping)
      : connection_(connection), scope_(scope), run_(connection, scope), keeping_(keeping) {}

  void Run() {
    RebuildFeeRows();
    ReadLinesAndFeeRows();
    for (const AmountTable& table : AmountTables()) {
      // The material lines get their amount together with their parts.
      if (std::string(table.name) != "gjcl") PriceAtBasePrice(Lines(table.name));
    }
    PriceSplitComponents();
    PriceMaterials();
    AddUpOrdinaryLines();
    PricePlainPercentageLines();
    PriceLinkedPercentageLines();
    for (auto& [name, lines] : held_->tables) lines.WriteChanges(connection_);
    fee_rows_->WriteChanges(connection_);
    WritePassMarks();
  }

  // A table's lines as it now holds them.
  const HeldFigures* Held(const std::string& table) const { return &held_->tables.at(table); }

  // The lines with the columns the current prices hold too, as the tables
  // now hold them.
  std::shared_ptr<PricedLines> Kept() const { return keeping_ ? held_ : nullptr; }

  // The columns of the lines this stage writes, with the affinity the engine
  // declares them with.
  static std::vector<std::pair<std::string, char>> WrittenColumns(const std::string& table) {
    std::vector<std::pair<std::string, char>> columns = {{"dj", 'R'}, {"hj", 'R'}};
    if (table == "gjcl") {
      for (const char* part : kMaterialParts) columns.emplace_back(part, 'R');
    }
    for (const ResourceKind& kind : Kinds()) {
      if (table == kind.table) columns.emplace_back("azfy", 'I');
    }
    return columns;
  }

 private:
  void Execute(const std::string& sql) { run_(sql); }

  LineTable& Lines(const std::string& table) { return held_->tables.at(table); }

  void ReadLinesAndFeeRows() {
    for (const AmountTable& table : AmountTables()) {
      LineTable::Columns columns;
      columns.ids = table.ids;
      columns.figures = {"sl"};
      columns.priced = {"dj", "hj"};
      const std::string name = table.name;
      if (name == "gjrg" || name == "gjcl" || name == "gjjx") {
        // Percentage lines: the row a linked one is charged on, and its
        // mark of the whole project's second pass.
        columns.ids.insert(columns.ids.end(), {"ysid_gl", "azfy"});
        columns.texts = {"dw", "bh"};
      }
      if (name == "gjcl" || name == "ftcl") {
        columns.flags = {"chaifen"};
        columns.figures.emplace_back("chaifenstyle");
      }
      if (name == "gjcl") {
        columns.texts.emplace_back("cllb");
        columns.priced.insert(columns.priced.end(), std::begin(kMaterialParts), std::end(kMaterialParts));
      }
      if (keeping_) columns = columns.With(CurrentPriceColumns(name));
      held_->tables.emplace(
          name, LineTable(connection_, name, std::move(columns), held_->pool, scope_.Where(), scope_.params()));
    }
    for (const ResourceKind& kind : Kinds()) percentage_lines_[kind.table] = FindPercentageLines(kind);
    // One row's linked lines read the fee rows of the rows they name, which
    // this stage leaves as they are.
    std::string fee_rows = scope_.Where();
    if (scope_.single_row()) {
      fee_rows += " or ysid in (";
      for (const ResourceKind& kind : Kinds()) {
        fee_rows += std::string(&kind == &Kinds().front() ? "" : " union ") + "select ysid_gl from " + kind.table +
                    " where ysid=:ysid and dw='%'";
      }
      fee_rows += ")";
    }
    LineTable::Columns columns;
    columns.ids = {"ysid"};
    columns.figures = {"sjgcl"};
    columns.priced = {"rgjj", "fcjj", "zcjj", "jxjj", "sjgcl_qd"};
    fee_rows_.emplace(connection_, "qfsjb", std::move(columns), held_->pool, fee_rows, scope_.params());
    IdKey row;
    const std::vector<std::string> row_key = {"ysid"};
    first_fee_row_.assign(fee_rows_->size(), -1);
    for (size_t r = 0; r < fee_rows_->size(); ++r) {
      if (fee_rows_->GroupOf(r, row_key, row)) {
        first_fee_row_[r] = static_cast<std::int32_t>(fee_row_of_.emplace(row, r).first->second);
      }
    }
    // The fee row each line of a kind adds to, -1 for none.
    for (const ResourceKind& kind : Kinds()) {
      const std::vector<Id>& ysid = Lines(kind.table).ids("ysid");
      std::vector<std::int32_t>& row_of = fee_row_of_line_[kind.table];
      row_of.assign(ysid.size(), -1);
      for (size_t i = 0; i < ysid.size(); ++i) {
        if (const size_t* r = FeeRowOf(ysid[i])) row_of[i] = static_cast<std::int32_t>(*r);
      }
    }
    // The bill mapping gives a linked line its own row's quantity, and the
    // whole project's fee rows their quantity per bill unit: every fee row
    // of a row id takes the last entry of that row id, as an update of them
    // from the mapping did.
    LineTable::Columns mapping_columns;
    mapping_columns.ids = {"ysid"};
    mapping_columns.figures = {"sjgcl", "sjgcl_qd"};
    const LineTable mapping(connection_, "qddyb", std::move(mapping_columns), held_->pool, scope_.Where(),
                            scope_.params());
    const GroupLines entries = LinesPerGroup(mapping, row_key);
    for (const auto& [id, lines] : entries) mapped_quantity_.emplace(id, mapping.figures("sjgcl")[lines.front()]);
    if (scope_.whole()) {
      std::vector<Figure>& sjgcl_qd = fee_rows_->priced("sjgcl_qd");
      for (size_t r = 0; r < fee_rows_->size(); ++r) {
        if (!fee_rows_->GroupOf(r, row_key, row)) continue;
        const auto found = entries.find(row);
        if (found != entries.end()) sjgcl_qd[r] = mapping.figures("sjgcl_qd")[found->second.back()];
      }
    }
  }

  static void PriceAtBasePrice(LineTable& lines) {
    const std::vector<Figure>& dj = lines.priced("dj");
    const std::vector<Figure>& sl = lines.figures("sl");
    std::vector<Figure>& hj = lines.priced("hj");
    for (size_t i = 0; i < lines.size(); ++i) hj[i] = AmountOf(dj[i], sl[i]);
  }

  void PriceSplitComponents() {
    // A split component of a style-3 breakdown loses its own price; only
    // style 1 prices it again, so a component of another style keeps the hj
    // its former price gave it above, until the next run finds dj at 0.
    LineTable& components = Lines("ftcl");
    const std::vector<Truth>& split = components.flags("chaifen");
    const std::vector<Figure>& style = components.figures("chaifenstyle");
    const std::vector<Figure>& sl = components.figures("sl");
    std::vector<Figure>& dj = components.priced("dj");
    std::vector<Figure>& hj = components.priced("hj");
    for (size_t i = 0; i < components.size(); ++i) {
      if (split[i] == Truth::kTrue) dj[i] = Figure::Of(0);
    }
    const std::vector<std::string> key = {"ysid", "clid", "clid_src"};
    const LineTable& breakdown = Lines("ftpbf");
    JoinGroupSums(
        components, key, SumPerGroup(breakdown, key, breakdown.priced("hj")),
        [&](size_t i) { return IsStyle(style[i], 1); },
        [&](size_t i, Figure sum) {
          dj[i] = sum;
          hj[i] = AmountOf(sum, sl[i]);
        });
  }

  void PriceMaterials() {
    LineTable& materials = Lines("gjcl");
    const std::vector<Truth>& split = materials.flags("chaifen");
    const std::vector<Figure>& style = materials.figures("chaifenstyle");
    const std::vector<Figure>& sl = materials.figures("sl");
    std::vector<Figure>& dj = materials.priced("dj");
    std::vector<Figure>& hj = materials.priced("hj");
    std::vector<Figure>& rgdj = materials.priced("rgdj");
    std::vector<Figure>& cldj = materials.priced("cldj");
    std::vector<Figure>& clhj = materials.priced("clhj");
    std::vector<Figure>& jxdj = materials.priced("jxdj");

    // Every material line gets its base amount. A material line is its own
    // material part; a split one starts from nothing. A null chaifen is
    // neither and keeps its parts.
    std::vector<std::vector<Figure>*> parts;
    for (const char* part : kMaterialParts) parts.push_back(&materials.priced(part));
    for (size_t i = 0; i < materials.size(); ++i) {
      hj[i] = AmountOf(dj[i], sl[i]);
      if (split[i] == Truth::kNeither) continue;
      for (std::vector<Figure>* part : parts) (*part)[i] = Figure::Of(0);
      if (split[i] == Truth::kFalse) {
        cldj[i] = dj[i];
        clhj[i] = hj[i];
      }
    }
    for (const SplitPart& part : kSplitParts) {
      const LineTable& components = Lines(part.source);
      std::vector<Figure>& price = materials.priced(part.price);
      std::vector<Figure>& amount = materials.priced(part.amount);
      JoinGroupSums(
          materials, {"ysid", "clid"}, SumPerGroup(components, {"ysid", part.key}, components.priced("hj")),
          [&](size_t i) { return split[i] == Truth::kTrue && IsStyle(style[i], part.style); },
          [&](size_t i, Figure sum) {
            price[i] = sum;
            amount[i] = AmountOf(sum, sl[i]);
          });
    }
    // Every material's price is the unrounded sum of its parts. An ordinary
    // material's parts are its own price and amount, which stay as they are.
    for (size_t i = 0; i < materials.size(); ++i) {
      if (split[i] == Truth::kFalse) continue;
      const Figure price = Plus(Plus(rgdj[i], cldj[i]), jxdj[i]);
      dj[i] = Stored(price);
      hj[i] = AmountOf(price, sl[i]);
    }
  }

  // Adds up `column` of the lines of `table` that `counted` keeps, per row,
  // into the fee-row amount `amount`: in its place, or added to it
  // (`onto`). A row with no such line keeps its amount; a row whose lines
  // are all null gets null.
  void AddUp(const std::string& table, const char* column, const std::function<bool(size_t)>& counted,
             const char* amount, bool onto) {
    const std::vector<Figure>& values = Lines(table).priced(column);
    const std::vector<std::int32_t>& row_of = fee_row_of_line_.at(table);
    std::vector<FigureSum> sums(fee_rows_->size());
    for (size_t i = 0; i < values.size(); ++i) {
      if (row_of[i] >= 0 && counted(i)) sums[static_cast<size_t>(row_of[i])].Add(values[i]);
    }
    // Every fee row of a row id takes the sum, as an update of them all.
    std::vector<Figure>& fee = fee_rows_->priced(amount);
    for (size_t r = 0; r < fee.size(); ++r) {
      if (first_fee_row_[r] < 0) continue;
      const FigureSum& sum = sums[static_cast<size_t>(first_fee_row_[r])];
      if (sum.counted) fee[r] = Stored(onto ? Plus(fee[r], sum.Total()) : sum.Total());
    }
  }

  void AddUpOrdinaryLines() {
    // Labour parts of ordinary materials (split style 3) count as labour,
    // their machine parts as machines; fcjj and jxjj are set here, so the
    // machine lines are added after. Of a main material only the material
    // part counts, and a material of another class counts nowhere.
    const LineTable& labour = Lines("gjrg");
    const LineTable& materials = Lines("gjcl");
    const LineTable& machines = Lines("gjjx");
    // dw<>'%': a line of no unit is no ordinary line either.
    const auto ordinary = [](const LineTable& lines) {
      return [&lines, dw = &lines.texts("dw"), percent = lines.TextKey("%")](size_t i) {
        return (*dw)[i] != 0 && (*dw)[i] != percent;
      };
    };
    const auto of_class = [&](const char* cllb) {
      return [ordinary_material = ordinary(materials), classes = &materials.texts("cllb"),
              wanted = materials.TextKey(cllb)](size_t i) { return ordinary_material(i) && (*classes)[i] == wanted; };
    };
    AddUp("gjrg", "hj", ordinary(labour), "rgjj", false);
    AddUp("gjcl", "rghj", of_class(""), "rgjj", true);
    AddUp("gjcl", "clhj", of_class(""), "fcjj", false);
    AddUp("gjcl", "jxhj", of_class(""), "jxjj", false);
    AddUp("gjcl", "clhj", of_class("主材"), "zcjj", false);
    AddUp("gjjx", "hj", ordinary(machines), "jxjj", true);
  }

  void RebuildFeeRows() {
    Execute("delete from qfsjb" + scope_.Where());
    if (scope_.whole()) {
      // Rows of bill category 3 stay out of the fee calculation.
      Execute(
          "insert into qfsjb (sjxh,ysid,dergdj,zrg,rgjj,rgjc,rgf,zcjj,zcjc,zcf,fcjj,fcjc,fcf,jxjj,jxjc,jxf,glffl,lrfl,"
          "fxfl,glf,lr,fxf,zhdj,sjgcl,zhbj,jsjs,fbcch,zcf_qd,zgj_qd,zgjhj_qd,fcf_qd,sjgcl_qd,qdlb) "
          "select sjxh,ysid,0,0,0,0,0,0,0,0,0,0,0,0,0,0,glffl,lrfl,fxfl,0,0,0,0,sjgcl,0,jsjs,fbcch,0,0,0,0,0,qdlb "
          "from zhys where qdlb<>3");
      // Their quantity per bill unit comes from the bill mapping, read below.
    } else {
      // One row is priced on its own quantity, whatever its bill category,
      // and mapped to no section or bill item; dergdj keeps its default.
      Execute(
          "insert into qfsjb (sjxh,ysid,zrg,rgjj,rgjc,rgf,zcjj,zcjc,zcf,fcjj,fcjc,fcf,jxjj,jxjc,jxf,glffl,lrfl,fxfl,"
          "glf,lr,fxf,zhdj,sjgcl,zhbj,jsjs,fbcch,zcf_qd,zgj_qd,zgjhj_qd,fcf_qd,sjgcl_qd,qdlb) "
          "select sjxh,ysid,0,0,0,0,0,0,0,0,0,0,0,0,0,glffl,lrfl,fxfl,0,0,0,0,yssl,0,jsjs,fbcch,0,0,0,0,0,qdlb "
          "from zhys where ysid=:ysid");
      Execute("delete from qddyb where ysid=:ysid");
      Execute(
          "insert into qddyb (ysid,fb1,fb2,fb3,fb4,fb5,sjgcl,sjgcl_qd) select ysid,0 as fb1,0 as fb2,0 as fb3,"
          "0 as fb4,0 as fb5,yssl as sjgcl,0 as sjgcl_qd from zhys where ysid=:ysid");
    }
  }

  const std::vector<PercentageLine>& PercentageLines(const ResourceKind& kind) {
    return percentage_lines_.at(kind.table);
  }

  // The percentage lines of a kind, in the order of the table.
  std::vector<PercentageLine> FindPercentageLines(const ResourceKind& kind) {
    const LineTable& lines = Lines(kind.table);
    const std::vector<TextId>& dw = lines.texts("dw");
    const std::vector<TextId>& bh = lines.texts("bh");
    const TextId percent = lines.TextKey("%");
    std::vector<PercentageLine> found;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (dw[i] != percent || bh[i] == 0) continue;
      int linked = -1;
      for (size_t c = 0; c < kind.linked.size(); ++c) {
        if (bh[i] == lines.TextKey(kind.linked[c].code)) linked = static_cast<int>(c);
      }
      found.push_back({i, linked});
    }
    return found;
  }

  // The first fee row of a row id, or null.
  const size_t* FeeRowOf(const Id& ysid) const {
    const auto found = fee_row_of_.find({ysid});
    return found == fee_row_of_.end() ? nullptr : &found->second;
  }

  // A percentage line's price, and its amount: the price times its quantity
  // per hundred. A material line is its own material part.
  void SetPercentagePrice(const ResourceKind& kind, size_t i, Figure price) {
    LineTable& lines = Lines(kind.table);
    const Figure amount = Stored(Rounded(Divided(Times(price, lines.figures("sl")[i]), Figure::Of(100)), 2));
    lines.priced("dj")[i] = Stored(price);
    lines.priced("hj")[i] = amount;
    if (kind.material) {
      lines.priced("cldj")[i] = Stored(price);
      lines.priced("clhj")[i] = amount;
    }
  }

  // Adds up the amounts of the percentage lines of each kind that `counted`
  // keeps onto the kind's fee-row amount.
  void AddUpPercentageLines(const std::function<bool(const ResourceKind&, const PercentageLine&)>& counted) {
    for (const ResourceKind& kind : Kinds()) {
      std::vector<bool> counts(Lines(kind.table).size());
      for (const PercentageLine& line : PercentageLines(kind)) counts[line.line] = counted(kind, line);
      AddUp(
          kind.table, kind.amount, [&counts](size_t i) { return counts[i]; }, kind.fee, true);
    }
  }

  void PricePlainPercentageLines() {
    // A plain percentage line is charged on its own row's amount of its
    // kind; a material one counts into fcjj even when it is a main material.
    for (const ResourceKind& kind : Kinds()) {
      const std::vector<Id>& ysid = Lines(kind.table).ids("ysid");
      const std::vector<Figure>& fee = fee_rows_->priced(kind.fee);
      for (const PercentageLine& line : PercentageLines(kind)) {
        if (line.linked >= 0) continue;
        if (const size_t* row = FeeRowOf(ysid[line.line])) SetPercentagePrice(kind, line.line, fee[*row]);
      }
    }
    AddUpPercentageLines([](const ResourceKind&, const PercentageLine& line) { return line.linked < 0; });
  }

  // Prices the linked lines of `kind` on the named row's amounts, spread
  // over the line's own row quantity (0 counting as 1). The second pass
  // only prices lines still at 0 and marks them.
  void PriceLinkedLines(const ResourceKind& kind, bool second_pass) {
    const LineTable& lines = Lines(kind.table);
    const std::vector<Id>& ysid = lines.ids("ysid");
    const std::vector<Id>& named = lines.ids("ysid_gl");
    const std::vector<Figure>& dj = lines.priced("dj");
    for (const PercentageLine& line : PercentageLines(kind)) {
      if (line.linked < 0) continue;
      const size_t i = line.line;
      if (second_pass && (dj[i].null() || dj[i].value != 0)) continue;
      const size_t* row = FeeRowOf(named[i]);
      const auto mapped = mapped_quantity_.find({ysid[i]});
      if (row == nullptr || mapped == mapped_quantity_.end()) continue;
      const Figure labour = fee_rows_->priced("rgjj")[*row];
      const Figure machines = fee_rows_->priced("jxjj")[*row];
      const Base base = kind.linked[static_cast<size_t>(line.linked)].base;
      const Figure charged = base == Base::kLabour     ? labour
                             : base == Base::kMachines ? machines
                                                       : Plus(labour, machines);
      const Figure quantity = mapped->second;
      const Figure per_unit = quantity.null() || quantity.value != 0 ? quantity : Figure::Of(1);
      SetPercentagePrice(kind, i, Rounded(Divided(Times(charged, fee_rows_->figures("sjgcl")[*row]), per_unit), 2));
      if (second_pass) second_pass_[kind.table][i] = true;
    }
  }

  void PriceLinkedPercentageLines() {
    for (const ResourceKind& kind : Kinds()) {
      // A line whose joins find no partner keeps the zeros of its reset.
      // One row's reset keeps the pass marks of the last whole-project run;
      // a material line loses its material part in both forms, or a line
      // without partner would add to fcjj the plain dj*sl it was given as
      // an ordinary line above, a hundred times its percentage amount.
      for (const PercentageLine& line : PercentageLines(kind)) {
        if (line.linked < 0) continue;
        LineTable& lines = Lines(kind.table);
        const char* reset[] = {"dj", "hj", "cldj", "clhj"};
        for (size_t c = 0; c < (kind.material ? 4 : 2); ++c) lines.priced(reset[c])[line.line] = Figure::Of(0);
      }
      PriceLinkedLines(kind, false);
    }
    AddUpPercentageLines([](const ResourceKind&, const PercentageLine& line) { return line.linked >= 0; });
    if (!scope_.whole()) return;

    // The named row's amounts were read while still being completed: a line
    // whose named row had no amount yet is priced again on the completed
    // amounts, and only these marked lines are added, so none counts twice.
    for (const ResourceKind& kind : Kinds()) {
      second_pass_[kind.table].assign(Lines(kind.table).size(), false);
      PriceLinkedLines(kind, true);
    }
    AddUpPercentageLines(
        [&](const ResourceKind& kind, const PercentageLine& line) { return second_pass_[kind.table][line.line]; });
  }

  // The whole project marks its linked lines: 1 for those of the second
  // pass, 0 for the others.
  void WritePassMarks() {
    if (!scope_.whole()) return;
    for (const ResourceKind& kind : Kinds()) {
      LineTable& lines = Lines(kind.table);
      const std::vector<bool>& marked = second_pass_[kind.table];
      KeptStatement update(connection_, std::string("update ") + kind.table + " set azfy=? where rowid=?",
                           NullParams(2));
      for (const PercentageLine& line : PercentageLines(kind)) {
        const Id mark{Id::kInteger, marked[line.line] ? 1 : 0};
        if (line.linked < 0 || lines.ids("azfy")[line.line] == mark) continue;
        Statement& statement = *update;
        statement.Reset();
        sqlite3_bind_int64(statement.get(), 1, mark.bits);
        sqlite3_bind_int64(statement.get(), 2, lines.rowid(line.line));
        statement.Run();
        lines.SetId("azfy", line.line, mark);
      }
    }
  }

  Connection& connection_;
  const Scope& scope_;
  StageRunner run_;
  bool keeping_;
  std::shared_ptr<PricedLines> held_ = std::make_shared<PricedLines>();
  std::optional<LineTable> fee_rows_;
  std::unordered_map<IdKey, size_t, IdKeyHash> fee_row_of_;  // the first fee row of a row id
  std::vector<std::int32_t> first_fee_row_;                  // of each fee row's row id, -1 for none
  std::map<std::string, std::vector<std::int32_t>> fee_row_of_line_;
  std::unordered_map<IdKey, Figure, IdKeyHash> mapped_quantity_;
  std::map<std::string, std::vector<PercentageLine>> percentage_lines_;
  std::map<std::string, std::vector<bool>> second_pass_;  // the lines the second pass priced
};

}  // namespace

void PriceAtBasePrices(Connection& connection, const Scope& scope, ProjectMemory* memory) {
  // Lines kept from an earlier run would no longer hold the tables' prices.
  if (memory) {
    memory->priced_lines.reset();
    memory->handed_lines.reset();
  }
  std::vector<FigureSet> read, computed;
  if (!(memory && scope.whole() && memory->estimate_rows_are_numbers)) read.push_back({"zhys", {}, scope.Rows()});
  for (const AmountTable& table : AmountTables()) {
    read.push_back({table.name, {}, scope.Rows()});
    computed.push_back({table.name, {"hj"}, scope.Rows()});
  }
  computed.push_back({"gjcl", {"dj", "cldj", "clhj", "rgdj", "rghj", "jxdj", "jxhj"}, scope.Rows()});
  computed.push_back({"qfsjb", {"rgjj", "fcjj", "zcjj", "jxjj"}, scope.Rows()});
  // The lines read refuse a word where a figure belongs: a table whose
  // lines hold all its figures needs no scan of its own. Should the reading
  // stop at one, the scan names the first, as it would have before.
  BasePricing pricing(connection, scope, memory && scope.whole());
  try {
    pricing.Run();
  } catch (const Error&) {
    CheckFigures(connection, read, FigureUse::kRead, scope.params());
    throw;
  }
  for (FigureSet& set : read) {
    if (set.table != "zhys") set.held = pricing.Held(set.table);
  }
  CheckFigures(connection, read, FigureUse::kRead, scope.params());
  for (FigureSet& set : computed) {
    if (set.table != "qfsjb") set.held = pricing.Held(set.table);
  }
  CheckFigures(connection, computed, FigureUse::kComputed, scope.params());
  if (memory && scope.whole()) {
    memory->estimate_rows_are_numbers = true;
    memory->fee_rows_are_numbers = FigureDefaultsAreNumbers(connection, "qfsjb");
  }
  if (std::shared_ptr<PricedLines> kept = pricing.Kept()) {
    for (const auto& [table, lines] : kept->tables) {
      if (!KeepsAsWritten(connection, table, BasePricing::WrittenColumns(table))) return;
    }
    memory->priced_lines = std::move(kept);
  }
}

}  // namespace quillmere
