// Bill item unit price on demand: the mapping, the fee parts per bill unit,
// the material list with its provisional prices, and the fee programme of
// the bill item; the failure box.

#include <gtest/gtest.h>

#include <string>

#include "quillmere/project.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// Bill item 10 (quantity 4) with sub-items 11 (quantity 2, ratio 0.5) and 12
// (quantity 6, ratio 1.5). Sub-item 11 uses cement and the main material
// "钢筋 φ12", which the list prices provisionally; 12 uses cement only.
class BillItemPrice : public ::testing::Test {
 protected:
  void SetUp() override {
    p.Execute(R"(insert into zhys (ysid,sjxh,qdlb,fbcch,yssl,jsjs,glffl,lrfl,fxfl) values
        (10, 5, 0, 5, 4, '人工+机械', 0.1, 0.05, 0.01), (11, 0, 0, 0, 2, null, 0, 0, 0), (12, 0, 0, 0, 6, null, 0, 0, 0))");
    p.Execute(
        R"(insert into qfsjb (ysid,fbcch,zhdj,dergdj,rgf,fcf,jxf,glf,lr,zrg,rgjj,rgjc,fcjj,fcjc,zcjj,zcjc,jxjj,jxjc)
        values (10, 5, 999, 55, 0,  0,    0, 0,   0,   0,      0,  0, 0, 0,    0, 0, 0,   0),
               (11, 0, 0,   0,  10, 3.33, 2, 1.2, 0.6, 0.3333, 9,  1, 3, 0.33, 6, 1, 2,   0),
               (12, 0, 0,   0,  20, 1.01, 4, 2.4, 1.2, 0.1,    20, 0, 1, 0.01, 2, 0, 3.5, 0.5))");
    // A stale mapping row of this bill item, and one of another bill item.
    p.Execute("insert into qddyb (ysid,fb5,sjgcl_qd) values (13,10,0),(21,20,1)");
    // Per sub-item: a percentage row and a row without quantity stay out.
    p.Execute(R"(insert into fxclb (ysid,bh,mc,dw,dj,xxj,sl,cllb) values
        (11, 'C1', '水泥',       't', 300,  320, 0.25, ''),
        (11, 'M1', '钢筋 φ12',   't', 4000, 0,   0.1,  '主材'),
        (11, 'P1', '其他材料费', '%', 100,  0,   2,    ''),
        (11, 'Z1', '砂',         't', 50,   0,   0,    ''),
        (12, 'C1', '水泥',       't', 300,  320, 0.1,  ''))");
    p.Execute("insert into zgjclb (bh,mc,ggxh,dw,dj,iszb) values ('M1','钢筋','φ12','t',4000,0)");
  }
  double Price(const char* subitems, bool own_quantities, bool fee_programme, int bill_item = 10) {
    zgj = 7;
    return p.orvane().JiSuanQDDJ(bill_item, subitems, own_quantities, zgj, fee_programme);
  }
  Project p;
  double zgj = 7;
};

TEST_F(BillItemPrice, OwnQuantitiesAreTheRatiosAndABillItemWithoutQuantityGetsZero) {
  // Ratios 2 and 6: rgf 20+120=140, fcf 6.66+6.06=12.72, jxf 4+24=28, glf 2.4+14.4=16.8,
  // lr 1.2+7.2=8.4; main material 0.2 t = 800 -> 1005.92
  EXPECT_DOUBLE_EQ(Price("11,12", true, false), 1005.92);
  EXPECT_DOUBLE_EQ(zgj, 800);
  EXPECT_EQ(p.Rows("select ysid,sjgcl_qd from qddyb where fb5=10 order by ysid"), "11 | 2\n12 | 6\n");

  // Bill quantity 3: sub-item 11's ratio 2 / 3 keeps six decimals.
  p.Execute("update zhys set yssl=3 where ysid=10");
  Price("11", false, false);
  EXPECT_EQ(p.Rows("select sjgcl_qd from qddyb where fb5=10"), "0.666667\n");

  p.Execute("update zhys set yssl=0 where ysid=10");
  for (bool own : {true, false}) {
    EXPECT_DOUBLE_EQ(Price("11,12", own, false), 0) << own;
    EXPECT_DOUBLE_EQ(zgj, 0) << own;
    EXPECT_EQ(p.Rows("select ysid,sjgcl_qd from qddyb where fb5=10 order by ysid"), "11 | 0\n12 | 0\n") << own;
    EXPECT_EQ(p.Rows("select rgf,fcf,jxf,glf,lr,fcf_qd,zcf_qd,zgjhj_qd from qfsjb where ysid=10"),
              "0 | 0 | 0 | 0 | 0 | 0 | 0 | 0\n")
        << own;
  }
  EXPECT_TRUE(p.orvane().Messages().empty());
}

