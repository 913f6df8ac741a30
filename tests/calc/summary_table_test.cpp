// Summary table: the summary programme evaluated in calculation order, the
// project cost and the cost per floor area, and calls that change nothing
// (nothing to calculate, a reference beyond the lines).

#include <gtest/gtest.h>

#include <string>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

class SummaryTable : public ::testing::Test {
 protected:
  void SetUp() override { p.FeeVariables("('工程量清单计价',100000),('措施项目计价',20000.5),('其他项目计价',3000)"); }
  // Summary lines "(jsxh, sjxh, jsjs, fl),...", with stale results 55 and 66.
  void Lines(const std::string& rows) {
    p.Execute("insert into qfjjcxb(leixing,jsjsje,jsjg,jsxh,sjxh,jsjs,fl) select 2,55,66,* from (values " + rows + ")");
  }
  std::string Results() { return p.Rows("select sjxh, jsjsje, jsjg from qfjjcxb where leixing=2 order by jsxh"); }
  std::string ProjectInformation() {
    return p.Rows("select mingc, shuzhi from gcxxb where mingc in ('工程造价','经济指标') order by mingc");
  }
  Project p;
};

TEST_F(SummaryTable, EvaluatesLinesInCalculationOrderOverStoredResults) {
  Lines(
      "(1,11,'5',100),(2,1,'工程量清单计价',100),(3,2,'措施项目计价',100),(4,3,'其他项目计价+[12]',100),"
      "(5,4,'([1]+[2]+[3])*3.41%',100),(6,5,'[11]*2+[1]',100),(7,6,null,100),(8,6.6,'[6]+1',100),(9,8,'[1]',0),"
      "(10,9,'1/0',100),(11,10,'[1]+[2]+[3]+[4]',9),(12,12,'[1]+[2]+[3]+[4]+[7]+[10]',100)");
  // A line of the unit-price programme is not part of the summary.
  p.Insert("qfjjcxb", {{"leixing", 1}, {"jsxh", 1}, {"sjxh", 1}, {"jsjs", "1"}, {"fl", 100}, {"jsjg", 66}});
  double cost = -1;
  double per_area = -1;
  ASSERT_EQ(p.orvane().JiSuanHZB(1000, cost, per_area), "");
  // 11: 5.  1: 100000.  2: 20000.5.  3: 3000 + line 12 not yet evaluated 0.
  // 4: 123000.5*3.41/100 = 4194.31705 -> 4194.32.
  // 5: line 11 (not line 1 twice) 5*2 + 100000 = 100010.
  // 6: no formula: jsjg 0, its old jsjsje 55 stays.  6.6: 0 + 1 = 1, the
  // result of line 7 (line numbers round to whole numbers).
  // 8: rate 0: jsjsje 100000, jsjg 0.  9: 1/0 cannot be evaluated: 0.
  // 10: 100000 + 20000.5 + 3000 + 4194.32 = 127194.82, *9/100 = 11447.5338
  //     -> 11447.53.
  // 12: 100000 + 20000.5 + 3000 + 4194.32 + 1 + 11447.53 = 138643.35.
  EXPECT_EQ(Results(),
            "11 | 5 | 5\n1 | 100000 | 100000\n2 | 20000.5 | 20000.5\n3 | 3000 | 3000\n4 | 4194.32 | 4194.32\n"
            "5 | 100010 | 100010\n6 | 55 | 0\n6.6 | 1 | 1\n8 | 100000 | 0\n9 | 0 | 0\n10 | 127194.82 | 11447.53\n"
            "12 | 138643.35 | 138643.35\n");
  EXPECT_EQ(p.Number("select jsjg from qfjjcxb where leixing=1"), 66);
  // The project cost is line 12's result; per floor area
  // 138643.35/1000 = 138.64335 -> 138.64.
  EXPECT_DOUBLE_EQ(cost, 138643.35);
  EXPECT_DOUBLE_EQ(per_area, 138.64);
  EXPECT_EQ(ProjectInformation(), "工程造价 | 138643.35\n经济指标 | 138.64\n");
}

TEST_F(SummaryTable, NothingToCalculateChangesNothing) {
  double cost = -1;
  double per_area = -2;
  // No summary lines (only a unit-price line).
  p.Insert("qfjjcxb", {{"leixing", 1}, {"jsxh", 1}, {"sjxh", 1}, {"jsjs", "1"}, {"fl", 100}});
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanHZB(100, cost, per_area); }), "");
  // Summary lines but no fee variables of kind 2.
  Lines("(1,1,'5',100)");
  p.Execute("update qfblb set bllx=1");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanHZB(100, cost, per_area); }), "");
  EXPECT_EQ(cost, -1);
  EXPECT_EQ(per_area, -2);
}

TEST_F(SummaryTable, FailureChangesNothingAndKeepsTheCallersValues) {
  Lines("(1,1,'工程量清单计价',100),(2,2,'[1]+[3]',100)");
  double cost = -1;
  double per_area = -2;
  // Only two lines: [3] is beyond them.
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanHZB(100, cost, per_area); }), "Subscript out of range: the summary line 2 \"\"");
  // A line without a rate.
  p.Execute("update qfjjcxb set jsjs='[1]', fl=NULL where sjxh=2");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanHZB(100, cost, per_area); }), "Invalid use of Null: qfjjcxb.fl, row sjxh 2");
  EXPECT_EQ(cost, -1);
  EXPECT_EQ(per_area, -2);
}

}  // namespace
}  // namespace quillmere
