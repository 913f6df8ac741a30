// Organising project data: normalises the estimate rows, maps every quota
// sub-item to its sections and bill item, and derives actual quantities.
//
// The plan, in the order that matters:
//  (1) normalise the rows (fee basis of sub-items, rates and numbers of
//      sections, measure items priced as a whole) and forget the old map;
//  (2) walk the sub-item bill, then the measure bill, in display order: each
//      section or bill item sets the multiplier its quantity lends the rows
//      under it, each sub-item gets the product of the multipliers above it
//      in sjgcl and a map row naming its sections and bill item;
//  (3) carry linked quantities: a sub-item following another row and the
//      quantity lines of mbgjb, all while sjgcl still holds the multiplier;
//  (4) turn the multiplier into the actual quantity (quantity times
//      multiplier) and give every map row its quantity per bill unit.
// Linked quantities must be read before (4): they are worked out so that the
// follower's actual quantity equals the followed row's, whatever multiplier
// its own sections lend it.
//
// From (2) on the estimate rows and the quantity lines are held in memory:
// the multiplier never reaches the table, each row's quantities are written
// once where they changed, and the map rows go in with their ratios. Where an
// estimate row id is held by several rows, a join with the rows takes the
// last of them, as SQLite's update of a join does.

#include "calc/prepare/organise.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/decimal.h"
#include "calc/figure_check.h"
#include "calc/model/line_table.h"
#include "db/kept_statement.h"
#include "db/statement.h"
#include "db/table_rewrite.h"
#include "db/value.h"

namespace quillmere {
namespace {

// The two bills walked by the mapping loop, in the order they are walked.
struct Bill {
  const char* query;
  const char* message_head;  // the unmapped message names the bill
};
constexpr Bill kBills[] = {
    {"select rowid,ysid,bzj,bhlb,fbcch,yssl from zhys where qdlb=0 order by sjxh", "当前分部分项工程量清单中第 "},
    {"select rowid,ysid,bzj,bhlb,fbcch,yssl from zhys where qdlb=1 order by sjxh", "当前措施项目清单中第 "},
};
constexpr const char* kMessageTail = " 行子目没有对应到清单";

// Quantity ratios and multipliers keep six decimals.
double SixDecimals(double x) { return RoundDecimal(x, 6); }

// The row's level 0..7; -1 for a null or any other value, which the walk
// passes over.
int LevelOf(const Value& fbcch) {
  if (IsNull(fbcch)) return -1;
  const double level = ToNumber(fbcch);
  return level >= 0 && level <= 7 && level == static_cast<int>(level) ? static_cast<int>(level) : -1;
}

// What the walk knows at a row: for the section levels 1 to 4 and the bill
// item (level 5), the multiplier each lends the rows under it and its id.
// A row of a level resets every deeper level, so a sub-item is never charged
// to a bill item or section of an earlier branch.
class Path {
 public:
  // Enters a row of `level` (1..5) with multiplier `m` and id `id`.
  void Enter(int level, double m, std::int64_t id) {
    for (int k = level; k <= 5; ++k) {
      multiplier_[k] = 1;
      id_[k] = 0;
    }
    multiplier_[level] = m;
    id_[level] = id;
  }
  // A measure item priced as a whole closes the bill item above it.
  void LeaveBillItem() {
    multiplier_[5] = 1;
    id_[5] = 0;
  }
  // Product of the multipliers of the levels above `level`, to six decimals.
  double MultiplierAbove(int level) const {
    double product = 1;
    for (int k = 1; k < level; ++k) product *= multiplier_[k];
    return SixDecimals(product);
  }
  std::int64_t id(int level) const { return id_[level]; }

 private:
  double multiplier_[6] = {1, 1, 1, 1, 1, 1};
  std::int64_t id_[6] = {0, 0, 0, 0, 0, 0};
};

IdKey KeyOf(const Id& id) {
  IdKey key;
  key[0] = id;
  return key;
}

// A map row of qddyb: the sub-item, its sections and bill item (0 for none),
// its actual quantity and its quantity per unit of the bill item.
struct MapRow {
  std::array<std::int64_t, 6> ids;  // ysid, fb1 to fb5
  Figure sjgcl = Figure::Of(0), sjgcl_qd = Figure::Of(0);
};

// The estimate rows with the columns the stage reads and the quantities it
// derives, and where each row id stands.
class EstimateRows {
 public:
  EstimateRows(Connection& connection, TextPool& pool)
      : lines_(connection, "zhys", Columns(), pool),
        by_id_(LinesPerGroup(lines_, {"ysid"})),
        qdlb_(lines_.figures("qdlb")),
        fbcch_(lines_.figures("fbcch")),
        yssl(lines_.priced("yssl")),
        cysl(lines_.priced("cysl")),
        sjgcl(lines_.priced("sjgcl")) {}

