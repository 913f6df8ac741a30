// Project fee variables: the bills summed in each pricing mode, works
// categories, labour days, owner-supplied material, independent fees,
// electricity and water.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// Registers fee variables of kind 2, each starting at `initial` so that a
// variable the run does not write stands out.
void AddVariables(Project& p, std::initializer_list<const char*> names, double initial) {
  for (const char* name : names) p.Insert("qfblb", {{"fymc", name}, {"blsz", initial}, {"bllx", 2}});
}

std::string Variables(Project& p) { return p.Rows("select fymc, blsz from qfblb order by rowid"); }

// Fee rows of both bills, as quota sub-items (level 0) and bill items
// (level 5), with amounts whose per-row rounding shows in the sums.
void AddPricedRows(Project& p) {
  // clang-format off
  p.Execute("insert into qfsjb(ysid, fbcch, qdlb, sjgcl, zhdj, zhbj, rgf, fcf, zcf, zcf_qd, zgjhj_qd, jxf, glf, lr, zrg) values"
            "(1, 0, 0, 1, 1.005,  50,   0.125, 0.335, 2,   7,     4,   0.5, 0.105, 0.015, 0.125),"
            "(2, 0, 0, 5, 0.401,  60,   0.201, 1,     0.5, 9,     6,   0.3, 0.021, 0.003, 0.201),"
            "(3, 5, 0, 2, 40,     80.5, 1.005, 2,     5,   3.333, 10,  1,   0.5,   0.25,  100),"
            "(4, 0, 1, 2, 10.125, 1,    1,     2,     3,   4,     2.5, 0.5, 0.25,  0.125, 1.5),"
            "(5, 5, 1, 1, 30,     30.3, 5,     6,     7,   8,     1.5, 2,   1,     0.5,   0)");
  // clang-format on
}

constexpr std::initializer_list<const char*> kBillVariables = {
    "工程量清单计价",   "人工费(分部分项)", "材料费(分部分项)", "主材费(分部分项)", "暂估价(分部分项)",
    "材料暂估价",       "机械费(分部分项)", "管理费(分部分项)", "利润(分部分项)",   "施工技术措施",
    "人工费(措施项目)", "材料费(措施项目)", "主材费(措施项目)", "暂估价(措施项目)", "机械费(措施项目)",
    "管理费(措施项目)", "利润(措施项目)"};

TEST(FeeVariables, BillsSumRoundedRowsOfSubItemsOrStoredTotalsOfBillItems) {
  Project p;
  AddPricedRows(p);
  AddVariables(p, kBillVariables, -1);
  double zgr = 0;
  ASSERT_EQ(p.orvane().JiSuanGCRCJ(false, zgr), "");
  // Sub-item bill, rows 1 and 2 (bill item 3 and its stored zhbj ignored):
  //   total   round(1.005*1)=1.01 + round(0.401*5=2.005)=2.01     = 3.02
  //   labour  round(0.125)=0.13 + round(1.005)=1.01               = 1.14
  //   material round(0.335)=0.34 + 5                              = 5.34
  //   main material zcf: 2 + 2.5                                  = 4.5
  //   provisional 4 + 6 = 10; machine 0.5 + 1.5 = 2
  //   management round(0.105)=0.11 twice = 0.22; profit 0.02 twice = 0.04
  // Measure bill, row 4: total round(10.125*2) = 20.25, labour 2, material
  //   4, main material 3*2 = 6, provisional 2.5 (材料暂估价 10 + 2.5 = 12.5),
  //   machine 1, management 0.5, profit 0.25.
  EXPECT_EQ(Variables(p),
            "工程量清单计价 | 3.02\n人工费(分部分项) | 1.14\n材料费(分部分项) | 5.34\n主材费(分部分项) | 4.5\n"
            "暂估价(分部分项) | 10\n材料暂估价 | 12.5\n机械费(分部分项) | 2\n管理费(分部分项) | 0.22\n"
            "利润(分部分项) | 0.04\n施工技术措施 | 20.25\n人工费(措施项目) | 2\n材料费(措施项目) | 4\n"
            "主材费(措施项目) | 6\n暂估价(措施项目) | 2.5\n机械费(措施项目) | 1\n管理费(措施项目) | "
            "0.5\n利润(措施项目) | 0.25\n");
  ASSERT_EQ(p.orvane().JiSuanGCRCJ(true, zgr), "");
  // Sub-item bill, bill item 3: stored zhbj 80.5 (not 40*2), labour
  //   round(1.005*2) = 2.01, material 4, main material from the bill's own
  //   materials round(3.333*2 = 6.666) = 6.67, provisional 10, machine 2,
  //   management 1, profit 0.5.
  // Measure bill, bill item 5: 30.3, 5, 6, zcf_qd 8 (not zcf 7), 1.5 (材料暂估价
  //   10 + 1.5 = 11.5), 2, 1, 0.5.
  EXPECT_EQ(Variables(p),
            "工程量清单计价 | 80.5\n人工费(分部分项) | 2.01\n材料费(分部分项) | 4\n主材费(分部分项) | 6.67\n"
            "暂估价(分部分项) | 10\n材料暂估价 | 11.5\n机械费(分部分项) | 2\n管理费(分部分项) | 1\n"
            "利润(分部分项) | 0.5\n施工技术措施 | 30.3\n人工费(措施项目) | 5\n材料费(措施项目) | 6\n"
            "主材费(措施项目) | 8\n暂估价(措施项目) | 1.5\n机械费(措施项目) | 2\n管理费(措施项目) | 1\n利润(措施项目) "
            "| 0.5\n");

  // Without measure rows the eight measure variables become 0; 材料暂估价 is
  // the sub-item amount 4 + 6 = 10 alone.
  p.Execute("delete from qfsjb where qdlb=1");
  ASSERT_EQ(p.orvane().JiSuanGCRCJ(false, zgr), "");
  EXPECT_EQ(p.Rows("select blsz from qfblb where fymc like '%措施%' or fymc='材料暂估价'"),
            "10\n0\n0\n0\n0\n0\n0\n0\n0\n");
}