TEST_F(BillItemPrice, PlainListPiecesAreReadAsTheNumberTheyBeginWith) {
  // " 1 2abc" reads 12 (blanks ignored); "" and "x12" read 0, a row that
  // is no estimate row; 11 counts twice.
  EXPECT_DOUBLE_EQ(Price("11, 11,,x12, 1 2abc", false, false), 460.06);
  EXPECT_DOUBLE_EQ(zgj, 400);
  EXPECT_EQ(p.Rows("select ysid,sjgcl,sjgcl_qd from qddyb where fb5=10 order by rowid"),
            "11 | 2 | 0.5\n11 | 2 | 0.5\n0 | 0 | 0\n0 | 0 | 0\n12 | 6 | 1.5\n");
  // rgf 5+5+30=40; fcf 1.67*2+1.52=4.86; jxf 1+1+6=8; glf 0.6*2+3.6=4.8; lr 0.3*2+1.8=2.4;
  // main material 0.05 t twice: 400; 40+4.86+8+4.8+2.4+400 = 460.06
  EXPECT_EQ(p.Rows("select rgf,fcf,jxf,glf,lr,zcf_qd from qfsjb where ysid=10"), "40 | 4.86 | 8 | 4.8 | 2.4 | 400\n");
}

TEST_F(BillItemPrice, FeeProgrammeModeAcceptsOnlyWholeNumbersSeparatedByCommas) {
  const std::string before = p.Snapshot();
  for (const char* list : {"11;delete from zhys", "11,,12", "11 12", "1.5", "11,", "+-11", "11) or (1=1"}) {
    p.orvane().ClearMessages();
    EXPECT_DOUBLE_EQ(Price(list, false, true), 0) << list;
    EXPECT_DOUBLE_EQ(zgj, 0) << list;
    ASSERT_EQ(p.orvane().Messages().size(), 1u) << list;
    EXPECT_EQ(p.orvane().Messages()[0].prompt, std::string("由于“the sub-item list \"") + list +
                                                   "\" is not a list of estimate row ids separated by commas”的原因，"
                                                   "导致计算清单综合单价失败！");
    EXPECT_EQ(p.orvane().Messages()[0].style, 64);
    EXPECT_EQ(p.Snapshot(), before) << list;
  }
  // Blanks around the ids and a plus sign are fine; only existing rows are
  // mapped, each once.
  p.orvane().ClearMessages();
  p.Execute("update qfsjb set sjgcl_qd=0");
  Price(" 11 , +11,12,999 ", false, true);
  EXPECT_TRUE(p.orvane().Messages().empty());
  EXPECT_EQ(p.Rows("select ysid from qddyb where fb5=10 order by ysid"), "11\n12\n");
}

