// Bill material summary: the materials of every bill item and the bill
// items' material, provisional-price and owner-supplied amounts.
//
// The stage runs in this order:
//   1. the bill material lines: each sub-item's materials per unit of its bill
//      item, summed per bill item, priced, and classed ordinary or main, then
//      at a provisional price or not;
//   2. the ordinary and main material cost of each bill item from its lines;
//   3. every analysis material that the list names, with a tolerance on the
//      price, is marked provisional or owner-supplied and given its amount
//      over its row's whole quantity, in two columns that exist only for the
//      length of the stage;
//   4. the bill items' provisional and owner-supplied totals from those
//      amounts, and the per-unit values of every fee row with a quantity;
//   5. the sub-items' totals again, from the lines that match the list
//      exactly, and their per-unit values;
//   6. the two columns are dropped and the bill lines take the selection
//      flags of their project materials.
// The whole stage is one transaction, the added columns included, so a
// failure leaves the analysis materials with their normal columns.

#include "calc/resources/bill_materials.h"

#include <string>
#include <vector>

#include "calc/figure_check.h"
#include "calc/model/resource_lines.h"
#include "calc/resources/material_matching.h"

namespace quillmere {
namespace {

// A fee-row column that takes the current amount of the bill lines of some
// classes.
struct MaterialCost {
  const char* classes;
  const char* column;
};
const MaterialCost kMaterialCosts[] = {
    {"0,2", "fcf_qd"},  // ordinary, at a provisional price or not
    {"1,3", "zcf_qd"},  // main material, likewise
};

// The two kinds of listed material: the mark an analysis line gets, the
// fee-row total of the marked lines and its per-unit value.
struct ListedKind {
  const char* mark;
  const char* total;
  const char* per_unit;
};
const ListedKind kProvisional = {"1", "zgjhj_qd", "zgj_qd"};
const ListedKind kOwnerSupplied = {"2", "jghj_qd", "jg_qd"};
const ListedKind kListedKinds[] = {kProvisional, kOwnerSupplied};

// Marks analysis lines whose effective price `price` is within 0.01 of a list
// entry's, the bound excluded and measured on the decimals the prices denote.
// Where several entries are that close (the same material listed as
// provisional and as owner-supplied, or at two prices), the closest in price
// decides, then the first listed.
std::string MarkListedLines(const std::string& price, const std::string& condition) {
  return "update fxclb as a set cllb1=iif(b.iszb,'2','1') from zgjclb as b where a.bh=b.bh and a.mc=" +
         ListedName("b") + " and a.dw=b.dw and decimal_distance(" + price + ",b.dj)<0.01 and " + condition +
         " and not exists (select 1 from zgjclb as c where c.bh=a.bh and a.mc=" + ListedName("c") +
         " and c.dw=a.dw and " + CloserInPrice(price, "c", "b") + ")";
}

// The sub-items' totals of one kind, from the marked lines that match the list
// exactly on the name built with trim and a null-propagating join (an entry
// whose ggxh is null names nothing here). Each line counts once
// even when the list names its material twice.
void SettleSubItems(Connection& connection, const ListedKind& kind) {
  connection.Execute(std::string("create table aaab as select ysid,sl1 as xhj from fxclb where fxclb.cllb1='") +
                     kind.mark +
                     "' and exists (select 1 from zgjclb where fxclb.bh=zgjclb.bh "
                     "and fxclb.mc=trim(zgjclb.mc||' '||zgjclb.ggxh) and fxclb.dw=zgjclb.dw "
                     "and iif(fxclb.xxj=0,fxclb.dj=zgjclb.dj,fxclb.xxj=zgjclb.dj))");
  const std::string total = kind.total;
  connection.Execute("update qfsjb set " + total + "=0 from aaab where qfsjb.ysid=aaab.ysid");
  connection.Execute("update aaab set xhj=0 where xhj is null");
  // A sub-item with several lines gets their total: the lines are summed per
  // fee row first, each rounded as it is added.
  connection.Execute("update qfsjb set " + total + "=" + total +
                     "+t.xhj from (select ysid,sum(format(xhj,'0.##')) as xhj from aaab group by ysid) as t "
                     "where qfsjb.ysid=t.ysid");
  connection.Execute("drop table aaab");
  const std::string per_unit = "format(" + total + "/sjgcl,'0.##')";
  connection.Execute(std::string("update qfsjb set ") + kind.per_unit + "=" + per_unit +
                     " where sjgcl<>0 and fbcch=0 and " + kind.per_unit + " is not " + per_unit);
}

// Each sub-item's analysis materials per unit of its bill item (fb5), summed
// per bill item and material, and priced; a main material is class 1, any
// other 0. The sub-items of a bill item are taken in the order of the
// mapping, each sub-item's lines in theirs, which is the order their
// quantities are added in.
void WriteBillMaterialLines(Connection& connection) {
  TextPool pool;
  std::vector<ResourceLine> lines;
  ReadResourceLines(connection,
                    "select qddyb.fb5,fxclb.bh,fxclb.mc,fxclb.dw,fxclb.dj,fxclb.xxj,"
                    "format(fxclb.sl*qddyb.sjgcl_qd,'0.####'),fxclb.cllb "
                    "from qddyb inner join fxclb on fxclb.ysid=qddyb.ysid where fxclb.sl<>0 and fxclb.dw<>'%' "
                    "order by qddyb.fb5,qddyb.rowid,fxclb.rowid",
                    {}, pool, lines);
  connection.Execute("delete from qdclb");
  WriteLines(connection, "qdclb", {true, false, ClassColumn::kMainMaterialFlag},
             GroupResources(std::move(lines), pool, true), pool);
}

}  // namespace

void SummariseBillMaterials(Connection& connection) {
  auto run = [&connection](const std::string& sql) { connection.Execute(sql); };

  WriteBillMaterialLines(connection);
  run("update qdclb set cllb=iif(qdclb.cllb=1,3,2) from zgjclb where qdclb.bh=zgjclb.bh and qdclb.mc=" +
      ListedName("zgjclb") +
      " and qdclb.dw=zgjclb.dw and iif(qdclb.xxj=0,qdclb.dj=zgjclb.dj,qdclb.xxj=zgjclb.dj) "
      "and (zgjclb.iszb is null or zgjclb.iszb=FALSE)");

  for (const MaterialCost& cost : kMaterialCosts) {
    run(std::string("create table qdclbtemp as select ysid,sum(xhj) as clf from qdclb where cllb in (") + cost.classes +
        ") group by ysid");
    run(std::string("update qfsjb set ") + cost.column +
        "=qdclbtemp.clf from qdclbtemp where qfsjb.ysid=qdclbtemp.ysid");
    run("drop table qdclbtemp");
  }

  // cllb1: '1' provisional price, '2' owner-supplied; sl1: the line's amount
  // over its row's whole quantity.
  run("alter table fxclb add column cllb1 text");
  // sl1 starts at 0, which every line not marked ends with anyway, so those
  // lines are never written.
  run("alter table fxclb add column sl1 real default 0");
  run(MarkListedLines("a.dj", "(a.xxj=0 or a.xxj is null)"));
  run(MarkListedLines("a.xxj", "a.xxj<>0"));
  run("update fxclb as a set sl1=b.sjgcl from qddyb as b where a.ysid=b.ysid and cllb1 in ('1','2')");
  run("update fxclb set sl1=0 where sl1 is null");
  run("update fxclb set sl1=sl*sl1 where cllb1 in ('1','2')");
  run("update fxclb set sl1=sl1*iif(xxj=0,dj,xxj) where cllb1 in ('1','2')");
  run("update fxclb set sl1=format(sl1,'0.00') where sl1 is not format(sl1,'0.00')");

  for (const ListedKind& kind : kListedKinds) {
    run(std::string("update qfsjb set ") + kind.total + "=0 where " + kind.total + " is null");
  }
  for (const ListedKind& kind : kListedKinds) {
    run(std::string("create table qdclbtemp as select qddyb.fb5 as ysid,sum(sl1) as clf "
                    "from fxclb inner join qddyb on fxclb.ysid=qddyb.ysid where fxclb.cllb1='") +
        kind.mark + "' group by qddyb.fb5");
    run(std::string("update qfsjb set ") + kind.total +
        "=format(qdclbtemp.clf,'0.##') from qdclbtemp where qfsjb.ysid=qdclbtemp.ysid");
    run("drop table qdclbtemp");
  }
  for (const ListedKind& kind : kListedKinds) {
    const std::string per_unit = "format(" + std::string(kind.total) + "/sjgcl,'0.##')";
    run(std::string("update qfsjb set ") + kind.per_unit + "=" + per_unit + " where sjgcl<>0 and " + kind.per_unit +
        " is not " + per_unit);
  }

  SettleSubItems(connection, kProvisional);
  // The owner-supplied figures are never left null, not even on fee rows that
  // no quantity gives a per-unit value.
  run("update qfsjb set jg_qd=0 where jg_qd is null");
  run("update qfsjb set jghj_qd=0 where jghj_qd is null");
  SettleSubItems(connection, kOwnerSupplied);

  run("alter table fxclb drop column cllb1");
  run("alter table fxclb drop column sl1");
  RefreshBillMaterialSelection(connection);
  CheckFigures(connection,
               {{"qdclb"}, {"qfsjb", {"fcf_qd", "zcf_qd", "zgj_qd", "zgjhj_qd", "jg_qd", "jghj_qd"}, "fbcch=5"}},
               FigureUse::kComputed);
}

}  // namespace quillmere
