// Resource aggregation: the per-row analysis tables, the project resource
// tables and the provisional-price and owner-supplied marks.
//
// The stage runs in this order:
//   1. every material class other than main material becomes the ordinary
//      class, so that the grouping below sees two classes only;
//   2. (whole project) the machine quantities of the sub-item and measure
//      bills, at the machines' own current prices, into jxtcb;
//   3. the analysis tables: one line per resource per unit of its estimate
//      row, split materials replaced by their components with the quantities
//      multiplied through, grouped per estimate row and priced;
//   4. (whole project) the project resource tables: the analysis lines times
//      their row's quantity, summed over the priced rows;
//   5. (whole project) the marks: provisional-price and owner-supplied
//      project materials, selected materials, the marks on the sub-items'
//      materials and the project quantities of the listed materials;
//   6. (whole project) the bill materials take the selection flags just set.
// Each phase reads what the one before it wrote. The single-row form rebuilds
// only the analysis lines of its row (phases 1 and 3); the project tables
// keep the last whole-project run. The whole project keeps the analysis
// lines of labour, materials and machines in memory for the current amounts
// and the bill material summary that follow it.

#include "calc/resources/aggregation.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "calc/figure_check.h"
#include "calc/model/project_memory.h"
#include "calc/model/resource_lines.h"
#include "calc/resources/material_matching.h"
#include "db/kept_statement.h"
#include "db/statement.h"
#include "db/value.h"

