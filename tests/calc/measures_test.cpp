// User-defined measures and measure sections: items priced by formula and
// rate, detail lines rolled up into their item, the warning for a line under
// no item, the measure totals, the section roll-up, and failed runs leaving
// everything as it was.

#include <gtest/gtest.h>

#include <string>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Cell;
using testing::Project;

void AddVariable(Project& p, const char* name, double value) {
  p.Insert("qfblb", {{"fymc", name}, {"blsz", value}, {"bllx", 2}});
}

// One row of the measure bill.
void AddMeasure(Project& p, int ysid, double sjxh, int fbcch, const char* zhmc, Cell jsjs, Cell zdycsfl,
                const char* bhlb = "") {
  // clang-format off
  p.Insert("zhys", {{"ysid", ysid}, {"sjxh", sjxh}, {"qdlb", 1}, {"fbcch", fbcch}, {"zhmc", zhmc}, {"jsjs", jsjs},
                    {"zdycsfl", zdycsfl}, {"bhlb", bhlb}, {"sjdj", 77}, {"sjbj", 77}});
  // clang-format on
}

// A measure bill with items priced by formula, with and without detail
// lines, and a detail line after a bill item, under no measure item.
class Measures : public ::testing::Test {
 protected:
  void SetUp() override {
    AddVariable(p, "工程量清单计价", 50000);
    AddVariable(p, "人工费(分部分项)", 1234.5);
    AddVariable(p, "措施项目计价", -1);
    AddVariable(p, "施工组织措施", -1);
    AddVariable(p, "安全文明施工措施费", -1);
    AddMeasure(p, 10, 1, 1, "措施项目", nullptr, nullptr);
    AddMeasure(p, 11, 2, 6, "安全文明施工", "工程量清单计价", 2.5, "1");
    AddMeasure(p, 12, 3, 6, "夜间施工", "人工费(分部分项)", 1.5);
    AddMeasure(p, 13, 4, 7, "照明", "人工费(分部分项)*2", 10.5);
    AddMeasure(p, 14, 5, 7, "值班", nullptr, 10);
    AddMeasure(p, 15, 6, 7, "看护", "300", 100);
    AddMeasure(p, 16, 7, 6, "二次搬运", "1000", 5);
    AddMeasure(p, 17, 8, 7, "搬入", "100", 10);
    AddMeasure(p, 18, 9, 7, "搬出", "-100", 10);
    AddMeasure(p, 19, 10, 5, "脚手架", nullptr, nullptr, "1");
    AddMeasure(p, 20, 10.5, 0, "钢管脚手架", nullptr, nullptr);
    AddMeasure(p, 21, 11, 7, "临时设施", "200", 50);
    AddMeasure(p, 22, 12, 6, "冬雨季施工", "工程量清单计价", nullptr);
    AddMeasure(p, 23, 13, 6, "已完工程保护", "工程量清单计价", 0);
    AddMeasure(p, 24, 14, 6, "排水", "未定义的名称", 10);
    p.Execute("update zhys set sjbj=800 where ysid=19");
    // A row of the sub-item bill is no measure, whatever its level.
    // clang-format off
    p.Insert("zhys", {{"ysid", 30}, {"sjxh", 0}, {"qdlb", 0}, {"fbcch", 6}, {"jsjs", "1000"}, {"zdycsfl", 10},
                      {"sjdj", 5}, {"sjbj", 5}});
    // clang-format on
  }
  std::string Measured() { return p.Rows("select ysid, sjdj, sjbj, jsjs from zhys order by sjxh, ysid"); }
  Project p;
};

TEST_F(Measures, PricesItemsByFormulaAndRollsDetailLinesUp) {
  ASSERT_EQ(p.orvane().JiSuanZDYCS(), "");
  // 11: 50000*2.5/100 = 1250, no lines, keeps its formula.
  // 13: 1234.5*2*10.5/100 = 259.245 -> 259.25; 14: no formula, 0;
  // 15: 300*100/100 = 300;
  // 12: its own 1234.5*1.5/100 = 18.5175 gives way to 259.25 + 0 + 300 = 559.25,
  //     and its formula is cleared.
  // 16: 1000*5/100 = 50 stays: its lines 10 and -10 sum to exactly 0; its
  //     formula is cleared all the same.
  // 19 (bill item) keeps 800; 21 (under no item): 200*50/100 = 100, counted
  // nowhere; 22 rate null, 23 rate 0, 24 unknown name: 0.
  EXPECT_EQ(Measured(),
            "30 | 5 | 5 | 1000\n"
            "10 | 77 | 77 | NULL\n"
            "11 | 1250 | 1250 | 工程量清单计价\n"
            "12 | 559.25 | 559.25 | \n"
            "13 | 259.25 | 259.25 | 人工费(分部分项)*2\n"
            "14 | 0 | 0 | NULL\n"
            "15 | 300 | 300 | 300\n"
            "16 | 50 | 50 | \n"
            "17 | 10 | 10 | 100\n"
            "18 | -10 | -10 | -100\n"
            "19 | 77 | 800 | NULL\n"
            "20 | 77 | 77 | NULL\n"
            "21 | 100 | 100 | 200\n"
            "22 | 0 | 0 | 工程量清单计价\n"
            "23 | 0 | 0 | 工程量清单计价\n"
            "24 | 0 | 0 | 未定义的名称\n");
  // Totals of the items priced as a whole and the bill items:
  //   措施项目计价 1250 + 559.25 + 50 + 800 = 2659.25 (lines only through items)
  //   施工组织措施 1250 + 559.25 + 50 = 1859.25
  //   安全文明施工措施费 1250 (the bill item 19 marked '1' is no level-6 item)
  EXPECT_EQ(p.Rows("select fymc, blsz from qfblb where fymc like '%措施%'"),
            "措施项目计价 | 2659.25\n施工组织措施 | 1859.25\n安全文明施工措施费 | 1250\n");
}

