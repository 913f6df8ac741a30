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

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/compensated_sum.h"
#include "base/decimal.h"
#include "calc/figure_check.h"
#include "calc/model/line_table.h"
#include "calc/model/project_memory.h"
#include "calc/model/resource_lines.h"
#include "db/kept_statement.h"
#include "db/statement.h"
#include "db/value.h"

namespace quillmere {
namespace {

// An analysis line as the fee-row sums read it.
struct AnalysisLine {
  TextId dw = 0, cllb = 0;
  Figure sl, hj, xhj;
};

// A fee-row column summed per row from the lines of one analysis table that
// pass a filter.
struct AnalysisSum {
  const char* analysis;
  bool (*counts)(const AnalysisLine& line, const TextPool& pool);
  Figure (*summed)(const AnalysisLine& line);
  const char* column;
};

bool Every(const AnalysisLine&, const TextPool&) { return true; }
// Labour days leave out percentage rows and rows whose quantity is money.
bool Days(const AnalysisLine& line, const TextPool& pool) {
  return line.dw != 0 && pool.Text(line.dw) != "%" && pool.Text(line.dw) != "元";
}
bool Ordinary(const AnalysisLine& line, const TextPool& pool) { return line.cllb != 0 && pool.Text(line.cllb).empty(); }
bool Main(const AnalysisLine& line, const TextPool& pool) { return line.cllb != 0 && pool.Text(line.cllb) == "主材"; }

Figure Amount(const AnalysisLine& line) { return line.xhj; }
Figure Quantity(const AnalysisLine& line) { return line.sl; }
Figure Difference(const AnalysisLine& line) { return Minus(line.xhj, line.hj); }

const AnalysisSum kCurrentAmounts[] = {
    {"fxrgb", Every, Amount, "rgf"}, {"fxrgb", Days, Quantity, "zrg"}, {"fxclb", Ordinary, Amount, "fcf"},
    {"fxclb", Main, Amount, "zcf"},  {"fxjxb", Every, Amount, "jxf"},
};
const AnalysisSum kDifferences[] = {
    {"fxrgb", Every, Difference, "rgjc"},
    {"fxclb", Ordinary, Difference, "fcjc"},
    {"fxclb", Main, Difference, "zcjc"},
    {"fxjxb", Every, Difference, "jxjc"},
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

// The analysis tables whose lines the sums read.
constexpr const char* kAnalysisTables[] = {"fxrgb", "fxclb", "fxjxb"};

// The lines of the analysis tables in the order of their row index (ysid,
// then rowid), which is the order the sums add them in: read once, or taken
// in place from the tables the aggregation kept, and joined by the
// percentage rows the stage appends to the tables, which come after the
// lines of their row that were there before.
class AnalysisLines {
 public:
  AnalysisLines(Connection& connection, const Scope& scope) : pool_(own_pool_) {
    for (const char* table : kAnalysisTables) {
      const bool materials = std::string_view(table) == "fxclb";
      KeptStatement read(connection,
                         std::string("select ysid,dw,") + (materials ? "cllb" : "null") + ",sl,hj,xhj from " + table +
                             " where ysid is not null" + scope.And() + " order by ysid,rowid",
                         scope.params());
      std::vector<RowLine>& lines = read_[table];
      while (read->Step()) lines.push_back(ReadRowLine(*read, table));
    }
  }

  // The lines as the whole project's tables hold them, kept in `kept`, which
  // takes the percentage rows too.
  explicit AnalysisLines(AnalysisTables& kept) : pool_(kept.pool), kept_(&kept) {
    for (const char* table : kAnalysisTables) {
      const std::vector<AnalysisRow>& rows = kept.rows.at(table);
      std::vector<std::uint32_t>& order = order_[table];
      for (size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i].ysid_null) order.push_back(static_cast<std::uint32_t>(i));
      }
      SortByRow(rows, order);
    }
  }

  const TextPool& pool() const { return pool_; }

