// Current-price amounts: fee-row figures from the analysis lines, ordinary and
// linked percentage rows, the second pass, settling, and the single row.

#include "calc/resources/current_amounts.h"

#include <gtest/gtest.h>

#include <string>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// A fee row with its base amounts, and its quantity in the bill mapping.
void FeeRow(Project& p, int ysid, double sjgcl, double rgjj, double fcjj = 0, double jxjj = 0) {
  p.Insert("qfsjb", {{"ysid", ysid}, {"sjgcl", sjgcl}, {"rgjj", rgjj}, {"fcjj", fcjj}, {"jxjj", jxjj}});
  p.Insert("qddyb", {{"ysid", ysid}, {"sjgcl", sjgcl}});
}

// An analysis line (fxrgb, fxjxb) with its base and current amounts.
void Line(Project& p, const char* table, int ysid, double hj, double xhj, const char* dw = "台", double sl = 1) {
  p.Insert(table, {{"ysid", ysid}, {"dw", dw}, {"sl", sl}, {"hj", hj}, {"xhj", xhj}});
}
void Material(Project& p, int ysid, const char* cllb, double hj, double xhj) {
  p.Insert("fxclb", {{"ysid", ysid}, {"dw", "t"}, {"sl", 1.0}, {"hj", hj}, {"xhj", xhj}, {"cllb", cllb}});
}

// A percentage row of gjrg, gjcl or gjjx at its base price and amount,
// charged on the row ysid_gl when its code is a linked one.
void Percent(Project& p, const char* table, int ysid, const char* bh, double sl, double dj, double hj,
             int ysid_gl = 0) {
  p.Insert(table, {{"ysid", ysid}, {"bh", bh}, {"dw", "%"}, {"sl", sl}, {"dj", dj}, {"hj", hj}, {"ysid_gl", ysid_gl}});
}

const char* kFigures = "select ysid,rgf,zrg,fcf,zcf,jxf,rgjc,fcjc,zcjc,jxjc from qfsjb order by ysid";

void Compute(Project& p, bool net_of_base = true) { ComputeCurrentAmounts(p.db(), Scope::WholeProject(), net_of_base); }

TEST(CurrentAmounts, RowFiguresComeFromTheAnalysisLines) {
  Project p;
  FeeRow(p, 1, 1, 105, 30, 40);
  Line(p, "fxrgb", 1, 100, 120, "工日", 2);
  Line(p, "fxrgb", 1, 5, 5, "元", 5);
  Line(p, "fxrgb", 1, 0, 0, "%", 10);
  Material(p, 1, "", 30, 33);
  Material(p, 1, "主材", 200, 210);
  Line(p, "fxjxb", 1, 40, 44);
  // A fee row without analysis lines keeps its figures; only the settled
  // differences are current minus base.
  p.Insert("qfsjb", {{"ysid", 2}, {"rgf", 7.0}, {"zrg", 3.0}, {"fcf", 8.0}, {"zcf", 9.0}, {"jxf", 6.0}, {"zcjc", 2.0}});
  Compute(p);
  // rgf 120+5 = 125; labour days 2 (the '元' and '%' lines left out); rgjc
  // 125-105 = 20, fcjc 33-30 = 3, zcjc 210-200 = 10, jxjc 44-40 = 4.
  EXPECT_EQ(p.Rows(kFigures),
            "1 | 125 | 2 | 33 | 210 | 44 | 20 | 3 | 10 | 4\n"
            "2 | 7 | 3 | 8 | 9 | 6 | 7 | 8 | 2 | 6\n");
}

