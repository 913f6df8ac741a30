// Bill material summary: bill material lines and classes, the bill items'
// material costs, provisional-price and owner-supplied totals of bill items
// and sub-items, and the analysis materials' columns around it all.

#include "calc/resources/bill_materials.h"

#include <gtest/gtest.h>

#include <string>

#include "calc/resources/material_matching.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// An analysis material of sub-item `ysid`, per unit of the sub-item.
void Material(Project& p, int ysid, const char* bh, const char* mc, double dj, double xxj, double sl,
              const char* cllb = "", const char* dw = "t") {
  p.Insert("fxclb",
           {{"ysid", ysid}, {"bh", bh}, {"mc", mc}, {"dw", dw}, {"dj", dj}, {"xxj", xxj}, {"sl", sl}, {"cllb", cllb}});
}

void Entry(Project& p, const char* bh, const char* mc, const char* ggxh, double dj, testing::Cell iszb) {
  p.Insert("zgjclb", {{"bh", bh}, {"mc", mc}, {"ggxh", ggxh}, {"dw", "t"}, {"dj", dj}, {"iszb", iszb}});
}

// Sub-item `ysid` of bill item `fb5` with its quantity and quantity per unit
// of the bill item.
void SubItem(Project& p, int ysid, int fb5, double sjgcl, double sjgcl_qd) {
  p.Insert("qfsjb", {{"ysid", ysid}, {"fbcch", 0}, {"sjgcl", sjgcl}});
  p.Insert("qddyb", {{"ysid", ysid}, {"fb5", fb5}, {"sjgcl", sjgcl}, {"sjgcl_qd", sjgcl_qd}});
}

std::string FxclbColumns(Project& p) { return p.Rows("select group_concat(name) from pragma_table_info('fxclb')"); }

TEST(BillMaterials, BillLinesSumTheSubItemsPerUnitOfTheBillItem) {
  Project p;
  p.Insert("qfsjb", {{"ysid", 100}, {"fbcch", 5}, {"sjgcl", 1.0}});
  p.Insert("qfsjb", {{"ysid", 200}, {"fbcch", 5}, {"fcf_qd", 9.0}, {"zcf_qd", 8.0}});  // no lines: kept
  SubItem(p, 1, 100, 1, 0.5);
  SubItem(p, 2, 100, 4, 2);
  Material(p, 1, "M1", "砂", 10, 0, 3);
  Material(p, 2, "M1", "砂", 10, 0, 0.25);
  Material(p, 2, "M1", "砂", 10, 12, 1);  // the same material at a current price: its own line
  Material(p, 1, "M2", "钢板", 50, 0, 2, "主材");
  Material(p, 1, "QC", "其他", 10, 0, 5, "", "%");
  Material(p, 1, "M3", "石灰", 10, 0, 0);
  p.Insert("gcclb", {{"bh", "M1"}, {"mc", "砂"}, {"dw", "t"}, {"dj", 10.005}, {"xz", 0}});
  p.Insert("gcclb", {{"bh", "M2"}, {"mc", "钢板"}, {"dw", "t"}, {"dj", 50.0}, {"xz", 1}});
  SummariseBillMaterials(p.db());
  // M1 at base: 3*0.5 + 0.25*2 = 2, hj = xhj = 20; at 12: 1*2 = 2, xhj 24;
  // M2: 2*0.5 = 1, main material. Selection from the project materials.
  EXPECT_EQ(p.Rows("select ysid,bh,dj,xxj,sl,hj,xhj,cllb,xz from qdclb order by bh,xxj"),
            "100 | M1 | 10 | 0 | 2 | 20 | 20 | 0 | 0\n"
            "100 | M1 | 10 | 12 | 2 | 20 | 24 | 0 | 0\n"
            "100 | M2 | 50 | 0 | 1 | 50 | 50 | 1 | 1\n");
  // Ordinary 20+24 = 44, main 50.
  EXPECT_EQ(p.Rows("select ysid,fcf_qd,zcf_qd from qfsjb where fbcch=5 order by ysid"), "100 | 44 | 50\n200 | 9 | 8\n");
}