  LineTable& lines() { return lines_; }
  const LineTable& lines() const { return lines_; }
  size_t size() const { return lines_.size(); }
  size_t LineOf(std::int64_t rowid) const { return *lines_.LineOf(rowid); }
  // SQL's qdlb<>3 and fbcch<>k, fbcch=k: a null is neither.
  bool Priced(size_t line) const { return !qdlb_[line].null() && qdlb_[line].value != 3; }
  bool LevelIs(size_t line, double level) const { return !fbcch_[line].null() && fbcch_[line].value == level; }
  bool LevelIsNot(size_t line, double level) const { return !fbcch_[line].null() && fbcch_[line].value != level; }
  // The last row of id `id` that `wanted` keeps, or none.
  template <typename Wanted>
  std::optional<size_t> Last(const Id& id, Wanted&& wanted) const {
    if (id.kind == Id::kNull) return std::nullopt;
    const auto found = by_id_.find(KeyOf(id));
    if (found == by_id_.end()) return std::nullopt;
    for (auto line = found->second.rbegin(); line != found->second.rend(); ++line) {
      if (wanted(*line)) return *line;
    }
    return std::nullopt;
  }
  std::optional<size_t> Last(const Id& id) const {
    return Last(id, [](size_t) { return true; });
  }

 private:
  static LineTable::Columns Columns() {
    LineTable::Columns columns;
    columns.ids = {"ysid", "ysid_gcl", "bzj"};
    columns.figures = {"qdlb", "fbcch", "glxs", "zhxs"};
    columns.priced = {"yssl", "cysl", "sjgcl"};
    return columns;
  }

  LineTable lines_;
  GroupLines by_id_;
  const std::vector<Figure>& qdlb_;
  const std::vector<Figure>& fbcch_;

