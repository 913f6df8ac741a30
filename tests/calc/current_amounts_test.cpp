// Current-price amounts: fee-row figures from the analysis lines, ordinary and
// linked percentage rows, the second pass and settling.

#include "calc/resources/current_amounts.h"

#include <gtest/gtest.h>

#include <string>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// Fee rows "(ysid, sjgcl, rgjj, fcjj, jxjj),..." with their quantity in the bill mapping.
void FeeRows(Project& p, const std::string& rows) {
  p.Execute("insert into qfsjb(ysid,sjgcl,rgjj,fcjj,jxjj) values " + rows);
  p.Execute("insert into qddyb(ysid,sjgcl) select ysid,sjgcl from qfsjb where ysid not in (select ysid from qddyb)");
}

// Analysis lines "(ysid, hj, xhj),..." of one unit each (fxrgb, fxjxb), or
// "(ysid, cllb, hj, xhj),..." of materials.
void Lines(Project& p, const char* table, const std::string& rows) {
  p.Execute(std::string("insert into ") + table + "(ysid,dw,sl,hj,xhj) select column1,'台',1,column2,column3 from " +
            "(values " + rows + ")");
}
void Materials(Project& p, const std::string& rows) {
  p.Execute("insert into fxclb(ysid,dw,sl,cllb,hj,xhj) select column1,'t',1,column2,column3,column4 from (values " +
            rows + ")");
}

// Percentage rows "(ysid, bh, sl, dj, hj, ysid_gl),..." of gjrg, gjcl or gjjx
// at their base price and amount; ysid_gl names the charged-on row of a
// linked code.
void Percent(Project& p, const char* table, const std::string& rows) {
  p.Execute(std::string("insert into ") + table +
            "(ysid,bh,dw,sl,dj,hj,ysid_gl) select column1,column2,'%',column3,column4,column5,column6 from (values " +
            rows + ")");
}

const char* kFigures = "select ysid,rgf,zrg,fcf,zcf,jxf,rgjc,fcjc,zcjc,jxjc from qfsjb order by ysid";

void Compute(Project& p, bool net_of_base = true) { ComputeCurrentAmounts(p.db(), Scope::WholeProject(), net_of_base); }

TEST(CurrentAmounts, RowFiguresComeFromTheAnalysisLines) {
  Project p;
  FeeRows(p, "(1,1,105,30,40)");
  p.Execute("insert into fxrgb(ysid,dw,sl,hj,xhj) values (1,'工日',2,100,120),(1,'元',5,5,5),(1,'%',10,0,0)");
  Materials(p, "(1,'',30,33),(1,'主材',200,210)");
  Lines(p, "fxjxb", "(1,40,44)");
  // A fee row without analysis lines keeps its figures; only the settled
  // differences are current minus base.
  p.Execute("insert into qfsjb(ysid,rgf,zrg,fcf,zcf,jxf,zcjc) values (2,7,3,8,9,6,2)");
  Compute(p);
  // rgf 120+5 = 125; labour days 2 (the '元' and '%' lines left out); rgjc
  // 125-105 = 20, fcjc 33-30 = 3, zcjc 210-200 = 10, jxjc 44-40 = 4.
  EXPECT_EQ(p.Rows(kFigures), "1 | 125 | 2 | 33 | 210 | 44 | 20 | 3 | 10 | 4\n2 | 7 | 3 | 8 | 9 | 6 | 7 | 8 | 2 | 6\n");
}

