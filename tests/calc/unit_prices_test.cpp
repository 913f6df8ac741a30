// Comprehensive unit prices of the whole project: sub-item fees through the
// fee programme, bill items summed from their
// sub-items, section totals and the prices written onto the estimate rows.

#include <gtest/gtest.h>

#include <string>

#include "quillmere/project.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

constexpr const char* kQuotaPricing = "定额计价法";
constexpr const char* kBillPricing = "清单计价法";

// Sub-items at fixed rates: management fee and profit on labour plus
// machines (also where no basis is named) or on labour alone; a sub-item on
// any other basis keeps its fees. Its row takes the unit price and the total
// on its own quantity, rounded to the cent.
TEST(SubItems, TakeTheirFeesOnTheirBasisAndTheirPriceOntoTheirRow) {
  Project p;
  p.Execute(R"(insert into qfsjb (ysid,fbcch,jsjs,rgf,fcf,zcf,jxf,glffl,lrfl,glf,lr,sjgcl) values
      (1, 0, '人工+机械', 10, 1, 2, 5, 0.1, 0.05, 0, 0, 3), (2, 0, null, 10, 1, 2, 5, 0.1, 0.05, 0, 0, 3),
      (3, 0, '人工',      10, 1, 2, 5, 0.1, 0.05, 0, 0, 3), (4, 0, '无',  10, 1, 2, 5, 0.1, 0.05, 7, 8, 3))");
  p.Execute("insert into zhys (ysid,fbcch,yssl) values (1,0,1.11),(2,0,1),(3,0,1),(4,0,1)");
  ASSERT_EQ(p.orvane().JiSuanZHDJ_QB(kQuotaPricing, false), "");
  EXPECT_EQ(p.Rows("select ysid,glf,lr,zhdj,zhbj from qfsjb order by ysid"),
            "1 | 1.5 | 0.75 | 20.25 | 60.75\n2 | 1.5 | 0.75 | 20.25 | 60.75\n"
            "3 | 1 | 0.5 | 19.5 | 58.5\n4 | 7 | 8 | 33 | 99\n");
  // 20.25 * 1.11 = 22.4775
  EXPECT_EQ(p.Rows("select sjdj,sjbj from zhys where ysid=1"), "20.25 | 22.48\n");
}

// An estimate row whose row id two fee rows share takes its prices from the
// last of them.
TEST(SubItems, ARowIdTwoFeeRowsShareTakesTheLastOne) {
  Project p;
  p.Execute(R"(insert into qfsjb (ysid,fbcch,jsjs,rgf,fcf,zcf,jxf,glffl,lrfl,sjgcl) values
      (5, 0, '人工', 10, 1, 2, 5, 0.1, 0.05, 1), (5, 0, '人工', 10, 1, 2, 5, 0.2, 0.05, 1))");
  p.Execute("insert into zhys (ysid,fbcch,yssl) values (5,0,1)");
  ASSERT_EQ(p.orvane().JiSuanZHDJ_QB(kQuotaPricing, false), "");
  // 10 + 1 + 2 + 5 + glf 2 + lr 0.5
  EXPECT_EQ(p.Rows("select sjdj from zhys"), "20.5\n");
}

// A bill item (10) with two sub-items of ratio 0.5 (11) and 1.5 (12), and a
// second bill item (20) whose only sub-item has no quantity.
class BillItems : public ::testing::Test {
 protected:
  void SetUp() override {
    p.Execute(R"(insert into qfsjb (ysid,fbcch,jsjs,glffl,sjgcl_qd,zrg,rgf,fcf,zcf,jxf,zcf_qd,sjgcl,dergdj) values
        (10, 5, '人工+机械', 0.5, 0,   0,      0,  0,    0,   0, 7.5, 4, 1),
        (11, 0, '人工',      0.1, 0.5, 0.3333, 10, 3.33, 100, 2, 0,   0, 0),
        (12, 0, '人工',      0.1, 1.5, 0.1,    20, 1.01, 0,   4, 0,   0, 0),
        (20, 5, null,        0,   0,   0,      0,  0,    0,   0, 0,   0, 42),
        (21, 0, null,        0,   1,   0,      0,  0,    0,   0, 0,   0, 0))");
    p.Execute("insert into qddyb (ysid,fb5) values (11,10),(12,10),(21,20)");
    p.Execute("insert into zhys (ysid,fbcch,sjgcl) values (11,0,2),(12,0,6),(21,0,0)");
    // Labour of the sub-items; only ordinary labour with a quantity counts
    // for the bill item's labour price.
    p.Execute(R"(insert into gjrg (ysid,dw,dj,xxj,sl) values
        (11, '工日', 100,  0,  1.5), (11, '%', 1000, 0, 5), (11, '元', 1, 0, 100), (11, '工日', 500, 0, 0),
        (12, '工日', 80,   90, 0.7),
        (21, '工日', 80,   0,  1))");
  }
  Project p;
};