// clang-format off
constexpr std::initializer_list<const char*> kCategoryVariables = {
    "分部分项人工费(人工大型土石方)",
    "分部分项(人工大型土石方)", "分部分项(机械大型土石方)", "分部分项(桥梁、水工构筑物)",
    "分部分项(道路、市政排水工程)", "分部分项(市政给水、燃气、路灯工程)", "分部分项(其他)",
    "措施项目(人工大型土石方)", "措施项目(机械大型土石方)", "措施项目(桥梁、水工构筑物)",
    "措施项目(道路、市政排水工程)", "措施项目(市政给水、燃气、路灯工程)", "措施项目(其他)"};
// clang-format on

TEST(FeeVariables, WorksCategoriesResetAndAccumulateByBill) {
  Project p;
  // (ysid, fbcch, qdlb, gzlx, rgf, sjgcl, zhdj, zhbj)
  const std::string rows =
      "(1,0,0,'人工大型土石方',1.125,2,10.005,0),(2,0,0,'人工大型土石方',1,1,5,0),(3,0,0,'机械大型土石方',0,1,3,0),"
      "(4,0,0,'道路、市政排水工程',0,1,4,0),(5,0,0,'市政给水、燃气、路灯工程',0,1,5,0),"
      "(6,0,0,'桥梁、水工构筑物',0,1,6,0),(7,0,0,null,0,1,7,0),(8,0,0,'',0,1,8,0),(9,0,0,'房屋建筑',0,1,9,0),"
      "(10,0,1,'人工大型土石方',50,1,10,0),(11,0,1,'桥梁、水工构筑物',0,1,11,0),(12,0,1,null,0,1,12,0),"
      "(13,5,0,'机械大型土石方',0,1,0,100),(14,0,null,'桥梁、水工构筑物',0,1,3,0)";
  p.Execute("insert into zhys(ysid,fbcch,qdlb,gzlx) select column1,column2,column3,column4 from (values " + rows + ")");
  p.Execute(
      "insert into qfsjb(ysid,fbcch,qdlb,rgf,sjgcl,zhdj,zhbj) select column1,column2,column3,column5,column6,column7,"
      "column8 from (values " +
      rows + ")");
  AddVariables(p, kCategoryVariables, 99);

  // Sub-item pricing, run twice to show the reset:
  //   labour of earthworks by hand, sub-item bill only: round(1.125*2)=2.25 + 1 = 3.25
  //   earthworks by hand round(10.005*2)=20.01 + 5 = 25.01; machine 3; roads 4;
  //   water 5; bridges 6; others: null 7 + empty 8 + unknown 9 = 24
  //   measure bill: earthworks by hand 10 (its labour 50 counted nowhere),
  //   bridges 11 + 3 of the row without a bill code, others 12; the bill
  //   item (level 5) is not summed.
  const std::string sub_item_pricing =
      "分部分项人工费(人工大型土石方) | 3.25\n分部分项(人工大型土石方) | 25.01\n分部分项(机械大型土石方) | 3\n"
      "分部分项(桥梁、水工构筑物) | 6\n分部分项(道路、市政排水工程) | 4\n分部分项(市政给水、燃气、路灯工程) | 5\n"
      "分部分项(其他) | 24\n措施项目(人工大型土石方) | 10\n措施项目(机械大型土石方) | 0\n"
      "措施项目(桥梁、水工构筑物) | 14\n措施项目(道路、市政排水工程) | 0\n措施项目(市政给水、燃气、路灯工程) | "
      "0\n措施项目(其他) | 12\n";
  double zgr = 0;
  for (int run = 0; run < 2; ++run) {
    ASSERT_EQ(p.orvane().JiSuanGCRCJ(false, zgr), "");
    EXPECT_EQ(Variables(p), sub_item_pricing);
  }
  // Bill-item pricing: only the bill item's stored total 100 counts.
  ASSERT_EQ(p.orvane().JiSuanGCRCJ(true, zgr), "");
  EXPECT_EQ(p.Rows("select fymc, blsz from qfblb where blsz<>0"), "分部分项(机械大型土石方) | 100\n");
}