TEST(CurrentAmounts, OrdinaryPercentageRowsChargeOnTheirOwnRow) {
  Project p;
  // Row 1 has labour and machine differences, none on materials; row 2 has
  // no labour difference: its percentage row stays at base price.
  FeeRows(p, "(1,1,110,52,88),(2,1,110,0,0)");
  Lines(p, "fxrgb", "(1,100,120),(2,100,100)");
  Materials(p, "(1,'',50,50)");
  Lines(p, "fxjxb", "(1,80,90)");
  Percent(p, "gjrg", "(1,'QT',10,100,10,0),(2,'QT',10,90,9,0)");
  Percent(p, "gjcl", "(1,'QC',4,50,2,0)");
  p.Execute("update gjcl set cllb='主材'");  // still counted as ordinary material
  Percent(p, "gjjx", "(1,'QJ',5,80,4,0),(1,'J000FH',1,0,3,0),(1,'J000FI',1,0,1,0)");
  p.Execute("update gjjx set xxj=77,xhj=7.7,xxj2=30,xhj2=3 where bh='J000FH'");
  p.Execute("update gjjx set xxj2=20,xhj2=1 where bh='J000FI'");
  Compute(p);
  // Labour at rgf 120: 12; material at dj 50: 50*4/100 = 2; machine at jxf 90:
  // 90*5/100 = 4.5; the two kept codes as stored; gjjx.xxj/xhj untouched.
  EXPECT_EQ(p.Rows("select ysid,bh,xxj,xhj,null,null from gjrg union all select ysid,bh,xxj,xhj,null,null from gjcl "
                   "union all select ysid,bh,xxj2,xhj2,xxj,xhj from gjjx"),
            "1 | QT | 120 | 12 | NULL | NULL\n2 | QT | 90 | 9 | NULL | NULL\n1 | QC | 50 | 2 | NULL | NULL\n"
            "1 | QJ | 90 | 4.5 | 0 | 0\n1 | J000FH | 30 | 3 | 77 | 7.7\n1 | J000FI | 20 | 1 | 0 | 0\n");
  // Row 1: rgf 120+12 = 132, fcf 50+2 = 52, jxf 90+4.5+3+1 = 98.5; differences
  // 132-110 = 22, 52-52 = 0, 98.5-88 = 10.5. Row 2: 100+9 = 109, a full 1
  // from its base 110: not settled.
  EXPECT_EQ(p.Rows(kFigures),
            "1 | 132 | 1 | 52 | 0 | 98.5 | 22 | 0 | 0 | 10.5\n2 | 109 | 1 | 0 | 0 | 0 | -1 | 0 | 0 | 0\n");
  // Every percentage row now has its analysis line, materials as ordinary.
  EXPECT_EQ(p.Rows("select bh,xxj,hj,xhj,quote(cllb) from fxclb where dw='%' union all "
                   "select bh,xxj,hj,xhj,null from fxjxb where dw='%'"),
            "QC | 50 | 2 | 2 | ''\nQJ | 90 | 4 | 4.5 | NULL\nJ000FH | 30 | 3 | 3 | NULL\nJ000FI | 20 | 1 | 1 | NULL\n");
}