TEST_F(BillItems, SumTheirSubItemsPerBillUnitRoundedBeforeSumming) {
  ASSERT_EQ(p.orvane().JiSuanZHDJ_QB(kBillPricing, false), "");
  EXPECT_EQ(p.Rows("select ysid,zrg,rgf,fcf,jxf,glf,lr,zhdj,zhbj,dergdj from qfsjb where fbcch=5 order by ysid"),
            // zrg: 0.3333*0.5=0.16665->0.1667 + 0.1*1.5=0.15 = 0.3167
            // rgf: 10*0.5 + 20*1.5 = 35; fcf: 1.665->1.67 + 1.515->1.52 = 3.19
            // jxf: 2*0.5 + 4*1.5 = 7; glf: sub-items 10*0.1=1 and 20*0.1=2 -> 0.5 + 3 = 3.5
            // zhdj: 35+3.19+7+3.5+0 + zcf_qd 7.5 (not the sub-items' zcf) = 56.19; *4 = 224.76
            // labour price weighted by quantity, only ordinary labour with a quantity:
            // (2*100*1.5 + 6*90*0.7) / (2*1.5 + 6*0.7) = 678/7.2 = 94.1666.. -> 94.17
            "10 | 0.3167 | 35 | 3.19 | 7 | 3.5 | 0 | 56.19 | 224.76 | 94.17\n"
            // its only sub-item has no quantity: the bill item keeps its labour price
            "20 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 42\n");
}

TEST_F(BillItems, AFailingLabourPriceIsSkippedButNothingElseIs) {
  // A word for a quantity counts as 0, as SQL counts it: 378 / 4.2.
  p.Execute("update gjrg set sl='some' where ysid=11 and dj=100");
  ASSERT_EQ(p.orvane().JiSuanZHDJ_QB(kBillPricing, false), "");
  EXPECT_EQ(p.Rows("select dergdj from qfsjb where ysid=10"), "90\n");

  p.Execute("drop table gjrg");
  ASSERT_EQ(p.orvane().JiSuanZHDJ_QB(kBillPricing, false), "");
  EXPECT_EQ(p.Rows("select ysid,dergdj,zhdj from qfsjb where fbcch=5 order by ysid"), "10 | 90 | 56.19\n20 | 42 | 0\n");

  p.Execute("drop table fbdyb");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanZHDJ_QB(kBillPricing, false); }), "no such table: fbdyb");
}

// Sections over two bill items and three sub-items:
//   100 (level 1, bzj false) > 200 (level 2, bzj true) > bill item 10 > sub-items 11, 12
//   100 > bill item 20 > sub-item 21;  300 (level 3, bzj true) has nothing under it.
// Bill item 10 has quantity 1.9, and 3.8 under a section lending it 2.
class Sections : public ::testing::Test {
 protected:
  void SetUp() override {
    p.Execute(R"(insert into zhys (ysid,fbcch,bzj,yssl,sjdj,zcfdj) values
        (100, 1, 0, 1, 5, 0), (200, 2, 1, 1, 5, 0), (300, 3, 1, 1, 5, 0),
        (10, 5, null, 1.9, 0, 0), (11, 0, null, 3, 0, 1), (12, 0, null, 2, 0, 1))");
    // Sub-items on another fee basis, so their fees stay 0.
    p.Execute(R"(insert into qfsjb (ysid,fbcch,jsjs,rgf,zcf,sjgcl,sjgcl_qd,zcf_qd,zgj_qd,zgjhj_qd,rgjj,fcjj,jxjj) values
        (100, 1, null, 0,  0, 0,   0,   0, 0,    0,   0, 0,   0),
        (200, 2, null, 0,  0, 0,   0,   0, 0,    0,   0, 0,   0),
        (300, 3, null, 0,  0, 0,   0,   0, 0,    0,   0, 0,   0),
        (10,  5, null, 0,  0, 3.8, 0,   0, 2.25, 4.5, 0, 0,   0),
        (20,  5, null, 0,  0, 1,   0,   3, 0,    1,   0, 0,   0),
        (11,  0, '无', 10, 8, 3,   1.5, 0, 0,    2,   9, 0.5, 0.25),
        (12,  0, '无', 5,  0, 2,   1,   0, 0,    0,   0, 0,   0),
        (21,  0, '无', 7,  0, 1,   1,   0, 0,    0,   0, 0,   0))");
    p.Execute(
        "insert into qddyb (ysid,fb1,fb2,fb3,fb4,fb5) values (11,100,200,0,0,10),(12,100,200,0,0,10),"
        "(21,100,0,0,0,20)");
    // Main materials: sub-item 11 has two priced ones (the second with the
    // lower material id), 12 only one without price.
    p.Execute(R"(insert into gjcl (ysid,clid,cllb,dj,xxj) values
        (11, 2, '主材', 30, 0), (11, 1, '主材', 40, 45), (11, 3, '', 5, 0), (12, 1, '主材', 0, 12))");
  }
  Project p;
};

