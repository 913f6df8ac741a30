// Bill material summary: bill material lines and classes, the bill items'
// material costs, provisional-price and owner-supplied totals of bill items
// and sub-items, and the analysis materials' columns around it all.

#include "calc/resources/bill_materials.h"

#include <gtest/gtest.h>

#include <string>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// Analysis materials "(ysid, bh, mc, dj, xxj, sl, cllb),..." per unit of
// their sub-item, in tonnes unless `dw` says otherwise.
void Materials(Project& p, const std::string& rows) {
  p.Execute("insert into fxclb(dw,ysid,bh,mc,dj,xxj,sl,cllb) select 't',* from (values " + rows + ")");
}

// Provisional-price list entries "(bh, mc, ggxh, dj, iszb),...".
void Entries(Project& p, const std::string& rows) {
  p.Execute("insert into zgjclb(dw,bh,mc,ggxh,dj,iszb) select 't',* from (values " + rows + ")");
}

// Bill items "(ysid, sjgcl),..." and sub-items "(ysid, fb5, sjgcl, sjgcl_qd),..."
// with their quantity per unit of the bill item.
void Rows(Project& p, const std::string& bill_items, const std::string& sub_items) {
  p.Execute("insert into qfsjb(fbcch,ysid,sjgcl) select 5,* from (values " + bill_items + ")");
  p.Execute("insert into qfsjb(fbcch,ysid,sjgcl) select 0,column1,column3 from (values " + sub_items + ")");
  p.Execute("insert into qddyb(ysid,fb5,sjgcl,sjgcl_qd) values " + sub_items);
}

TEST(BillMaterials, BillLinesSumTheSubItemsPerUnitOfTheBillItem) {
  Project p;
  Rows(p, "(100,1)", "(1,100,1,0.5),(2,100,4,2)");
  p.Execute("insert into qfsjb(ysid,fbcch,fcf_qd,zcf_qd) values (200,5,9,8)");  // no lines: kept
  // The same material at a current price is a line of its own.
  Materials(p,
            "(1,'M1','砂',10,0,3,''),(2,'M1','砂',10,0,0.25,''),(2,'M1','砂',10,12,1,''),"
            "(1,'M2','钢板',50,0,2.0001,'主材'),(1,'M3','石灰',10,0,0,''),(1,'M4','水',0,0,1,'')");
  p.Execute("insert into fxclb(ysid,bh,mc,dw,dj,sl,cllb) values (1,'QC','其他','%',10,5,'')");
  p.Execute(
      "insert into gcclb(bh,mc,dw,dj,xz) values ('M1','砂','t',10.005,0),('M2','钢板','t',50,1),('M4','水','t',0,1)");
  SummariseBillMaterials(p.db());
  // M1 at base: 3*0.5 + 0.25*2 = 2, hj = xhj = 20; at 12: 1*2 = 2, xhj 24;
  // M2: 2.0001*0.5 = 1.00005 -> 1.0001 (four decimals), 50.005 -> 50.01, main material. Selection from the project
  // materials; M4 costs nothing and is never selected.
  EXPECT_EQ(p.Rows("select ysid,bh,dj,xxj,sl,hj,xhj,cllb,xz from qdclb order by bh,xxj"),
            "100 | M1 | 10 | 0 | 2 | 20 | 20 | 0 | 0\n100 | M1 | 10 | 12 | 2 | 20 | 24 | 0 | 0\n"
            "100 | M2 | 50 | 0 | 1.0001 | 50.01 | 50.01 | 1 | 1\n100 | M4 | 0 | 0 | 0.5 | 0 | 0 | 0 | 0\n");
  // Ordinary 20+24 = 44, main 50.01.
  EXPECT_EQ(p.Rows("select ysid,fcf_qd,zcf_qd from qfsjb where fbcch=5 order by ysid"),
            "100 | 44 | 50.01\n200 | 9 | 8\n");
}

