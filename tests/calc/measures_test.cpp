// User-defined measures and measure sections: items priced by formula and
// rate, detail lines rolled up into their item, the warning for a line under
// no item, the measure totals, the section roll-up, and nothing done without
// fee variables.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// A measure bill with items priced by formula, with and without detail
// lines, a detail line after a bill item and one after a section, both under
// no measure item, and a row without a level.
class Measures : public ::testing::Test {
 protected:
  void SetUp() override {
    p.FeeVariables(
        "('工程量清单计价',50000),('人工费(分部分项)',1234.5),('措施项目计价',-1),('施工组织措施',-1),"
        "('安全文明施工措施费',-1)");
    // (ysid, sjxh, fbcch, zhmc, jsjs, zdycsfl, bhlb); every row priced 77 by
    // an earlier run, the bill item 19 at 800.
    p.Execute(
        "insert into zhys(qdlb,sjdj,sjbj,ysid,sjxh,fbcch,zhmc,jsjs,zdycsfl,bhlb) "
        "select 1,77,iif(column1=19,800,77),* from (values "
        "(10,1,1,'措施项目',null,null,''),(11,2,6,'安全文明施工','工程量清单计价',2.5,'1'),"
        "(12,3,6,'夜间施工','人工费(分部分项)',1.5,''),(13,4,7,'照明','人工费(分部分项)*2',10.5,''),"
        "(14,5,7,'值班',null,10,''),(15,6,7,'看护','300',100,''),(16,7,6,'二次搬运','1000',5,''),"
        "(17,8,7,'搬入','100',10,''),(18,9,7,'搬出','-100',10,''),(19,10,5,'脚手架',null,null,'1'),"
        "(20,10.5,0,'钢管脚手架',null,null,''),(21,11,7,'临时设施','200',50,''),"
        "(22,12,6,'冬雨季施工','工程量清单计价',null,''),(23,13,6,'已完工程保护','工程量清单计价',0,''),"
        "(24,14,6,'排水','未定义的名称',10,''),(25,10.7,null,'备注行',null,null,''),(26,15,1,'其他措施',null,null,''),"
        "(27,16,7,'尾项','50',10,''))");
    // A row of the sub-item bill is no measure, whatever its level.
    p.Execute("insert into zhys(ysid,sjxh,qdlb,fbcch,jsjs,zdycsfl,sjdj,sjbj) values (30,0,0,6,'1000',10,5,5)");
  }
  std::string Measured() { return p.Rows("select ysid, sjdj, sjbj, jsjs from zhys order by sjxh, ysid"); }
  Project p;
};

