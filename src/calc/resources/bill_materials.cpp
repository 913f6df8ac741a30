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
//      over its row's whole quantity, in memory: the marks and amounts are
//      the stage's own and never reach the analysis table;
//   4. the bill items' provisional and owner-supplied totals from those
//      amounts, and the per-unit values of every fee row with a quantity;
//   5. the sub-items' totals again, from the lines that match the list
//      exactly, and their per-unit values.
// The bill lines take the selection flags of their project materials as they
// are written.

#include "calc/resources/bill_materials.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/compensated_sum.h"
#include "base/decimal.h"
#include "calc/figure_check.h"
#include "calc/model/line_table.h"
#include "calc/model/project_memory.h"
#include "calc/model/resource_lines.h"
#include "calc/resources/material_matching.h"
#include "db/kept_statement.h"
#include "db/statement.h"
#include "db/value.h"

namespace quillmere {
namespace {

// The bill lines as written, with their classes and selection flags.
struct BillLines {
  TextPool pool;
  std::vector<ResourceLine> lines;
  std::vector<std::int64_t> classes;
  std::vector<Value> selection;
};

LineColumns BillLineColumns(const BillLines& bill) {
  return {true, false, ClassColumn::kBillClass, false, &bill.selection, &bill.classes};
}

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

// The fee rows' material figures, held while the stage sets them one kind
// after another and written back once, only the cells that changed.
class FeeRows {
 public:
  FeeRows(Connection& connection, TextPool& pool)
      : rows_(connection, "qfsjb", HeldColumns(), pool), by_row_(LinesPerGroup(rows_, {"ysid"})) {}

  // Sets `column` on every fee row of the row id, as "where ysid=?" does.
  void Set(const char* column, std::int64_t ysid, Figure value) {
    const auto found = by_row_.find({Id{Id::kInteger, ysid}});
    if (found == by_row_.end()) return;
    std::vector<Figure>& cells = rows_.priced(column);
    for (size_t r : found->second) cells[r] = Stored(value);
  }

  void ZeroWhereNull(const char* column) {
    for (Figure& cell : rows_.priced(column)) {
      if (cell.null()) cell = Figure::Of(0);
    }
  }

  // A kind's per-unit value on the fee rows with a quantity (of the
  // sub-items only, or of every level).
  void SetPerUnit(const ListedKind& kind, bool sub_items_only) {
    const std::vector<Figure>& quantity = rows_.figures("sjgcl");
    const std::vector<Figure>& level = rows_.figures("fbcch");
    const std::vector<Figure>& total = rows_.priced(kind.total);
    std::vector<Figure>& per_unit = rows_.priced(kind.per_unit);
    for (size_t r = 0; r < rows_.size(); ++r) {
      if (quantity[r].null() || quantity[r].value == 0) continue;
      if (sub_items_only && (level[r].null() || level[r].value != 0)) continue;
      per_unit[r] = Stored(Rounded(Divided(total[r], quantity[r]), 2));
    }
  }

  void Write(Connection& connection) { rows_.WriteChanges(connection); }

 private:
  static LineTable::Columns HeldColumns() {
    LineTable::Columns columns;
    columns.ids = {"ysid"};
    columns.figures = {"fbcch", "sjgcl"};
    columns.priced = {"fcf_qd", "zcf_qd", "zgjhj_qd", "zgj_qd", "jghj_qd", "jg_qd"};
    return columns;
  }

