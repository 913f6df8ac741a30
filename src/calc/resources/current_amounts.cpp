// Current-price amounts: each fee row's amounts at current prices, labour
// days and price differences, percentage resources included.
//
// The stage runs in this order:
//   1. the fee rows take their amounts, labour days and differences from the
//      analysis tables, which hold no percentage rows yet;
//   2. ordinary percentage rows are charged on their own row's amount of
//      their kind (at base price when that kind has no difference) and
//   3. added to their row;
//   4. linked percentage rows are charged on the amounts of the row they
//      name and added; the charged-on row is read as it stands after 3, so a
//      row charged on a row that itself carries a linked labour charge is
//      marked (whole project) and
//   5. priced again on the completed amounts, and
//   6. its second amount is added, whole or net of its base amount;
//   7. every percentage row is appended to the analysis tables, so that
//   8. the differences are taken again over all lines;
//   9. rows whose labour is within 1 of base take back their base amounts
//      where there is no difference, and the differences are settled.
// Because 7 appends to the analysis tables, the stage runs once after each
// rebuild of them: a second run would count the percentage rows twice.

#include "calc/resources/current_amounts.h"

#include <string>
#include <vector>

#include "calc/figure_check.h"

namespace quillmere {
namespace {

// A fee-row column summed per row from one analysis table.
struct AnalysisSum {
  const char* analysis;
  const char* filter;  // "" for every line
  const char* summed;
  const char* column;
};

// Labour days leave out percentage rows and rows whose quantity is money.
const AnalysisSum kCurrentAmounts[] = {
    {"fxrgb", "", "xhj", "rgf"},        {"fxrgb", "dw<>'%' and dw<>'元'", "sl", "zrg"},
    {"fxclb", "cllb=''", "xhj", "fcf"}, {"fxclb", "cllb='主材'", "xhj", "zcf"},
    {"fxjxb", "", "xhj", "jxf"},
};
const AnalysisSum kDifferences[] = {
    {"fxrgb", "", "xhj-hj", "rgjc"},
    {"fxclb", "cllb=''", "xhj-hj", "fcjc"},
    {"fxclb", "cllb='主材'", "xhj-hj", "zcjc"},
    {"fxjxb", "", "xhj-hj", "jxjc"},
};

// A linked percentage code: the base it charges on (amounts of the row its
// ysid_gl names) and the condition under which that base shows no price
// difference, so the row keeps its base price.
struct LinkedCode {
  const char* code;
  const char* base;
  const char* no_difference;
};

// The percentage rows of one resource table. Machines carry their current
// price and amount in xxj2/xhj2, next to the machine's own xxj/xhj.
struct PercentageRows {
  const char* table;
  const char* price;
  const char* amount;
  const char* own_amount;      // fee-row amount these rows are added to
  const char* own_difference;  // its price difference
  std::vector<LinkedCode> linked;
  const char* left_alone;  // further codes ordinary pricing keeps as stored
  const char* scratch;
  const char* analysis;
  bool materials;
};

const PercentageRows kLabour = {.table = "gjrg",
                                .price = "xxj",
                                .amount = "xhj",
                                .own_amount = "rgf",
                                .own_difference = "rgjc",
                                .linked = {{"0000FE", "qfsjb.rgf", "qfsjb.rgjc=0"},
                                           {"0000FF", "(qfsjb.rgf+qfsjb.jxf)", "qfsjb.rgjc=0 and qfsjb.jxjc=0"}},
                                .left_alone = "",
                                .scratch = "gjrgtemp",
                                .analysis = "fxrgb",
                                .materials = false};
// Material percentage amounts count as ordinary material, never as main.
const PercentageRows kMaterials = {.table = "gjcl",
                                   .price = "xxj",
                                   .amount = "xhj",
                                   .own_amount = "fcf",
                                   .own_difference = "fcjc",
                                   .linked = {{"1000FE", "qfsjb.rgf", "qfsjb.rgjc=0"},
                                              {"1000FF", "(qfsjb.rgf+qfsjb.jxf)", "qfsjb.rgjc=0 and qfsjb.jxjc=0"}},
                                   .left_alone = "",
                                   .scratch = "gjcltemp",
                                   .analysis = "fxclb",
                                   .materials = true};
const PercentageRows kMachines = {.table = "gjjx",
                                  .price = "xxj2",
                                  .amount = "xhj2",
                                  .own_amount = "jxf",
                                  .own_difference = "jxjc",
                                  .linked = {{"J000FE", "qfsjb.rgf", "qfsjb.rgjc=0"},
                                             {"J000FF", "(qfsjb.rgf+qfsjb.jxf)", "qfsjb.rgjc=0 and qfsjb.jxjc=0"},
                                             {"J000FG", "qfsjb.jxf", "qfsjb.jxjc=0"}},
                                  .left_alone = "'J000FH','J000FI'",
                                  .scratch = "gjjxtemp",
                                  .analysis = "fxjxb",
                                  .materials = false};
const PercentageRows* const kPercentageRows[] = {&kLabour, &kMaterials, &kMachines};

// "'0000FE','0000FF'"
std::string CodeList(const PercentageRows& rows) {
  std::string list;
  for (const LinkedCode& c : rows.linked) list += (list.empty() ? "'" : ",'") + std::string(c.code) + "'";
  return list;
}

// Sets one fee-row column per listed sum. A fee row without lines of the
// kind keeps its value, and so does one that already holds its sum (the
// differences are taken twice and mostly come out the same).
template <size_t N>
void SetFromAnalysis(StageRunner& run, const Scope& scope, const AnalysisSum (&sums)[N]) {
  for (const AnalysisSum& s : sums) {
    const std::string scratch = std::string(s.analysis) + "temp";
    const std::string where = *s.filter ? std::string(" where ") + s.filter + scope.And("ysid") : scope.Where("ysid");
    run(std::string("update qfsjb set ") + s.column + "=" + scratch + ".total from (select ysid,sum(" + s.summed +
        ") as total from " + s.analysis + where + " group by ysid) as " + scratch + " where qfsjb.ysid=" + scratch +
        ".ysid and qfsjb." + s.column + " is not " + scratch + ".total" + scope.And("qfsjb.ysid"));
  }
}

// Adds the summed amounts of the table's percentage rows that meet
// `condition` to their own fee rows.
void AddToOwnRows(StageRunner& run, const Scope& scope, const PercentageRows& rows, const std::string& summed,
                  const std::string& condition) {
  const std::string t = rows.table;
  const std::string scratch = rows.scratch;
  run(std::string("update qfsjb set ") + rows.own_amount + "=" + rows.own_amount + "+" + scratch +
      ".total from (select ysid,sum(" + summed + ") as total from " + t + " where " + t + ".dw='%' and " + condition +
      scope.And("ysid") + " group by ysid) as " + scratch + " where qfsjb.ysid=" + scratch + ".ysid");
}

// An ordinary percentage row charges on its own row's current amount of its
// kind, or on its own base price where that kind shows no difference.
void PriceOrdinaryRows(StageRunner& run, const Scope& scope, const PercentageRows& rows) {
  const std::string t = rows.table;
  std::string excluded = CodeList(rows);
  if (*rows.left_alone) excluded += std::string(",") + rows.left_alone;
  const std::string base =
      std::string("iif(qfsjb.") + rows.own_difference + "=0," + t + ".dj,qfsjb." + rows.own_amount + ")";
  run("update " + t + " set " + rows.price + "=" + base + "," + rows.amount + "=format(" + base + "*" + t +
      ".sl/100,'0.##') from qfsjb where " + t + ".ysid=qfsjb.ysid and " + t + ".dw='%' and " + t + ".bh not in (" +
      excluded + ")" + scope.And("qfsjb.ysid"));
}

// The charged-on row's total of the base, spread over the own row's quantity
// (1 when it has none), is the price; the row charges sl percent of it.
// The second pass prices only the marked rows and keeps them marked.
std::string PriceLinkedRow(const Scope& scope, const PercentageRows& rows, const LinkedCode& code, bool second_pass) {
  const std::string t = rows.table;
  const std::string price =
      std::string("format(") + code.base + "*qfsjb.sjgcl/iif(qddyb.sjgcl=0,1,qddyb.sjgcl),'0.##')";
  return "update " + t + " set " + (second_pass ? "azfy=1," : "") + rows.price + "=" + price + "," + rows.amount +
         "=format(" + price + "*" + t + ".sl/100,'0.##') from qfsjb,qddyb where " + t + ".ysid_gl=qfsjb.ysid and " + t +
         ".ysid=qddyb.ysid and " + t + ".dw='%' and " + t + ".bh='" + code.code + "'" +
         (second_pass ? " and " + t + ".azfy=1" : "") + scope.And(t + ".ysid");
}

// Where the charged-on row shows no difference in what the base is made of,
// the row is charged at its base price and amount.
std::string RestoreLinkedRow(const Scope& scope, const PercentageRows& rows, const LinkedCode& code) {
  const std::string t = rows.table;
  return "update " + t + " set " + rows.price + "=" + t + ".dj," + rows.amount + "=" + t +
         ".hj from qfsjb,qddyb where " + t + ".ysid_gl=qfsjb.ysid and " + t + ".ysid=qddyb.ysid and " + t +
         ".dw='%' and " + t + ".bh='" + code.code + "' and " + code.no_difference + scope.And(t + ".ysid");
}

void ChargeLinkedRows(StageRunner& run, const Scope& scope, const PercentageRows& rows) {
  const std::string t = rows.table;
  // The whole project also clears the pass marks, which it sets afresh; one
  // row keeps the marks of the last whole-project run.
  run("update " + t + " set " + rows.price + "=0," + rows.amount + "=0" + (scope.whole() ? ",azfy=0" : "") + " where " +
      t + ".dw='%' and " + t + ".bh in (" + CodeList(rows) + ")" + scope.And("ysid"));
  for (const LinkedCode& code : rows.linked) run(PriceLinkedRow(scope, rows, code, false));
  for (const LinkedCode& code : rows.linked) run(RestoreLinkedRow(scope, rows, code));
}

// Marks every row (percentage or not) charged on a row that owns a linked
// labour row, from the list of labour rows in `aaaa`.
void MarkChargedOnCharged(StageRunner& run, const PercentageRows& rows) {
  run(std::string("update ") + rows.table +
      " as a set azfy=1 from aaaa as b "
      "where a.ysid_gl=b.ysid and b.bh in (" +
      CodeList(kLabour) + ")");
}

// The rows go in in the order they are stored, whichever index finds them.
void AppendToAnalysis(StageRunner& run, const Scope& scope, const PercentageRows& rows) {
  const std::string cls = rows.materials ? ",cllb" : "";
  run(std::string("insert into ") + rows.analysis + "(ysid,bh,mc,dw,dj,xxj,sl,hj,xhj" + cls +
      ") select ysid,bh,mc,dw,dj," + rows.price + ",sl,hj," + rows.amount + (rows.materials ? ",''" : "") + " from " +
      rows.table + " where " + rows.table + ".dw='%'" + scope.And("ysid") + " order by " + rows.table + ".rowid");
}

}  // namespace

void ComputeCurrentAmounts(Connection& connection, const Scope& scope, bool net_of_base) {
  StageRunner run(connection, scope);

  SetFromAnalysis(run, scope, kCurrentAmounts);
  SetFromAnalysis(run, scope, kDifferences);

  for (const PercentageRows* rows : kPercentageRows) PriceOrdinaryRows(run, scope, *rows);
  // Codes left alone by the ordinary pricing still add what they carry.
  for (const PercentageRows* rows : kPercentageRows) {
    AddToOwnRows(run, scope, *rows, rows->amount, std::string(rows->table) + ".bh not in (" + CodeList(*rows) + ")");
  }

  ChargeLinkedRows(run, scope, kLabour);
  if (scope.whole()) {
    run("create table aaaa as select gjrg.bh,gjrg.ysid from gjrg");
    MarkChargedOnCharged(run, kLabour);
  }
  ChargeLinkedRows(run, scope, kMaterials);
  if (scope.whole()) MarkChargedOnCharged(run, kMaterials);
  ChargeLinkedRows(run, scope, kMachines);
  if (scope.whole()) {
    MarkChargedOnCharged(run, kMachines);
    run("drop table aaaa");
  }
  for (const PercentageRows* rows : kPercentageRows) {
    AddToOwnRows(run, scope, *rows, rows->amount, std::string(rows->table) + ".bh in (" + CodeList(*rows) + ")");
  }

  if (scope.whole()) {
    // The marked rows were charged on amounts still missing their own linked
    // charges; they are priced again on the completed amounts. What the
    // first pass added stays, so net of base the second adds only the excess.
    for (const PercentageRows* rows : kPercentageRows) {
      for (const LinkedCode& code : rows->linked) run(PriceLinkedRow(scope, *rows, code, true));
    }
    for (const PercentageRows* rows : kPercentageRows) {
      const std::string t = rows->table;
      AddToOwnRows(run, scope, *rows, net_of_base ? std::string(rows->amount) + "-hj" : rows->amount,
                   t + ".bh in (" + CodeList(*rows) + ") and " + t + ".azfy=1");
    }
  }

  for (const PercentageRows* rows : kPercentageRows) AppendToAnalysis(run, scope, *rows);
  SetFromAnalysis(run, scope, kDifferences);

  // A labour amount less than 1 from base, in the decimals the amounts
  // denote, is taken as no change at all (the single row settles whatever the
  // distance).
  run(std::string("update qfsjb set rgf=iif(rgjc=0,rgjj,rgf),fcf=iif(fcjc=0,fcjj,fcf),jxf=iif(jxjc=0,jxjj,jxf)") +
      (scope.whole() ? " where decimal_distance(rgf,rgjj)<1" : scope.Where("ysid")));
  run("update qfsjb set rgjc=rgf-rgjj,fcjc=fcf-fcjj,jxjc=jxf-jxjj" + scope.Where("ysid"));
  std::vector<FigureSet> computed = {
      {"qfsjb", {"rgf", "fcf", "zcf", "jxf", "zrg", "rgjc", "fcjc", "zcjc", "jxjc"}, scope.Rows()}};
  for (const char* table : {"fxrgb", "fxclb", "fxjxb"}) computed.push_back({table, {"xhj"}, scope.Rows()});
  CheckFigures(connection, computed, FigureUse::kComputed, scope.params());
}

}  // namespace quillmere