TEST(BillMaterials, ProvisionalAndOwnerSuppliedMaterialsOfBillItemsAndSubItems) {
  Project p;
  Rows(p, "(100,4)", "(1,100,2,0.5),(2,100,6,1.5)");
  p.Execute("update qfsjb set zgjhj_qd=99 where ysid=1");  // replaced, not added to
  // A sub-item without quantity: no per-unit values, a null owner-supplied one becomes 0.
  p.Execute("insert into qfsjb(ysid,fbcch,sjgcl,zgjhj_qd,zgj_qd,jghj_qd,jg_qd) values (3,0,0,5,7,3,null)");
  // A second fee row of bill item 100 takes the same figures; a bill item
  // without listed materials gets 0 for a null total.
  p.Execute("insert into qfsjb(ysid,fbcch,sjgcl,zgjhj_qd) values (100,5,4,0),(400,5,1,null)");
  Entries(p,
          "('P1','钢筋','Φ12',4000,0),('P2','水泥','',10,null),('P3','石子','',60,0),('J1','砂','',80,1),"
          "('J2','钢板','',500,1)");
  // P2 lies within the tolerance of its entry, not on it.
  Materials(p,
            "(1,'P1','钢筋 Φ12',3500,4000,0.1,'主材'),(1,'P2','水泥',10.005,0,3,''),(1,'P3','石子',60,0,1,''),"
            "(2,'J1','砂',80,0,0.5,''),(2,'J2','钢板',500,0,0.1,'主材'),(2,'P1','钢筋 Φ12',3500,4000,0.05,'主材')");
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
            "1 | 0 | 0 | 920 | 460 | 0 | 0\n2 | 0 | 0 | 1200 | 200 | 540 | 90\n3 | 0 | 0 | 5 | 7 | 3 | 0\n"
            "100 | 105.01 | 575 | 2180.03 | 545.01 | 540 | 135\n100 | 105.01 | 575 | 2180.03 | 545.01 | 540 | 135\n"
            "400 | 0 | 0 | 0 | 0 | 0 | 0\n");
}

TEST(BillMaterials, SeveralListEntriesCountOnceAndTheCloserOneWins) {
  Project p;
  Rows(p, "(100,1),(200,1),(300,1)", "(1,100,2,0.5),(2,200,1,1),(3,300,1,1)");
  // P3 is listed twice; X near two prices; Y at one price as provisional,
  // then as owner-supplied: equally close. Q1 and Q2 cost half a cent each.
  Entries(p,
          "('P3','石子','',60,0),('P3','石子','',60,null),('X','水泥','',10,0),('X','水泥','',10.008,1),"
          "('Y','砂','',80,0),('Y','砂','',80,1),('Q1','钉','',0.005,0),('Q2','丝','',0.005,0),"
          "('N1','钉',null,5,0)");
  // Row 4 is in no bill item.
  p.Execute("insert into qfsjb(ysid,fbcch,sjgcl) values (4,0,1)");
  Materials(p,
            "(1,'P3','石子',60,0,1,''),(2,'X','水泥',10.006,0,1,''),(2,'Y','砂',80,0,1,''),"
            "(3,'Q1','钉',0.005,0,1,''),(3,'Q2','丝',0.005,0,1,''),(3,'N1','钉 ',5,0,1,''),(4,'P3','石子',60,0,1,'')");
  SummariseBillMaterials(p.db());
  // P3: 1*2*60 = 120 for the bill item and for the sub-item, not 240.
  // X: 10.006 is 0.002 from the owner-supplied entry, 0.006 from the
  // provisional: owner-supplied, 1*1*10.006 = 10.01. Y takes the first entry
  // listed: provisional, 80. Q1 and Q2: 0.005 -> 0.01 each before the sum, 0.02.
  // An entry without ggxh names "钉 " for the tolerant match (5 more for bill
  // item 300) and nothing for the exact one. Row 4 has no quantity to count.
  EXPECT_EQ(p.Rows("select ysid,zgjhj_qd,jghj_qd from qfsjb where ysid in (1,3,4,100,200,300) order by ysid"),
            "1 | 120 | 0\n3 | 0.02 | 0\n4 | 0 | 0\n100 | 120 | 0\n200 | 80 | 10.01\n300 | 5.02 | 0\n");
}

}  // namespace
}  // namespace quillmere