TEST_F(Sections, SumTheSubItemsUnderQuotaPricingAndTheDistinctBillItemsOtherwise) {
  const char* kSections = "select ysid,zhbj,zgjhj_qd from qfsjb where fbcch between 1 and 4 order by ysid";
  ASSERT_EQ(p.orvane().JiSuanZHDJ_QB(kQuotaPricing, false), "");
  EXPECT_EQ(p.Rows(kSections),
            // sub-item totals (10+zcf 8)*3=54, 5*2=10, 7*1=7: level 1 = 71, level 2 = 64;
            // provisional 2 from sub-item 11
            "100 | 71 | 2\n200 | 64 | 2\n300 | 0 | 0\n");
  ASSERT_EQ(p.orvane().JiSuanZHDJ_QB(kBillPricing, false), "");
  EXPECT_EQ(p.Rows(kSections),
            // bill 10: 10*1.5 + 5*1 = 20, *3.8 = 76; bill 20: 7 + zcf_qd 3 = 10
            // level 1 = 76+10 = 86 (each bill item once), provisional 4.5+1; level 2 = 76
            "100 | 86 | 5.5\n200 | 76 | 4.5\n300 | 0 | 0\n");
  EXPECT_EQ(p.Rows("select ysid,sjdj,sjbj,zgjdj,zgjhj,rgdj,dejj,zcfdj,zcfhj from zhys order by ysid"),
            // bill item: unit price 20, total on its own quantity 20*1.9=38, provisional
            // 2.25 / 4.5, labour 20
            "10 | 20 | 38 | 2.25 | 4.5 | 20 | 0 | 0 | 0\n"
            // sub-item: 10+zcf 8 = 18, *3=54; base price 9+0.5+0.25; main material of
            // the first priced main-material row entered (30), its amount zcf 8
            "11 | 18 | 54 | 0 | 2 | 10 | 9.75 | 30 | 8\n"
            // no priced main material: cleared
            "12 | 5 | 10 | 0 | 0 | 5 | 0 | 0 | 0\n"
            // sections: the total; without own quantity (bzj false) also the
            // unit price; a section with total 0 gets unit price 0
            "100 | 86 | 86 | 0 | 5.5 | 0 | 0 | 0 | 0\n200 | 5 | 76 | 0 | 4.5 | 0 | 0 | 0 | 0\n"
            "300 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0\n");
}

// The fee programme: codes GLF and LR are the fee rows' glf and lr (names
// compare without case), AQWM is a fee of its own, ZHDJ the unit price.
class FeeProgramme : public ::testing::Test {
 protected:
  void SetUp() override { AddFeeCodeColumns(p.db(), {"GLF", "LR", "AQWM", "ZHDJ"}); }
  // Rates "(ysid, GLF_FL, LR_FL, AQWM_FL, ZHDJ_FL),...".
  void Rates(const std::string& rows) {
    p.Execute("insert into temp_zhys(ysid,GLF_FL,LR_FL,AQWM_FL,ZHDJ_FL) values " + rows);
  }
  Project p;
};