namespace quillmere {
namespace {

// One line per resource per unit of its row, as selects of ysid, bh, mc,
// dw, dj, xxj and sl (and cllb for materials) whose union the analysis table
// groups. A split material enters through all its components, never as
// itself; a material whose split flag is null enters neither way. Percentage
// lines stay out. The lines are never stored: a table of them would be
// written and read back once per run.
using LineSelects = std::vector<std::string>;

// The from and where clauses that join a table of components (`components`)
// to the split materials of gjcl they belong to (by `on`, kept by `where`).
// One row's materials are few and found by their index, so they lead the
// join; for the whole project the components lead, being few against every
// material line, and `order` puts the lines back in the order the materials
// leading gives them: by material line, then as the component table's index
// lists them. The order of the lines is the order their quantities add up in.
std::string FromComponents(const Scope& scope, const std::string& components, const std::string& on,
                           const std::string& where, const std::string& order) {
  const char* join = scope.whole() ? " cross join " : " inner join ";
  return " from " + components + join + "gjcl on " + on + " where " + where + scope.And("gjcl.ysid") +
         (scope.whole() ? " order by gjcl.rowid," + order : "");
}

// The lines entered on the row itself, then those of the style-3 breakdowns
// (`breakdown`, whose index lists a material's components in `order`) of its
// split materials, their quantity multiplied through, each at its current
// price `price`.
LineSelects RowAndBreakdownLines(const std::string& table, const std::string& breakdown, const std::string& price,
                                 const std::string& order, const Scope& scope) {
  const std::string& b = breakdown;
  return {
      "select ysid,bh,mc,dw,dj," + price + ",sl from " + table + " where dw<>'%'" + scope.And(),
      "select " + b + ".ysid," + b + ".bh," + b + ".mc," + b + ".dw," + b + ".dj," + b + "." + price + ",format(" + b +
          ".sl*gjcl.sl,'0.####')" +
          FromComponents(scope, b, b + ".clid_src=gjcl.clid and " + b + ".ysid=gjcl.ysid", "gjcl.chaifen=TRUE", order)};
}

LineSelects LabourLines(const Scope& scope) { return RowAndBreakdownLines("gjrg", "ftrg", "xxj", "ftrg.rowid", scope); }

LineSelects MaterialLines(const Scope& scope) {
  LineSelects lines = {"select ysid,bh,mc,dw,dj,xxj,sl,cllb from gjcl where chaifen=FALSE and dw<>'%'" + scope.And()};
  // Components of styles 1 and 2 hang directly under the material.
  for (const std::string c : {"gjpbf", "gjlpjb"}) {
    lines.push_back("select " + c + ".ysid," + c + ".bh," + c + ".mc," + c + ".dw," + c + ".dj," + c + ".xxj,format(" +
                    c + ".sl*gjcl.sl,'0.####'),''" +
                    FromComponents(scope, c, c + ".clid=gjcl.clid and " + c + ".ysid=gjcl.ysid", "gjcl.chaifen=TRUE",
                                   c + ".rowid"));
  }
  // Style 3: the material's own breakdown, whose split components are
  // replaced in turn by theirs.
  lines.push_back(
      "select ftcl.ysid,ftcl.bh,ftcl.mc,ftcl.dw,ftcl.dj,ftcl.xxj,format(ftcl.sl*gjcl.sl,'0.####'),'' "
      "from ftcl inner join gjcl on ftcl.clid_src=gjcl.clid and ftcl.ysid=gjcl.ysid "
      "where gjcl.chaifen=TRUE and ftcl.chaifen=FALSE" +
      scope.And("gjcl.ysid"));
  lines.push_back(
      "select ftpbf.ysid,ftpbf.bh,ftpbf.mc,ftpbf.dw,ftpbf.dj,ftpbf.xxj,format(ftpbf.sl*ftcl.sl*gjcl.sl,'0.####'),'' "
      "from ftpbf inner join ftcl on ftpbf.clid=ftcl.clid and ftpbf.clid_src=ftcl.clid_src and ftpbf.ysid=ftcl.ysid "
      "inner join gjcl on ftcl.clid_src=gjcl.clid and ftcl.ysid=gjcl.ysid "
      "where gjcl.chaifen=TRUE and ftcl.chaifen=TRUE" +
      scope.And("gjcl.ysid"));
  return lines;
}

// Machines enter at their price including consumption differences.
LineSelects MachineLines(const Scope& scope) {
  return RowAndBreakdownLines("gjjx", "ftjx", "xxj2", "ftjx.jxid,ftjx.rowid", scope);
}

LineSelects ConsumptionLines(const Scope& scope) {
  const std::string own =
      "select gjjxfb.ysid,gjjxfb.bh,gjjxfb.mc,gjjxfb.dw,gjjxfb.dj,gjjxfb.xxj,format(gjjxfb.sl*gjjx.sl,'0.####') "
      "from gjjxfb inner join gjjx on gjjxfb.jxid=gjjx.jxid and gjjxfb.ysid=gjjx.ysid" +
      scope.Where("gjjx.ysid");
  const std::string lines =
      "select ftjxfb.ysid,ftjxfb.bh,ftjxfb.mc,ftjxfb.dw,ftjxfb.dj,ftjxfb.xxj,"
      "format(ftjxfb.sl*ftjx.sl*gjcl.sl,'0.####') from ";
  const std::string machine_of_item =
      "ftjxfb.jxid=ftjx.jxid and ftjxfb.clid_src=ftjx.clid_src and ftjxfb.ysid=ftjx.ysid";
  const std::string material_of_machine = "ftjx.clid_src=gjcl.clid and ftjx.ysid=gjcl.ysid";
  // As for the other components: the machines of split materials lead the
  // whole project's join (see FromComponents).
  if (scope.whole()) {
    return {own, lines + "ftjx cross join gjcl on " + material_of_machine + " cross join ftjxfb on " + machine_of_item +
                     " where gjcl.chaifen=TRUE order by gjcl.rowid,ftjx.jxid,ftjx.rowid,ftjxfb.rowid"};
  }
  return {own, lines + "ftjxfb inner join ftjx on " + machine_of_item + " inner join gjcl on " + material_of_machine +
                   " where gjcl.chaifen=TRUE" + scope.And("gjcl.ysid")};
}

// The lines the current prices handed over in place of the first select of
// each table's lines, their texts interned in the stage's pool.
using HandedSelect = void (*)(const HandedLines&, TextPool&, std::vector<ResourceLine>&);

void HandedLabour(const HandedLines& handed, TextPool& pool, std::vector<ResourceLine>& lines) {
  TextsInPool texts(handed.pool, pool);
  for (const ResourceLine& line : handed.labour) lines.push_back(texts(line));
}

// The materials' classes reset as the stage reset the table's.
void HandedMaterials(const HandedLines& handed, TextPool& pool, std::vector<ResourceLine>& lines) {
  TextsInPool texts(handed.pool, pool);
  const TextId main_material = pool.Intern("主材"), none = pool.Intern("");
  for (const ResourceLine& material : handed.materials) {
    ResourceLine line = texts(material);
    if (line.cllb != 0 && line.cllb != main_material) line.cllb = none;
    lines.push_back(line);
  }
}

// The machines entered on the rows, at their price with consumption.
void HandedMachines(const HandedLines& handed, TextPool& pool, std::vector<ResourceLine>& lines) {
  TextsInPool texts(handed.pool, pool);
  for (size_t m = 0; m < handed.machines.size(); ++m) {
    if (handed.percentage_machines[m]) continue;
    ResourceLine line = texts(handed.machines[m]);
    line.xxj = handed.machine_prices[m];
    lines.push_back(line);
  }
}

// The consumption items joined to their machines: by item, then by machine.
void HandedConsumption(const HandedLines& handed, TextPool& pool, std::vector<ResourceLine>& lines) {
  TextsInPool texts(handed.pool, pool);
  std::unordered_map<IdKey, std::vector<size_t>, IdKeyHash> machines;
  for (size_t m = 0; m < handed.machines.size(); ++m) {
    if (handed.machines[m].ysid_null || handed.machine_ids[m].kind == Id::kNull) continue;
    machines[{Id{Id::kInteger, handed.machines[m].ysid}, handed.machine_ids[m], Id{}}].push_back(m);
  }
  for (size_t c = 0; c < handed.consumption.size(); ++c) {
    const ResourceLine& item = handed.consumption[c];
    if (item.ysid_null || handed.consumption_machine_ids[c].kind == Id::kNull) continue;
    const auto found = machines.find({Id{Id::kInteger, item.ysid}, handed.consumption_machine_ids[c], Id{}});
    if (found == machines.end()) continue;
    for (size_t m : found->second) {
      ResourceLine line = texts(item);
      line.sl = Rounded(Times(item.sl, handed.machines[m].sl), 4);
      lines.push_back(line);
    }
  }
}

// An analysis table with its project table and the lines it groups.
// Materials carry their class through every level, and their project lines
// the selection, provisional-price and owner-supplied flags.
struct AnalysisTable {
  const char* analysis;
  const char* staging;  // an empty table a project may still hold lines in
  const char* project;
  bool materials;
  // Consumption items of machines keep their price difference (jchj) per
  // row instead of a current amount (xhj).
  bool price_difference;
  LineSelects (*lines)(const Scope&);
  HandedSelect handed;  // in place of the first of `lines` for the whole project
  bool kept;            // in memory for the current amounts and the bill materials
};

const AnalysisTable kAnalysisTables[] = {
    {"fxrgb", "fxrgb1", "gcrgb", false, false, LabourLines, HandedLabour, true},
    {"fxclb", "fxclb1", "gcclb", true, false, MaterialLines, HandedMaterials, true},
    {"fxjxb", "fxjxb1", "gcjxb", false, false, MachineLines, HandedMachines, true},
    {"fxjxfb", "fxjxfb1", "gcjxfb", false, true, ConsumptionLines, HandedConsumption, false},
};

// The analysis lines as their table now holds them.
std::vector<AnalysisRow> AsStored(const std::vector<ResourceLine>& lines) {
  std::vector<AnalysisRow> rows;
  rows.reserve(lines.size());
  for (const ResourceLine& line : lines) {
    rows.push_back({line.ysid, Stored(line.dj), Stored(line.xxj), Stored(line.sl), Stored(BaseAmount(line)),
                    Stored(CurrentAmount(line)), line.bh, line.mc, line.dw, line.cllb, line.ysid_null});
  }
  return rows;
}

// Whether the kept tables read back as written: declared as the engine
// declares them, and without a trigger.
bool KeptAsWritten(Connection& connection) {
  for (const AnalysisTable& t : kAnalysisTables) {
    if (!t.kept) continue;
    std::vector<std::pair<std::string, char>> columns = {{"ysid", 'I'}, {"bh", 'T'}, {"mc", 'T'},
                                                         {"dw", 'T'},   {"dj", 'R'}, {"xxj", 'R'},
                                                         {"sl", 'R'},   {"hj", 'R'}, {"xhj", 'R'}};
    if (t.materials) columns.emplace_back("cllb", 'T');
    if (!KeepsAsWritten(connection, t.analysis, columns)) return false;
  }
  return true;
}

// The quantity of every estimate row, and its bill category, by row id; a
// row id held by several rows gives them all, in the order of the rows.
struct RowQuantity {
  Figure sjgcl, qdlb;
};
struct RowQuantities {
  std::unordered_map<std::int64_t, std::vector<RowQuantity>> of;
  // Whether every row id is an integer, so that a join on row ids meets the
  // rows these give.
  bool integer_ids = true;
};
RowQuantities ReadRowQuantities(Connection& connection) {
  RowQuantities rows;
  const std::string select = "select ysid,sjgcl,qdlb from zhys where ysid is not null order by ysid,rowid";
  KeptStatement statement(connection, select);
  while (statement->Step()) {
    const Value ysid = statement->ColumnValue(0);
    auto figure = [&](int column) {
      const Value value = statement->ColumnValue(column);
      return IsNull(value) ? Figure{} : Figure::Of(ToNumber(value));
    };
    rows.integer_ids = rows.integer_ids && std::holds_alternative<std::int64_t>(ysid);
    rows.of[ToId(ysid)].push_back({figure(1), figure(2)});
  }
  return rows;
}

// The sub-items' own machines joined to their estimate rows of the two bills
// (the first select below): by machine line, then by estimate row.
void AddHandedProjectMachines(const HandedLines& handed, const RowQuantities& rows, TextPool& pool,
                              std::vector<ResourceLine>& lines) {
  TextsInPool texts(handed.pool, pool);
  for (size_t m = 0; m < handed.machines.size(); ++m) {
    const ResourceLine& machine = handed.machines[m];
    if (handed.percentage_machines[m] || machine.ysid_null) continue;
    const auto found = rows.of.find(machine.ysid);
    if (found == rows.of.end()) continue;
    for (const RowQuantity& row : found->second) {
      if (row.qdlb.null() || (row.qdlb.value != 0 && row.qdlb.value != 1)) continue;
      ResourceLine line = texts(machine);
      line.sl = Rounded(Times(machine.sl, row.sjgcl), 4);
      lines.push_back(line);
    }
  }
}

// Machine quantities of the project: the sub-item and measure bills only, and
// at the machine's own current price, without its consumption differences.
// The machines handed over by the current prices take the first select's
// place where every row id is an integer.
void CountProjectMachines(Connection& connection, const HandedLines* handed, const RowQuantities& rows,
                          TextPool& pool) {
  std::vector<ResourceLine> lines;
  LineSelects selects = {
      "select gjjx.ysid,gjjx.bh,gjjx.mc,gjjx.dw,gjjx.dj,gjjx.xxj,format(gjjx.sl*zhys.sjgcl,'0.####') "
      "from gjjx inner join zhys on gjjx.ysid=zhys.ysid where gjjx.dw<>'%' and (zhys.qdlb=0 or zhys.qdlb=1)",
      // The machines of split materials are few: they lead the join, in
      // the order the material lines leading would give.
      "select ftjx.ysid,ftjx.bh,ftjx.mc,ftjx.dw,ftjx.dj,ftjx.xxj,format(ftjx.sl*gjcl.sl*zhys.sjgcl,'0.####') "
      "from ftjx cross join gjcl on ftjx.clid_src=gjcl.clid and ftjx.ysid=gjcl.ysid "
      "cross join zhys on ftjx.ysid=zhys.ysid where gjcl.chaifen=TRUE and (zhys.qdlb=0 or zhys.qdlb=1) "
      "order by gjcl.rowid,ftjx.jxid,ftjx.rowid,zhys.rowid"};
  if (handed && rows.integer_ids) {
    AddHandedProjectMachines(*handed, rows, pool, lines);
    selects.erase(selects.begin());
  }
  for (const std::string& select : selects) ReadResourceLines(connection, select, {}, pool, lines);
  std::erase_if(lines, [](const ResourceLine& line) { return line.sl.null() || line.sl.value == 0; });
  WriteLines(connection, "jxtcb", {}, GroupResources(std::move(lines), pool, false), pool, Fill::kWholeTable);
}

LineColumns AnalysisColumns(const AnalysisTable& t) {
  return {true, t.price_difference, t.materials ? ClassColumn::kText : ClassColumn::kNone};
}

// Each resource once per row, base price, current price (and class). The
// lines of a table keep the order they are written in, which is the order
// the project totals add them in.
std::vector<ResourceLine> GroupPerRow(Connection& connection, const AnalysisTable& t, const Scope& scope,
                                      TextPool& pool, const HandedLines* handed) {
  std::vector<ResourceLine> lines;
  const LineSelects selects = t.lines(scope);
  size_t first = 0;
  if (handed) {
    t.handed(*handed, pool, lines);
    first = 1;
  }
  for (size_t s = first; s < selects.size(); ++s) {
    ReadResourceLines(connection, selects[s], scope.params(), pool, lines);
  }
  lines = GroupResources(std::move(lines), pool, true);
  if (scope.single_row()) {
    connection.Execute(std::string("delete from ") + t.analysis + scope.Where("ysid"), scope.params());
  }
  WriteLines(connection, t.analysis, AnalysisColumns(t), lines, pool,
             scope.whole() ? Fill::kWholeTable : Fill::kAppend);
  return lines;
}

// Project totals over the rows that are priced: outside the left-out
// category and with a quantity. Each row's product is rounded before the sum.
// The lines go in in key order, so the first of several lines of a material
// is the one with the lowest base price, then current price, then class.
// Consumption items get a current amount here, not a price difference.
void TotalProject(Connection& connection, const AnalysisTable& t, const std::vector<ResourceLine>& analysis,
                  const RowQuantities& rows, TextPool& pool) {
  std::vector<ResourceLine> lines;
  for (const ResourceLine& line : analysis) {
    if (line.ysid_null || line.sl.null() || line.sl.value == 0) continue;
    const auto found = rows.of.find(line.ysid);
    if (found == rows.of.end()) continue;
    for (const RowQuantity& row : found->second) {
      if (row.sjgcl.null() || row.sjgcl.value == 0 || row.qdlb.null() || row.qdlb.value == 3) continue;
      ResourceLine project_line = line;
      project_line.sl = Rounded(Times(line.sl, row.sjgcl), 4);
      lines.push_back(project_line);
    }
  }
  WriteLines(connection, t.project, {false, false, t.materials ? ClassColumn::kText : ClassColumn::kNone, t.materials},
             GroupResources(std::move(lines), pool, false), pool, Fill::kWholeTable);
}

// A project material matches a list entry on code, unit, listed name, and an
// effective price (current price when set, else base price) equal to the
// entry's price.
std::string ListedMaterial(const std::string& g, const std::string& z) {
  return g + ".dw=" + z + ".dw and " + g + ".mc=" + ListedName(z) + " and " + g + ".bh=" + z + ".bh and ((" + g +
         ".dj=" + z + ".dj and " + g + ".xxj=0) or (" + g + ".xxj=" + z + ".dj and " + g + ".xxj<>0))";
}

// Whether an entry of the list of kind `iszb_condition` names the sub-item's
// material (gjcl) by the same match.
std::string ListedSubItemMaterial(const char* iszb_condition) {
  return std::string("exists (select 1 from zgjclb where gjcl.bh=zgjclb.bh and gjcl.mc=") + ListedName("zgjclb") +
         " and gjcl.dw=zgjclb.dw and iif(gjcl.xxj=0,gjcl.dj=zgjclb.dj,gjcl.xxj=zgjclb.dj) and " + iszb_condition + ")";
}

// The mark of each material of the sub-items: owner-supplied where an
// owner-supplied entry names it, else provisional where a provisional entry
// does (an owner-supplied entry overrides a provisional one), else none. A
// material whose code no entry carries is unmarked by one statement; the
// others are marked one by one, only where the mark changes, so that a
// repricing rewrites no material line.
void MarkSubItemMaterials(Connection& connection) {
  const std::string listed_code = "exists (select 1 from zgjclb where zgjclb.bh=gjcl.bh)";
  // A fresh project's null marks are set without looking for their code.
  connection.Execute("update gjcl set tzbz='' where tzbz is null or (tzbz<>'' and not " + listed_code + ")");
  std::vector<std::pair<Value, Value>> changes;  // (mark, rowid)
  KeptStatement read(connection, "select rowid,tzbz," + ListedSubItemMaterial("zgjclb.iszb=TRUE") + "," +
                                     ListedSubItemMaterial("(zgjclb.iszb is null or zgjclb.iszb=FALSE)") +
                                     " from gjcl where " + listed_code);
  sqlite3_stmt* stmt = read->get();
  while (read->Step()) {
    const std::string mark = sqlite3_column_int(stmt, 2) ? "甲供" : sqlite3_column_int(stmt, 3) ? "暂估" : "";
    // As SQL's `is not`: a null, a number or a blob is never the text.
    const bool same = sqlite3_column_type(stmt, 1) == SQLITE_TEXT &&
                      std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)),
                                       static_cast<size_t>(sqlite3_column_bytes(stmt, 1))) == mark;
    if (!same) changes.emplace_back(mark, read->ColumnValue(0));
  }
  for (const auto& [mark, rowid] : changes) connection.Execute("update gjcl set tzbz=? where rowid=?", {mark, rowid});
}