TEST(BillMaterials, ProvisionalAndOwnerSuppliedMaterialsOfBillItemsAndSubItems) {
  Project p;
  p.Insert("qfsjb", {{"ysid", 100}, {"fbcch", 5}, {"sjgcl", 4.0}});
  SubItem(p, 1, 100, 2, 0.5);
  SubItem(p, 2, 100, 6, 1.5);
  p.Execute("update qfsjb set zgjhj_qd=99 where ysid=1");  // replaced, not added to
  // A sub-item without quantity: no per-unit values, a null owner-supplied one becomes 0.
  p.Insert("qfsjb", {{"ysid", 3},
                     {"fbcch", 0},
                     {"sjgcl", 0.0},
                     {"zgjhj_qd", 5.0},
                     {"zgj_qd", 7.0},
                     {"jghj_qd", 3.0},
                     {"jg_qd", nullptr}});
  Entry(p, "P1", "钢筋", "Φ12", 4000, 0);
  Entry(p, "P2", "水泥", "", 10, nullptr);
  Entry(p, "P3", "石子", "", 60, 0);
  Entry(p, "J1", "砂", "", 80, 1);
  Entry(p, "J2", "钢板", "", 500, 1);
  Material(p, 1, "P1", "钢筋 Φ12", 3500, 4000, 0.1, "主材");
  Material(p, 1, "P2", "水泥", 10.005, 0, 3);  // within the tolerance, not exact
  Material(p, 1, "P3", "石子", 60, 0, 1);
  Material(p, 2, "J1", "砂", 80, 0, 0.5);
  Material(p, 2, "J2", "钢板", 500, 0, 0.1, "主材");
  Material(p, 2, "P1", "钢筋 Φ12", 3500, 4000, 0.05, "主材");
  const std::string columns = FxclbColumns(p);
  SummariseBillMaterials(p.db());

  // Provisional main material 3, provisional ordinary 2; owner-supplied keep 0
  // and 1; P2 is not an exact match. P2: 3*0.5 = 1.5 at 10.005 = 15.0075 -> 15.01.
  EXPECT_EQ(p.Rows("select bh,sl,xhj,cllb from qdclb order by bh"),
            "J1 | 0.75 | 60 | 0\nJ2 | 0.15 | 75 | 1\nP1 | 0.125 | 500 | 3\nP2 | 1.5 | 15.01 | 0\nP3 | 0.5 | 30 | 2\n");
  // fcf_qd 15.01+30+60 = 105.01, zcf_qd 500+75 = 575. Amounts over the rows'
  // quantities: P1 0.1*2*4000 = 800 and 0.05*6*4000 = 1200, P2 3*2*10.005 =
  // 60.03, P3 1*2*60 = 120, J1 0.5*6*80 = 240, J2 0.1*6*500 = 300.
  // Bill item: provisional 800+60.03+120+1200 = 2180.03, /4 = 545.0075 ->
  // 545.01; owner-supplied 240+300 = 540, /4 = 135.
  // Sub-item 1 matches P1 and P3 exactly (not P2): 920, /2 = 460.
  // Sub-item 2: provisional 1200, /6 = 200; owner-supplied 540, /6 = 90.
  EXPECT_EQ(p.Rows("select ysid,fcf_qd,zcf_qd,zgjhj_qd,zgj_qd,jghj_qd,jg_qd from qfsjb order by ysid"),
            "1 | 0 | 0 | 920 | 460 | 0 | 0\n"
            "2 | 0 | 0 | 1200 | 200 | 540 | 90\n"
            "3 | 0 | 0 | 5 | 7 | 3 | 0\n"
            "100 | 105.01 | 575 | 2180.03 | 545.01 | 540 | 135\n");
  EXPECT_EQ(FxclbColumns(p), columns);
}

TEST(BillMaterials, MaterialListedTwiceCountsOnceForItsSubItem) {
  Project p;
  p.Insert("qfsjb", {{"ysid", 100}, {"fbcch", 5}, {"sjgcl", 1.0}});
  SubItem(p, 1, 100, 2, 0.5);
  Entry(p, "P3", "石子", "", 60, 0);
  Entry(p, "P3", "石子", "", 60, nullptr);
  Material(p, 1, "P3", "石子", 60, 0, 1);
  SummariseBillMaterials(p.db());
  // 1*2*60 = 120 for the bill item and for the sub-item, not 240.
  EXPECT_EQ(p.Rows("select ysid,zgjhj_qd from qfsjb order by ysid"), "1 | 120\n100 | 120\n");
}