TEST_F(FeeProgramme, SubItemLinesRunInCalculationOrderWithTheirRowsRates) {
  // Stored out of order; the summary programme (kind 2) is not this one.
  p.FeeLine(3, "ZHDJ", "rgf+clf+jxf+glf+lr");
  p.FeeLine(1, "GLF", "[jsjs]");
  p.FeeLine(2, "LR", "[jsjs]");
  p.Insert("qfjjcxb", {{"fycode", "ZHDJ"}, {"sjgs", "0"}, {"leixing", 2}, {"jsxh", 9}});
  p.Execute(R"(insert into qfsjb (ysid,fbcch,jsjs,rgf,jxf,clf,zhdj,sjgcl) values
      (1, 0, '人工+机械', 100,   20, 50, 1, 2),
      (2, 0, '人工',      100,   20, 50, 1, 2),
      (3, 0, '人工',      33.33, 0,  0,  1, 3.333),
      (4, 0, '材料',      100,   20, 50, 1, 2))");
  // A second rate row of row 1 comes last: the first stored counts.
  Rates("(1,10,5,0,100),(2,20,5,0,100),(3,12.5,3.5,0,100),(4,10,5,0,100),(1,99,99,99,99)");
  ASSERT_EQ(p.orvane().JiSuanZHDJ_QB(kQuotaPricing, true), "");
  EXPECT_EQ(p.Rows("select ysid,glf,lr,zhdj,zhbj from qfsjb order by ysid"),
            // (100+20)*10/100=12, *5/100=6; 100+50+20+12+6=188; *2=376
            "1 | 12 | 6 | 188 | 376\n"
            // its own rate 20: 100*20/100=20, lr 5; 100+50+20+20+5=195; *2=390
            "2 | 20 | 5 | 195 | 390\n"
            // 33.33*12.5/100=4.16625->4.17, *3.5/100=1.16655->1.17; 38.67; *3.333=128.88711->128.89
            "3 | 4.17 | 1.17 | 38.67 | 128.89\n"
            // another fee basis: no line computes anything, values copied back
            "4 | 0 | 0 | 1 | 2\n");
  EXPECT_EQ(p.Rows("select ysid,GLF_FL,ZHDJ_FL from temp_qfsjb order by ysid"),
            "1 | 10 | 100\n2 | 20 | 100\n3 | 12.5 | 100\n4 | 10 | 100\n");
}

TEST_F(FeeProgramme, FormulasNameEarlierFeesAndUseTheDesktopDialect) {
  // 3/100 divides as reals; isnull in any case is the null test.
  p.FeeLine(1, "AQWM", "[jsjs]*(3/100)");
  p.FeeLine(2, "ZHDJ", "rgf+[AQWM]+iif(IsNull(clf),0,clf)+iif(isnull (jxf),1000,0)");
  p.Execute(
      "insert into qfsjb (ysid,fbcch,jsjs,rgf,jxf,clf,sjgcl) values (1,0,'人工+机械',100,20,null,1),"
      "(2,0,'人工',100,20,50,1)");
  Rates("(1,0,0,100,100),(2,0,0,50,100)");
  ASSERT_EQ(p.orvane().JiSuanZHDJ_QB(kQuotaPricing, true), "");
  // AQWM (100+20)*0.03*100/100 = 3.6 and 100*0.03*50/100 = 1.5; zhdj
  // 100+3.6+0 (clf is null) and 100+1.5+50.
  EXPECT_EQ(p.Rows("select q.ysid,t.AQWM,q.zhdj from qfsjb q join temp_qfsjb t on t.ysid=q.ysid order by q.ysid"),
            "1 | 3.6 | 103.6\n2 | 1.5 | 151.5\n");
}

