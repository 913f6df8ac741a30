// The whole pipeline as a host runs it: the demo project in every mode, the
// host's preparations of the fee programme, progress reports, and a failing
// stage that stops the run with the earlier stages committed.

#include "quillmere/pipeline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/decimal.h"
#include "quillmere/samples.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

PipelineResult Price(Project& p, bool bill_pricing, bool fee_programme, const ProgressCallback& progress = {}) {
  PipelineOptions options;
  options.bill_pricing = bill_pricing;
  options.fee_programme = fee_programme;
  return RunPipeline(p.orvane(), options, progress);
}

TEST(Pipeline, PricesTheDemoInEveryModeAndItsSummaryLinesAddUp) {
  for (const bool bill_pricing : {false, true}) {
    for (const bool fee_programme : {false, true}) {
      SCOPED_TRACE(std::string(bill_pricing ? "bill items" : "sub-items") +
                   (fee_programme ? ", fee programme" : ", fixed rates"));
      Project p;
      WriteDemoProject(p.db());
      const PipelineResult result = Price(p, bill_pricing, fee_programme);
      ASSERT_TRUE(result.ok()) << result.failed_stage << ": " << result.error;
      EXPECT_TRUE(p.orvane().Messages().empty());

      const ProjectSummary summary = ReadProjectSummary(p.db());
      ASSERT_EQ(summary.summary_lines.size(), 6u);
      std::vector<double> r;
      for (const auto& line : summary.summary_lines) r.push_back(line.result);
      // 规费 is a quarter of the labour, 税金 9% of lines 1 to 4, the cost
      // the sum of lines 1 to 5.
      EXPECT_EQ(r[4], RoundDecimal((r[0] + r[1] + r[2] + r[3]) * 9 / 100, 2));
      EXPECT_EQ(r[5], RoundDecimal(r[0] + r[1] + r[2] + r[3] + r[4], 2));
      EXPECT_EQ(result.project_cost, r[5]);
      EXPECT_GT(result.project_cost, 500000);
      EXPECT_EQ(result.cost_per_area, RoundDecimal(result.project_cost / 9200, 2));
      EXPECT_EQ(result.floor_area, 9200);
      // The bill total is the sub-item bill; the measures and the other items
      // follow it.
      EXPECT_EQ(r[0], p.Number("select blsz from qfblb where fymc='工程量清单计价'"));
      EXPECT_EQ(r[2], p.Number("select hj from qtxm where xmmc='合计'"));
      EXPECT_EQ(p.Number("select count(*) from zhys where fbcch=0 and sjbj=0"), 0);
    }
  }
}

TEST(Pipeline, ReportsEveryStageInOrderAndTakesTheFloorAreaFromTheProjectUnlessGiven) {
  Project p;
  WriteDemoProject(p.db());
  std::vector<std::string> events;
  PipelineOptions options;
  options.fee_programme = true;
  options.floor_area = 100;
  const PipelineResult given = RunPipeline(p.orvane(), options, [&](const StageProgress& s) {
    events.push_back((s.finished ? "end " : "start ") + s.name + " " + std::to_string(s.index) + "/" +
                     std::to_string(s.count));
  });
  ASSERT_TRUE(given.ok()) << given.error;
  ASSERT_EQ(given.stages.size(), 16u);
  ASSERT_EQ(events.size(), 32u);
  EXPECT_EQ(events[0], "start indexes 1/16");
  EXPECT_EQ(events[1], "end indexes 1/16");
  EXPECT_EQ(events[2], "start ZhengLiGCShuJu 2/16");
  EXPECT_EQ(events[14], "start fee programme columns 8/16");
  EXPECT_EQ(events[31], "end JiSuanHZB 16/16");
  EXPECT_EQ(given.floor_area, 100);
  EXPECT_EQ(given.cost_per_area, RoundDecimal(given.project_cost / 100, 2));

  p.Execute("delete from gcxxb where mingc='建筑面积'");
  const PipelineResult absent = RunPipeline(p.orvane(), PipelineOptions());
  EXPECT_EQ(absent.floor_area, 0);
  EXPECT_EQ(absent.cost_per_area, 0);
  EXPECT_EQ(p.Rows("select shuzhi from gcxxb where mingc='经济指标'"), "0\n");
}

TEST(Pipeline, PreparesTheFeeProgrammeAsTheHostWould) {
  Project p;
  p.Execute("insert into zhys(ysid,fbcch) values (1,0),(2,0)");
  p.Execute(
      "insert into qfjjcxb(fycode,sjgs,fl,leixing,jsxh) values ('GLF','[jsjs]',18,1,1),('AQWM','[jsjs]',2.5,1,2)");
  p.Execute("alter table temp_zhys add column GLF_FL real");
  p.Execute("insert into temp_zhys(ysid,GLF_FL) values (2,12)");  // a rate the host set itself
  ASSERT_TRUE(Price(p, false, true).ok());
  EXPECT_EQ(p.Rows("select ysid,GLF_FL,AQWM_FL from temp_zhys order by ysid"), "1 | 18 | 2.5\n2 | 12 | 2.5\n");
  EXPECT_EQ(p.Rows("select count(*) from pragma_table_info('temp_qfsjb') where name in ('AQWM','AQWM_FL','GLF_FL')"),
            "3\n");
}

TEST(Pipeline, RefusesAFeeCodeThatCannotNameAColumn) {
  Project p;
  p.Insert("qfjjcxb", {{"fycode", "GLF]=0,x=[y"}, {"sjgs", "1"}, {"leixing", 1}, {"jsxh", 1}});
  const PipelineResult result = Price(p, false, true);
  EXPECT_EQ(result.failed_stage, "fee programme columns");
  EXPECT_EQ(result.error, "the fee code \"GLF]=0,x=[y\" of the fee programme cannot name a column");
}

TEST(Pipeline, StopsAtTheFailingStageWithTheEarlierStagesCommitted) {
  Project p;
  WriteDemoProject(p.db());
  p.Execute("create table fxrgbtemp (ysid integer)");  // left over by an interrupted run
  p.Execute("drop index idx_qddyb_fb5");
  const PipelineResult result = Price(p, false, false);
  EXPECT_EQ(result.failed_stage, "JiSuanXXJ");
  EXPECT_EQ(result.error, "table fxrgbtemp already exists");
  EXPECT_EQ(result.stages.size(), 6u);
  // The stages before it stay committed: indexes, mapping, fee rows, analysis.
  EXPECT_EQ(p.Number("select count(*) from sqlite_schema where name='idx_qddyb_fb5'"), 1);
  EXPECT_GT(p.Number("select count(*) from qddyb"), 0);
  EXPECT_GT(p.Number("select sum(rgjj) from qfsjb"), 0);
  EXPECT_GT(p.Number("select count(*) from fxrgb"), 0);
  // Nothing after it ran.
  EXPECT_EQ(p.Number("select sum(rgf) from qfsjb"), 0);
  EXPECT_EQ(p.Rows("select shuzhi from gcxxb where mingc='工程造价'"), "0\n");
}

}  // namespace
}  // namespace quillmere
