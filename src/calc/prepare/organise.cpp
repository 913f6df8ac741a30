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

#include "calc/prepare/organise.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/decimal.h"
#include "calc/figure_check.h"
#include "db/recordset.h"
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
    {"select ysid,bzj,bhlb,fbcch,yssl,cysl,sjgcl from zhys where qdlb=0 order by sjxh", "当前分部分项工程量清单中第 "},
    {"select ysid,bzj,bhlb,fbcch,yssl,cysl,sjgcl from zhys where qdlb=1 order by sjxh", "当前措施项目清单中第 "},
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

// Walks one bill in display order, writing each row's multiplier into sjgcl
// and mapping its sub-items. Returns the unmapped message when bill-item
// pricing finds a sub-item outside any bill item (nothing is written back
// then; the caller rolls back), else the empty text.
std::string MapBill(Connection& connection, const Bill& bill, bool bill_pricing) {
  Recordset rows;
  DaKaiJLJ(bill.query, connection, rows);
  Path path;
  // The map rows of the bill's sub-items: ysid, then fb1 to fb5.
  std::vector<std::array<std::int64_t, 6>> map;
  const std::int64_t n = rows.RecordCount();
  for (std::int64_t i = 1; i <= n; ++i) {
    const int level = LevelOf(rows.Field("fbcch"));
    if (level >= 1 && level <= 4) {
      const double m = IsTrue(rows.Field("bzj")) ? rows.Number("yssl") : 1;
      rows.SetField("sjgcl", path.MultiplierAbove(level));
      path.Enter(level, m, ToId(rows.Field("ysid")));
    } else if (level == 5) {
      // A bill item that does not lend its quantity still stops the rows
      // under it when that quantity is 0.
      const double yssl = rows.Number("yssl");
      const double m = IsTrue(rows.Field("bzj")) ? yssl : (yssl != 0 ? 1 : 0);
      rows.SetField("sjgcl", path.MultiplierAbove(5));
      path.Enter(5, m, ToId(rows.Field("ysid")));
    } else if (level == 6) {
      path.LeaveBillItem();
      rows.SetField("sjgcl", 1.0);
    } else if (level == 0) {
      if (TextOrEmpty(rows.Field("bhlb")) == "费") {
        rows.SetField("yssl", 1.0);
        rows.SetField("cysl", 1.0);
      }
      rows.SetField("sjgcl", path.MultiplierAbove(6));  // all five levels
      if (path.id(5) == 0 && bill_pricing) return bill.message_head + std::to_string(i) + kMessageTail;
      map.push_back({ToId(rows.Field("ysid")), path.id(1), path.id(2), path.id(3), path.id(4), path.id(5)});
    }
    rows.MoveNext();
  }
  InsertRows(connection, "qddyb", {"ysid", "fb1", "fb2", "fb3", "fb4", "fb5", "sjgcl", "sjgcl_qd"}, map.size(),
             [&](size_t r, Cell* cells) {
               for (size_t c = 0; c < 6; ++c) cells[c] = Cell::Integer(map[r][c]);
               cells[6] = cells[7] = Cell::Integer(0);
             });
  if (n > 0) rows.UpdateBatch();
  return {};
}

}  // namespace

