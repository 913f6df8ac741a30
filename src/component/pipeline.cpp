// The whole calculation in pipeline order, with the host's preparations of
// the fee programme, progress reports and stage timings.

#include "quillmere/pipeline.h"

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/decimal.h"
#include "calc/unitprice/fee_programme.h"
#include "db/recordset.h"
#include "db/transaction.h"
#include "db/value.h"
#include "quillmere/cls_orvane.h"
#include "quillmere/connection.h"
#include "quillmere/project.h"

namespace quillmere {
namespace {

using Clock = std::chrono::steady_clock;

// The host's part of the fee programme: every code of a programme line of
// kind 1 becomes a fee and a rate column of the working tables, every
// estimate row gets its rates row, and a rate the host left null takes the
// line's own rate. Earlier lines win when a code repeats. The programme is
// checked as it is read, so a code or formula the pricing would refuse
// changes nothing here either.
void PrepareFeeProgramme(Connection& connection) {
  Transaction transaction(connection);
  const std::vector<FeeLine> programme = ReadFeeProgramme(connection);
  std::vector<std::string> codes;
  for (const FeeLine& line : programme) codes.push_back(line.code);
  AddFeeCodeColumns(connection, codes);
  connection.Execute("insert into temp_zhys(ysid) select ysid from zhys where ysid not in (select ysid from temp_zhys)");
  for (const FeeLine& line : programme) {
    const std::string rate = FeeColumn(line.code, "_FL");
    connection.Execute("update temp_zhys set " + rate + "=? where " + rate + " is null", {line.rate});
  }
  transaction.Commit();
}

double FloorAreaOf(Connection& connection) {
  Recordset rs;
  rs.Open(connection, "select shuzhi from gcxxb where mingc='建筑面积'");
  double area = 0;
  if (!rs.Eof() && ParseNumber(TextOrEmpty(rs.Field("shuzhi")), area)) return area;
  return 0;
}

}  // namespace

PipelineResult RunPipeline(ClsOrvane& orvane, const PipelineOptions& options, const ProgressCallback& progress) {
  PipelineResult result;
  Connection* connection = orvane.CnnData();
  if (connection == nullptr) {
    result.failed_stage = "CnnData";
    result.error = "no connection: assign CnnData before running the pipeline";
    return result;
  }
  const std::string method = options.method.value_or(options.bill_pricing ? "清单计价法" : "定额计价法");
  double zgr = 0;
  double cost = 0;
  double per_area = 0;

  // A host preparation reports its error like a member.
  auto host_step = [connection](const std::function<void(Connection&)>& step) -> std::string {
    try {
      step(*connection);
      return {};
    } catch (const std::exception& e) {
      return e.what();
    }
  };

  struct Stage {
    std::string name;
    std::function<std::string()> run;
  };
  std::vector<Stage> stages = {
      {"indexes", [&] { return host_step(EnsureIndexes); }},
      {"ZhengLiGCShuJu", [&] { return orvane.ZhengLiGCShuJu(options.bill_pricing); }},
      {"JiSuanDEJJ_QB", [&] { return orvane.JiSuanDEJJ_QB(); }},
      {"ChongXinJSXXJ_QB", [&] { return orvane.ChongXinJSXXJ_QB(options.clear_current); }},
      {"HuiZongRCJ", [&] { return orvane.HuiZongRCJ(); }},
      {"JiSuanXXJ", [&] { return orvane.JiSuanXXJ(options.install_difference); }},
      {"QingDanCLHZ", [&] { return orvane.QingDanCLHZ(); }},
  };
  if (options.fee_programme) stages.push_back({"fee programme columns", [&] { return host_step(PrepareFeeProgramme); }});
  std::vector<Stage> totals = {
      {"JiSuanZHDJ_QB", [&] { return orvane.JiSuanZHDJ_QB(method, options.fee_programme); }},
      {"JiSuanGCRCJ", [&] { return orvane.JiSuanGCRCJ(options.bill_pricing, zgr); }},
      {"JiSuanZDYCS", [&] { return orvane.JiSuanZDYCS(); }},
      {"JiSuanCSFB", [&] { return orvane.JiSuanCSFB(); }},
      {"JiSuanZLJE", [&] { return orvane.JiSuanZLJE(); }},
      {"JiSuanZCBFWF", [&] { return orvane.JiSuanZCBFWF(); }},
      {"JiSuanQTXM", [&] { return orvane.JiSuanQTXM(); }},
      {"JiSuanHZB", [&] { return orvane.JiSuanHZB(result.floor_area, cost, per_area); }},
  };
  stages.insert(stages.end(), totals.begin(), totals.end());

  const auto start = Clock::now();
  const int count = static_cast<int>(stages.size());
  for (int i = 0; i < count; ++i) {
    const Stage& stage = stages[static_cast<size_t>(i)];
    if (stage.name == "JiSuanHZB") {
      // Read only now: an earlier stage of this run may not touch it, but the
      // host may have stored it with the project.
      result.floor_area = options.floor_area ? *options.floor_area : FloorAreaOf(*connection);
    }
    if (progress) progress({stage.name, i + 1, count, false, 0});
    if (options.cancel != nullptr && options.cancel->load()) {
      result.failed_stage = stage.name;
      result.error = "cancelled before this stage";
      result.cancelled = true;
      break;
    }
    const auto stage_start = Clock::now();
    const std::string error = stage.run();
    const double seconds = std::chrono::duration<double>(Clock::now() - stage_start).count();
    result.stages.push_back({stage.name, seconds});
    if (progress) progress({stage.name, i + 1, count, true, seconds});
    if (!error.empty()) {
      result.failed_stage = stage.name;
      result.error = error;
      break;
    }
  }
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.labour_days = zgr;
  result.project_cost = cost;
  result.cost_per_area = per_area;
  return result;
}

ProjectSummary ReadProjectSummary(Connection& connection) {
  ProjectSummary summary;
  Recordset rs;
  rs.Open(connection, "select sjxh,fymc,jsjs,jsjsje,fl,jsjg from qfjjcxb where leixing=2 order by jsxh");
  for (; !rs.Eof(); rs.MoveNext()) {
    summary.summary_lines.push_back({rs.NumberOrZero("sjxh"), TextOrEmpty(rs.Field("fymc")),
                                     TextOrEmpty(rs.Field("jsjs")), rs.NumberOrZero("jsjsje"), rs.NumberOrZero("fl"),
                                     rs.NumberOrZero("jsjg")});
  }
  rs.Open(connection, "select fymc,blsz from qfblb where bllx+0=2");
  for (; !rs.Eof(); rs.MoveNext()) {
    summary.fee_variables.push_back({TextOrEmpty(rs.Field("fymc")), rs.NumberOrZero("blsz")});
  }
  return summary;
}

ProjectSummary ReadRunSummary(Connection& connection, PipelineResult& result) {
  try {
    return ReadProjectSummary(connection);
  } catch (const std::exception& e) {
    if (result.ok()) {
      result.failed_stage = "summary";
      result.error = e.what();
    }
    return {};
  }
}

}  // namespace quillmere