  LineTable rows_;
  GroupLines by_row_;
};

// A list entry (zgjclb) as the marks read it: the name the tolerant match
// compares (mc, then ggxh after a blank unless it is empty) and the name the
// exact match compares (trimmed, and none when either part is null).
struct ListEntry {
  std::int64_t rowid = 0;
  TextId bh = 0, dw = 0, name = 0, exact_name = 0;
  Figure dj;
  bool owner_supplied = false;
  bool provisional = false;  // iszb null or false: an owner-supplied entry is neither
};

// An analysis material of a sub-item with its list mark: '1' provisional
// price, '2' owner-supplied, 0 none; and its amount over the row's whole
// quantity at the effective price, rounded to cents.
struct MarkedLine {
  ResourceLine line;
  char mark = 0;
  Figure amount;
};

std::string Trimmed(std::string text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<ListEntry> ReadListEntries(Connection& connection, TextPool& pool) {
  std::vector<ListEntry> entries;
  KeptStatement read(connection,
                     "select rowid,bh,mc,ggxh,dw,dj,iszb,(iszb is null or iszb=FALSE) from zgjclb order by rowid");
  sqlite3_stmt* stmt = read->get();
  while (read->Step()) {
    ListEntry entry;
    entry.rowid = sqlite3_column_int64(stmt, 0);
    entry.bh = ReadText(stmt, 1, pool);
    entry.dw = ReadText(stmt, 4, pool);
    const Value mc = read->ColumnValue(2), ggxh = read->ColumnValue(3);
    entry.name = pool.Intern(ListedNameOf(mc, ggxh));
    // The exact match trims the name and has none when either part is null.
    if (!IsNull(mc) && !IsNull(ggxh)) entry.exact_name = pool.Intern(Trimmed(ToText(mc) + " " + ToText(ggxh)));
    entry.dj = ReadFigure(stmt, 5, "the provisional-price list");
    entry.owner_supplied = IsTrue(read->ColumnValue(6));
    entry.provisional = IsTrue(read->ColumnValue(7));
    entries.push_back(entry);
  }
  return entries;
}

// The analysis materials marked against the list, held for the stage: the
// marks never reach the project database.
class ListedMaterials {
 public:
  // `kept`: the analysis lines as the aggregation and the current amounts
  // left them, or null.
  ListedMaterials(Connection& connection, const AnalysisTables* kept) : connection_(connection) {
    ReadEntries();
    ReadLines(kept);
    for (MarkedLine& line : lines_) Mark(line);
    PriceMarkedLines();
  }

  // The bill items' totals of one kind: the amounts of the marked lines of
  // their sub-items, taken in the order of the bill mapping (fb5, then its
  // rowid) and each sub-item's lines in theirs, rounded to cents.
  void SetBillItemTotals(char mark, const char* total, FeeRows& fee_rows) {
    KeptStatement mapping(connection_, "select fb5,ysid from qddyb where fb5 is not null order by fb5,rowid");
    std::vector<std::pair<std::int64_t, CompensatedSum>> totals;
    std::vector<bool> any;
    std::int64_t current = 0;
    bool started = false, counted = false;
    while (mapping->Step()) {
      const std::int64_t item = ToId(mapping->ColumnValue(0));
      const Value ysid = mapping->ColumnValue(1);
      if (!started || item != current) {
        current = item;
        started = true;
        counted = false;
      }
      if (IsNull(ysid)) continue;
      const auto found = by_row_.find(ToId(ysid));
      if (found == by_row_.end()) continue;
      for (size_t i : found->second) {
        const MarkedLine& line = lines_[i];
        if (line.mark != mark) continue;
        if (!counted) {
          totals.emplace_back(item, CompensatedSum());
          any.push_back(false);
          counted = true;
        }
        if (line.amount.null()) continue;
        totals.back().second.Add(line.amount.value);
        any.back() = true;
      }
    }
    for (size_t i = 0; i < totals.size(); ++i) {
      const Figure sum = any[i] ? Figure::Of(totals[i].second.Total()) : Figure{};
      fee_rows.Set(total, totals[i].first, Rounded(sum, 2));
    }
  }

  // The sub-items' totals of one kind, from the marked lines that match the
  // list exactly on the trimmed name (an entry whose ggxh is null names
  // nothing here); each line counts once even when the list names its
  // material twice, its amount rounded to cents again as it is added.
  void SetSubItemTotals(char mark, const char* total, FeeRows& fee_rows) {
    std::vector<std::int64_t> order;
    std::unordered_map<std::int64_t, CompensatedSum> sums;
    for (const MarkedLine& marked : lines_) {
      if (marked.mark != mark || marked.line.ysid_null || !MatchesExactly(marked.line)) continue;
      auto [it, fresh] = sums.try_emplace(marked.line.ysid);
      if (fresh) order.push_back(marked.line.ysid);
      it->second.Add(Rounded(marked.amount.null() ? Figure::Of(0) : marked.amount, 2).value);
    }
    std::sort(order.begin(), order.end());
    for (std::int64_t ysid : order) fee_rows.Set(total, ysid, Figure::Of(0.0 + sums.at(ysid).Total()));
  }

 private:
  void ReadEntries() {
    entries_ = ReadListEntries(connection_, pool_);
    for (size_t i = 0; i < entries_.size(); ++i) {
      const ListEntry& entry = entries_[i];
      if (entry.bh != 0 && entry.dw != 0) entries_by_name_[{entry.bh, entry.name, entry.dw}].push_back(i);
    }
  }

  // Only a material whose code the list names can be marked.
  void ReadLines(const AnalysisTables* kept) {
    std::vector<ResourceLine> lines;
    if (!kept || !ListedLinesFromMemory(*kept, lines)) {
      ReadResourceLines(connection_,
                        "select ysid,bh,mc,dw,dj,xxj,sl from fxclb where bh in (select bh from zgjclb) order by rowid",
                        {}, pool_, lines);
    }
    for (const ResourceLine& line : lines) {
      if (!line.ysid_null) by_row_[line.ysid].push_back(lines_.size());
      lines_.push_back({line, 0, {}});
    }
  }

  // The same lines from the analysis materials kept in memory; false, and
  // nothing added, when none are kept.
  bool ListedLinesFromMemory(const AnalysisTables& kept, std::vector<ResourceLine>& lines) {
    const auto table = kept.rows.find("fxclb");
    if (table == kept.rows.end()) return false;
    std::unordered_set<TextId> codes;
    for (const ListEntry& entry : entries_) codes.insert(entry.bh);
    TextsInPool text(kept.pool, pool_);
    for (const AnalysisRow& m : table->second) {
      const TextId bh = text(m.bh);
      if (bh == 0 || !codes.contains(bh)) continue;
      ResourceLine line;
      line.ysid = m.ysid;
      line.ysid_null = m.ysid_null;
      line.bh = bh;
      line.mc = text(m.mc);
      line.dw = text(m.dw);
      line.dj = m.dj;
      line.xxj = m.xxj;
      line.sl = m.sl;
      lines.push_back(line);
    }
    return true;
  }

  // A line is marked by the entry of its code, name and unit whose price is
  // within 0.01 of its effective price (current price when set, else base
  // price), the bound excluded and measured on the decimals the prices
  // denote; of several, the closest in price, then the first listed.
  void Mark(MarkedLine& marked) {
    const ResourceLine& line = marked.line;
    const Figure price = line.xxj.null() || line.xxj.value == 0 ? line.dj : line.xxj;
    if (price.null() || line.bh == 0 || line.mc == 0 || line.dw == 0) return;
    const auto found = entries_by_name_.find({line.bh, line.mc, line.dw});
    if (found == entries_by_name_.end()) return;
    std::vector<Figure> prices;
    for (size_t i : found->second) prices.push_back(entries_[i].dj);
    if (const auto chosen = ClosestInPrice(price.value, prices, Bound::kExcluded)) {
      marked.mark = entries_[found->second[*chosen]].owner_supplied ? '2' : '1';
    }
  }

  // A marked line's amount: its quantity times its row's whole quantity (0
  // without one) times its effective price, rounded to cents.
  void PriceMarkedLines() {
    std::unordered_map<std::int64_t, Figure> quantities;
    KeptStatement read(connection_, "select ysid,sjgcl from qddyb where ysid is not null order by ysid,rowid");
    while (read->Step()) {
      quantities.try_emplace(ToId(read->ColumnValue(0)), ReadFigure(read->get(), 1, "the bill mapping"));
    }
    for (MarkedLine& marked : lines_) {
      if (marked.mark == 0) continue;
      const ResourceLine& line = marked.line;
      Figure quantity = Figure::Of(0);
      if (const auto found = quantities.find(line.ysid); !line.ysid_null && found != quantities.end()) {
        if (!found->second.null()) quantity = found->second;
      }
      marked.amount = Rounded(Times(Times(line.sl, quantity), EffectivePrice(line)), 2);
    }
  }

  bool MatchesExactly(const ResourceLine& line) const {
    const Figure price = EffectivePrice(line);
    if (line.bh == 0 || line.mc == 0 || line.dw == 0 || price.null()) return false;
    for (const ListEntry& entry : entries_) {
      if (entry.bh == line.bh && entry.exact_name == line.mc && entry.dw == line.dw && !entry.dj.null() &&
          entry.dj.value == price.value) {
        return true;
      }
    }
    return false;
  }

  Connection& connection_;
  TextPool pool_;
  std::vector<ListEntry> entries_;
  std::map<std::tuple<TextId, TextId, TextId>, std::vector<size_t>> entries_by_name_;  // code, listed name, unit
  std::vector<MarkedLine> lines_;
  std::unordered_map<std::int64_t, std::vector<size_t>> by_row_;
};

// The class of each bill line: 1 for a main material, else 0; 3 and 2 when a
// provisional-price entry names the material exactly (code, listed name,
// unit) at its effective price.
std::vector<std::int64_t> BillClasses(Connection& connection, const std::vector<ResourceLine>& lines, TextPool& pool) {
  std::map<std::tuple<TextId, TextId, TextId>, std::vector<double>> provisional;
  for (const ListEntry& entry : ReadListEntries(connection, pool)) {
    if (!entry.provisional || entry.bh == 0 || entry.dw == 0 || entry.dj.null()) continue;
    provisional[{entry.bh, entry.name, entry.dw}].push_back(entry.dj.value);
  }
  std::vector<std::int64_t> classes;
  for (const ResourceLine& line : lines) {
    const bool main = line.cllb != 0 && pool.Text(line.cllb) == "主材";
    bool listed = false;
    const Figure price = EffectivePrice(line);
    if (const auto found = provisional.find({line.bh, line.mc, line.dw}); found != provisional.end() && !price.null()) {
      listed = std::find(found->second.begin(), found->second.end(), price.value) != found->second.end();
    }
    classes.push_back(listed ? (main ? 3 : 2) : (main ? 1 : 0));
  }
  return classes;
}

// A sub-item of the bill mapping: its bill item, its row id and its quantity
// per bill unit.
struct MappedSubItem {
  std::int64_t fb5 = 0;
  bool fb5_null = false;
  std::int64_t ysid = 0;
  Figure sjgcl_qd;
};
// The mapping in the order of the select below; false where memory would
// read a value otherwise than the select (a bill item or quantity that is no
// number). Only an integer row id can equal an analysis line's.
bool ReadMapping(Connection& connection, std::vector<MappedSubItem>& mapping) {
  KeptStatement read(connection, "select fb5,ysid,sjgcl_qd from qddyb where typeof(ysid)='integer' order by fb5,rowid");
  sqlite3_stmt* stmt = read->get();
  while (read->Step()) {
    MappedSubItem sub_item;
    const int fb5 = sqlite3_column_type(stmt, 0);
    if (fb5 != SQLITE_NULL && fb5 != SQLITE_INTEGER) return false;
    sub_item.fb5_null = fb5 == SQLITE_NULL;
    sub_item.fb5 = sqlite3_column_int64(stmt, 0);
    sub_item.ysid = sqlite3_column_int64(stmt, 1);
    const int quantity = sqlite3_column_type(stmt, 2);
    if (quantity == SQLITE_TEXT || quantity == SQLITE_BLOB) return false;
    if (quantity != SQLITE_NULL) sub_item.sjgcl_qd = Figure::Of(sqlite3_column_double(stmt, 2));
    mapping.push_back(sub_item);
  }
  return true;
}

// The lines of the select below, joined in memory from the analysis
// materials kept by the aggregation: false, and nothing added, where the
// mapping is not plain.
bool BillItemLinesFromMemory(Connection& connection, const AnalysisTables& kept, TextPool& pool,
                             std::vector<ResourceLine>& lines) {
  std::vector<MappedSubItem> mapping;
  if (!ReadMapping(connection, mapping)) return false;
  const auto table = kept.rows.find("fxclb");
  if (table == kept.rows.end()) return false;
  const std::vector<AnalysisRow>& materials = table->second;
  std::unordered_map<std::int64_t, std::vector<size_t>> of_row;
  for (size_t i = 0; i < materials.size(); ++i) {
    const AnalysisRow& m = materials[i];
    if (m.ysid_null || m.sl.null() || m.sl.value == 0 || m.dw == 0 || kept.pool.Text(m.dw) == "%") continue;
    of_row[m.ysid].push_back(i);
  }
  TextsInPool text(kept.pool, pool);
  for (const MappedSubItem& sub_item : mapping) {
    const auto found = of_row.find(sub_item.ysid);
    if (found == of_row.end()) continue;
    for (size_t i : found->second) {
      const AnalysisRow& m = materials[i];
      ResourceLine line;
      line.ysid = sub_item.fb5;
      line.ysid_null = sub_item.fb5_null;
      line.bh = text(m.bh);
      line.mc = text(m.mc);
      line.dw = text(m.dw);
      line.cllb = text(m.cllb);
      line.dj = m.dj;
      line.xxj = m.xxj;
      line.sl = Rounded(Times(m.sl, sub_item.sjgcl_qd), 4);
      lines.push_back(line);
    }
  }
  return true;
}

// Each sub-item's analysis materials per unit of its bill item (fb5), summed
// per bill item and material, priced and classed. The sub-items of a bill
// item are taken in the order of the mapping, each sub-item's lines in
// theirs, which is the order their quantities are added in.
BillLines WriteBillMaterialLines(Connection& connection, const AnalysisTables* kept) {
  BillLines bill;
  TextPool& pool = bill.pool;
  std::vector<ResourceLine>& lines = bill.lines;
  if (!kept || !BillItemLinesFromMemory(connection, *kept, pool, lines)) {
    ReadResourceLines(connection,
                      "select qddyb.fb5,fxclb.bh,fxclb.mc,fxclb.dw,fxclb.dj,fxclb.xxj,"
                      "format(fxclb.sl*qddyb.sjgcl_qd,'0.####'),fxclb.cllb "
                      "from qddyb inner join fxclb on fxclb.ysid=qddyb.ysid where fxclb.sl<>0 and fxclb.dw<>'%' "
                      "order by qddyb.fb5,qddyb.rowid,fxclb.rowid",
                      {}, pool, lines);
  }
  lines = GroupResources(std::move(lines), pool, true);
  // Each line takes the selection flag of its project material; a line
  // without a current amount is never selected.
  const SelectionFlags flags(connection, pool);
  std::vector<Value>& selection = bill.selection;
  for (const ResourceLine& line : lines) {
    Value flag;
    if (auto found = flags.Of(line.bh, line.mc, line.dw, line.dj)) flag = *found;
    if (!Selectable(CurrentAmount(line))) flag = std::int64_t{0};
    selection.push_back(flag);
  }
  bill.classes = BillClasses(connection, lines, pool);
  WriteLines(connection, "qdclb", BillLineColumns(bill), lines, pool, Fill::kWholeTable);
  return bill;
}

// Each bill item's ordinary (class 0 or 2) and main (1 or 3) material cost:
// the sum of the current amounts of its lines of those classes, in the order
// they were written, null when all are null. A bill item without lines of a
// kind keeps its figure.
void SetMaterialCosts(const BillLines& bill, FeeRows& fee_rows) {
  struct Costs {
    FigureSum ordinary, main;
  };
  std::map<std::int64_t, Costs> costs;
  for (size_t i = 0; i < bill.lines.size(); ++i) {
    const ResourceLine& line = bill.lines[i];
    if (line.ysid_null) continue;
    Costs& item = costs[line.ysid];
    (bill.classes[i] == 1 || bill.classes[i] == 3 ? item.main : item.ordinary).Add(CurrentAmount(line));
  }
  for (const auto& [ysid, item] : costs) {
    for (const auto& [sum, column] : {std::pair{&item.ordinary, "fcf_qd"}, std::pair{&item.main, "zcf_qd"}}) {
      if (sum->counted) fee_rows.Set(column, ysid, sum->Total());
    }
  }
}

void SettleSubItems(ListedMaterials& listed, const ListedKind& kind, FeeRows& fee_rows) {
  listed.SetSubItemTotals(kind.mark[0], kind.total, fee_rows);
  fee_rows.SetPerUnit(kind, true);
}

}  // namespace

void SummariseBillMaterials(Connection& connection, ProjectMemory* memory) {
  const BillLines bill = WriteBillMaterialLines(connection, memory ? memory->analysis.get() : nullptr);
  TextPool pool;
  FeeRows fee_rows(connection, pool);
  SetMaterialCosts(bill, fee_rows);

  ListedMaterials listed(connection, memory ? memory->analysis.get() : nullptr);
  for (const ListedKind& kind : kListedKinds) fee_rows.ZeroWhereNull(kind.total);
  for (const ListedKind& kind : kListedKinds) listed.SetBillItemTotals(kind.mark[0], kind.total, fee_rows);
  for (const ListedKind& kind : kListedKinds) fee_rows.SetPerUnit(kind, false);

  SettleSubItems(listed, kProvisional, fee_rows);
  // The owner-supplied figures are never left null, not even on fee rows that
  // no quantity gives a per-unit value.
  fee_rows.ZeroWhereNull("jg_qd");
  fee_rows.ZeroWhereNull("jghj_qd");
  SettleSubItems(listed, kOwnerSupplied, fee_rows);
  fee_rows.Write(connection);

  FigureSet bill_lines{"qdclb"};
  const HeldLines held(bill.lines, BillLineColumns(bill));
  bill_lines.held = &held;
  CheckFigures(connection,
               {bill_lines, {"qfsjb", {"fcf_qd", "zcf_qd", "zgj_qd", "zgjhj_qd", "jg_qd", "jghj_qd"}, "fbcch=5"}},
               FigureUse::kComputed);
}

}  // namespace quillmere