 public:
  std::vector<Figure>& yssl;
  std::vector<Figure>& cysl;
  std::vector<Figure>& sjgcl;
};

// A bill row's quantity as a number; a null or a word is refused, naming the
// row by its id, else by its place in the walk.
double QuantityOf(const Value& yssl, const Value& ysid, std::int64_t place) {
  try {
    return ToNumber(yssl);
  } catch (const Error& e) {
    throw Error(std::string(e.what()) + ": zhys.yssl, row " +
                (IsNull(ysid) ? std::to_string(place) : "ysid " + TextOrEmpty(ysid)));
  }
}

// Walks one bill in display order, setting each row's multiplier in sjgcl
// and mapping its sub-items. Returns the unmapped message when bill-item
// pricing finds a sub-item outside any bill item (nothing is written back
// then; the caller rolls back), else the empty text.
std::string MapBill(Connection& connection, const Bill& bill, bool bill_pricing, EstimateRows& rows,
                    std::vector<MapRow>& map) {
  KeptStatement walk(connection, bill.query);
  Path path;
  for (std::int64_t i = 1; walk->Step(); ++i) {
    const size_t line = rows.LineOf(sqlite3_column_int64(walk->get(), 0));
    const Value ysid = walk->ColumnValue(1);
    const Value bzj = walk->ColumnValue(2);
    const int level = LevelOf(walk->ColumnValue(4));
    double multiplier = 0;
    if (level >= 1 && level <= 4) {
      const double m = IsTrue(bzj) ? QuantityOf(walk->ColumnValue(5), ysid, i) : 1;
      multiplier = path.MultiplierAbove(level);
      path.Enter(level, m, ToId(ysid));
    } else if (level == 5) {
      // A bill item that does not lend its quantity still stops the rows
      // under it when that quantity is 0.
      const double yssl = QuantityOf(walk->ColumnValue(5), ysid, i);
      const double m = IsTrue(bzj) ? yssl : (yssl != 0 ? 1 : 0);
      multiplier = path.MultiplierAbove(5);
      path.Enter(5, m, ToId(ysid));
    } else if (level == 6) {
      path.LeaveBillItem();
      multiplier = 1;
    } else if (level == 0) {
      if (TextOrEmpty(walk->ColumnValue(3)) == "费") rows.yssl[line] = rows.cysl[line] = Figure::Of(1);
      multiplier = path.MultiplierAbove(6);  // all five levels
      if (path.id(5) == 0 && bill_pricing) return bill.message_head + std::to_string(i) + kMessageTail;
      map.push_back({{ToId(ysid), path.id(1), path.id(2), path.id(3), path.id(4), path.id(5)}});
    } else {
      continue;
    }
    rows.sjgcl[line] = Stored(Figure::Of(multiplier));
  }
  return {};
}

// A multiplier divides with 0 counting as 1 (SQL's iif(sjgcl=0,1,sjgcl)).
Figure Divisor(Figure multiplier) { return !multiplier.null() && multiplier.value == 0 ? Figure::Of(1) : multiplier; }

// An id column compared with 0 as SQL compares it: a text or a blob is above
// every number, a null is neither above nor below.
int CompareWithZero(const Id& id) {
  switch (id.kind) {
    case Id::kNull:
      return -2;
    case Id::kInteger:
      return id.bits > 0 ? 1 : id.bits < 0 ? -1 : 0;
    case Id::kReal: {
      double real = 0;
      std::memcpy(&real, &id.bits, sizeof real);
      return real > 0 ? 1 : real < 0 ? -1 : 0;
    }
    default:
      return 1;
  }
}

// (3) A sub-item that follows another gets the quantity that makes its
// actual quantity the followed row's actual quantity times glxs; its own
// multiplier (still in sjgcl) divides it out again. The followed rows are
// taken as they stand before any follower is set.
void FollowLinkedRows(EstimateRows& rows) {
  struct Followed {
    Figure multiplier, yssl;
  };
  std::unordered_map<IdKey, Followed, IdKeyHash> followed;
  const std::vector<Id>& ysid = rows.lines().ids("ysid");
  for (size_t line = 0; line < rows.size(); ++line) {
    if (rows.Priced(line) && rows.LevelIs(line, 0) && ysid[line].kind != Id::kNull) {
      followed[KeyOf(ysid[line])] = {rows.sjgcl[line], rows.yssl[line]};
    }
  }
  const std::vector<Id>& ysid_gcl = rows.lines().ids("ysid_gcl");
  const std::vector<Figure>& glxs = rows.lines().figures("glxs");
  const std::vector<Figure>& zhxs = rows.lines().figures("zhxs");
  for (size_t line = 0; line < rows.size(); ++line) {
    if (CompareWithZero(ysid_gcl[line]) != 1 || !rows.LevelIsNot(line, 6)) continue;
    const auto found = followed.find(KeyOf(ysid_gcl[line]));
    if (found == followed.end()) continue;
    const Figure quantity =
        Divided(Times(Times(found->second.multiplier, found->second.yssl), glxs[line]), Divisor(rows.sjgcl[line]));
    rows.yssl[line] = Stored(Rounded(quantity, 6));
    rows.cysl[line] = Stored(Rounded(Times(quantity, zhxs[line]), 4));
  }
}

// Quantity lines: a linked line takes the actual quantity of its row, a
// fixed line (ysid_gl 0) keeps its own; both are scaled by their
// coefficient and divided by the owner's multiplier. Lines with a negative
// link stay out of the owner's sum, which becomes the owner's quantity.
void AddUpQuantityLines(EstimateRows& rows, LineTable& quantity_lines) {
  const std::vector<Id>& owner = quantity_lines.ids("ysid");
  const std::vector<Id>& link = quantity_lines.ids("ysid_gl");
  const std::vector<Figure>& xs = quantity_lines.figures("xs");
  std::vector<Figure>& gcl = quantity_lines.priced("gcl");
  for (size_t line = 0; line < quantity_lines.size(); ++line) {
    if (CompareWithZero(link[line]) != 0 && CompareWithZero(link[line]) != -2) gcl[line] = Figure::Of(0);
  }
  for (size_t line = 0; line < quantity_lines.size(); ++line) {
    const auto row = rows.Last(link[line], [&](size_t r) { return rows.Priced(r); });
    if (row) gcl[line] = Stored(Times(rows.yssl[*row], rows.sjgcl[*row]));
  }
  for (size_t line = 0; line < quantity_lines.size(); ++line) {
    const auto row = rows.Last(owner[line]);
    if (row) gcl[line] = Stored(Rounded(Divided(Times(gcl[line], xs[line]), Divisor(rows.sjgcl[*row])), 6));
  }
  std::unordered_map<IdKey, FigureSum, IdKeyHash> sums;
  for (size_t line = 0; line < quantity_lines.size(); ++line) {
    if (CompareWithZero(link[line]) >= 0 && owner[line].kind != Id::kNull) sums[KeyOf(owner[line])].Add(gcl[line]);
  }
  const std::vector<Id>& ysid = rows.lines().ids("ysid");
  const std::vector<Figure>& zhxs = rows.lines().figures("zhxs");
  for (size_t line = 0; line < rows.size(); ++line) {
    if (ysid[line].kind == Id::kNull) continue;
    const auto found = sums.find(KeyOf(ysid[line]));
    if (found == sums.end()) continue;
    const Figure sum = Stored(found->second.Total());
    rows.yssl[line] = sum;
    rows.cysl[line] = Stored(Rounded(Times(sum, zhxs[line]), 4));
  }
}

// (4) Each map row's actual quantity, then its quantity per unit of its bill
// item: the ratio to the bill item's actual quantity under a bill item that
// does not lend its quantity (0 counting as 1), else the sub-item's own
// quantity.
void SetMapQuantities(const EstimateRows& rows, std::vector<MapRow>& map) {
  const std::vector<Id>& bzj = rows.lines().ids("bzj");
  constexpr double kNotSet = -999999;
  for (MapRow& entry : map) {
    if (const auto row = rows.Last(Id{Id::kInteger, entry.ids[0]})) {
      entry.sjgcl = rows.sjgcl[*row];
      entry.sjgcl_qd = Figure::Of(kNotSet);
    }
    const auto bill_item = rows.Last(Id{Id::kInteger, entry.ids[5]}, [&](size_t r) {
      return bzj[r].kind == Id::kNull || CompareWithZero(bzj[r]) == 0;
    });
    if (bill_item) {
      entry.sjgcl_qd = Stored(Rounded(Divided(entry.sjgcl, Divisor(rows.sjgcl[*bill_item])), 6));
    }
    if (!entry.sjgcl_qd.null() && entry.sjgcl_qd.value == kNotSet) {
      if (const auto row = rows.Last(Id{Id::kInteger, entry.ids[0]})) entry.sjgcl_qd = rows.yssl[*row];
    }
  }
}

}  // namespace

std::string OrganiseProjectData(Connection& connection, bool bill_pricing, ProjectMemory* memory) {
  if (memory) memory->Forget();
  CheckFigures(connection, {{"zhys"}, {"mbgjb"}}, FigureUse::kRead);
  if (memory) memory->estimate_rows_are_numbers = true;
  // (1) Normalise the rows. Sections and bill items carry no fee basis or
  // rates of their own; a measure item priced as a whole counts one item.
  connection.Execute("update zhys set jsjs='人工+机械' where (jsjs is null or jsjs='') and fbcch=0");
  connection.Execute("update zhys set jsjs='',glffl=0,lrfl=0 where fbcch>0 and fbcch<>6 and fbcch<>7");
  connection.Execute("update zhys set qdxh='' where fbcch>0 and fbcch<5");
  connection.Execute("update zhys set dw='项',cgdw='项',yssl=1,cysl=1 where fbcch=6 and qdlb=1");
  connection.Execute("delete from qddyb");
  // The scratch table that once carried the linked quantities keeps nothing.
  connection.Execute("delete from linshib");

  // (2) Multipliers and the sub-item map, bill by bill.
  TextPool pool;
  EstimateRows rows(connection, pool);
  std::vector<MapRow> map;
  for (const Bill& bill : kBills) {
    std::string unmapped = MapBill(connection, bill, bill_pricing, rows, map);
    if (!unmapped.empty()) return unmapped;
  }

  // (3) Linked quantities, while sjgcl holds the multiplier.
  FollowLinkedRows(rows);
  LineTable::Columns line_columns;
  line_columns.ids = {"ysid", "ysid_gl"};
  line_columns.figures = {"xs"};
  line_columns.priced = {"gcl"};
  LineTable quantity_lines(connection, "mbgjb", std::move(line_columns), pool);
  AddUpQuantityLines(rows, quantity_lines);

  // (4) Actual quantities, then the map rows' quantities.
  for (size_t line = 0; line < rows.size(); ++line) {
    if (rows.Priced(line) && rows.LevelIsNot(line, 6)) {
      rows.sjgcl[line] = Stored(Rounded(Times(rows.yssl[line], rows.sjgcl[line]), 6));
    }
  }
  SetMapQuantities(rows, map);

  rows.lines().WriteChanges(connection);
  quantity_lines.WriteChanges(connection);
  InsertRows(connection, "qddyb", {"ysid", "fb1", "fb2", "fb3", "fb4", "fb5", "sjgcl", "sjgcl_qd"}, map.size(),
             [&](size_t r, Cell* cells) {
               for (size_t c = 0; c < 6; ++c) cells[c] = Cell::Integer(map[r].ids[c]);
               cells[6] = map[r].sjgcl.null() ? Cell{} : Cell::Real(map[r].sjgcl.value);
               cells[7] = map[r].sjgcl_qd.null() ? Cell{} : Cell::Real(map[r].sjgcl_qd.value);
             });
  CheckFigures(connection,
               {{"zhys", {"yssl", "cysl", "sjgcl"}, "qdlb<>3"}, {"qddyb", {"sjgcl", "sjgcl_qd"}}, {"mbgjb", {"gcl"}}},
               FigureUse::kComputed);
  return {};
}

}  // namespace quillmere