TEST(CurrentAmounts, LinkedRowsOfEveryCodeArePricedRestoredOrLeftAtZero) {
  Project p;
  // Row 10: quantity 4, labour 250 (difference 50), machines 100 (none).
  // Row 11: labour without difference, machines with; row 12 the reverse.
  FeeRows(p, "(10,4,200,0,100),(20,2,42,10,11.5),(11,1,100,0,50),(12,1,100,0,50)");
  Lines(p, "fxrgb", "(10,200,250),(20,10,10),(11,100,100),(12,100,110)");
  Lines(p, "fxjxb", "(10,100,100),(11,50,60),(12,50,50)");
  p.Execute("insert into qddyb(ysid,sjgcl) values (30,0)");  // no quantity: spread over 1
  // Row 20 (quantity 2) carries every code charged on row 10; row 30 charges
  // on 11 and 12, on a row without fee data (99); row 31 is outside the map.
  Percent(p, "gjrg",
          "(20,'0000FE',5,400,20,10),(20,'0000FF',2,600,12,10),(30,'0000FE',10,90,9,11),"
          "(30,'0000FF',10,90,9,11),(30,'0000FE',10,90,9,99)");
  Percent(p, "gjcl", "(20,'1000FE',1,400,4,10),(20,'1000FF',1,600,6,10),(31,'1000FE',10,90,9,11)");
  Percent(p, "gjjx",
          "(20,'J000FE',1,400,4,10),(20,'J000FF',1,600,6,10),(20,'J000FG',1,150,1.5,10),"
          "(30,'J000FG',10,45,4.5,11),(30,'J000FG',10,45,4.5,12),(30,'J000FE',10,45,4.5,12)");
  p.Execute("update gjrg set xxj=5,xhj=5").Execute("update gjcl set xxj=5,xhj=5");
  Compute(p);
  // On 10: FE base 250*4/2 = 500; FF (250+100)*4/2 = 700; FG restored, the
  // machines show no difference. On 11: FE restored, FF (100+60) 160, FG 60.
  // On 12: FG restored, FE 110. The rows without partners are cleared to 0.
  EXPECT_EQ(p.Rows("select ysid,bh,ysid_gl,xxj,xhj from gjrg union all select ysid,bh,ysid_gl,xxj2,xhj2 from gjjx "
                   "union all select ysid,bh,ysid_gl,xxj,xhj from gjcl"),
            "20 | 0000FE | 10 | 500 | 25\n20 | 0000FF | 10 | 700 | 14\n30 | 0000FE | 11 | 90 | 9\n"
            "30 | 0000FF | 11 | 160 | 16\n30 | 0000FE | 99 | 0 | 0\n"
            "20 | J000FE | 10 | 500 | 5\n20 | J000FF | 10 | 700 | 7\n20 | J000FG | 10 | 150 | 1.5\n"
            "30 | J000FG | 11 | 60 | 6\n30 | J000FG | 12 | 45 | 4.5\n30 | J000FE | 12 | 110 | 11\n"
            "20 | 1000FE | 10 | 500 | 5\n20 | 1000FF | 10 | 700 | 7\n31 | 1000FE | 11 | 0 | 0\n");
  // Row 20: rgf 10+25+14 = 49, fcf 5+7 = 12, jxf 5+7+1.5 = 13.5; differences
  // against base 42, 10, 11.5: 7, 2, 2.
  EXPECT_EQ(p.Rows(kFigures + std::string(" limit 1 offset 3")), "20 | 49 | 1 | 12 | 0 | 13.5 | 7 | 2 | 0 | 2\n");
}

// Row 1 plain; row 2 charges 10% of row 1's labour; with `charged_on_charged`
// row 3 charges 10% of row 2's labour (labour and machine rows) and owns a
// material pointing at row 2 too.
void ChargedOnCharged(Project& p, bool charged_on_charged) {
  FeeRows(p, "(1,1,100,0,0),(2,1,60,0,0)");
  Lines(p, "fxrgb", "(1,100,110),(2,50,60)");
  Percent(p, "gjrg", "(2,'0000FE',10,100,10,1)");
  if (!charged_on_charged) return;
  FeeRows(p, "(3,1,25,0,5)");
  Lines(p, "fxrgb", "(3,20,20)");
  Percent(p, "gjrg", "(3,'0000FE',10,50,5,2)");
  Percent(p, "gjjx", "(3,'J000FE',10,50,5,2)");
  p.Execute("insert into gjcl(ysid,bh,dw,ysid_gl) values (3,'C1','t',2)");
  // Row 4 lies within 1 of its base labour and charges 10% of row 2's labour
  // as material (base amount 5, in its fcjj 30 + 5).
  FeeRows(p, "(4,1,100,35,0)");
  Lines(p, "fxrgb", "(4,100,100.5)");
  Materials(p, "(4,'',30,30)");
  Percent(p, "gjcl", "(4,'1000FE',10,50,5,2)");
}