TEST(CurrentAmounts, OrdinaryPercentageRowsChargeOnTheirOwnRow) {
  Project p;
  // Row 1 has labour and machine differences, none on materials.
  FeeRow(p, 1, 1, 110, 52, 88);
  Line(p, "fxrgb", 1, 100, 120);
  Material(p, 1, "", 50, 50);
  Line(p, "fxjxb", 1, 80, 90);
  Percent(p, "gjrg", 1, "QT", 10, 100, 10);
  Percent(p, "gjcl", 1, "QC", 4, 50, 2);
  p.Execute("update gjcl set cllb='主材'");  // still counted as ordinary material
  Percent(p, "gjjx", 1, "QJ", 5, 80, 4);
  Percent(p, "gjjx", 1, "J000FH", 1, 0, 3);
  Percent(p, "gjjx", 1, "J000FI", 1, 0, 1);
  p.Execute("update gjjx set xxj=77,xhj=7.7,xxj2=30,xhj2=3 where bh='J000FH'");
  p.Execute("update gjjx set xxj2=20,xhj2=1 where bh='J000FI'");
  // Row 2 has no labour difference: its percentage row stays at base price.
  FeeRow(p, 2, 1, 110);
  Line(p, "fxrgb", 2, 100, 100);
  Percent(p, "gjrg", 2, "QT", 10, 100, 10);
  Compute(p);
  // Labour at rgf 120: 12; material at dj 50: 50*4/100 = 2; machine at jxf 90:
  // 90*5/100 = 4.5; the two kept codes as stored; gjjx.xxj/xhj untouched.
  EXPECT_EQ(p.Rows("select ysid,bh,xxj,xhj,null,null from gjrg union all select ysid,bh,xxj,xhj,null,null from gjcl "
                   "union all select ysid,bh,xxj2,xhj2,xxj,xhj from gjjx"),
            "1 | QT | 120 | 12 | NULL | NULL\n2 | QT | 100 | 10 | NULL | NULL\n1 | QC | 50 | 2 | NULL | NULL\n"
            "1 | QJ | 90 | 4.5 | 0 | 0\n1 | J000FH | 30 | 3 | 77 | 7.7\n1 | J000FI | 20 | 1 | 0 | 0\n");
  // Row 1: rgf 120+12 = 132, fcf 50+2 = 52, jxf 90+4.5+3+1 = 98.5; differences
  // 132-110 = 22, 52-52 = 0, 98.5-88 = 10.5. Row 2: 100+10, settled at base 110.
  EXPECT_EQ(p.Rows(kFigures),
            "1 | 132 | 1 | 52 | 0 | 98.5 | 22 | 0 | 0 | 10.5\n"
            "2 | 110 | 1 | 0 | 0 | 0 | 0 | 0 | 0 | 0\n");
  // Every percentage row now has its analysis line, materials as ordinary.
  EXPECT_EQ(p.Rows("select bh,xxj,hj,xhj,quote(cllb) from fxclb where dw='%' union all "
                   "select bh,xxj,hj,xhj,null from fxjxb where dw='%'"),
            "QC | 50 | 2 | 2 | ''\nQJ | 90 | 4 | 4.5 | NULL\nJ000FH | 30 | 3 | 3 | NULL\nJ000FI | 20 | 1 | 1 | NULL\n");
}

TEST(CurrentAmounts, LinkedRowsOfEveryCodeChargeOnTheRowTheyName) {
  Project p;
  // Charged-on row 10: quantity 4, labour 250 (difference 50), machines 100
  // (no difference).
  FeeRow(p, 10, 4, 200, 0, 100);
  Line(p, "fxrgb", 10, 200, 250);
  Line(p, "fxjxb", 10, 100, 100);
  // Row 20, quantity 2, carries every linked code at its base price.
  FeeRow(p, 20, 2, 42, 10, 11.5);
  Line(p, "fxrgb", 20, 10, 10);
  Percent(p, "gjrg", 20, "0000FE", 5, 400, 20, 10);
  Percent(p, "gjrg", 20, "0000FF", 2, 600, 12, 10);
  Percent(p, "gjcl", 20, "1000FE", 1, 400, 4, 10);
  Percent(p, "gjcl", 20, "1000FF", 1, 600, 6, 10);
  Percent(p, "gjjx", 20, "J000FE", 1, 400, 4, 10);
  Percent(p, "gjjx", 20, "J000FF", 1, 600, 6, 10);
  Percent(p, "gjjx", 20, "J000FG", 1, 150, 1.5, 10);
  Compute(p);
  // FE base 250*4/2 = 500; FF (250+100)*4/2 = 700; FG: the machines of row 10
  // show no difference, so base price 150 and amount 1.5 stay.
  EXPECT_EQ(p.Rows("select bh,xxj,xhj from gjrg union all select bh,xxj,xhj from gjcl "
                   "union all select bh,xxj2,xhj2 from gjjx"),
            "0000FE | 500 | 25\n0000FF | 700 | 14\n1000FE | 500 | 5\n1000FF | 700 | 7\n"
            "J000FE | 500 | 5\nJ000FF | 700 | 7\nJ000FG | 150 | 1.5\n");
  // Row 20: rgf 10+25+14 = 49, fcf 5+7 = 12, jxf 5+7+1.5 = 13.5; differences
  // against base 42, 10, 11.5: 7, 2, 2.
  EXPECT_EQ(p.Rows(kFigures + std::string(" limit 1 offset 1")), "20 | 49 | 1 | 12 | 0 | 13.5 | 7 | 2 | 0 | 2\n");
}