TEST(BillMaterials, LineNearTwoListPricesTakesTheCloserEntry) {
  Project p;
  p.Insert("qfsjb", {{"ysid", 100}, {"fbcch", 5}, {"sjgcl", 1.0}});
  SubItem(p, 1, 100, 1, 1);
  Entry(p, "X", "水泥", "", 10.0, 0);
  Entry(p, "X", "水泥", "", 10.008, 1);
  Material(p, 1, "X", "水泥", 10.006, 0, 1);
  // Listed at one price as provisional, then as owner-supplied: equally close.
  Entry(p, "Y", "砂", "", 80, 0);
  Entry(p, "Y", "砂", "", 80, 1);
  Material(p, 1, "Y", "砂", 80, 0, 1);
  SummariseBillMaterials(p.db());
  // 10.006 is 0.002 from the owner-supplied entry, 0.006 from the provisional:
  // owner-supplied, 1*1*10.006 = 10.01. The sand takes the first entry listed:
  // provisional, 80.
  EXPECT_EQ(p.Rows("select zgjhj_qd,jghj_qd from qfsjb where ysid=100"), "80 | 10.01\n");
}

TEST(BillMaterials, EveryBillLineOfAMaterialTakesTheFlagOfItsClosestProjectLine) {
  Project p;
  // Two project lines at exactly 10 (the first stored decides between them)
  // and one at 10.005; a second material to keep the keys apart.
  p.Insert("gcclb", {{"bh", "C1"}, {"mc", "钢筋"}, {"dw", "t"}, {"dj", 10.0}, {"xz", 0}});
  p.Insert("gcclb", {{"bh", "C1"}, {"mc", "钢筋"}, {"dw", "t"}, {"dj", 10.0}, {"xz", 1}});
  p.Insert("gcclb", {{"bh", "C1"}, {"mc", "钢筋"}, {"dw", "t"}, {"dj", 10.005}, {"xz", 1}});
  p.Insert("gcclb", {{"bh", "C1"}, {"mc", "钢筋"}, {"dw", "kg"}, {"dj", 10.0}, {"xz", 1}});
  auto line = [&](int ysid, const char* dw, double dj) {
    p.Insert("qdclb", {{"ysid", ysid}, {"bh", "C1"}, {"mc", "钢筋"}, {"dw", dw}, {"dj", dj}, {"xhj", 5.0}});
  };
  // At 10: the first project line at 10, unselected. At 10.006: 0.001 from
  // 10.005, 0.006 from 10, selected. At 10.02: 0.015 from the closest, no
  // flag. In kg: its own unit's line, selected.
  for (int ysid : {100, 200, 300}) line(ysid, "t", 10.0);
  line(100, "t", 10.006);
  line(200, "t", 10.02);
  line(300, "kg", 10.0);
  RefreshBillMaterialSelection(p.db());
  EXPECT_EQ(p.Rows("select ysid,dw,dj,xz from qdclb order by rowid"),
            "100 | t | 10 | 0\n200 | t | 10 | 0\n300 | t | 10 | 0\n"
            "100 | t | 10.006 | 1\n200 | t | 10.02 | NULL\n300 | kg | 10 | 1\n");
  // The scratch table is gone, so the next run can build it again.
  RefreshBillMaterialSelection(p.db());
  EXPECT_EQ(p.Number("select count(*) from temp.sqlite_schema"), 0);
}

TEST(BillMaterials, FailureLeavesTheDatabaseAndTheAnalysisColumnsAsTheyWere) {
  const std::pair<const char*, const char*> cases[] = {
      {"create table qdclbtemp(ysid)", "table qdclbtemp already exists"},
      {"alter table fxclb add column cllb1 text", "duplicate column name: cllb1"},
      {"create table aaab(ysid,xhj)", "table aaab already exists"},
      {"drop table gcclb", "no such table: gcclb"},  // read last, after the columns were added
  };
  for (const auto& [setup, message] : cases) {
    Project p;
    p.Insert("qfsjb", {{"ysid", 100}, {"fbcch", 5}, {"sjgcl", 1.0}});
    SubItem(p, 1, 100, 1, 1);
    Entry(p, "P3", "石子", "", 60, 0);
    Material(p, 1, "P3", "石子", 60, 0, 1);
    p.Execute(setup);
    const std::string before = p.Snapshot();
    EXPECT_EQ(p.orvane().QingDanCLHZ(), message);
    EXPECT_EQ(p.Snapshot(), before) << setup;
  }
}

}  // namespace
}  // namespace quillmere