void MarkListedMaterials(Connection& connection, StageRunner& run) {
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

  MarkSubItemMaterials(connection);

  // A listed material may stand on several project lines (different base
  // prices, a current price or not, either class, all at the entry's price);
  // the entry takes the quantity and amount of the first of them, which is
  // the first by base price, then current price, then class.
  run("update zgjclb set sl=0,hj=0");
  run("update zgjclb set sl=g.sl,hj=g.xhj from gcclb as g where " + ListedMaterial("g", "zgjclb") +
      " and not exists (select 1 from gcclb as c where " + ListedMaterial("c", "zgjclb") + " and c.rowid<g.rowid)");
}

}  // namespace

void AggregateResources(Connection& connection, const Scope& scope, ProjectMemory* memory) {
  StageRunner run(connection, scope);
  // The lines kept from an earlier run are rebuilt here; the lines the
  // current prices handed over are taken.
  if (memory) memory->analysis.reset();
  const std::shared_ptr<HandedLines> handed =
      memory && scope.whole() ? std::move(memory->handed_lines) : std::shared_ptr<HandedLines>();
  std::shared_ptr<AnalysisTables> kept;
  if (memory && scope.whole()) kept = std::make_shared<AnalysisTables>();

  // Every material class but main material becomes the ordinary one: where
  // the current prices handed the lines over, they named the lines to reset.
  if (handed) {
    for (std::int64_t rowid : handed->other_classes)
      connection.Execute("update gjcl set cllb='' where rowid=?", {rowid});
  } else {
    run("update gjcl set cllb='' where cllb<>'主材' and cllb<>''" + scope.And("gjcl.ysid"));
  }
  TextPool pool;
  const RowQuantities rows = scope.whole() ? ReadRowQuantities(connection) : RowQuantities();
  if (scope.whole()) CountProjectMachines(connection, handed.get(), rows, pool);
  // A project priced by an older engine may still hold the lines in the
  // tables that once staged them; they count nowhere.
  for (const AnalysisTable& t : kAnalysisTables) run(std::string("delete from ") + t.staging + scope.Where());
  // One table's lines at a time: its analysis lines, then (whole project)
  // the project lines they add up to. The analysis lines' figures are
  // checked while they are held; the findings wait for the stage's check.
  std::vector<std::pair<FigureSet, HeldCheck>> analysis_checks;
  for (const AnalysisTable& t : kAnalysisTables) {
    const std::vector<ResourceLine> analysis = GroupPerRow(connection, t, scope, pool, handed.get());
    FigureSet figures{t.analysis, {}, scope.Rows()};
    const HeldLines held(analysis, AnalysisColumns(t));
    figures.held = &held;
    analysis_checks.emplace_back(figures, CheckHeldFigures(connection, figures, FigureUse::kComputed));
    analysis_checks.back().first.held = nullptr;  // the lines go, the finding stays
    if (kept && t.kept) kept->rows[t.analysis] = AsStored(analysis);
    if (scope.whole()) TotalProject(connection, t, analysis, rows, pool);
  }
  const auto check_analysis = [&] {
    for (const auto& [figures, found] : analysis_checks) {
      if (found.fault) throw Error(found.fault->Text());
      if (found.scan) CheckFigures(connection, {figures}, FigureUse::kComputed, scope.params());
    }
  };
  if (scope.single_row()) return check_analysis();

  MarkListedMaterials(connection, run);
  // The bill materials as the last summary left them follow the new flags.
  RefreshBillMaterialSelection(connection);
  check_analysis();
  std::vector<FigureSet> computed;
  for (const char* table : {"gcrgb", "gcclb", "gcjxb", "gcjxfb", "jxtcb"}) computed.push_back({table, {}, "", "bh"});
  computed.push_back({"zgjclb", {"sl", "hj"}, "", "bh"});
  CheckFigures(connection, computed, FigureUse::kComputed);
  if (kept && KeptAsWritten(connection)) {
    kept->pool = std::move(pool);
    memory->analysis = std::move(kept);
  }
}

}  // namespace quillmere
