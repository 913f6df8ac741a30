// Resource aggregation: the per-row analysis tables, the project resource
// tables and the provisional-price and owner-supplied marks.
//
// The stage runs in this order:
//   1. every material class other than main material becomes the ordinary
//      class, so that the grouping below sees two classes only;
//   2. (whole project) the machine quantities of the sub-item and measure
//      bills, at the machines' own current prices, into jxtcb;
//   3. staging: one line per resource per unit of its estimate row, split
//      materials replaced by their components with the quantities multiplied
//      through;
//   4. the analysis tables: the staging lines grouped per estimate row and
//      priced;
//   5. (whole project) the project resource tables: the analysis lines times
//      their row's quantity, summed over the priced rows;
//   6. (whole project) the marks: provisional-price and owner-supplied
//      project materials, selected materials, the marks on the sub-items'
//      materials and the project quantities of the listed materials;
//   7. (whole project) the staging lines are cleared and the bill materials
//      take the selection flags just set.
// Each phase reads what the one before it wrote. The single-row form rebuilds
// only the analysis lines of its row (phases 1, 3 and 4); the project tables
// keep the last whole-project run and the row's staging lines stay in place.

#include "calc/resources/aggregation.h"

#include <string>

#include "calc/figure_check.h"
#include "calc/resources/material_matching.h"

