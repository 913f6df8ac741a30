// A pipeline run as one JSON object: what `quillmere calc --json` prints and
// what the C interface hands a host, from this one function.

#include <string>
#include <vector>

#include "component/host_json.h"
#include "quillmere/pipeline.h"

namespace quillmere {

std::string PipelineReportJson(const PipelineResult& result, const ProjectSummary& summary,
                               const std::vector<Message>& messages) {
  Json lines = Json::array();
  for (const auto& line : summary.summary_lines) {
    lines.push_back({{"number", Tidy(line.number)},
                     {"name", line.name},
                     {"base", line.base},
                     {"base_value", Tidy(line.base_value)},
                     {"rate", Tidy(line.rate)},
                     {"result", Tidy(line.result)}});
  }
  Json variables = Json::object();
  for (const auto& v : summary.fee_variables) variables[v.name] = Tidy(v.value);
  Json stages = Json::array();
  for (const auto& s : result.stages) stages.push_back({{"name", s.name}, {"seconds", s.seconds}});
  Json boxes = Json::array();
  for (const auto& m : messages) boxes.push_back({{"prompt", m.prompt}, {"style", m.style}, {"title", m.title}});
  Json report = {{"ok", result.ok()}};
  if (!result.ok()) {
    report["failed_stage"] = result.failed_stage;
    report["error"] = result.error;
    if (result.cancelled) report["cancelled"] = true;
  }
  report["project_cost"] = Tidy(result.project_cost);
  report["cost_per_area"] = Tidy(result.cost_per_area);
  report["floor_area"] = Tidy(result.floor_area);
  report["labour_days"] = Tidy(result.labour_days);
  report["summary_lines"] = lines;
  report["fee_variables"] = variables;
  report["stages"] = stages;
  report["seconds"] = result.seconds;
  report["messages"] = boxes;
  return Dump(report, 2);
}

}  // namespace quillmere
