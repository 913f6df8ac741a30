// Benchmark of the whole pipeline on a generated project: the time of every
// stage, of the whole run, of one single-row recalculation and one bill item
// price, and the peak memory. Run by bench/run for several sizes.

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "db/recordset.h"
#include "db/value.h"
#include "quillmere/cls_orvane.h"
#include "quillmere/connection.h"
#include "quillmere/pipeline.h"
#include "quillmere/project.h"
#include "quillmere/samples.h"

using namespace quillmere;

namespace {

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: pipeline_bench SUBITEMS [--fee-programme] [--bill-pricing]\n";
    return 2;
  }
  const int subitems = std::atoi(argv[1]);
  PipelineOptions options;
  for (int i = 2; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--fee-programme") options.fee_programme = true;
    if (flag == "--bill-pricing") options.bill_pricing = true;
  }
  const std::string path =
      (std::filesystem::temp_directory_path() / ("quillmere_bench_" + std::to_string(getpid()) + ".db")).string();
  std::filesystem::remove(path);
  {
    Connection connection = Connection::Open(path);
    const auto start = std::chrono::steady_clock::now();
    CreateProjectSchema(connection);
    WriteGeneratedProject(connection, subitems, 1);
    std::printf("generated %d sub-items in %.2f s\n", subitems, Since(start));

    ClsOrvane orvane;
    orvane.CnnData(connection);
    const PipelineResult result = RunPipeline(orvane, options);
    for (const auto& stage : result.stages) std::printf("  %-22s %8.3f s\n", stage.name.c_str(), stage.seconds);
    std::printf("  %-22s %8.3f s\n", "whole pipeline", result.seconds);
    if (!result.ok()) {
      std::printf("FAILED at %s: %s\n", result.failed_stage.c_str(), result.error.c_str());
      return 1;
    }
    std::printf("project cost %.2f\n", result.project_cost);

    // One sub-item and one bill item from the middle of the project.
    Recordset rs;
    rs.Open(connection,
            "select ysid, fb5 from qddyb where fb5<>0 order by ysid limit 1 offset (select count(*)/2 from qddyb)");
    const auto row = static_cast<std::int32_t>(ToNumber(rs.Field("ysid")));
    const auto bill_item = static_cast<std::int32_t>(ToNumber(rs.Field("fb5")));
    rs.Open(connection, "select group_concat(ysid) as ids from qddyb where fb5=?", {std::int64_t{bill_item}});
    const std::string ids = TextOrEmpty(rs.Field("ids"));

    auto start_row = std::chrono::steady_clock::now();
    const bool row_ok = orvane.JiSuanZHDJ(row, options.fee_programme);
    std::printf("  %-22s %8.3f s (%s)\n", "JiSuanZHDJ one row", Since(start_row), row_ok ? "ok" : "failed");
    double zgj = 0;
    auto start_bill = std::chrono::steady_clock::now();
    const double price = orvane.JiSuanQDDJ(bill_item, ids, false, zgj, options.fee_programme);
    std::printf("  %-22s %8.3f s (unit price %.2f)\n", "JiSuanQDDJ one bill item", Since(start_bill), price);
    for (const auto& m : orvane.Messages()) std::printf("message: %s\n", m.prompt.c_str());
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak memory %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
  std::filesystem::remove(path);
  return 0;
}
