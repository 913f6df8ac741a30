// Other items: lines evaluated in calculation order over the fee variables
// and the amounts of earlier lines, the '合计' line published, the box when
// there is none, and failed runs leaving everything as it was.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

class OtherItems : public ::testing::Test {
 protected:
  void SetUp() override { p.FeeVariables("('暂列金额',21599.88),('总承包服务费',86.67),('其他项目计价',-1)"); }
  // Lines "(jsxh, sjxh, xmmc, jsgs),..." with a stale amount.
  void Lines(const std::string& rows) {
    p.Execute("insert into qtxm(hj,jsxh,sjxh,xmmc,jsgs) select 99,* from (values " + rows + ")");
  }
  double Total() { return p.Number("select blsz from qfblb where fymc='其他项目计价'"); }
  Project p;
};

TEST_F(OtherItems, LinesSeeTheAmountsOfEarlierLinesAndTheTotalIsPublished) {
  Lines(
      "(1,1,'暂列金额','暂列金额'),(2,2,'总承包服务费','总承包服务费*50%'),(3,4,'合计','[1]+[2]+[3]'),(4,3,'计日工','["
      "1]*1%'),(5,5,'备注',null)");
  ASSERT_EQ(p.orvane().JiSuanQTXM(), "");
  // 1: 21599.88; 2: 86.67*50/100 = 43.335 -> 43.34
  // 合计 (evaluated third): 21599.88 + 43.34 + line 3 not yet evaluated 0
  //   = 21643.22
  // 3: 21599.88*1/100 = 215.9988 -> 216; 5: no formula, 0
  EXPECT_EQ(p.Rows("select sjxh, xmmc, hj from qtxm order by jsxh"),
            "1 | 暂列金额 | 21599.88\n2 | 总承包服务费 | 43.34\n4 | 合计 | 21643.22\n3 | 计日工 | 216\n5 | 备注 | 0\n");
  EXPECT_DOUBLE_EQ(Total(), 21643.22);
  EXPECT_TRUE(p.orvane().Messages().empty());
}

TEST_F(OtherItems, FirstTotalLineEnteredIsTheTotal) {
  Lines("(2,2,'合计','200'),(1,1,'合计','100')");
  ASSERT_EQ(p.orvane().JiSuanQTXM(), "");
  EXPECT_EQ(Total(), 200);
}

TEST_F(OtherItems, NoTotalLineZeroesTheVariableAndTellsTheUser) {
  Lines("(1,1,'暂列金额','暂列金额')");
  EXPECT_EQ(p.orvane().JiSuanQTXM(), "");
  const std::vector<Message> seen = p.orvane().Messages();
  EXPECT_EQ(Total(), 0);
  // The lines are still priced.
  EXPECT_EQ(p.Number("select hj from qtxm"), 21599.88);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].prompt, "其他项目中没有合计值，软件没有汇总其他项目中的价格，请检查！");
  EXPECT_EQ(seen[0].style, 64);
}

TEST_F(OtherItems, ReferenceOrLineNumberBeyondTheListFailsWithNothingChanged) {
  Lines("(1,1,'暂列金额','暂列金额'),(2,2,'计日工','[1]+[3]'),(3,3,'合计','[1]+[2]')");
  // Line 3 exists but there are only three lines: [3] is within 0..3 and
  // counts 0 as it comes later. A reference to line 4 is beyond the list.
  p.Execute("update qtxm set jsgs='[1]+[4]' where sjxh=2");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanQTXM(); }), "Subscript out of range: the other item line 2 \"计日工\"");

  // A line numbered one beyond the list (lines are numbered 0..3).
  p.Execute("update qtxm set jsgs='[1]+[3]', sjxh=4 where sjxh=2");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanQTXM(); }), "Subscript out of range: qtxm.sjxh, row sjxh 4");

  // A line with a formula but no line number.
  p.Execute("update qtxm set sjxh=NULL where sjxh=4");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanQTXM(); }), "Invalid use of Null: qtxm.sjxh, row 2");
  EXPECT_TRUE(p.orvane().Messages().empty());
}

}  // namespace
}  // namespace quillmere
