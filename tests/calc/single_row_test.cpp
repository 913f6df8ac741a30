// Single-row recalculation: the unit price of one estimate row, and the five
// stages JiSuanZHDJ runs for it with their message boxes.

#include <gtest/gtest.h>

#include <string>

#include "calc/scope.h"
#include "calc/unitprice/unit_prices.h"
#include "quillmere/project.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// Sub-items 1 (labour plus machine) and 2 (labour only), both with labour
// 100, machine 20, material 50 and rates 0.1 / 0.05, quantity 2; row 1 has a
// main material priced 30.
class SingleRow : public ::testing::Test {
 protected:
  void SetUp() override {
    p.Execute(R"(insert into qfsjb (ysid,fbcch,jsjs,rgf,jxf,fcf,zcf,glffl,lrfl,glf,lr,zhdj,zhbj,sjgcl) values
        (1, 0, '人工+机械', 100, 20, 50, 4, 0.1, 0.05, 99, 99, 1, 1, 2),
        (2, 0, '人工',      100, 20, 50, 4, 0.1, 0.05, 99, 99, 1, 1, 2))");
    p.Execute("insert into zhys (ysid,fbcch,sjdj,sjbj,zcfdj,zcfhj) values (1,0,7,14,9,9),(2,0,7,14,9,9)");
    p.Execute("insert into gjcl (ysid,cllb,dj) values (1,'主材',30)");
  }
  Project p;
};

TEST_F(SingleRow, FeeProgrammeStoresTheTotalUnrounded) {
  AddFeeCodeColumns(p.db(), {"GLF", "ZHDJ"});
  p.FeeLine(1, "GLF", "[jsjs]").FeeLine(2, "ZHDJ", "rgf+clf+jxf+glf+lr");
  p.Execute("update qfsjb set rgf=33.33,jxf=0,clf=0,lr=0,sjgcl=3.333 where ysid=2");
  p.Insert("temp_zhys", {{"ysid", 2}, {"GLF_FL", 10.0}, {"ZHDJ_FL", 100.0}});
  // The working copy of another row is left as it is.
  p.Insert("temp_qfsjb", {{"ysid", 1}, {"zhdj", 5.0}});
  p.Insert("temp_qfsjb", {{"ysid", 2}, {"zhdj", 6.0}});
  ComputeUnitPrices(p.db(), Scope::Row(2), "", true);
  EXPECT_EQ(p.Rows("select ysid,glf,zhdj,zhbj from qfsjb where ysid=2"),
            // 33.33*10/100=3.333->3.33; 33.33+3.33=36.66; 36.66*3.333=122.18778, not rounded
            "2 | 3.33 | 36.66 | 122.18778\n");
  EXPECT_EQ(p.Rows("select ysid,zhdj from temp_qfsjb order by ysid"), "1 | 5\n2 | 36.66\n");
  EXPECT_EQ(p.Rows("select glf,zhdj from qfsjb where ysid=1"), "99 | 1\n");
}

// The main-material figures of every estimate row after one row is
// recalculated, whatever the host left in them. Row 1 is recalculated; the
// others carry stale figures.
class MainMaterialRefresh : public ::testing::Test {
 protected:
  void SetUp() override {
    p.Execute(R"(insert into zhys (ysid,fbcch,zcfdj,zcfhj) values
        (1, 0, 9, 9), (2, 0, 5, 5), (3, 0, 7, 7), (4, 1, 0, 3), (5, 1, 6, 6), (6, null, 2, 6), (7, 0, 0, 0))");
    // Row 7 has two fee rows, stored in this order; row 3 none.
    p.Execute(R"(insert into qfsjb (ysid,fbcch,jsjs,zcf) values
        (1, 0, '人工', 4), (2, 0, '人工', null), (4, 1, null, 0), (5, 1, null, 0), (6, null, null, 0),
        (7, 0, '人工', 5), (7, 0, '人工', 7))");
    // Row 7: an unpriced main material first, then two priced ones.
    p.Execute(R"(insert into gjcl (ysid,cllb,dj,xxj) values
        (1, '主材', 30, 0), (3, '主材', 12, null), (4, '主材', 8, 9), (4, '', 50, 0),
        (7, '主材', 0, 99), (7, '主材', 20, 0), (7, '主材', 10, 0))");
  }
  Project p;
};

TEST_F(MainMaterialRefresh, EveryRowTakesItsFeeRowAndFirstPricedMainMaterial) {
  ComputeUnitPrices(p.db(), Scope::Row(1), "", false);
  EXPECT_EQ(p.Rows("select ysid,zcfdj,zcfhj from zhys order by ysid"),
            // the recalculated row: its main material at base price, its fee row's zcf
            "1 | 30 | 4\n"
            // no main material: 0; a fee row without zcf passes on its null
            "2 | 0 | NULL\n"
            // a main material without current price passes on its null; no fee row: 0
            "3 | NULL | 0\n"
            // a section takes its main material's current price and keeps its total
            "4 | 9 | 3\n"
            // rows that are no sub-items and have no main material keep both
            "5 | 6 | 6\n6 | 2 | 6\n"
            // the first priced main material entered; the fee row stored last
            "7 | 20 | 7\n");
}