std::string OrganiseProjectData(Connection& connection, bool bill_pricing) {
  CheckFigures(connection, {{"zhys"}, {"mbgjb"}}, FigureUse::kRead);
  // (1) Normalise the rows. Sections and bill items carry no fee basis or
  // rates of their own; a measure item priced as a whole counts one item.
  connection.Execute("update zhys set jsjs='人工+机械' where (jsjs is null or jsjs='') and fbcch=0");
  connection.Execute("update zhys set jsjs='',glffl=0,lrfl=0 where fbcch>0 and fbcch<>6 and fbcch<>7");
  connection.Execute("update zhys set qdxh='' where fbcch>0 and fbcch<5");
  connection.Execute("update zhys set dw='项',cgdw='项',yssl=1,cysl=1 where fbcch=6 and qdlb=1");
  connection.Execute("delete from qddyb");

  // (2) Multipliers and the sub-item map, bill by bill.
  for (const Bill& bill : kBills) {
    std::string unmapped = MapBill(connection, bill, bill_pricing);
    if (!unmapped.empty()) return unmapped;
  }

  // (3) A sub-item that follows another gets the quantity that makes its
  // actual quantity the followed row's actual quantity times glxs; its own
  // multiplier (still in sjgcl) divides it out again, 0 counting as 1.
  connection.Execute("delete from linshib");
  connection.Execute(
      "insert into linshib(ysid,shuzhi1,shuzhi2) select ysid,sjgcl,yssl from zhys where qdlb<>3 and fbcch=0");
  connection.Execute(
      "UPDATE zhys SET "
      "yssl=format(linshib.shuzhi1*linshib.shuzhi2*zhys.glxs/iif(zhys.sjgcl=0,1,zhys.sjgcl),'0.######'),"
      "cysl=format(linshib.shuzhi1*linshib.shuzhi2*zhys.glxs/iif(zhys.sjgcl=0,1,zhys.sjgcl)*zhys.zhxs,'0.####') "
      "FROM linshib WHERE zhys.ysid_gcl=linshib.ysid AND zhys.ysid_gcl>0 and fbcch<>6");
  // Quantity lines: a linked line takes the actual quantity of its row, a
  // fixed line (ysid_gl 0) keeps its own; both are scaled by their
  // coefficient and divided by the owner's multiplier. Lines with a negative
  // link stay out of the owner's sum.
  connection.Execute("update mbgjb set gcl=0 where ysid_gl<>0");
  connection.Execute(
      "UPDATE mbgjb SET gcl=zhys.yssl*zhys.sjgcl FROM zhys WHERE mbgjb.ysid_gl=zhys.ysid AND zhys.qdlb<>3");
  connection.Execute(
      "UPDATE mbgjb SET gcl=format(mbgjb.gcl*mbgjb.xs/iif(zhys.sjgcl=0,1,zhys.sjgcl),'0.######') "
      "FROM zhys WHERE mbgjb.ysid=zhys.ysid");
  connection.Execute("delete from linshib");
  connection.Execute(
      "insert into linshib(ysid,shuzhi1) select ysid,sum(gcl) from mbgjb where ysid_gl>=0 group by ysid");
  connection.Execute(
      "UPDATE zhys SET yssl=linshib.shuzhi1,cysl=format(linshib.shuzhi1*zhys.zhxs,'0.####') "
      "FROM linshib WHERE zhys.ysid=linshib.ysid");

  // (4) Actual quantities, then each sub-item's quantity per unit of its bill
  // item; -999999 marks the ratios not yet set, which take the sub-item's
  // own quantity (under a bill item that lends its quantity, or under none).
  connection.Execute("update zhys set sjgcl=format(yssl*sjgcl,'0.######') where qdlb<>3 and fbcch<>6");
  connection.Execute("UPDATE qddyb SET sjgcl=zhys.sjgcl,sjgcl_qd=-999999 FROM zhys WHERE qddyb.ysid=zhys.ysid");
  connection.Execute(
      "UPDATE qddyb SET sjgcl_qd=format(qddyb.sjgcl/iif(zhys.sjgcl=0,1,zhys.sjgcl),'0.######') "
      "FROM zhys WHERE qddyb.fb5=zhys.ysid AND (zhys.bzj=FALSE or bzj IS NULL)");
  connection.Execute(
      "UPDATE qddyb SET sjgcl_qd=zhys.yssl FROM zhys WHERE qddyb.ysid=zhys.ysid AND qddyb.sjgcl_qd=-999999");
  CheckFigures(connection,
               {{"zhys", {"yssl", "cysl", "sjgcl"}, "qdlb<>3"}, {"qddyb", {"sjgcl", "sjgcl_qd"}}, {"mbgjb", {"gcl"}}},
               FigureUse::kComputed);
  return {};
}

}  // namespace quillmere