  // Calls `add(ysid, line)` for every line of `table`, in order.
  template <typename Add>
  void ForEach(std::string_view table, Add&& add) const {
    if (!kept_) {
      for (const RowLine& row : read_.at(table)) add(row.ysid, row.line);
      return;
    }
    const std::vector<AnalysisRow>& rows = kept_->rows.at(std::string(table));
    for (std::uint32_t i : order_.at(table)) {
      const AnalysisRow& row = rows[i];
      add(row.ysid, AnalysisLine{row.dw, row.cllb, row.sl, row.hj, row.xhj});
    }
  }

  // False once a percentage row was appended in a form memory does not hold
  // as the table does: the kept tables must then be forgotten.
  bool keeps() const { return keeps_; }

  // The percentage rows of `rows`, as appending them to the analysis table
  // leaves them there.
  void AddPercentageRows(Connection& connection, const Scope& scope, const PercentageRows& rows) {
    KeptStatement read(connection,
                       std::string("select ysid,dw,") + (rows.materials ? "''" : "null") + ",sl,hj," + rows.amount +
                           ",bh,mc,dj," + rows.price + " from " + rows.table + " where dw='%'" + scope.And() +
                           " order by rowid",
                       scope.params());
    if (kept_) {
      std::vector<AnalysisRow>& kept = kept_->rows.at(rows.analysis);
      std::vector<std::uint32_t> added;
      while (read->Step()) {
        if (sqlite3_column_type(read->get(), 0) != SQLITE_NULL)
          added.push_back(static_cast<std::uint32_t>(kept.size()));
        kept.push_back(KeptRow(*read, rows.analysis));
      }
      SortByRow(kept, added);
      Merge(order_[rows.analysis], added, [&](std::uint32_t i) { return kept[i].ysid; });
      return;
    }
    std::vector<RowLine> added;
    while (read->Step()) {
      if (sqlite3_column_type(read->get(), 0) != SQLITE_NULL) added.push_back(ReadRowLine(*read, rows.analysis));
    }
    std::stable_sort(added.begin(), added.end(), [](const RowLine& a, const RowLine& b) { return a.ysid < b.ysid; });
    Merge(read_[rows.analysis], added, [](const RowLine& row) { return row.ysid; });
  }

 private:
  struct RowLine {
    std::int64_t ysid;
    AnalysisLine line;
  };

  static void SortByRow(const std::vector<AnalysisRow>& rows, std::vector<std::uint32_t>& order) {
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return rows[a].ysid < rows[b].ysid; });
  }

  // Joins `added` to `lines`, both in row order: after the lines of each row
  // that were there before.
  template <typename T, typename RowOf>
  static void Merge(std::vector<T>& lines, const std::vector<T>& added, RowOf row_of) {
    std::vector<T> merged;
    merged.reserve(lines.size() + added.size());
    std::merge(lines.begin(), lines.end(), added.begin(), added.end(), std::back_inserter(merged),
               [&](const T& a, const T& b) { return row_of(a) < row_of(b); });
    lines = std::move(merged);
  }

  // Reads the columns ysid, dw, cllb, sl, hj, xhj of a line; the figures are
  // named after the analysis table, whatever the source.
  RowLine ReadRowLine(Statement& read, const char* table) {
    sqlite3_stmt* stmt = read.get();
    const std::string source = std::string("the lines of ") + table;
    RowLine row{ToId(read.ColumnValue(0)), {}};
    row.line.dw = ReadText(stmt, 1, pool_);
    row.line.cllb = ReadText(stmt, 2, pool_);
    row.line.sl = ReadFigure(stmt, 3, source);
    row.line.hj = ReadFigure(stmt, 4, source);
    row.line.xhj = ReadFigure(stmt, 5, source);
    return row;
  }

  // A percentage row as the insert below stores it. A row with a row id is
  // read as the sums read it, with the same faults; a cell memory cannot
  // hold as the table will (a blob, a word where a figure belongs, a row id
  // that is no integer) ends the keeping.
  AnalysisRow KeptRow(Statement& read, const char* table) {
    sqlite3_stmt* stmt = read.get();
    AnalysisRow row;
    row.ysid_null = sqlite3_column_type(stmt, 0) == SQLITE_NULL;
    if (!row.ysid_null) {
      row.ysid = ReadRowLine(read, table).ysid;
      if (sqlite3_column_type(stmt, 0) != SQLITE_INTEGER) keeps_ = false;
    }
    const auto text = [&](int column) {
      if (sqlite3_column_type(stmt, column) == SQLITE_BLOB) keeps_ = false;
      return ReadText(stmt, column, pool_);
    };
    const auto figure = [&](int column) {
      Figure value;
      if (ReadFigureValue(sqlite3_column_value(stmt, column), value)) return value;
      keeps_ = false;
      return Figure{};
    };
    row.dw = text(1);
    row.cllb = text(2);
    row.sl = figure(3);
    row.hj = figure(4);
    row.xhj = figure(5);
    row.bh = text(6);
    row.mc = text(7);
    row.dj = figure(8);
    row.xxj = figure(9);
    return row;
  }

  TextPool own_pool_;
  TextPool& pool_;
  AnalysisTables* kept_ = nullptr;
  bool keeps_ = true;
  std::unordered_map<std::string_view, std::vector<RowLine>> read_;         // read from the tables
  std::unordered_map<std::string_view, std::vector<std::uint32_t>> order_;  // of the kept rows
};

