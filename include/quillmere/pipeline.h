// The whole calculation in one call: every member of ClsOrvane in pipeline
// order, from raw estimate rows to the project cost, with progress reports.

#ifndef QUILLMERE_PIPELINE_H_
#define QUILLMERE_PIPELINE_H_

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "quillmere/messages.h"

namespace quillmere {

class ClsOrvane;
class Connection;

struct PipelineOptions {
  bool bill_pricing = false;           // BolQDJJ: the project is priced by bill items
  bool fee_programme = false;          // boljjcx: unit prices through the fee programme
  std::optional<std::string> method;   // StrJJFS; default "清单计价法" with bill pricing, else "定额计价法"
  std::optional<double> floor_area;    // DblJZMJ; default the gcxxb row "建筑面积", else 0
  bool clear_current = false;          // BolQingKongXXJ: zero the current-price results first
  bool install_difference = false;     // BolJSAZ
  // Read before each stage starts, right after its start is reported: true
  // stops the run there (the host's cancel button, set from any thread).
  const std::atomic<bool>* cancel = nullptr;
};

// One stage of the run, as reported to the progress callback: once when it
// starts (finished false) and once when it ends (finished true, with its time).
struct StageProgress {
  std::string name;
  int index = 0;  // 1-based
  int count = 0;
  bool finished = false;
  double seconds = 0;
};
using ProgressCallback = std::function<void(const StageProgress&)>;

struct StageTiming {
  std::string name;
  double seconds = 0;
};

struct PipelineResult {
  // Empty when every stage succeeded; otherwise the member that failed and
  // its result text. The stages before it stay committed.
  std::string failed_stage;
  std::string error;
  // The host cancelled before failed_stage: it and the stages after it did
  // not run, those before stay committed.
  bool cancelled = false;
  double project_cost = 0;   // DblGCZJ
  double cost_per_area = 0;  // DblJJZB
  double labour_days = 0;    // zgr
  double floor_area = 0;     // the DblJZMJ used
  std::vector<StageTiming> stages;
  double seconds = 0;

  bool ok() const { return failed_stage.empty(); }
};

// Runs ZhengLiGCShuJu, JiSuanDEJJ_QB, ChongXinJSXXJ_QB, HuiZongRCJ,
// JiSuanXXJ, QingDanCLHZ, JiSuanZHDJ_QB, JiSuanGCRCJ, JiSuanZDYCS,
// JiSuanCSFB, JiSuanZLJE, JiSuanZCBFWF, JiSuanQTXM and JiSuanHZB on the
// connection `orvane` holds, and stops at the first that fails or when
// options.cancel is set; every stage commits as it ends, so a run stopped
// either way keeps the stages before the stop. First it
// makes sure the indexes the stages rely on exist; with the fee programme it
// also does the host's part: the fee-code columns of every programme line
// of kind 1 in temp_qfsjb and temp_zhys, a temp_zhys row for every estimate
// row, and the line's rate fl where a row's rate was left null.
PipelineResult RunPipeline(ClsOrvane& orvane, const PipelineOptions& options, const ProgressCallback& progress = {});

// A line of the summary programme (qfjjcxb, leixing 2) as priced.
struct SummaryLine {
  double number = 0;  // sjxh
  std::string name;   // fymc
  std::string base;   // jsjs, the formula
  double base_value = 0;  // jsjsje
  double rate = 0;        // fl
  double result = 0;      // jsjg
};

// A fee variable (qfblb, bllx 2) and its value.
struct FeeVariableValue {
  std::string name;
  double value = 0;
};

// What a priced project shows: its summary lines in calculation order and its
// fee variables in table order.
struct ProjectSummary {
  std::vector<SummaryLine> summary_lines;
  std::vector<FeeVariableValue> fee_variables;
};
ProjectSummary ReadProjectSummary(Connection& connection);

// The summary at the end of a run. A project whose summary cannot be read (a
// table or column missing, a line number that is a word) fails the run there,
// under the stage name "summary", and gives an empty summary; a run that had
// already failed keeps its own error.
ProjectSummary ReadRunSummary(Connection& connection, PipelineResult& result);

// A run as one JSON object, as `quillmere calc --json` prints it and the C
// interface hands it over: "ok"; "failed_stage", "error" (and "cancelled":
// true) when it stopped early; "project_cost", "cost_per_area",
// "floor_area", "labour_days", "summary_lines", "fee_variables", "stages"
// with their seconds, "seconds", and the message boxes `messages` of the run.
// Numbers carry at most 15 significant digits; indented by two spaces.
std::string PipelineReportJson(const PipelineResult& result, const ProjectSummary& summary,
                               const std::vector<Message>& messages);

}  // namespace quillmere

#endif  // QUILLMERE_PIPELINE_H_
