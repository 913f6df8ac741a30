// Figures that come out null or infinite, and numbers stored as text by
// another tool: the member fails naming the table, column and row, and the
// project stays as it was.

#include <gtest/gtest.h>

#include <string>

#include "quillmere/pipeline.h"
#include "quillmere/samples.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// The demo project, organised and priced up to its bill materials, with the
// fee programme's columns in place.
class DemoFigures : public ::testing::Test {
 protected:
  void SetUp() override { WriteDemoProject(p.db()); }
  std::string PriceThrough(const PipelineOptions& options) {
    const PipelineResult result = RunPipeline(p.orvane(), options);
    return result.ok() ? "" : result.failed_stage + ": " + result.error;
  }
  Project p;
};

TEST_F(DemoFigures, NonFiniteOrNullFeesAndAmountsFailNamingWhere) {
  PipelineOptions programme;
  programme.fee_programme = true;
  // A division by zero and a product beyond range in a programme formula, and
  // a programme rate left empty, each name the programme line.
  const struct {
    const char* fault;
    const char* expected;
  } cases[] = {
      {"update qfjjcxb set sjgs='rgf/0' where fycode='GLF' and leixing=1",
       "JiSuanZHDJ_QB: Invalid use of Null: temp_qfsjb.GLF, row ysid 1111, the fee programme line 1 \"GLF\""},
      {"update qfjjcxb set sjgs='1e308*1e308' where fycode='LR' and leixing=1",
       "JiSuanZHDJ_QB: Overflow: temp_qfsjb.LR, row ysid 1111, the fee programme line 2 \"LR\""},
      {"update qfjjcxb set fl=null where fycode='LR' and leixing=1",
       "JiSuanZHDJ_QB: Invalid use of Null: temp_qfsjb.LR_FL, row ysid 1111, the fee programme line 2 \"LR\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    Project fresh;
    WriteDemoProject(fresh.db());
    fresh.Execute(c.fault);
    const PipelineResult result = RunPipeline(fresh.orvane(), programme);
    EXPECT_EQ(result.failed_stage + ": " + result.error, c.expected);
  }
  // A quantity of 1e308 overflows the project's labour; the sum stays
  // infinite instead of turning into a null.
  p.Execute("update zhys set yssl=1e308 where ysid=1111");
  EXPECT_EQ(PriceThrough({}), "HuiZongRCJ: Overflow: gcrgb.sl, row bh 00010001");

  // Figures that first go wrong in a table a stage wrote from memory: named
  // as a scan of the table names them.
  const struct {
    const char* fault;
    const char* expected;
    const char* and_also = nullptr;
  } written[] = {
      {"update jxzxj set xxdj=1e308 where bh='990106030'", "ChongXinJSXXJ_QB: Overflow: gjjx.xhj2, row ysid 1111"},
      {"insert into gjcl (ysid,clid,bh,mc,dw,dj,sl,cllb,chaifen) values "
       "(1211,901,'T1','t','kg',1,1e308,'辅材',0),(1211,902,'T1','t','kg',1,1e308,'辅材',0)",
       "HuiZongRCJ: Overflow: fxclb.sl, row ysid 1211"},
      {"update clzxj set xxdj=1e308 where bh='34110101'", "HuiZongRCJ: Overflow: fxclb.xhj, row ysid 2011"},
      // A tiny bill item: its sub-item's diesel per bill unit overflows,
      // while the sub-item's own figures stay finite.
      {"update zhys set yssl=0.001 where ysid=121", "QingDanCLHZ: Overflow: qdclb.sl, row ysid 121",
       "update gjcl set sl=1e304 where ysid=1211 and bh='14030101'"},
  };
  for (const auto& c : written) {
    SCOPED_TRACE(c.fault);
    Project fresh;
    WriteDemoProject(fresh.db());
    fresh.Execute(c.fault);
    if (c.and_also) fresh.Execute(c.and_also);
    const PipelineResult result = RunPipeline(fresh.orvane(), {});
    EXPECT_EQ(result.failed_stage + ": " + result.error, c.expected);
  }
}

TEST_F(DemoFigures, NumbersStoredAsTextCountAsTheirNumberAndWordsFailNamingWhere) {
  const std::string right = [&] {
    Project q;
    WriteDemoProject(q.db());
    return std::to_string(RunPipeline(q.orvane(), {}).project_cost);
  }();
  // Fee variables whose kind another tool declared as text: '2.0' is kind 2.
  p.Execute("create table q2 (fymc TEXT, blsz TEXT, bllx TEXT)");
  p.Execute("insert into q2 select fymc, blsz, printf('%.1f', bllx) from qfblb");
  p.Execute("drop table qfblb");
  p.Execute("alter table q2 rename to qfblb");
  const PipelineResult priced = RunPipeline(p.orvane(), {});
  ASSERT_TRUE(priced.ok()) << priced.error;
  EXPECT_EQ(std::to_string(priced.project_cost), right);
  // Current amounts left infinite by an earlier tool are read as numbers and
  // priced afresh.
  p.Execute("update gjcl set xhj=1e309");
  const PipelineResult again = RunPipeline(p.orvane(), {});
  ASSERT_TRUE(again.ok()) << again.error;
  EXPECT_EQ(std::to_string(again.project_cost), right);
  // A word in a row's quantity is named where it stands, not in the fee row
  // the base prices copy it into.
  p.Execute("update zhys set sjgcl='abc' where ysid=1111");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanDEJJ_QB(); }), "Type mismatch: zhys.sjgcl, row ysid 1111");
  // The organising's check of the rows vouches for nothing the host wrote
  // after it.
  p.Execute("update zhys set sjgcl=1 where ysid=1111");
  ASSERT_EQ(p.orvane().ZhengLiGCShuJu(false), "");
  p.Execute("update zhys set sjgcl='abc' where ysid=1111");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanZHDJ_QB("定额计价法", false); }),
            "Type mismatch: zhys.sjgcl, row ysid 1111");
  // Nor the base prices' rebuild of the fee rows.
  p.Execute("update zhys set sjgcl=1 where ysid=1111");
  ASSERT_EQ(p.orvane().ZhengLiGCShuJu(false), "");
  ASSERT_EQ(p.orvane().JiSuanDEJJ_QB(), "");
  p.Execute("update qfsjb set fxf='abc' where ysid=1111");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanZHDJ_QB("定额计价法", false); }),
            "Type mismatch: qfsjb.fxf, row ysid 1111");
  // A quantity that reads as no number stops the first member that reads it.
  p.Execute("update zhys set yssl='abc' where ysid=1111");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().ZhengLiGCShuJu(false); }), "Type mismatch: zhys.yssl, row ysid 1111");
}

// A figure column of the fee rows declared with a word as its default fills
// with that word when the base prices rebuild the rows: the unit prices
// still refuse it, though only the engine wrote the rows since.
TEST_F(DemoFigures, AWordTheFeeRowsTakeByDefaultIsRefused) {
  const std::string declared = p.Rows("select sql from sqlite_master where name='qfsjb'");
  const size_t clf = declared.find("\"clf\" REAL DEFAULT 0");
  ASSERT_NE(clf, std::string::npos) << declared;
  std::string redeclared = declared.substr(0, declared.size() - 1);  // the newline
  redeclared.replace(clf, std::string("\"clf\" REAL DEFAULT 0").size(), "\"clf\" REAL DEFAULT 'x'");
  p.Execute("drop table qfsjb");
  p.Execute(redeclared);
  EXPECT_EQ(PriceThrough({}).rfind("JiSuanZHDJ_QB: Type mismatch: qfsjb.clf, row ysid ", 0), 0u);
}

}  // namespace
}  // namespace quillmere