TEST_F(BillItemPrice, FeeProgrammeModeRunsTheBillItemLinesOnItsSums) {
  AddFeeCodeColumns(p.db(), {"GLF", "LR", "AQWM", "ZHDJ"});
  p.FeeLine(1, "GLF", "[jsjs]*[glffl]").FeeLine(2, "LR", "[jsjs]*[lrfl]");
  p.FeeLine(3, "AQWM", "([GLFFL]+LRFL)*[JSJS]+jsjs*0.5").FeeLine(4, "ZHDJ", "rgf+fcf+zcf+jxf+glf+lr+aqwm");
  // The sub-items' working rows, as the whole-project run leaves them.
  p.Insert("temp_qfsjb", {{"ysid", 11}, {"fbcch", 0}}).Insert("temp_qfsjb", {{"ysid", 12}, {"fbcch", 0}});
  // AQWM = (4.2+2.1)*1 + 1*0.5 = 6.8; the GLF and LR lines keep the sums;
  // zhdj = 35 + fcf 3.19 + zcf 6.5 + 7 + 4.2 + 2.1 + 6.8 = 64.79
  EXPECT_DOUBLE_EQ(Price("11,12", false, true), 64.79);
  EXPECT_DOUBLE_EQ(zgj, 200);
  EXPECT_EQ(p.Rows("select zrg,rgjj,rgjc,fcjj,fcjc,zcjj,zcjc,jxjj,jxjc from qfsjb where ysid=10"),
            // zrg 0.16665->0.1667 + 0.15; rgjj 4.5+30; rgjc 0.5; fcjj 1.5+1.5; fcjc 0.165->0.17 +
            // 0.015->0.02; zcjj 3+3; zcjc 0.5; jxjj 1+5.25; jxjc 0.75
            "0.3167 | 34.5 | 0.5 | 3 | 0.19 | 6 | 0.5 | 6.25 | 0.75\n");
  EXPECT_EQ(p.Rows("select rgf,fcf,zcf,zcf_qd,jxf,glf,lr,zhdj,zhbj from qfsjb where ysid=10"),
            // fcf = fcjj+fcjc, zcf and zcf_qd = zcjj+zcjc; the total 64.79*4 rounded (regression:
            // it used to come back as the working row's 0)
            "35 | 3.19 | 6.5 | 6.5 | 7 | 4.2 | 2.1 | 64.79 | 259.16\n");
  EXPECT_EQ(p.Rows("select ysid,sjgcl,sjgcl_qd,AQWM from temp_qfsjb order by ysid"),
            "10 | 4 | 0 | 6.8\n11 | 2 | 0.5 | 0\n12 | 6 | 1.5 | 0\n");

  // A bill-item line whose code is no column fails the call, database unchanged.
  p.FeeLine(9, "NOPE", "1");
  EXPECT_DOUBLE_EQ(p.Unchanged([&] { return Price("11,12", false, true); }), 0);
  EXPECT_EQ(p.orvane().Messages().back().prompt, "由于“no such column: NOPE”的原因，导致计算清单综合单价失败！");
}

TEST_F(BillItemPrice, ProvisionalPriceClassesFollowTheList) {
  p.Execute("delete from fxclb");
  p.Execute("delete from zgjclb");
  // Each material 2 units per sub-item 11, ratio 0.5: quantity 1.
  p.Execute(R"(insert into fxclb (ysid,bh,mc,dw,dj,xxj,sl,cllb) values
      (11, 'A1', '砂',        't', 50,  0,    2, ''),
      (11, 'A2', '石子 5-20', 't', 60,  70,   2, '主材'),
      (11, 'A3', '水泥',      't', 300, 0,    2, '主材'),
      (11, 'A4', '砖',        't', 0.5, 0.52, 2, ''),
      (11, 'A5', '钢',        't', 10,  0,    2, ''))");
  p.Execute(R"(insert into zgjclb (bh,mc,ggxh,dw,dj,iszb) values
      ('A1', '砂',   '',     't', 50,    null),
      ('A2', '石子', '5-20', 't', 70,    0),
      ('A3', '水泥', '',     't', 300,   1),
      ('A4', '砖',   '',     't', 0.521, 0),
      ('A5', '钢',   'Q235', 't', 10,    0))");
  Price("11", false, false);
  EXPECT_EQ(p.Rows("select bh,xhj,cllb from qdclb order by bh"),
            // an entry without ggxh matches the bare name (regression: the
            // name was always built with a blank, so it never matched here)
            "A1 | 50 | 2\n"
            // main material at the listed current price
            "A2 | 70 | 3\n"
            // owner-supplied entries do not count
            "A3 | 300 | 1\n"
            // a price that differs in any digit does not match
            "A4 | 0.52 | 0\n"
            // the entry's ggxh is part of the name
            "A5 | 10 | 0\n");
  // ordinary 50+0.52+10, main 70+300, provisional 50+70 (times 4 for the whole bill item)
  EXPECT_DOUBLE_EQ(zgj, 120);
  EXPECT_EQ(p.Rows("select fcf_qd,zcf_qd,zgj_qd,zgjhj_qd from qfsjb where ysid=10"), "60.52 | 370 | 120 | 480\n");
}

}  // namespace
}  // namespace quillmere
