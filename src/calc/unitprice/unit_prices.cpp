// Comprehensive unit prices: management fee, profit and unit price of
// sub-items and bill items, by fixed rates or the fee programme.
//
// The stage runs in this order, for the whole project:
//  (1) Sub-items: management fee and profit on their fee basis, then unit
//      price and total; by fixed rates, or line by line through the fee
//      programme on the working copy temp_qfsjb, whose results go back to
//      the fee rows.
//  (2) Bill items: each figure is the sum over its sub-items of the
//      sub-item's per-unit figure times its quantity per bill unit, so (1)
//      must be complete first. The fee programme then evaluates its lines
//      once more on every bill item's sums.
//  (3) Labour unit price of each bill item, weighted by quantity. This one is
//      best effort: where it cannot be worked out the bill item keeps its
//      previous labour price.
//  (4) Section totals, level 1 to 4, summed from the sub-items under quota
//      pricing and from the distinct bill items otherwise; they read the
//      totals of (1) and (2).
//  (5) Prices written onto the estimate rows, sections whose quantity does
//      not multiply their rows taking their total as unit price, then the
//      main-material price of every sub-item.
// Recalculating one row runs (1) for that row alone and the main-material
// prices of (5), which cover every sub-item; everything else keeps the
// values of the last whole-project run.
//
// Each of these steps goes over every fee row or estimate row, so the fee
// rows and estimate rows are held in memory once, priced step by step and
// written back once, only the cells that changed. The fee programme's
// formulas and the main-material prices stay statements.

#include "calc/unitprice/unit_prices.h"

#include <sqlite3.h>

#include <array>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/text.h"
#include "calc/figure_check.h"
#include "calc/model/line_table.h"
#include "calc/unitprice/bill_item_sums.h"
#include "calc/unitprice/fee_programme.h"
#include "calc/unitprice/main_material_prices.h"
#include "db/kept_statement.h"
#include "db/recordset.h"
#include "db/statement.h"
#include "db/tables.h"