TEST(FeeVariables, LabourDaysOwnerSuppliedIndependentFeesElectricityAndWater) {
  Project p;
  p.Execute("insert into qfsjb(ysid,fbcch,qdlb,zrg,sjgcl) values (1,0,0,0.125,1),(2,0,1,1.005,1),(3,5,0,50,1)");
  p.Execute("insert into zgjclb(mc,iszb,hj) values ('钢筋',1,100.5),('水泥',1,20),('石材',0,1000),('木材',null,3000)");
  p.Execute(
      "insert into zhys(ysid,bhlb,qdlb,sjdj,sjgcl) values (11,'独',0,10,2.5),(12,'独',1,3,1),(13,'独',3,1000,1),"
      "(14,'',0,500,1)");
  p.Execute(
      "insert into gcclb(mc,dj,xxj,sl) values ('电',0.8,0,10.5),('电力',0.7,1.005,1),('隧道内照明用电',1,0,2),"
      "('电缆',50,0,1),('水',3.5,4.125,2),('水泥',400,0,1)");
  p.Execute(
      "insert into gcjxfb(mc,dj,xxj,sl) values ('电(机械用)',0.8,0,100),('电',1,0,1000),('水(机械用)',3.5,4,0.125)");
  // Only these variables exist; every other name the run writes changes
  // nothing and is no error.
  AddVariables(p, {"总工日", "甲供材料费", "其中：独立费", "工程用电", "工程用水"}, -1);

  double zgr = -1;
  ASSERT_EQ(p.orvane().JiSuanGCRCJ(true, zgr), "");
  // Labour days from the quota sub-items even under bill-item pricing:
  //   round(0.125)=0.13 + round(1.005)=1.01 = 1.14 (bill item's 50 ignored).
  // Owner-supplied material: 100.5 + 20 (iszb false or null excluded) = 120.5.
  // Independent fees: 10*2.5 + 3*1 = 28 (the row of qdlb 3 excluded).
  // Electricity: base price where no current price, rounded per row:
  //   0.8*10.5 = 8.4 + round(1.005*1) = 1.01 + 1*2 = 2 + machines 0.8*100 = 80
  //   = 91.41 (电缆 and the machines' plain 电 are not counted).
  // Water: 4.125*2 = 8.25 + 4*0.125 = 0.5 = 8.75.
  EXPECT_DOUBLE_EQ(zgr, 1.14);
  EXPECT_EQ(Variables(p), "总工日 | 1.14\n甲供材料费 | 120.5\n其中：独立费 | 28\n工程用电 | 91.41\n工程用水 | 8.75\n");
  EXPECT_EQ(p.Rows("select mingc, shuzhi, typeof(shuzhi) from gcxxb where mingc='总工日'"), "总工日 | 1.14 | text\n");
}

}  // namespace
}  // namespace quillmere