// A labour amount less than 1 from base, in the decimals the amounts
// denote, is taken as no change at all (the single row settles whatever the
// distance): where a kind shows no difference its base amount stands. Then
// every difference is the amount less its base.
void SettleOnBase(LineTable& fee_rows, const Scope& scope) {
  struct Kind {
    const char *amount, *base, *difference;
  };
  constexpr Kind kKinds[] = {{"rgf", "rgjj", "rgjc"}, {"fcf", "fcjj", "fcjc"}, {"jxf", "jxjj", "jxjc"}};
  const std::vector<Figure>& labour = fee_rows.priced("rgf");
  const std::vector<Figure>& labour_base = fee_rows.figures("rgjj");
  for (size_t r = 0; r < fee_rows.size(); ++r) {
    if (scope.whole()) {
      if (labour[r].null() || labour_base[r].null()) continue;
      if (!(DecimalDistance(labour[r].value, labour_base[r].value) < 1)) continue;
    }
    for (const Kind& kind : kKinds) {
      const Figure difference = fee_rows.priced(kind.difference)[r];
      if (!difference.null() && difference.value == 0) fee_rows.priced(kind.amount)[r] = fee_rows.figures(kind.base)[r];
    }
  }
  for (const Kind& kind : kKinds) {
    const std::vector<Figure>& amount = fee_rows.priced(kind.amount);
    const std::vector<Figure>& base = fee_rows.figures(kind.base);
    std::vector<Figure>& difference = fee_rows.priced(kind.difference);
    for (size_t r = 0; r < fee_rows.size(); ++r) difference[r] = Stored(Minus(amount[r], base[r]));
  }
}