namespace quillmere {
namespace {

// The fee rows a sub-item pass prices: every sub-item of the project, or the
// one row being recalculated, whatever its level.
std::string SubItemRows(const Scope& scope, std::string_view alias = "") {
  return std::string(alias) + (scope.whole() ? "fbcch=0" : "ysid=:ysid");
}

bool Is(Figure figure, double value) { return !figure.null() && figure.value == value; }

// A figure as format(x,'0.##') (or `decimals` places) stores it.
Figure RoundedAmount(Figure x, int decimals = 2) { return Stored(Rounded(x, decimals)); }

// The fee rows of the scope, with what the steps below read and price.
LineTable ReadFeeRows(Connection& c, const Scope& scope, TextPool& pool) {
  LineTable::Columns columns;
  columns.ids = {"ysid"};
  columns.texts = {"jsjs"};
  columns.figures = {"fbcch", "sjgcl", "sjgcl_qd", "glffl", "lrfl", "zcf", "zcf_qd", "zgj_qd", "rgjj", "fcjj", "jxjj"};
  columns.priced = {"zrg", "rgf", "fcf", "jxf", "glf", "lr", "zhdj", "zhbj", "zgjhj_qd", "dergdj"};
  return LineTable(c, "qfsjb", std::move(columns), pool, scope.Where(), scope.params());
}

const std::vector<std::string> kRowId = {"ysid"};

// Management fee and profit on each sub-item's fee basis (the same bases as
// kFeeBases), then its unit price and total. A sub-item of any other basis
// keeps its fees.
void PriceSubItemsAtFixedRates(LineTable& fee_rows, const Scope& scope) {
  const std::vector<Figure>& fbcch = fee_rows.figures("fbcch");
  const std::vector<Figure>& glffl = fee_rows.figures("glffl");
  const std::vector<Figure>& lrfl = fee_rows.figures("lrfl");
  const std::vector<Figure>& zcf = fee_rows.figures("zcf");
  const std::vector<Figure>& sjgcl = fee_rows.figures("sjgcl");
  const std::vector<TextId>& jsjs = fee_rows.texts("jsjs");
  const std::vector<Figure>& rgf = fee_rows.priced("rgf");
  const std::vector<Figure>& fcf = fee_rows.priced("fcf");
  const std::vector<Figure>& jxf = fee_rows.priced("jxf");
  std::vector<Figure>& glf = fee_rows.priced("glf");
  std::vector<Figure>& lr = fee_rows.priced("lr");
  std::vector<Figure>& zhdj = fee_rows.priced("zhdj");
  std::vector<Figure>& zhbj = fee_rows.priced("zhbj");
  const TextId labour_and_machines = fee_rows.TextKey("人工+机械");
  const TextId labour = fee_rows.TextKey("人工");
  for (size_t i = 0; i < fee_rows.size(); ++i) {
    if (scope.whole() && !Is(fbcch[i], 0)) continue;
    std::optional<Figure> basis;
    if (jsjs[i] == 0 || jsjs[i] == labour_and_machines) basis = Plus(rgf[i], jxf[i]);
    if (jsjs[i] == labour) basis = rgf[i];
    if (basis) {
      glf[i] = RoundedAmount(Times(*basis, glffl[i]));
      lr[i] = RoundedAmount(Times(*basis, lrfl[i]));
    }
    const Figure price = Plus(Plus(Plus(Plus(Plus(rgf[i], fcf[i]), zcf[i]), jxf[i]), glf[i]), lr[i]);
    zhdj[i] = Stored(price);
    zhbj[i] = RoundedAmount(Times(price, sjgcl[i]));
  }
}

// Each bill item takes the sums over its sub-items (qddyb maps a sub-item
// to its bill item fb5) of the sub-item's figure times its quantity per bill
// unit, rounded before the sum: labour days to four places, money to two.
// Every fee row of the bill item's row id takes them; the sums are taken
// before any is set.
void RollUpBillItemsAtFixedRates(Connection& c, LineTable& fee_rows, TextPool& pool) {
  LineTable::Columns columns;
  columns.ids = {"ysid", "fb5"};
  const LineTable mapping(c, "qddyb", std::move(columns), pool);
  struct Part {
    const char* figure;
    int decimals;
  };
  constexpr Part kParts[] = {{"zrg", 4}, {"rgf", 2}, {"fcf", 2}, {"jxf", 2}, {"glf", 2}, {"lr", 2}};
  using Sums = std::array<FigureSum, std::size(kParts)>;
  std::unordered_map<IdKey, Sums, IdKeyHash> bill_items;
  const GroupLines sub_items = LinesPerGroup(fee_rows, kRowId);
  const std::vector<Figure>& per_bill_unit = fee_rows.figures("sjgcl_qd");
  IdKey sub_item, bill_item;
  for (size_t m = 0; m < mapping.size(); ++m) {
    if (!mapping.GroupOf(m, kRowId, sub_item) || !mapping.GroupOf(m, {"fb5"}, bill_item)) continue;
    const auto rows = sub_items.find(sub_item);
    if (rows == sub_items.end()) continue;
    Sums& sums = bill_items[bill_item];
    for (size_t r : rows->second) {
      for (size_t k = 0; k < std::size(kParts); ++k) {
        sums[k].Add(Rounded(Times(fee_rows.priced(kParts[k].figure)[r], per_bill_unit[r]), kParts[k].decimals));
      }
    }
  }
  IdKey row;
  for (size_t i = 0; i < fee_rows.size(); ++i) {
    if (!fee_rows.GroupOf(i, kRowId, row)) continue;
    const auto found = bill_items.find(row);
    if (found == bill_items.end()) continue;
    for (size_t k = 0; k < std::size(kParts); ++k)
      fee_rows.priced(kParts[k].figure)[i] = Stored(found->second[k].Total());
  }

  // The main material of a bill item is its own material list's (zcf_qd),
  // not the sum of its sub-items'.
  const std::vector<Figure>& fbcch = fee_rows.figures("fbcch");
  const std::vector<Figure>& zcf_qd = fee_rows.figures("zcf_qd");
  const std::vector<Figure>& sjgcl = fee_rows.figures("sjgcl");
  for (size_t i = 0; i < fee_rows.size(); ++i) {
    if (!Is(fbcch[i], 5)) continue;
    Figure price = fee_rows.priced("rgf")[i];
    for (const char* part : {"fcf", "jxf", "glf", "lr"}) price = Plus(price, fee_rows.priced(part)[i]);
    price = Plus(price, zcf_qd[i]);
    fee_rows.priced("zhdj")[i] = Stored(price);
    fee_rows.priced("zhbj")[i] = RoundedAmount(Times(price, sjgcl[i]));
  }
}

// The sub-item rows the programme lines price: those of either fee basis.
std::string ProgrammeRows(const Scope& scope) {
  std::string rows;
  for (const auto& [basis_rows, amount] : kFeeBases) rows += std::string(rows.empty() ? "" : " or ") + basis_rows;
  return "(" + rows + ") and " + SubItemRows(scope);
}

// Refuses a fee (or, on sub-items, a rate) of the programme that came out
// null or infinite on `rows` of the working fee rows, naming the first line
// in calculation order that went wrong: the lines after it only inherit it.
void CheckProgrammeFees(Connection& c, const std::vector<FeeLine>& programme, const std::string& rows, bool with_rates,
                        const Params& params) {
  FigureSet fees{"temp_qfsjb", {}, rows};
  for (const FeeLine& line : programme) {
    if (with_rates) fees.columns.push_back(line.code + "_FL");
    fees.columns.push_back(line.code);
  }
  if (fees.columns.empty()) return;
  const auto fault = FindFigureFault(c, {fees}, FigureUse::kComputed, params);
  if (!fault) return;
  for (const FeeLine& line : programme) {
    if (EqualsIgnoringCase(fault->column, line.code) || EqualsIgnoringCase(fault->column, line.code + "_FL")) {
      throw Error(fault->Text() + ", " + LineName(line));
    }
  }
}

// Prices the sub-items through the fee programme and returns the programme,
// which the bill items run again.
std::vector<FeeLine> PriceSubItemsByProgramme(Connection& c, const Scope& scope) {
  StageRunner run(c, scope);
  run("delete from temp_qfsjb" + scope.Where("ysid"));
  InsertAllColumns(c, "temp_qfsjb", "qfsjb", scope.Where("ysid"), scope.params());
  std::vector<FeeLine> programme = ReadFeeProgramme(c);
  for (const FeeLine& line : programme) {
    const std::string fee = FeeColumn(line.code);
    const std::string rate = FeeColumn(line.code, "_FL");
    // The sub-item's rate of this fee comes from the host's rate table; should
    // it hold several rows for one estimate row, the first stored counts.
    run("update temp_qfsjb as aaa set " + rate + "=bbb." + rate +
        " from temp_zhys as bbb where aaa.ysid=bbb.ysid"
        " and bbb.rowid=(select min(rowid) from temp_zhys where ysid=aaa.ysid) and " +
        SubItemRows(scope, "aaa."));
    // Rates are in percent. Each line sees the fees of the lines before it,
    // since each statement stores its fee before the next one runs.
    for (size_t b = 0; b < std::size(kFeeBases); ++b) {
      RunFeeLineStatement(c, line,
                          "update temp_qfsjb set " + fee + "=format((" + line.sub_item[b] + ")*" + rate +
                              "/100.0,'0.##') where " + kFeeBases[b].rows + " and " + SubItemRows(scope),
                          scope.params());
    }
  }
  CheckProgrammeFees(c, programme, ProgrammeRows(scope), true, scope.params());
  if (scope.whole()) {
    c.Execute(CopyBackWorkingRows("format(bbb.zhdj*bbb.sjgcl,'0.00')", "aaa.fbcch=0"));
  } else {
    // The recalculated row has always kept its total unrounded, as hosts
    // read it; the whole-project run rounds it.
    run(CopyBackWorkingRows("bbb.zhdj*aaa.sjgcl", "aaa.ysid=:ysid"));
  }
  return programme;
}

void RollUpBillItemsByProgramme(Connection& c, const std::vector<FeeLine>& programme) {
  // The fee rows and their working copy take the same sums, read once.
  std::vector<Params> sums;
  {
    KeptStatement read(c, SubItemSums(kEveryComponent, ""));
    while (read->Step()) {
      Params row;
      for (size_t i = 1; i <= std::size(kEveryComponent); ++i) row.Add(read->ColumnValue(static_cast<int>(i)));
      row.Add(read->ColumnValue(0));
      sums.push_back(std::move(row));
    }
  }
  std::string assignments;
  for (std::string_view figure : kEveryComponent) {
    assignments += (assignments.empty() ? "" : ",") + std::string(figure) + "=?";
  }
  for (const char* table : {"qfsjb", "temp_qfsjb"}) {
    KeptStatement update(c, std::string("update ") + table + " set " + assignments + " where ysid=?",
                         NullParams(std::size(kEveryComponent) + 1));
    for (const Params& row : sums) {
      update->Rebind(row);
      update->Run();
    }
  }
  // Material amounts of a bill item at current prices are its base amounts
  // plus differences, as summed; the main material also stands as the bill
  // item's own main material.
  c.Execute("update qfsjb set fcf=fcjj+fcjc,zcf=zcjj+zcjc,zcf_qd=zcjj+zcjc where fbcch=5");
  c.Execute("update temp_qfsjb set fcf=fcjj+fcjc,zcf=zcjj+zcjc where fbcch=5");

  // Every bill item with at least one sub-item in the working rows evaluates
  // each line on its own sums, in programme order. The rows are independent,
  // so one statement per line serves all bill items at once.
  const char* kBillItems = "select qddyb.fb5 from qddyb inner join temp_qfsjb bbb on qddyb.ysid=bbb.ysid";
  if (!programme.empty()) {
    Recordset bill_items;
    bill_items.Open(c, std::string(kBillItems) + " group by qddyb.fb5");
    if (bill_items.RecordCount() > 0) {
      for (const FeeLine& line : programme) {
        RunFeeLineStatement(c, line,
                            "update temp_qfsjb set " + FeeColumn(line.code) + "=(" + line.bill_item +
                                ") where fbcch=5 and ysid in (" + kBillItems + ")");
      }
      CheckProgrammeFees(c, programme, "fbcch=5 and ysid in (" + std::string(kBillItems) + ")", false, {});
    }
  }
  c.Execute(CopyBackWorkingRows("format(bbb.zhdj*aaa.sjgcl,'0.00')", "aaa.fbcch=5"));
}

// The bill items' labour price: over the labour lines of their sub-items
// (no percentage lines, none in 元, none without a quantity) and the estimate
// rows of those sub-items (with an actual quantity), the labour amount at the
// effective price over the labour quantity, both weighted by the actual
// quantity and taken positive, to cents. The sums add by the bill mapping
// (each bill item's sub-items by rowid), each sub-item's labour lines by
// rowid and, for each line, the estimate rows of the sub-item's id by rowid,
// as the statement below reads them. Best effort: a figure that reads as no
// number (which the statement would count as 0) leaves the work to the
// statement, and a statement that fails is skipped, the bill items keeping
// their previous labour price.
void PriceBillItemLabour(Connection& c, LineTable& fee_rows, TextPool& pool) {
  try {
    LineTable::Columns mapping_columns, labour_columns, row_columns;
    mapping_columns.ids = {"ysid", "fb5"};
    labour_columns.ids = {"ysid"};
    labour_columns.texts = {"dw"};
    labour_columns.figures = {"dj", "xxj", "sl"};
    row_columns.ids = {"ysid"};
    row_columns.figures = {"sjgcl"};
    const LineTable mapping(c, "qddyb", std::move(mapping_columns), pool);
    const LineTable labour(c, "gjrg", std::move(labour_columns), pool);
    const LineTable rows(c, "zhys", std::move(row_columns), pool);
    const GroupLines labour_of = LinesPerGroup(labour, kRowId), rows_of = LinesPerGroup(rows, kRowId);
    const std::vector<TextId>& dw = labour.texts("dw");
    const std::vector<Figure>& dj = labour.column("dj");
    const std::vector<Figure>& xxj = labour.column("xxj");
    const std::vector<Figure>& sl = labour.column("sl");
    const std::vector<Figure>& sjgcl = rows.column("sjgcl");
    const TextId percent = labour.TextKey("%"), yuan = labour.TextKey("元");
    const auto positive = [](Figure x) { return x.null() ? x : Figure::Of(std::fabs(x.value)); };
    std::unordered_map<IdKey, Figure, IdKeyHash> prices;
    for (const auto& [bill_item, sub_items] : LinesPerGroup(mapping, {"fb5"})) {
      FigureSum amount, quantity;
      for (size_t m : sub_items) {
        IdKey id;
        if (!mapping.GroupOf(m, kRowId, id)) continue;
        const auto lines = labour_of.find(id);
        const auto estimate_rows = rows_of.find(id);
        if (lines == labour_of.end() || estimate_rows == rows_of.end()) continue;
        for (size_t l : lines->second) {
          if (dw[l] == 0 || dw[l] == percent || dw[l] == yuan || sl[l].null() || sl[l].value == 0) continue;
          const Figure price = Is(xxj[l], 0) ? dj[l] : xxj[l];
          for (size_t r : estimate_rows->second) {
            if (sjgcl[r].null() || sjgcl[r].value == 0) continue;
            amount.Add(positive(Times(Times(sjgcl[r], price), sl[l])));
            quantity.Add(positive(Times(sjgcl[r], sl[l])));
          }
        }
      }
      if (amount.counted) prices[bill_item] = RoundedAmount(Divided(amount.Total(), quantity.Total()));
    }
    std::vector<Figure>& dergdj = fee_rows.priced("dergdj");
    IdKey id;
    for (size_t f = 0; f < fee_rows.size(); ++f) {
      if (!fee_rows.GroupOf(f, kRowId, id)) continue;
      if (const auto found = prices.find(id); found != prices.end()) dergdj[f] = found->second;
    }
    return;
  } catch (const Error&) {
    // A word where a figure belongs: the statement counts it as SQL does.
  }
  try {
    c.Execute(
        "update qfsjb set dergdj=format(desjb.rgdj,'0.00') from (select qddyb.fb5 as ysid_qd,"
        "sum(abs(zhys.sjgcl*iif(gjrg.xxj=0,gjrg.dj,gjrg.xxj)*gjrg.sl))/sum(abs(zhys.sjgcl*gjrg.sl)) as rgdj "
        "from zhys inner join qddyb on zhys.ysid=qddyb.ysid inner join gjrg on zhys.ysid=gjrg.ysid "
        "where gjrg.dw<>'%' and gjrg.dw<>'元' and gjrg.sl<>0 and zhys.sjgcl<>0 group by qddyb.fb5) as desjb "
        "where qfsjb.ysid=desjb.ysid_qd");
  } catch (const Error&) {
    // Skipped, unless the engine gave up the whole transaction with it:
    // going on would then write outside any transaction.
    if (c.TransactionDepth() > 0 && sqlite3_get_autocommit(c.handle())) throw;
  }
}

void RollUpSections(Connection& c, LineTable& fee_rows, const std::string& pricing_method, TextPool& pool) {
  c.Execute("delete from fbdyb");
  if (pricing_method == "定额计价法") {
    c.Execute("insert into fbdyb (ysid,fb1,fb2,fb3,fb4) select ysid,fb1,fb2,fb3,fb4 from qddyb");
  } else {
    c.Execute("insert into fbdyb (ysid,fb1,fb2,fb3,fb4) select distinct fb5,fb1,fb2,fb3,fb4 from qddyb");
  }
  LineTable::Columns columns;
  columns.ids = {"ysid", "fb1", "fb2", "fb3", "fb4"};
  const LineTable sections(c, "fbdyb", std::move(columns), pool);
  const GroupLines entries = LinesPerGroup(sections, kRowId);
  std::vector<Figure>& zhbj = fee_rows.priced("zhbj");
  std::vector<Figure>& zgjhj_qd = fee_rows.priced("zgjhj_qd");
  // Every level sums the rows of fbdyb, never the sections below it, so the
  // levels do not depend on one another's order. A section takes the sums
  // on every fee row of its row id.
  for (const std::string level : {"fb1", "fb2", "fb3", "fb4"}) {
    struct Totals {
      FigureSum total, provisional;
    };
    std::unordered_map<IdKey, Totals, IdKeyHash> totals;
    IdKey row, section;
    for (size_t i = 0; i < fee_rows.size(); ++i) {
      if (!fee_rows.GroupOf(i, kRowId, row)) continue;
      const auto found = entries.find(row);
      if (found == entries.end()) continue;
      for (size_t e : found->second) {
        if (!sections.GroupOf(e, {level}, section)) continue;
        Totals& t = totals[section];
        t.total.Add(zhbj[i]);
        t.provisional.Add(zgjhj_qd[i]);
      }
    }
    for (size_t i = 0; i < fee_rows.size(); ++i) {
      if (!fee_rows.GroupOf(i, kRowId, row)) continue;
      const auto found = totals.find(row);
      if (found == totals.end()) continue;
      zhbj[i] = Stored(found->second.total.Total());
      zgjhj_qd[i] = Stored(found->second.provisional.Total());
    }
  }
}

// The prices of the fee rows go onto their estimate rows: unit prices and
// totals, provisional sums and the prices of labour, materials and machines.
// A row id that several fee rows share takes the last of them. Sections whose
// quantity does not multiply their rows take their total as unit price.
// Returns the estimate rows as written, for the check of their prices.
LineTable WritePricesOntoEstimateRows(Connection& c, const LineTable& fee_rows, TextPool& pool) {
  LineTable::Columns columns;
  columns.ids = {"ysid"};
  columns.flags = {"bzj"};
  columns.figures = {"fbcch", "yssl"};
  columns.priced = {"sjdj", "sjbj", "zgjdj", "zgjhj", "rgdj", "cldj", "jxdj", "dejj"};
  LineTable rows(c, "zhys", std::move(columns), pool);
  const GroupLines fee_rows_of = LinesPerGroup(fee_rows, kRowId);
  IdKey id;
  const auto fee = [&](const char* column) -> const std::vector<Figure>& { return fee_rows.column(column); };
  const auto row = [&](const char* column) -> std::vector<Figure>& { return rows.priced(column); };
  const std::vector<Figure>& fbcch = rows.figures("fbcch");
  const std::vector<Figure>& yssl = rows.figures("yssl");
  const std::vector<Truth>& own_quantity = rows.flags("bzj");
  for (size_t z = 0; z < rows.size(); ++z) {
    const Figure level = fbcch[z];
    const bool section = !level.null() && level.value > 0 && level.value < 5;
    const auto found = rows.GroupOf(z, kRowId, id) ? fee_rows_of.find(id) : fee_rows_of.end();
    if (found != fee_rows_of.end()) {
      const size_t f = found->second.back();
      if (Is(level, 0) || Is(level, 5)) {
        row("sjdj")[z] = fee("zhdj")[f];
        row("sjbj")[z] = RoundedAmount(Times(fee("zhdj")[f], yssl[z]));
        row("zgjdj")[z] = fee("zgj_qd")[f];
        row("zgjhj")[z] = fee("zgjhj_qd")[f];
        row("rgdj")[z] = fee("rgf")[f];
        row("cldj")[z] = fee("fcf")[f];
        row("jxdj")[z] = fee("jxf")[f];
      }
      if (Is(level, 0)) row("dejj")[z] = Stored(Plus(Plus(fee("rgjj")[f], fee("fcjj")[f]), fee("jxjj")[f]));
      if (section) {
        row("sjbj")[z] = fee("zhbj")[f];
        row("zgjhj")[z] = fee("zgjhj_qd")[f];
      }
    }
    if (section && Is(row("sjbj")[z], 0)) row("sjdj")[z] = Figure::Of(0);
    if (section && level.value == std::floor(level.value) && own_quantity[z] == Truth::kFalse) {
      row("sjdj")[z] = row("sjbj")[z];
    }
  }
  rows.WriteChanges(c);
  return rows;
}

// The figures the stage computes: the fee rows' fees, prices and totals (of
// the row being recalculated, or of every row), and the prices written onto
// the estimate rows.
std::vector<FigureSet> ComputedFigures(const Scope& scope) {
  std::vector<FigureSet> figures = {{"qfsjb",
                                     {"glf", "lr", "zhdj", "zhbj", "rgf", "fcf", "zcf", "jxf", "dergdj", "zgjhj_qd"},
                                     scope.whole() ? "" : "ysid=:ysid"}};
  if (scope.whole()) {
    // The prices as the estimate rows were written with them (held), and the
    // main-material figures refreshed after.
    figures.push_back({"zhys", {"sjdj", "sjbj", "dejj", "zgjdj", "zgjhj", "rgdj", "cldj", "jxdj"}});
    figures.push_back({"zhys", {"zcfhj", "zcfdj"}, "fbcch=0"});
  }
  return figures;
}

}  // namespace

void ComputeUnitPrices(Connection& connection, const Scope& scope, const std::string& pricing_method,
                       bool fee_programme, ProjectMemory* memory) {
  // What the members before it checked, or wrote themselves, needs no scan.
  const bool known = memory && scope.whole();
  std::vector<FigureSet> read;
  if (!(known && memory->fee_rows_are_numbers)) read.push_back({"qfsjb", {}, scope.Rows()});
  if (!(known && memory->estimate_rows_are_numbers)) read.push_back({"zhys", {}, scope.Rows()});
  if (memory) memory->Forget();
  CheckFigures(connection, read, FigureUse::kRead, scope.params());
  std::vector<FeeLine> programme;
  if (fee_programme) {
    programme = PriceSubItemsByProgramme(connection, scope);
    if (scope.whole()) RollUpBillItemsByProgramme(connection, programme);
  }
  std::vector<FigureSet> computed = ComputedFigures(scope);
  std::optional<LineTable> estimate_rows;
  // The fee rows are read once the programme has priced them.
  if (!fee_programme || scope.whole()) {
    TextPool pool;
    LineTable fee_rows = ReadFeeRows(connection, scope, pool);
    if (!fee_programme) {
      PriceSubItemsAtFixedRates(fee_rows, scope);
      if (scope.whole()) RollUpBillItemsAtFixedRates(connection, fee_rows, pool);
    }
    if (scope.whole()) {
      PriceBillItemLabour(connection, fee_rows, pool);
      RollUpSections(connection, fee_rows, pricing_method, pool);
    }
    fee_rows.WriteChanges(connection);
    if (scope.whole()) {
      estimate_rows.emplace(WritePricesOntoEstimateRows(connection, fee_rows, pool));
      computed[1].held = &*estimate_rows;
    }
  }
  RefreshMainMaterialPrices(connection);
  CheckFigures(connection, computed, FigureUse::kComputed, scope.params());
}

}  // namespace quillmere