TEST(CurrentAmounts, LinkedRowsRestoredPricedOrLeftAtZero) {
  Project p;
  FeeRow(p, 11, 1, 100, 0, 50);  // labour without difference, machines with
  Line(p, "fxrgb", 11, 100, 100);
  Line(p, "fxjxb", 11, 50, 60);
  FeeRow(p, 12, 1, 100, 0, 50);  // labour with difference, machines without
  Line(p, "fxrgb", 12, 100, 110);
  Line(p, "fxjxb", 12, 50, 50);
  p.Insert("qddyb", {{"ysid", 30}, {"sjgcl", 0.0}});  // no quantity: spread over 1
  Percent(p, "gjrg", 30, "0000FE", 10, 90, 9, 11);
  Percent(p, "gjrg", 30, "0000FF", 10, 90, 9, 11);
  Percent(p, "gjjx", 30, "J000FG", 10, 45, 4.5, 11);
  Percent(p, "gjjx", 30, "J000FG", 10, 45, 4.5, 12);
  Percent(p, "gjjx", 30, "J000FE", 10, 45, 4.5, 12);
  Percent(p, "gjrg", 30, "0000FE", 10, 90, 9, 99);  // charged on a row without fee data
  Percent(p, "gjcl", 31, "1000FE", 10, 90, 9, 11);  // own row outside the bill mapping
  p.Execute("update gjrg set xxj=5,xhj=5").Execute("update gjcl set xxj=5,xhj=5");
  Compute(p);
  // On 11: FE restored (no labour difference), FF priced (110 machines:
  // 100+60 = 160, 16), FG priced 60 -> 6. On 12: FG restored, FE 110 -> 11.
  // The rows without partners are cleared and stay 0.
  EXPECT_EQ(p.Rows("select bh,ysid_gl,xxj,xhj from gjrg union all select bh,ysid_gl,xxj2,xhj2 from gjjx "
                   "union all select bh,ysid_gl,xxj,xhj from gjcl"),
            "0000FE | 11 | 90 | 9\n0000FF | 11 | 160 | 16\n0000FE | 99 | 0 | 0\n"
            "J000FG | 11 | 60 | 6\nJ000FG | 12 | 45 | 4.5\nJ000FE | 12 | 110 | 11\n1000FE | 11 | 0 | 0\n");
}

// Row 1 plain; row 2 charges 10% of row 1's labour; with `charged_on_charged`
// row 3 charges 10% of row 2's labour (labour and machine rows) and owns a
// material pointing at row 2 too.
void ChargedOnCharged(Project& p, bool charged_on_charged) {
  FeeRow(p, 1, 1, 100);
  Line(p, "fxrgb", 1, 100, 110);
  FeeRow(p, 2, 1, 60);
  Line(p, "fxrgb", 2, 50, 60);
  Percent(p, "gjrg", 2, "0000FE", 10, 100, 10, 1);
  if (!charged_on_charged) return;
  FeeRow(p, 3, 1, 25, 0, 5);
  Line(p, "fxrgb", 3, 20, 20);
  Percent(p, "gjrg", 3, "0000FE", 10, 50, 5, 2);
  Percent(p, "gjjx", 3, "J000FE", 10, 50, 5, 2);
  p.Insert("gjcl", {{"ysid", 3}, {"bh", "C1"}, {"dw", "t"}, {"ysid_gl", 2}});
}