TEST_F(Measures, DetailLineUnderNoItemRaisesTheWarningAndTheCallGoesOn) {
  std::vector<Message> seen;
  p.orvane().SetMessageHandler([&](const std::string& prompt, int style, const std::string& title) {
    seen.push_back({prompt, style, title});
  });
  ASSERT_EQ(p.orvane().JiSuanZDYCS(), "");
  // The line is the 12th row of the measure bill in display order: the quota
  // sub-item 20 counts among the rows.
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].prompt, "措施项目中第12行费用[临时设施]没有对应的清单，会导致本记录费用不统计，请检查！");
  EXPECT_EQ(seen[0].style, 48);
  EXPECT_EQ(seen[0].title, "提示");
  EXPECT_EQ(p.Number("select blsz from qfblb where fymc='安全文明施工措施费'"), 1250);
}

TEST_F(Measures, SecondRunPricesAnItemWithLinesFromItsLinesAgain) {
  ASSERT_EQ(p.orvane().JiSuanZDYCS(), "");
  ASSERT_EQ(p.orvane().JiSuanZDYCS(), "");
  // 12 lost its formula: 0 in the formula pass, then its lines 559.25 again.
  // 16 lost its formula too and its lines still sum to 0, so it stays at 0.
  EXPECT_EQ(p.Rows("select ysid, sjdj, sjbj from zhys where ysid in (12, 16) order by ysid"),
            "12 | 559.25 | 559.25\n16 | 0 | 0\n");
}

TEST_F(Measures, NothingHappensWithoutFeeVariables) {
  p.Execute("update qfblb set bllx=1");
  const std::string before = p.Snapshot();
  EXPECT_EQ(p.orvane().JiSuanZDYCS(), "");
  EXPECT_EQ(p.Snapshot(), before);
  EXPECT_TRUE(p.orvane().Messages().empty());
}

TEST_F(Measures, FailureLeavesEveryTableAsItWas) {
  // A measure item without a row id fails the roll-up after the formula
  // pass has written its prices: those roll back too.
  p.Execute("update zhys set ysid=NULL where ysid=16");
  const std::string before = p.Snapshot();
  EXPECT_EQ(p.orvane().JiSuanZDYCS(), "Invalid use of Null");
  EXPECT_EQ(p.Snapshot(), before);

  // A rate that is no number fails in the formula pass.
  p.Execute("update zhys set ysid=16 where ysid IS NULL");
  p.Execute("update zhys set zdycsfl='两成' where ysid=13");
  const std::string again = p.Snapshot();
  EXPECT_EQ(p.orvane().JiSuanZDYCS(), "Type mismatch");
  EXPECT_EQ(p.Snapshot(), again);
}

// Sections of measure class '1' and the level-6 items that follow them.
void AddSectionRow(Project& p, int ysid, int fbcch, Cell sjbj, const char* cslb = "1", int qdlb = 1) {
  p.Insert(
      "zhys",
      {{"ysid", ysid}, {"sjxh", ysid}, {"qdlb", qdlb}, {"fbcch", fbcch}, {"cslb", cslb}, {"sjdj", 7}, {"sjbj", sjbj}});
}

TEST(MeasureSections, SectionsTakeTheItemsThatFollowThem) {
  Project p;
  AddSectionRow(p, 1, 6, 5);
  AddSectionRow(p, 2, 2, 999);
  AddSectionRow(p, 3, 6, 10.5);
  AddSectionRow(p, 4, 7, 1000);
  AddSectionRow(p, 5, 6, 20.25);
  AddSectionRow(p, 6, 2, 999);
  AddSectionRow(p, 7, 2, 999);
  AddSectionRow(p, 8, 6, 0.1);
  AddSectionRow(p, 9, 6, 500, "2");
  AddSectionRow(p, 10, 6, 0.2);
  AddSectionRow(p, 11, 2, 999, "2");
  AddSectionRow(p, 12, 2, 999, "1", 0);
  ASSERT_EQ(p.orvane().JiSuanCSFB(), "");
  // 1 comes before any section: its 5 is counted nowhere.
  // 2: 10.5 + 20.25 = 30.75 (the detail line 4 is no item); 6: no items, 0;
  // 7: 0.1 + 0.2 = 0.3 (item 9 is of another class).
  // Class '2' and the sub-item bill keep their 999; no sjdj changes.
  EXPECT_EQ(p.Rows("select ysid, sjdj, sjbj from zhys where fbcch=2 order by sjxh"),
            "2 | 7 | 30.75\n6 | 7 | 0\n7 | 7 | 0.3\n11 | 7 | 999\n12 | 7 | 999\n");
}

TEST(MeasureSections, FailureLeavesEveryTableAsItWas) {
  Project p;
  AddSectionRow(p, 1, 2, 999);
  AddSectionRow(p, 2, 6, 10);
  AddSectionRow(p, 3, 2, 999);
  AddSectionRow(p, 4, 6, nullptr);
  // Section 1 is written before the item without a total fails the run.
  const std::string before = p.Snapshot();
  EXPECT_EQ(p.orvane().JiSuanCSFB(), "Invalid use of Null");
  EXPECT_EQ(p.Snapshot(), before);

  p.Execute("drop table zhys");
  EXPECT_EQ(p.orvane().JiSuanCSFB(), "no such table: zhys");
}

}  // namespace
}  // namespace quillmere