TEST_F(MainMaterialRefresh, OnlyTheRowsWhoseFiguresChangeAreWritten) {
  p.Execute("create table written (ysid)");
  p.Execute(
      "create trigger count_writes after update of zcfdj, zcfhj on zhys begin "
      "insert into written values (new.ysid); end");
  ComputeUnitPrices(p.db(), Scope::Row(1), "", false);
  // Rows 5 and 6 keep both figures and are not written; a row whose two
  // figures change is written once for each.
  EXPECT_EQ(p.Rows("select ysid,count(*) from written group by ysid order by ysid"),
            "1 | 2\n2 | 2\n3 | 2\n4 | 1\n7 | 2\n");
  p.Execute("delete from written");
  ComputeUnitPrices(p.db(), Scope::Row(1), "", false);
  EXPECT_EQ(p.Rows("select count(*) from written"), "0\n");
}

TEST(SingleRowRecalculation, AllFiveStepsSucceedAndALaterFailureKeepsTheEarlierSteps) {
  Project p;
  p.Execute(R"(insert into zhys (ysid,sjxh,qdlb,fbcch,yssl,sjgcl,jsjs,glffl,lrfl,sjdj) values
      (1, 1, 0, 0, 2, 2, '人工+机械', 0.1, 0.05, 7))");
  p.Execute("insert into gjrg (ysid,bh,mc,dw,dj,sl) values (1,'R1','综合工日','工日',50,2)");
  p.Execute("insert into gjjx (ysid,jxid,bh,mc,dw,dj,sl) values (1,1,'J1','搅拌机','台班',20,1)");
  p.Execute(R"(insert into gjcl (ysid,clid,bh,mc,dw,dj,sl,cllb,chaifen) values
      (1, 1, 'C1', '水泥', 't', 25, 2, '',     0),
      (1, 2, 'M1', '钢筋', 't', 30, 1, '主材', 0))");
  EXPECT_TRUE(p.orvane().JiSuanZHDJ(1, false));
  EXPECT_TRUE(p.orvane().Messages().empty());
  EXPECT_EQ(p.Rows("select rgf,fcf,zcf,jxf,glf,lr,zhdj,zhbj from qfsjb where ysid=1"),
            // labour 50*2, material 25*2, main material 30, machine 20; fees on 120: 12 and 6
            // 100+50+30+20+12+6 = 218; quantity 2: 436
            "100 | 50 | 30 | 20 | 12 | 6 | 218 | 436\n");
  EXPECT_EQ(p.Rows("select sjdj,zcfdj,zcfhj from zhys"), "7 | 30 | 30\n");

  // The unit price fails on a fee code that names no column. The four
  // earlier steps stay committed: the labour repriced at 60 (60*2 = 120) and
  // the fee row the base-price step rebuilt, whose fees stay 0 until a unit
  // price succeeds.
  AddFeeCodeColumns(p.db(), {"GLF"});
  p.FeeLine(1, "GL F", "[jsjs]");
  p.Execute("update gjrg set dj=60");
  p.orvane().ClearMessages();
  EXPECT_FALSE(p.orvane().JiSuanZHDJ(1, true));
  ASSERT_EQ(p.orvane().Messages().size(), 1u);
  EXPECT_EQ(p.orvane().Messages()[0].prompt,
            "由于“the fee code of the fee programme line 9 \"GL F\" cannot name a column: use letters, digits "
            "and underscores”的原因，导致计算综合单价失败！");
  EXPECT_EQ(p.orvane().Messages()[0].style, 64);
  EXPECT_EQ(p.Rows("select rgf,glf,zhdj from qfsjb where ysid=1"), "120 | 0 | 0\n");
}

TEST(SingleRowRecalculation, AFailingStepShowsOneBoxAndTheLaterStepsDoNotRun) {
  Project p;
  p.Insert("zhys", {{"ysid", 1}, {"fbcch", 0}, {"yssl", 2.0}, {"zcfdj", 9.0}});
  p.Insert("qfsjb", {{"ysid", 1}, {"fbcch", 0}, {"rgf", 100.0}, {"glffl", 0.1}});
  // The host's own trigger refuses the fee row the base prices rebuild.
  p.Execute(
      "create trigger refuse_fee_rows before insert on qfsjb "
      "begin select raise(abort, 'fee rows are read-only'); end");
  const std::string before = p.Snapshot();
  EXPECT_FALSE(p.orvane().JiSuanZHDJ(1, false));
  ASSERT_EQ(p.orvane().Messages().size(), 1u);
  const Message& box = p.orvane().Messages()[0];
  EXPECT_EQ(box.prompt, "由于“fee rows are read-only”的原因，导致计算基价失败！");
  EXPECT_EQ(box.style, 64);
  // Neither the unit price (glf, zhdj) nor the main-material price (zcfdj)
  // of the last step was touched.
  EXPECT_EQ(p.Snapshot(), before);
}

}  // namespace
}  // namespace quillmere
