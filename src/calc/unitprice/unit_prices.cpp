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
//      best effort: a statement that fails is skipped and the bill item keeps
//      its previous labour price.
//  (4) Section totals, level 1 to 4, summed from the sub-items under quota
//      pricing and from the distinct bill items otherwise; they read the
//      totals of (1) and (2).
//  (5) Prices written onto the estimate rows, then the main-material price
//      of every sub-item; sections whose quantity does not multiply their
//      rows take their total as unit price.
// Recalculating one row runs (1) for that row alone and the main-material
// prices of (5), which cover every sub-item; everything else keeps the
// values of the last whole-project run.

#include "calc/unitprice/unit_prices.h"

#include <sqlite3.h>

#include <vector>

#include "base/text.h"
#include "calc/figure_check.h"
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

void PriceSubItemsAtFixedRates(Connection& c, const Scope& scope) {
  StageRunner run(c, scope);
  for (const auto& [rows, amount] : kFeeBases) {
    const std::string base(amount);
    run("update qfsjb set glf=format(" + base + "*glffl,'0.##'),lr=format(" + base + "*lrfl,'0.##') where " + rows +
        " and " + SubItemRows(scope));
  }
  run("update qfsjb set zhdj=rgf+fcf+zcf+jxf+glf+lr,zhbj=format((rgf+fcf+zcf+jxf+glf+lr)*sjgcl,'0.##') where " +
      SubItemRows(scope));
}

void RollUpBillItemsAtFixedRates(Connection& c) {
  c.Execute(SetBillItemsFromDesjb("qfsjb", kFeePartsAndLabourDays, "", SubItemSumsAsDesjb(kFeePartsAndLabourDays, "")));
  // The main material of a bill item is its own material list's (zcf_qd),
  // not the sum of its sub-items'.
  c.Execute(
      "update qfsjb set zhdj=rgf+fcf+jxf+glf+lr+zcf_qd,zhbj=format((rgf+fcf+jxf+glf+lr+zcf_qd)*sjgcl,'0.##') "
      "where fbcch=5");
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

void PriceBillItemLabour(Connection& c) {
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

void RollUpSections(Connection& c, const std::string& pricing_method) {
  c.Execute("delete from fbdyb");
  if (pricing_method == "定额计价法") {
    c.Execute("insert into fbdyb (ysid,fb1,fb2,fb3,fb4) select ysid,fb1,fb2,fb3,fb4 from qddyb");
  } else {
    c.Execute("insert into fbdyb (ysid,fb1,fb2,fb3,fb4) select distinct fb5,fb1,fb2,fb3,fb4 from qddyb");
  }
  // Every level sums the rows of fbdyb, never the sections below it, so the
  // levels do not depend on one another's order.
  for (const std::string level : {"fb1", "fb2", "fb3", "fb4"}) {
    c.Execute("update qfsjb set zhbj=qdsjb.zhbj_fb,zgjhj_qd=qdsjb.zgjhj_fb from (select fbdyb." + level +
              " as ysid_fb,sum(qfsjb.zhbj) as zhbj_fb,sum(qfsjb.zgjhj_qd) as zgjhj_fb "
              "from qfsjb inner join fbdyb on qfsjb.ysid=fbdyb.ysid group by fbdyb." +
              level + ") as qdsjb where qfsjb.ysid=qdsjb.ysid_fb");
  }
}

void WritePricesOntoEstimateRows(Connection& c) {
  c.Execute(
      "update zhys set sjdj=qfsjb.zhdj,sjbj=format(qfsjb.zhdj*zhys.yssl,'0.##'),zgjdj=qfsjb.zgj_qd,"
      "zgjhj=qfsjb.zgjhj_qd,rgdj=qfsjb.rgf,cldj=qfsjb.fcf,jxdj=qfsjb.jxf "
      "from qfsjb where zhys.ysid=qfsjb.ysid and (zhys.fbcch=0 or zhys.fbcch=5)");
  c.Execute(
      "update zhys set dejj=qfsjb.rgjj+qfsjb.fcjj+qfsjb.jxjj from qfsjb where zhys.ysid=qfsjb.ysid and zhys.fbcch=0");
  c.Execute(
      "update zhys set sjbj=qfsjb.zhbj,zgjhj=qfsjb.zgjhj_qd from qfsjb "
      "where zhys.ysid=qfsjb.ysid and zhys.fbcch>0 and zhys.fbcch<5");
  c.Execute("update zhys set sjdj=0 where sjbj=0 and fbcch<5 and fbcch>0");
}

// The figures the stage computes: the fee rows' fees, prices and totals (of
// the row being recalculated, or of every row), and the prices written onto
// the estimate rows.
std::vector<FigureSet> ComputedFigures(const Scope& scope) {
  std::vector<FigureSet> figures = {{"qfsjb",
                                     {"glf", "lr", "zhdj", "zhbj", "rgf", "fcf", "zcf", "jxf", "dergdj", "zgjhj_qd"},
                                     scope.whole() ? "" : "ysid=:ysid"}};
  if (scope.whole()) {
    figures.push_back({"zhys", {"sjdj", "sjbj", "dejj", "zgjdj", "zgjhj", "rgdj", "cldj", "jxdj"}});
    figures.push_back({"zhys", {"zcfhj", "zcfdj"}, "fbcch=0"});
  }
  return figures;
}

}  // namespace

void ComputeUnitPrices(Connection& connection, const Scope& scope, const std::string& pricing_method,
                       bool fee_programme) {
  CheckFigures(connection, {{"qfsjb", {}, scope.Rows()}, {"zhys", {}, scope.Rows()}}, FigureUse::kRead, scope.params());
  if (fee_programme) {
    const std::vector<FeeLine> programme = PriceSubItemsByProgramme(connection, scope);
    if (scope.whole()) RollUpBillItemsByProgramme(connection, programme);
  } else {
    PriceSubItemsAtFixedRates(connection, scope);
    if (scope.whole()) RollUpBillItemsAtFixedRates(connection);
  }
  if (scope.whole()) {
    PriceBillItemLabour(connection);
    RollUpSections(connection, pricing_method);
    WritePricesOntoEstimateRows(connection);
  }
  RefreshMainMaterialPrices(connection);
  if (scope.whole()) connection.Execute("update zhys set sjdj=sjbj where fbcch in (1,2,3,4) and bzj=false");
  CheckFigures(connection, ComputedFigures(scope), FigureUse::kComputed, scope.params());
}

}  // namespace quillmere