// Sets each listed fee-row column to its per-row sum over the analysis
// lines. A fee row of a row without lines of the kind keeps its value, and a
// cell that already holds its sum is not written (the differences are taken
// twice and mostly come out the same). `settle`: the fee rows are settled on
// their base amounts before they are written.
void SetFromAnalysis(Connection& connection, const Scope& scope, const AnalysisLines& analysis,
                     const std::vector<AnalysisSum>& sums, bool settle = false) {
  std::vector<std::unordered_map<std::int64_t, FigureSum>> rows(sums.size());
  for (size_t i = 0; i < sums.size(); ++i) {
    analysis.ForEach(sums[i].analysis, [&](std::int64_t ysid, const AnalysisLine& line) {
      if (sums[i].counts(line, analysis.pool())) rows[i][ysid].Add(sums[i].summed(line));
    });
  }

  // Only the cells whose value changed are written.
  LineTable::Columns columns;
  columns.ids = {"ysid"};
  for (const AnalysisSum& sum : sums) columns.priced.emplace_back(sum.column);
  if (settle) {
    columns.figures = {"rgjj", "fcjj", "jxjj"};
    columns.priced.insert(columns.priced.end(), {"rgf", "fcf", "jxf"});
  }
  TextPool pool;
  LineTable fee_rows(connection, "qfsjb", std::move(columns), pool, scope.Where(), scope.params());
  const std::vector<Id>& ysid = fee_rows.ids("ysid");
  for (size_t i = 0; i < sums.size(); ++i) {
    std::vector<Figure>& column = fee_rows.priced(sums[i].column);
    for (size_t r = 0; r < fee_rows.size(); ++r) {
      if (ysid[r].kind != Id::kInteger) continue;
      if (const auto found = rows[i].find(ysid[r].bits); found != rows[i].end()) column[r] = found->second.Total();
    }
  }
  if (settle) SettleOnBase(fee_rows, scope);
  fee_rows.WriteChanges(connection);
}

std::vector<AnalysisSum> AmountsAndDifferences() {
  std::vector<AnalysisSum> sums(std::begin(kCurrentAmounts), std::end(kCurrentAmounts));
  sums.insert(sums.end(), std::begin(kDifferences), std::end(kDifferences));
  return sums;
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
// labour row. The stage changes no code or row of a labour line, so gjrg
// itself is the list.
void MarkChargedOnCharged(StageRunner& run, const PercentageRows& rows) {
  run(std::string("update ") + rows.table +
      " as a set azfy=1 from gjrg as b "
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

void ComputeCurrentAmounts(Connection& connection, const Scope& scope, bool net_of_base, ProjectMemory* memory) {
  StageRunner run(connection, scope);

  // Held here as well: the memory may let the tables go before the stage is
  // done with them.
  const std::shared_ptr<AnalysisTables> kept = memory && scope.whole() ? memory->analysis : nullptr;
  std::optional<AnalysisLines> held;
  if (kept) {
    held.emplace(*kept);
  } else {
    held.emplace(connection, scope);
  }
  AnalysisLines& analysis = *held;
  SetFromAnalysis(connection, scope, analysis, AmountsAndDifferences());

  for (const PercentageRows* rows : kPercentageRows) PriceOrdinaryRows(run, scope, *rows);
  // Codes left alone by the ordinary pricing still add what they carry.
  for (const PercentageRows* rows : kPercentageRows) {
    AddToOwnRows(run, scope, *rows, rows->amount, std::string(rows->table) + ".bh not in (" + CodeList(*rows) + ")");
  }

  ChargeLinkedRows(run, scope, kLabour);
  if (scope.whole()) MarkChargedOnCharged(run, kLabour);
  ChargeLinkedRows(run, scope, kMaterials);
  if (scope.whole()) MarkChargedOnCharged(run, kMaterials);
  ChargeLinkedRows(run, scope, kMachines);
  if (scope.whole()) MarkChargedOnCharged(run, kMachines);
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

  for (const PercentageRows* rows : kPercentageRows) {
    AppendToAnalysis(run, scope, *rows);
    analysis.AddPercentageRows(connection, scope, *rows);
  }
  if (kept && !analysis.keeps()) memory->Forget();
  SetFromAnalysis(connection, scope, analysis, {std::begin(kDifferences), std::end(kDifferences)}, true);
  std::vector<FigureSet> computed = {
      {"qfsjb", {"rgf", "fcf", "zcf", "jxf", "zrg", "rgjc", "fcjc", "zcjc", "jxjc"}, scope.Rows()}};
  for (const char* table : {"fxrgb", "fxclb", "fxjxb"}) computed.push_back({table, {"xhj"}, scope.Rows()});
  CheckFigures(connection, computed, FigureUse::kComputed, scope.params());
}

}  // namespace quillmere