namespace quillmere {
namespace {

// An analysis table with its staging and project tables. Materials carry
// their class through every level, and their project lines the selection,
// provisional-price and owner-supplied flags.
struct AnalysisTable {
  const char* analysis;
  const char* staging;
  const char* project;
  bool materials;
  // The current figure of an analysis line: consumption items of machines
  // keep their price difference instead of a current amount.
  const char* current;
};

constexpr const char* kCurrentAmount = "xhj=format(iif(xxj=0,dj*sl,xxj*sl),'0.##')";

const AnalysisTable kAnalysisTables[] = {
    {"fxrgb", "fxrgb1", "gcrgb", false, kCurrentAmount},
    {"fxclb", "fxclb1", "gcclb", true, kCurrentAmount},
    {"fxjxb", "fxjxb1", "gcjxb", false, kCurrentAmount},
    {"fxjxfb", "fxjxfb1", "gcjxfb", false, "jchj=format(iif(xxj=0,0,(xxj-dj)*sl),'0.##')"},
};

// Machine quantities of the project: the sub-item and measure bills only, and
// at the machine's own current price, without its consumption differences.
void CountProjectMachines(StageRunner& run) {
  run("delete from fxjxb1");
  run("insert into fxjxb1(ysid,bh,mc,dw,dj,xxj,sl) "
      "select gjjx.ysid,gjjx.bh,gjjx.mc,gjjx.dw,gjjx.dj,gjjx.xxj,format(gjjx.sl*zhys.sjgcl,'0.####') "
      "from gjjx inner join zhys on gjjx.ysid=zhys.ysid where gjjx.dw<>'%' and (zhys.qdlb=0 or zhys.qdlb=1)");
  run("insert into fxjxb1(ysid,bh,mc,dw,dj,xxj,sl) "
      "select ftjx.ysid,ftjx.bh,ftjx.mc,ftjx.dw,ftjx.dj,ftjx.xxj,format(ftjx.sl*gjcl.sl*zhys.sjgcl,'0.####') "
      "from ftjx inner join gjcl on ftjx.clid_src=gjcl.clid and ftjx.ysid=gjcl.ysid "
      "inner join zhys on ftjx.ysid=zhys.ysid where gjcl.chaifen=TRUE and (zhys.qdlb=0 or zhys.qdlb=1)");
  run("delete from jxtcb");
  run("insert into jxtcb(bh,mc,dw,dj,xxj,sl) "
      "select bh,mc,dw,dj,xxj,sum(sl) from fxjxb1 where sl<>0 group by bh,mc,dw,dj,xxj");
  run("update jxtcb set hj=format(dj*sl,'0.##'),xhj=format(iif(xxj=0,dj*sl,xxj*sl),'0.##')");
}

// One staging line per resource per unit of its row. A split material enters
// through all its components, never as itself; a material whose split flag is
// null enters neither way. Percentage rows stay out: the current-price stage
// appends them once it has priced them.
void StageLines(StageRunner& run, const Scope& scope) {
  run("delete from fxrgb1" + scope.Where("ysid"));
  run("insert into fxrgb1(ysid,bh,mc,dw,dj,xxj,sl) "
      "select gjrg.ysid,gjrg.bh,gjrg.mc,gjrg.dw,gjrg.dj,gjrg.xxj,gjrg.sl from gjrg where gjrg.dw<>'%'" +
      scope.And("gjrg.ysid"));
  run("insert into fxrgb1(ysid,bh,mc,dw,dj,xxj,sl) "
      "select ftrg.ysid,ftrg.bh,ftrg.mc,ftrg.dw,ftrg.dj,ftrg.xxj,format(ftrg.sl*gjcl.sl,'0.####') "
      "from ftrg inner join gjcl on ftrg.clid_src=gjcl.clid and ftrg.ysid=gjcl.ysid where gjcl.chaifen=TRUE" +
      scope.And("gjcl.ysid"));

  run("delete from fxclb1" + scope.Where("ysid"));
  run("insert into fxclb1(ysid,bh,mc,dw,dj,xxj,sl,cllb) "
      "select gjcl.ysid,gjcl.bh,gjcl.mc,gjcl.dw,gjcl.dj,gjcl.xxj,gjcl.sl,gjcl.cllb from gjcl "
      "where gjcl.chaifen=FALSE and gjcl.dw<>'%'" +
      scope.And("gjcl.ysid"));
  // Components of styles 1 and 2 hang directly under the material.
  for (const std::string c : {"gjpbf", "gjlpjb"}) {
    run("insert into fxclb1(ysid,bh,mc,dw,dj,xxj,sl,cllb) select " + c + ".ysid," + c + ".bh," + c + ".mc," + c +
        ".dw," + c + ".dj," + c + ".xxj,format(" + c + ".sl*gjcl.sl,'0.####'),'' as cllb from " + c +
        " inner join gjcl on " + c + ".clid=gjcl.clid and " + c + ".ysid=gjcl.ysid where gjcl.chaifen=TRUE" +
        scope.And("gjcl.ysid"));
  }
  // Style 3: the material's own breakdown, whose split components are
  // replaced in turn by theirs.
  run("insert into fxclb1(ysid,bh,mc,dw,dj,xxj,sl,cllb) "
      "select ftcl.ysid,ftcl.bh,ftcl.mc,ftcl.dw,ftcl.dj,ftcl.xxj,format(ftcl.sl*gjcl.sl,'0.####'),'' as cllb "
      "from ftcl inner join gjcl on ftcl.clid_src=gjcl.clid and ftcl.ysid=gjcl.ysid "
      "where gjcl.chaifen=TRUE and ftcl.chaifen=FALSE" +
      scope.And("gjcl.ysid"));
  run("insert into fxclb1(ysid,bh,mc,dw,dj,xxj,sl,cllb) "
      "select ftpbf.ysid,ftpbf.bh,ftpbf.mc,ftpbf.dw,ftpbf.dj,ftpbf.xxj,"
      "format(ftpbf.sl*ftcl.sl*gjcl.sl,'0.####'),'' as cllb "
      "from ftpbf inner join ftcl on ftpbf.clid=ftcl.clid and ftpbf.clid_src=ftcl.clid_src and ftpbf.ysid=ftcl.ysid "
      "inner join gjcl on ftcl.clid_src=gjcl.clid and ftcl.ysid=gjcl.ysid "
      "where gjcl.chaifen=TRUE and ftcl.chaifen=TRUE" +
      scope.And("gjcl.ysid"));

  // Machines enter at their price including consumption differences.
  run("delete from fxjxb1" + scope.Where("ysid"));
  run("insert into fxjxb1(ysid,bh,mc,dw,dj,xxj,sl) "
      "select gjjx.ysid,gjjx.bh,gjjx.mc,gjjx.dw,gjjx.dj,gjjx.xxj2,gjjx.sl from gjjx where gjjx.dw<>'%'" +
      scope.And("gjjx.ysid"));
  run("insert into fxjxb1(ysid,bh,mc,dw,dj,xxj,sl) "
      "select ftjx.ysid,ftjx.bh,ftjx.mc,ftjx.dw,ftjx.dj,ftjx.xxj2,format(ftjx.sl*gjcl.sl,'0.####') "
      "from ftjx inner join gjcl on ftjx.clid_src=gjcl.clid and ftjx.ysid=gjcl.ysid where gjcl.chaifen=TRUE" +
      scope.And("gjcl.ysid"));

  run("delete from fxjxfb1" + scope.Where("ysid"));
  run("insert into fxjxfb1(ysid,bh,mc,dw,dj,xxj,sl) "
      "select gjjxfb.ysid,gjjxfb.bh,gjjxfb.mc,gjjxfb.dw,gjjxfb.dj,gjjxfb.xxj,format(gjjxfb.sl*gjjx.sl,'0.####') "
      "from gjjxfb inner join gjjx on gjjxfb.jxid=gjjx.jxid and gjjxfb.ysid=gjjx.ysid" +
      scope.Where("gjjx.ysid"));
  run("insert into fxjxfb1(ysid,bh,mc,dw,dj,xxj,sl) "
      "select ftjxfb.ysid,ftjxfb.bh,ftjxfb.mc,ftjxfb.dw,ftjxfb.dj,ftjxfb.xxj,"
      "format(ftjxfb.sl*ftjx.sl*gjcl.sl,'0.####') "
      "from ftjxfb inner join ftjx on ftjxfb.jxid=ftjx.jxid and ftjxfb.clid_src=ftjx.clid_src "
      "and ftjxfb.ysid=ftjx.ysid "
      "inner join gjcl on ftjx.clid_src=gjcl.clid and ftjx.ysid=gjcl.ysid where gjcl.chaifen=TRUE" +
      scope.And("gjcl.ysid"));
}

// Each resource once per row, base price, current price (and class).
void GroupPerRow(StageRunner& run, const Scope& scope) {
  for (const AnalysisTable& t : kAnalysisTables) {
    const std::string cls = t.materials ? ",cllb" : "";
    const std::string key = "ysid,bh,mc,dw,dj,xxj";
    run(std::string("delete from ") + t.analysis + scope.Where("ysid"));
    run(std::string("insert into ") + t.analysis + "(" + key + ",sl" + cls + ") select " + key + ",sum(sl)" + cls +
        " from " + t.staging + scope.Where("ysid") + " group by " + key + cls);
  }
  for (const AnalysisTable& t : kAnalysisTables) {
    run(std::string("update ") + t.analysis + " set hj=format(dj*sl,'0.##')," + t.current + scope.Where("ysid"));
  }
}

// Project totals over the rows that are priced: outside the left-out
// category and with a quantity. Each row's product is rounded before the sum.
// The lines go in in key order, so the first of several lines of a material
// is the one with the lowest base price, then current price, then class.
void TotalProject(StageRunner& run) {
  for (const AnalysisTable& t : kAnalysisTables) {
    const std::string a = t.analysis;
    const std::string key = a + ".bh," + a + ".mc," + a + ".dw," + a + ".dj," + a + ".xxj";
    const std::string cls = t.materials ? "," + a + ".cllb" : "";
    run(std::string("delete from ") + t.project);
    run(std::string("insert into ") + t.project + "(bh,mc,dw,dj,xxj,sl" + (t.materials ? ",cllb,xz,zgj,jg" : "") +
        ") select " + key + ",sum(format(" + a + ".sl*zhys.sjgcl,'0.####'))" +
        (t.materials ? cls + ",TRUE,FALSE,FALSE" : "") + " from " + a + " inner join zhys on " + a +
        ".ysid=zhys.ysid where " + a + ".sl<>0 and zhys.sjgcl<>0 and zhys.qdlb<>3 group by " + key + cls +
        " order by " + key + cls);
  }
  // Consumption items get a current amount here, not a price difference.
  for (const AnalysisTable& t : kAnalysisTables) {
    run(std::string("update ") + t.project + " set hj=format(dj*sl,'0.##')," + kCurrentAmount);
  }
}

// A project material matches a list entry on code, unit, listed name, and an
// effective price (current price when set, else base price) equal to the
// entry's price.
std::string ListedMaterial(const std::string& g, const std::string& z) {
  return g + ".dw=" + z + ".dw and " + g + ".mc=" + ListedName(z) + " and " + g + ".bh=" + z + ".bh and ((" + g +
         ".dj=" + z + ".dj and " + g + ".xxj=0) or (" + g + ".xxj=" + z + ".dj and " + g + ".xxj<>0))";
}

// The same match for the materials of the sub-items.
std::string ListedSubItemMaterial(const char* iszb_condition) {
  return std::string("from zgjclb where gjcl.bh=zgjclb.bh and gjcl.mc=") + ListedName("zgjclb") +
         " and gjcl.dw=zgjclb.dw and iif(gjcl.xxj=0,gjcl.dj=zgjclb.dj,gjcl.xxj=zgjclb.dj) and " + iszb_condition;
}

void MarkListedMaterials(StageRunner& run) {
  run("update gcclb set zgj=FALSE,jg=FALSE,xz=TRUE");
  run("update gcclb set zgj=TRUE from zgjclb where " + ListedMaterial("gcclb", "zgjclb") +
      " and (zgjclb.iszb=FALSE or zgjclb.iszb is null)");
  run("update gcclb set jg=TRUE from zgjclb where " + ListedMaterial("gcclb", "zgjclb") + " and zgjclb.iszb=TRUE");
  // The selection list may name a material twice: the first entry listed
  // decides.
  run("update gcclb set xz=clxzb.xz from clxzb "
      "where gcclb.dw=clxzb.dw and gcclb.mc=clxzb.mc and gcclb.bh=clxzb.bh and gcclb.dj=clxzb.dj "
      "and not exists (select 1 from clxzb as c where c.bh=gcclb.bh and c.mc=gcclb.mc and c.dw=gcclb.dw "
      "and c.dj=gcclb.dj and c.rowid<clxzb.rowid)");

  // An owner-supplied entry overrides a provisional one for the same material.
  run("update gjcl set tzbz='' where tzbz is not ''");
  run("update gjcl set tzbz='暂估' " + ListedSubItemMaterial("(zgjclb.iszb is null or zgjclb.iszb=FALSE)"));
  run("update gjcl set tzbz='甲供' " + ListedSubItemMaterial("zgjclb.iszb=TRUE"));

  // A listed material may stand on several project lines (different base
  // prices, a current price or not, either class, all at the entry's price);
  // the entry takes the quantity and amount of the first of them, which is
  // the first by base price, then current price, then class.
  run("update zgjclb set sl=0,hj=0");
  run("update zgjclb set sl=g.sl,hj=g.xhj from gcclb as g where " + ListedMaterial("g", "zgjclb") +
      " and not exists (select 1 from gcclb as c where " + ListedMaterial("c", "zgjclb") + " and c.rowid<g.rowid)");
}

}  // namespace

void AggregateResources(Connection& connection, const Scope& scope) {
  StageRunner run(connection, scope);

  run("update gjcl set cllb='' where cllb<>'主材' and cllb<>''" + scope.And("gjcl.ysid"));
  if (scope.whole()) CountProjectMachines(run);
  StageLines(run, scope);
  GroupPerRow(run, scope);
  std::vector<FigureSet> computed;
  for (const char* table : {"fxrgb", "fxclb", "fxjxb", "fxjxfb"}) computed.push_back({table, {}, scope.Rows()});
  if (scope.single_row()) return CheckFigures(connection, computed, FigureUse::kComputed, scope.params());

  TotalProject(run);
  MarkListedMaterials(run);
  for (const AnalysisTable& t : kAnalysisTables) run(std::string("delete from ") + t.staging);
  // The bill materials as the last summary left them follow the new flags.
  RefreshBillMaterialSelection(connection);
  for (const char* table : {"gcrgb", "gcclb", "gcjxb", "gcjxfb", "jxtcb"}) computed.push_back({table, {}, "", "bh"});
  computed.push_back({"zgjclb", {"sl", "hj"}, "", "bh"});
  CheckFigures(connection, computed, FigureUse::kComputed);
}

}  // namespace quillmere
