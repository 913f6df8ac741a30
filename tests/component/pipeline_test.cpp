// The whole pipeline as a host runs it: the demo project in every mode, the
// host's preparations of the fee programme and progress reports.

#include "quillmere/pipeline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(Pipeline, PricesTheDemoInEveryMode) {
  // The demo's project cost in each mode, as it has always priced; 9200 m2 of
  // floor area give 122.55 a square metre in all four. The worked example
  // checks the figures by hand.
  const struct {
    bool bill_pricing;
    bool fee_programme;
    double cost;
  } modes[] = {
      {false, false, 1127436.69}, {false, true, 1127436.69}, {true, false, 1127430.51}, {true, true, 1127427.66}};
  for (const auto& mode : modes) {
    SCOPED_TRACE(std::to_string(mode.bill_pricing) + std::to_string(mode.fee_programme));
    Project p;
    WriteDemoProject(p.db());
    // Tables of the host's named as the engine's sums are named: the run
    // neither needs their names free nor touches them.
    for (const char* table : {"desjb", "qdsjb", "aaaa"}) {
      p.Execute(std::string("create table ") + table + " (kept)")
          .Execute(std::string("insert into ") + table + " values ('host')");
    }
    const PipelineResult result = Price(p, mode.bill_pricing, mode.fee_programme);
    ASSERT_TRUE(result.ok()) << result.failed_stage << ": " << result.error;
    EXPECT_EQ(p.Rows("select * from desjb union all select * from qdsjb union all select * from aaaa"),
              "host\nhost\nhost\n");
    EXPECT_TRUE(p.orvane().Messages().empty());
    EXPECT_EQ(result.project_cost, mode.cost);
    EXPECT_EQ(result.cost_per_area, 122.55);
    EXPECT_EQ(result.labour_days, 721);
    EXPECT_EQ(p.Number("select count(*) from zhys where fbcch=0 and sjbj=0"), 0);
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
  ASSERT_EQ(events.size(), 32u);
  EXPECT_EQ(events[1], "end indexes 1/16");
  EXPECT_EQ(events[14], "start fee programme columns 8/16");
  EXPECT_EQ(events[31], "end JiSuanHZB 16/16");
  EXPECT_EQ(given.cost_per_area, 11274.37);  // 1127436.69 / 100

  p.Execute("delete from gcxxb where mingc='建筑面积'");
  const PipelineResult absent = RunPipeline(p.orvane(), PipelineOptions());
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

}  // namespace
}  // namespace quillmere