TEST(CurrentAmounts, WithoutChargedOnChargedRowsBothFormsAgree) {
  Project net, whole;
  ChargedOnCharged(net, false);
  ChargedOnCharged(whole, false);
  Compute(net, true);
  Compute(whole, false);
  EXPECT_EQ(net.Rows("select rgf from qfsjb where ysid=2"), "71\n");  // 60 + 10% of 110
  EXPECT_EQ(net.Snapshot(), whole.Snapshot());
}

TEST(CurrentAmounts, RowsChargedOnChargedRowsArePricedAgainWholeOrNetOfBase) {
  Project net, whole;
  ChargedOnCharged(net, true);
  ChargedOnCharged(whole, true);
  Compute(net, true);
  Compute(whole, false);
  // Row 2: 60 + 10% of 110 = 71. Row 3 first pass: 10% of row 2 at 60 = 6,
  // rgf 20+6 = 26, jxf 6; second pass on 71: 7.1, adding 7.1-5 = 2.1 (net) or
  // 7.1 (whole): rgf 28.1 / 33.1, jxf 8.1 / 13.1, differences to base 25 and 5.
  EXPECT_EQ(net.Rows("select ysid,rgf,jxf,rgjc,jxjc from qfsjb order by ysid"),
            "1 | 110 | 0 | 10 | 0\n2 | 71 | 0 | 11 | 0\n3 | 28.1 | 8.1 | 3.1 | 3.1\n");
  EXPECT_EQ(whole.Rows("select ysid,rgf,jxf,rgjc,jxjc from qfsjb order by ysid"),
            "1 | 110 | 0 | 10 | 0\n2 | 71 | 0 | 11 | 0\n3 | 33.1 | 13.1 | 8.1 | 8.1\n");
  // Every row charged on row 2 is marked, the material as well; row 2's own
  // charge is on a row without linked labour.
  const char* marks =
      "select ysid,bh,azfy,xxj,xhj from gjrg union all select ysid,bh,azfy,xxj2,xhj2 from gjjx "
      "union all select ysid,bh,azfy,xxj,xhj from gjcl";
  EXPECT_EQ(net.Rows(marks),
            "2 | 0000FE | 0 | 110 | 11\n3 | 0000FE | 1 | 71 | 7.1\n3 | J000FE | 1 | 71 | 7.1\n"
            "3 | C1 | 1 | 0 | 0\n");
}

TEST(CurrentAmounts, RowsWithinOneOfBaseLabourTakeBackTheirBaseAmounts) {
  Project p;
  for (auto [ysid, rgjj] : {std::pair{1, 100.4}, std::pair{2, 101.5}}) {
    FeeRow(p, ysid, 1, rgjj, 31, 40);
    Line(p, "fxrgb", ysid, 100, 100);
    Material(p, ysid, "", 30, 30);
    Line(p, "fxjxb", ysid, 40, 45);
  }
  Compute(p);
  // Row 1 is 0.4 from base: labour and material (no difference) go back to
  // 100.4 and 31, machines (difference 5) stay 45. Row 2 is 1.5 away: nothing
  // goes back, rgjc 100-101.5, fcjc 30-31.
  EXPECT_EQ(p.Rows("select ysid,rgf,fcf,jxf,rgjc,fcjc,jxjc from qfsjb order by ysid"),
            "1 | 100.4 | 31 | 45 | 0 | 0 | 5\n2 | 100 | 30 | 45 | -1.5 | -1 | 5\n");
}

