// Provisional sums and the general-contractor service fee: lines priced by
// formula and rate, the total line rebuilt, the totals published, and failed
// runs leaving the list with its old total line.

#include <gtest/gtest.h>

#include <string>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

class ProvisionalSums : public ::testing::Test {
 protected:
  void SetUp() override {
    p.FeeVariables("('工程量清单计价',123456.78),('措施项目计价',10000),('暂列金额',-1)");
    p.Execute(
        "insert into zljeb(id,sjxh,mc,jsgs,fl,je,dw,bz) select *,'项','备注' from (values "
        "(1,1,'暂列金额一','工程量清单计价',10,0),(2,2,'设计变更',null,0,5000),(3,3,'政策调整','',0,250.5),"
        "(4,4,'材料涨价','(工程量清单计价+措施项目计价)*3%',100,0),(5,9999,'合计','',0,77),(6,5,'合计','',0,33))");
  }
  std::string Lines() { return p.Rows("select sjxh, mc, dw, jsgs, fl, je, bz from zljeb order by sjxh"); }
  Project p;
};

TEST_F(ProvisionalSums, PricesLinesAndRebuildsTheTotalLine) {
  // 1: 123456.78*10/100 = 12345.678 -> 12345.68
  // 2, 3: no formula, the entered 5000 and 250.5 stay
  // 4: (123456.78+10000)*3/100 = 4003.7034, *100/100 -> 4003.7
  // Both lines named 合计, the old total and the one a user entered, go;
  // total 12345.68 + 5000 + 250.5 + 4003.7 = 21599.88.
  const std::string priced =
      "1 | 暂列金额一 | 项 | 工程量清单计价 | 10 | 12345.68 | 备注\n2 | 设计变更 | 项 | NULL | 0 | 5000 | 备注\n"
      "3 | 政策调整 | 项 |  | 0 | 250.5 | 备注\n4 | 材料涨价 | 项 | (工程量清单计价+措施项目计价)*3% | 100 | 4003.7 | "
      "备注\n"
      "9999 | 合计 |  |  | 0 | 21599.88 | \n";
  ASSERT_EQ(p.orvane().JiSuanZLJE(), "");
  EXPECT_EQ(Lines(), priced);
  EXPECT_DOUBLE_EQ(p.Number("select blsz from qfblb where fymc='暂列金额'"), 21599.88);
  // A second run never counts the total line it finds.
  ASSERT_EQ(p.orvane().JiSuanZLJE(), "");
  EXPECT_EQ(Lines(), priced);
  EXPECT_DOUBLE_EQ(p.Number("select blsz from qfblb where fymc='暂列金额'"), 21599.88);
}

TEST_F(ProvisionalSums, FailureKeepsTheLinesAndTheOldTotalLine) {
  // A formula line without a rate fails after the total lines were deleted.
  p.Execute("update zljeb set fl=NULL where id=4");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanZLJE(); }),
            "Invalid use of Null: the provisional sum line 4 \"材料涨价\" has no rate (fl)");
  // A fee variable without a value fails the substitution.
  p.Execute("update zljeb set fl=100 where id=4");
  p.Execute("update qfblb set blsz=NULL where fymc='措施项目计价'");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanZLJE(); }), "Invalid use of Null: the provisional sum line 1 \"暂列金额一\"");
}

class ServiceFee : public ::testing::Test {
 protected:
  void SetUp() override {
    p.FeeVariables("('工程量清单计价',1000),('暂估价(分部分项)',200),('总承包服务费',-1)");
    p.Execute(
        "insert into zcbfwfb(id,sjxh,mc,jsgs,jz,fl,je,fwnr) select *,'配合' from (values "
        "(1,1,'专业分包','工程量清单计价/3',0,2,0),(2,2,'甲供材料保管',null,8000,1,0),(3,3,'现场配合','',null,5,9),"
        "(4,4,'材料检验','暂估价(分部分项)',0,null,9),(5,5,'其他协调','未定义的名称',50,10,9),(6,9999,'合计','',0,0,"
        "500))");
  }
  std::string Lines() { return p.Rows("select sjxh, mc, jsgs, jz, fwnr, fl, je from zcbfwfb order by sjxh"); }
  Project p;
};

TEST_F(ServiceFee, PricesFeesOnBaseValuesAndRebuildsTheTotalLine) {
  ASSERT_EQ(p.orvane().JiSuanZCBFWF(), "");
  // 1: base 1000/3 stored unrounded (333.333333333333 in 15 digits), fee
  //    333.33...*2/100 = 6.666... -> 6.67
  // 2: hand-entered base 8000, fee 8000*1/100 = 80
  // 3: base null counts 0: fee 0; 4: base 200 from its formula, rate null: 0
  // 5: a formula that cannot be evaluated gives base 0 and fee 0
  // total 6.67 + 80 = 86.67
  EXPECT_EQ(Lines(),
            "1 | 专业分包 | 工程量清单计价/3 | 333.333333333333 | 配合 | 2 | 6.67\n2 | 甲供材料保管 | NULL | 8000 | "
            "配合 | 1 | 80\n"
            "3 | 现场配合 |  | NULL | 配合 | 5 | 0\n4 | 材料检验 | 暂估价(分部分项) | 200 | 配合 | NULL | 0\n"
            "5 | 其他协调 | 未定义的名称 | 0 | 配合 | 10 | 0\n9999 | 合计 |  | 0 |  | 0 | 86.67\n");
  EXPECT_DOUBLE_EQ(p.Number("select blsz from qfblb where fymc='总承包服务费'"), 86.67);
  EXPECT_NE(p.Number("select jz from zcbfwfb where id=1"), 333.33);
}

TEST_F(ServiceFee, FailureKeepsTheLinesAndTheOldTotalLine) {
  // A base value that is no number fails after the old total line was
  // deleted and the first line priced.
  p.Execute("update zcbfwfb set jz='八千' where id=2");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanZCBFWF(); }), "Type mismatch: zcbfwfb.jz, row sjxh 2");
  // The variables' table gone: the run fails before anything.
  p.Execute("drop table qfblb");
  EXPECT_EQ(p.orvane().JiSuanZCBFWF(), "no such table: qfblb");
}

}  // namespace
}  // namespace quillmere