TEST_F(Measures, PricesItemsByFormulaRollsDetailLinesUpAndWarnsOfALineUnderNoItem) {
  ASSERT_EQ(p.orvane().JiSuanZDYCS(), "");
  const std::vector<Message> seen = p.orvane().Messages();
  // 11: 50000*2.5/100 = 1250, no lines, keeps its formula.
  // 13: 1234.5*2*10.5/100 = 259.245 -> 259.25; 14: no formula, 0;
  // 15: 300*100/100 = 300;
  // 12: its own 1234.5*1.5/100 = 18.5175 gives way to 259.25 + 0 + 300 = 559.25,
  //     and its formula is cleared.
  // 16: 1000*5/100 = 50 stays: its lines 10 and -10 sum to exactly 0; its
  //     formula is cleared all the same.
  // 19 (bill item) keeps 800; 21 (under no item): 200*50/100 = 100, counted
  // nowhere; 22 rate null, 23 rate 0, 24 unknown name: 0; the section 26
  // closes item 24, so its line 27 (50*10/100 = 5) is under no item either.
  EXPECT_EQ(Measured(),
            "30 | 5 | 5 | 1000\n10 | 77 | 77 | NULL\n11 | 1250 | 1250 | 工程量清单计价\n12 | 559.25 | 559.25 | \n"
            "13 | 259.25 | 259.25 | 人工费(分部分项)*2\n14 | 0 | 0 | NULL\n15 | 300 | 300 | 300\n16 | 50 | 50 | \n"
            "17 | 10 | 10 | 100\n18 | -10 | -10 | -100\n19 | 77 | 800 | NULL\n20 | 77 | 77 | NULL\n"
            "25 | 77 | 77 | NULL\n21 | 100 | 100 | 200\n22 | 0 | 0 | 工程量清单计价\n23 | 0 | 0 | 工程量清单计价\n"
            "24 | 0 | 0 | 未定义的名称\n26 | 77 | 77 | NULL\n27 | 5 | 5 | 50\n");
  // Totals of the items priced as a whole and the bill items:
  //   措施项目计价 1250 + 559.25 + 50 + 800 = 2659.25 (lines only through items)
  //   施工组织措施 1250 + 559.25 + 50 = 1859.25
  //   安全文明施工措施费 1250 (the bill item 19 marked '1' is no level-6 item)
  EXPECT_EQ(p.Rows("select fymc, blsz from qfblb where fymc like '%措施%'"),
            "措施项目计价 | 2659.25\n施工组织措施 | 1859.25\n安全文明施工措施费 | 1250\n");
  // Positions count every row of the measure bill in display order, the
  // quota sub-item 20 and the row 25 without a level included.
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].prompt, "措施项目中第13行费用[临时设施]没有对应的清单，会导致本记录费用不统计，请检查！");
  EXPECT_EQ(seen[0].style, 48);
  EXPECT_EQ(seen[1].prompt, "措施项目中第18行费用[尾项]没有对应的清单，会导致本记录费用不统计，请检查！");

  // A second run: 12 lost its formula, 0 in the formula pass, then its lines
  // 559.25 again. 16 lost its formula too and its lines still sum to 0: 0.
  ASSERT_EQ(p.orvane().JiSuanZDYCS(), "");
  EXPECT_EQ(p.Rows("select ysid, sjdj, sjbj from zhys where ysid in (12, 16) order by ysid"),
            "12 | 559.25 | 559.25\n16 | 0 | 0\n");
  // Without fee variables nothing happens at all.
  p.Execute("update qfblb set bllx=1");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanZDYCS(); }), "");
}

// Rows "(ysid, fbcch, sjbj, cslb, qdlb),..." of sections and the items that
// follow them, in display order.
void AddSectionRows(Project& p, const std::string& rows) {
  p.Execute(
      "insert into zhys(sjdj,ysid,sjxh,fbcch,sjbj,cslb,qdlb) select 7,column1,column1,column2,column3,"
      "column4,column5 from (values " +
      rows + ")");
}

TEST(MeasureSections, SectionsTakeTheItemsThatFollowThem) {
  Project p;
  AddSectionRows(p,
                 "(1,6,5,'1',1),(2,2,999,'1',1),(3,6,10.5,'1',1),(4,7,1000,'1',1),(5,6,20.25,'1',1),(6,2,999,'1',1),"
                 "(7,2,999,'1',1),(8,6,0.1,'1',1),(9,6,500,'2',1),(10,6,0.2,'1',1),(11,2,999,'2',1),(12,2,999,'1',0)");
  ASSERT_EQ(p.orvane().JiSuanCSFB(), "");
  // 1 comes before any section: its 5 is counted nowhere.
  // 2: 10.5 + 20.25 = 30.75 (the detail line 4 is no item); 6: no items, 0;
  // 7: 0.1 + 0.2 = 0.3 (item 9 is of another class).
  // Class '2' and the sub-item bill keep their 999; no sjdj changes.
  EXPECT_EQ(p.Rows("select ysid, sjdj, sjbj from zhys where fbcch=2 order by sjxh"),
            "2 | 7 | 30.75\n6 | 7 | 0\n7 | 7 | 0.3\n11 | 7 | 999\n12 | 7 | 999\n");
}

}  // namespace
}  // namespace quillmere