TEST(CurrentAmounts, SingleRowComputesItsOwnRowOnly) {
  Project p;
  for (int ysid : {1, 2}) {
    FeeRow(p, ysid, 1, 110);
    Line(p, "fxrgb", ysid, 100, 120);
    Percent(p, "gjrg", ysid, "QT", 10, 100, 10);
  }
  p.Execute("update qfsjb set rgf=200,rgjc=10 where ysid=1");
  // Row 2 also charges on row 1 and is marked from an earlier whole run; it
  // has a material at base that is off by 1.
  Percent(p, "gjrg", 2, "0000FE", 10, 50, 5, 1);
  p.Execute("update gjrg set azfy=1 where bh='0000FE'").Execute("update qfsjb set rgjj=115,fcjj=31 where ysid=2");
  Material(p, 2, "", 30, 30);
  const std::string row1 = p.Rows("select * from qfsjb where ysid=1") + p.Rows("select * from gjrg where ysid=1") +
                           p.Rows("select count(*) from fxrgb where ysid=1");

  ComputeCurrentAmounts(p.db(), Scope::Row(2), true);
  EXPECT_EQ(p.Rows("select * from qfsjb where ysid=1") + p.Rows("select * from gjrg where ysid=1") +
                p.Rows("select count(*) from fxrgb where ysid=1"),
            row1);
  // QT at 120: 12; the linked row on row 1's stored rgf 200: 20, priced once
  // and still marked. rgf 120+12+20 = 152; the single row settles whatever the
  // distance: fcf back to 31. Differences to 115 and 31.
  EXPECT_EQ(p.Rows("select bh,azfy,xxj,xhj from gjrg where ysid=2"), "QT | 0 | 120 | 12\n0000FE | 1 | 200 | 20\n");
  EXPECT_EQ(p.Rows("select rgf,fcf,rgjc,fcjc from qfsjb where ysid=2"), "152 | 31 | 37 | 0\n");
  EXPECT_EQ(p.Rows("select count(*) from fxrgb where ysid=2 and dw='%'"), "2\n");
}

TEST(CurrentAmounts, SecondRunOnTheSameAnalysisTablesCountsPercentageRowsAgain) {
  Project p;
  FeeRow(p, 1, 1, 110);
  Line(p, "fxrgb", 1, 100, 120);
  Percent(p, "gjrg", 1, "QT", 10, 100, 10);
  Compute(p);
  EXPECT_EQ(p.Rows("select rgf from qfsjb"), "132\n");  // 120 + 10% of 120
  // The first run's percentage line is now an analysis line: 120+12 = 132,
  // and the row is charged again on that, 13.2: 145.2.
  Compute(p);
  EXPECT_EQ(p.Rows("select rgf from qfsjb"), "145.2\n");
  EXPECT_EQ(p.Rows("select count(*) from fxrgb where bh='QT'"), "2\n");
}

TEST(CurrentAmounts, FailureReturnsTheEngineTextAndChangesNothing) {
  const std::pair<const char*, const char*> cases[] = {
      {"create table fxrgbtemp(ysid)", "table fxrgbtemp already exists"},
      {"create table aaaa(bh,ysid)", "table aaaa already exists"},
      {"drop table qddyb", "no such table: qddyb"},
  };
  for (const auto& [setup, message] : cases) {
    Project p;
    ChargedOnCharged(p, true);
    p.Execute(setup);
    const std::string before = p.Snapshot();
    EXPECT_EQ(p.orvane().JiSuanXXJ(true), message);
    EXPECT_EQ(p.Snapshot(), before) << setup;
  }
}

// Percentage rows join the analysis tables in the order they are stored,
// whatever index finds them: here row 2's lines were stored first, and of
// row 1's the later material id first.
TEST(CurrentAmounts, PercentageRowsJoinTheAnalysisInTheOrderTheyAreStored) {
  Project p;
  FeeRow(p, 1, 1, 10, 20, 30);
  FeeRow(p, 2, 1, 10, 20, 30);
  p.Insert("gjcl", {{"ysid", 2}, {"clid", 1}, {"bh", "C2"}, {"dw", "%"}, {"sl", 1.0}, {"dj", 20.0}, {"hj", 0.2}});
  p.Insert("gjcl", {{"ysid", 1}, {"clid", 9}, {"bh", "C9"}, {"dw", "%"}, {"sl", 1.0}, {"dj", 20.0}, {"hj", 0.2}});
  p.Insert("gjcl", {{"ysid", 1}, {"clid", 3}, {"bh", "C3"}, {"dw", "%"}, {"sl", 1.0}, {"dj", 20.0}, {"hj", 0.2}});
  Percent(p, "gjrg", 2, "R2", 1, 10, 0.1);
  Percent(p, "gjrg", 1, "R1", 1, 10, 0.1);
  Compute(p);
  EXPECT_EQ(p.Rows("select ysid,bh from fxclb order by rowid"), "2 | C2\n1 | C9\n1 | C3\n");
  EXPECT_EQ(p.Rows("select ysid,bh from fxrgb order by rowid"), "2 | R2\n1 | R1\n");
}

}  // namespace
}  // namespace quillmere