TEST_F(FeeProgramme, BillItemLinesRunOnTheSummedComponents) {
  p.FeeLine(1, "GLF", "[jsjs]");
  p.FeeLine(2, "LR", "[jsjs]");
  // On a bill item: lower case, [jsjs] and jsjs stand for 1, [glffl] and
  // glffl for glf, [lrfl] and lrfl for lr: (glf+lr)*1+1*0.5. Sub-items have
  // rate 0 for it.
  p.FeeLine(3, "AQWM", "([GLFFL]+LRFL)*[JSJS]+jsjs*0.5");
  p.FeeLine(4, "ZHDJ", "rgf+fcf+zcf+jxf+glf+lr+aqwm");
  p.Execute(
      R"(insert into qfsjb (ysid,fbcch,jsjs,sjgcl,sjgcl_qd,glffl,lrfl,rgf,jxf,fcf,fcjj,fcjc,zcf,zcjj,zcjc,zhdj) values
      (10, 5, null,        2, 0,   0.3, 0.2, 0,  0, 0,   0, 0,   0, 0, 0, 0),
      (11, 0, '人工+机械', 0, 0.5, 0,   0,   10, 2, 4.2, 3, 1,   7, 6, 1, 0),
      (12, 0, '人工',      0, 1.5, 0,   0,   20, 4, 1.2, 1, 0.2, 2, 2, 0, 0),
      (30, 5, null,        2, 0,   0,   0,   4,  0, 0,   0, 0,   0, 0, 0, 9))");
  p.Execute("insert into qddyb (ysid,fb5) values (11,10),(12,10)");  // bill item 30 has no sub-items
  Rates("(11,10,5,0,100),(12,10,5,0,100)");
  ASSERT_EQ(p.orvane().JiSuanZHDJ_QB(kBillPricing, true), "");
  EXPECT_EQ(p.Rows("select ysid,glf,lr,zhdj from qfsjb where fbcch=0 order by ysid"),
            // 12*0.1=1.2, 0.6; 10+4.2+7+2+1.2+0.6 = 25
            "11 | 1.2 | 0.6 | 25\n"
            // 20*0.1=2, 1; 20+1.2+2+4+2+1 = 30.2
            "12 | 2 | 1 | 30.2\n");
  EXPECT_EQ(p.Rows("select ysid,rgf,fcf,zcf,zcf_qd,jxf,glf,lr,zhdj,zhbj from qfsjb where fbcch=5 order by ysid"),
            // rgf 10*0.5+20*1.5=35; fcf = fcjj 3 + fcjc 0.8 = 3.8 (not the sub-items' own
            // settled 4.2*0.5+1.2*1.5 = 3.9); zcf = (6+1)*0.5+2*1.5 = 6.5
            // jxf 1+6=7; glf 0.6+3=3.6 and lr 0.3+1.5=1.8 kept by their lines
            // aqwm (3.6+1.8)*1+0.5 = 5.9; zhdj 35+3.8+6.5+7+3.6+1.8+5.9 = 63.6; *2 = 127.2
            "10 | 35 | 3.8 | 6.5 | 6.5 | 7 | 3.6 | 1.8 | 63.6 | 127.2\n"
            // no line runs on it: copied back as it was, with its total 9*2
            "30 | 4 | 0 | 0 | 0 | 0 | 0 | 0 | 9 | 18\n");
  EXPECT_EQ(p.Rows("select AQWM from temp_qfsjb where ysid=10"), "5.9\n");
}

TEST_F(FeeProgramme, CodesMustBeColumnsAndFormulasOneExpressionOrTheStageRollsBack) {
  p.Execute("insert into qfsjb (ysid,fbcch,jsjs,rgf,zhdj,sjgcl) values (1,0,'人工',40,50,3)");
  p.Execute("insert into zhys (ysid,fbcch) values (1,0)");
  p.Execute("insert into temp_qfsjb (ysid,zhdj) values (99,7)");
  Rates("(1,10,0,0,0)");
  const std::string kNot = "the formula of the fee programme line 9 \"GLF\" is not a fee formula: ";
  const struct {
    const char* formula;  // of the line GLF
    const char* code;     // of a second line "rgf", if any
    std::string error;
  } cases[] = {
      {"[jsjs]", "NOPE", "no such column: NOPE_FL"},
      {"[jsjs]", "G-F",
       "the fee code of the fee programme line 8 \"G-F\" cannot name a column: use letters, digits and underscores"},
      {"rgf) + (1", nullptr, kNot + "it closes a parenthesis it did not open"},
      {"(rgf", nullptr, kNot + "a parenthesis is not closed"},
      {"rgf+'x", nullptr, kNot + "a quoted text or bracketed name is not closed"},
      {"rgf & jxf", nullptr, kNot + "\"&\" joins texts, it does not compute an amount"},
      {"rgf; delete from zhys", nullptr, kNot + "\";\" has no place in a fee formula"},
  };
  for (const auto& c : cases) {
    p.Execute("delete from qfjjcxb");
    p.FeeLine(1, "GLF", c.formula);
    if (c.code) p.FeeLine(2, c.code, "rgf");
    EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanZHDJ_QB(kQuotaPricing, true); }), c.error);
  }
  // Texts and bracketed names may hold anything.
  p.Execute("delete from qfjjcxb");
  p.FeeLine(1, "GLF", "rgf+iif('a)--b;'='x',1,0)+[rgf]*0");
  ASSERT_EQ(p.orvane().JiSuanZHDJ_QB(kQuotaPricing, true), "");
  EXPECT_EQ(p.Rows("select glf from qfsjb"), "4\n");  // 40*10/100
}

}  // namespace
}  // namespace quillmere