TEST(CurrentAmounts, RowsChargedOnChargedRowsArePricedAgainWholeOrNetOfBase) {
  for (bool charged_on_charged : {false, true}) {
    Project net, whole;
    ChargedOnCharged(net, charged_on_charged);
    ChargedOnCharged(whole, charged_on_charged);
    Compute(net, true);
    Compute(whole, false);
    if (!charged_on_charged) {
      EXPECT_EQ(net.Rows("select rgf from qfsjb where ysid=2"), "71\n");  // 60 + 10% of 110
      EXPECT_EQ(net.Snapshot(), whole.Snapshot());
      continue;
    }
    // Row 2: 60 + 10% of 110 = 71. Row 3 first pass: 10% of row 2 at 60 = 6,
    // rgf 20+6 = 26, jxf 6; second pass on 71: 7.1, adding 7.1-5 = 2.1 (net)
    // or 7.1 (whole): rgf 28.1 / 33.1, jxf 8.1 / 13.1, differences to base 25 and 5.
    // Row 4 likewise: fcf 30 + 6 + 2.1 / 7.1; 0.5 from its base labour, it
    // keeps fcf, which differs from base, and settles fcjc = fcf - 35.
    EXPECT_EQ(net.Rows("select ysid,rgf,jxf,rgjc,jxjc,fcf,fcjc from qfsjb order by ysid"),
              "1 | 110 | 0 | 10 | 0 | 0 | 0\n2 | 71 | 0 | 11 | 0 | 0 | 0\n3 | 28.1 | 8.1 | 3.1 | 3.1 | 0 | 0\n"
              "4 | 100.5 | 0 | 0.5 | 0 | 38.1 | 3.1\n");
    EXPECT_EQ(whole.Rows("select ysid,rgf,jxf,rgjc,jxjc,fcf,fcjc from qfsjb order by ysid"),
              "1 | 110 | 0 | 10 | 0 | 0 | 0\n2 | 71 | 0 | 11 | 0 | 0 | 0\n3 | 33.1 | 13.1 | 8.1 | 8.1 | 0 | 0\n"
              "4 | 100.5 | 0 | 0.5 | 0 | 43.1 | 8.1\n");
    // Every row charged on row 2 is marked, the material as well; row 2's own
    // charge is on a row without linked labour.
    EXPECT_EQ(net.Rows("select ysid,bh,azfy,xxj,xhj from gjrg union all select ysid,bh,azfy,xxj2,xhj2 from gjjx "
                       "union all select ysid,bh,azfy,xxj,xhj from gjcl"),
              "2 | 0000FE | 0 | 110 | 11\n3 | 0000FE | 1 | 71 | 7.1\n3 | J000FE | 1 | 71 | 7.1\n3 | C1 | 1 | 0 | 0\n"
              "4 | 1000FE | 1 | 71 | 7.1\n");
  }
}

// Less than 1 from base labour, in decimals: row 1 (0.4 away) takes back its
// base labour and, without a difference, its base material 31; row 3 is
// exactly 1 away (in binary 128.01 - 127.01 falls short of 1) and keeps both.
TEST(CurrentAmounts, OnlyRowsLessThanOneFromBaseLabourTakeBackTheirBaseAmounts) {
  Project p;
  FeeRows(p, "(1,1,100.4,31,40),(3,1,127.01,31,40)");
  Lines(p, "fxrgb", "(1,100,100),(3,128.01,128.01)");
  Materials(p, "(1,'',30,30),(3,'',30,30)");
  // Row 1's machines show no difference once its kept percentage row counts
  // at its own current amount (xhj2 3 on a base of 3; xhj is the machine's).
  Lines(p, "fxjxb", "(1,40,40)");
  Percent(p, "gjjx", "(1,'J000FH',1,0,3,0)");
  p.Execute("update gjjx set xxj=77,xhj=7.7,xxj2=3,xhj2=3");
  Compute(p);
  EXPECT_EQ(p.Rows("select ysid,rgf,fcf,fcjc,jxf from qfsjb order by ysid"),
            "1 | 100.4 | 31 | 0 | 40\n3 | 128.01 | 30 | -1 | 0\n");

  // Recalculated alone, row 3 takes back its base amounts whatever the
  // distance.
  Project one;
  FeeRows(one, "(3,1,127.01,31,40)");
  Lines(one, "fxrgb", "(3,128.01,128.01)");
  Materials(one, "(3,'',30,30)");
  ComputeCurrentAmounts(one.db(), Scope::Row(3), true);
  EXPECT_EQ(one.Rows("select ysid,rgf,fcf,fcjc,jxf from qfsjb"), "3 | 127.01 | 31 | 0 | 40\n");
}

}  // namespace
}  // namespace quillmere
