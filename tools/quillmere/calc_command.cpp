// quillmere calc: the whole pipeline on a project database, with a live
// progress line and a summary of the project cost.

#include <unistd.h>

#include <cstdio>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "quillmere/cls_orvane.h"
#include "quillmere/member_call.h"
#include "quillmere/pipeline.h"

namespace quillmere::cli {
namespace {

// Columns a text takes on a terminal: CJK characters take two.
size_t DisplayWidth(const std::string& text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xe ? 3 : 4;
    width += length >= 3 ? 2 : 1;
    i += length;
  }
  return width;
}

std::string Pad(const std::string& text, size_t width) {
  const size_t w = DisplayWidth(text);
  return text + std::string(w < width ? width - w : 0, ' ');
}

std::string Money(double value) {
  std::ostringstream out;
  out << std::fixed << std::setprecision(2) << value;
  return out.str();
}

std::string Seconds(double seconds) {
  std::ostringstream out;
  out << std::fixed << std::setprecision(3) << seconds << " s";
  return out.str();
}

const char* kBillTotals[] = {"工程量清单计价", "施工技术措施", "措施项目计价", "暂列金额", "总承包服务费", "其他项目计价"};

void PrintSummary(const PipelineResult& result, const ProjectSummary& summary, const std::vector<Message>& messages) {
  std::cout << "Project cost (工程造价)      " << Money(result.project_cost) << "\n";
  std::cout << "Cost per floor area          " << Money(result.cost_per_area) << "  (floor area "
            << PlainNumber(result.floor_area) << ")\n";
  std::cout << "Labour days (总工日)         " << PlainNumber(result.labour_days) << "\n\n";

  std::cout << "Summary programme\n";
  size_t name_width = 4;
  size_t base_width = 4;
  for (const auto& line : summary.summary_lines) {
    name_width = std::max(name_width, DisplayWidth(line.name));
    base_width = std::max(base_width, DisplayWidth(line.base));
  }
  std::cout << "  " << std::setw(3) << "No" << "  " << Pad("Name", name_width) << "  " << Pad("Base", base_width)
            << "  " << std::setw(14) << "Base value" << "  " << std::setw(7) << "Rate %" << "  " << std::setw(14)
            << "Result" << "\n";
  for (const auto& line : summary.summary_lines) {
    std::cout << "  " << std::setw(3) << PlainNumber(line.number) << "  " << Pad(line.name, name_width) << "  "
              << Pad(line.base, base_width) << "  " << std::setw(14) << Money(line.base_value) << "  "
              << std::setw(7) << PlainNumber(line.rate) << "  " << std::setw(14) << Money(line.result) << "\n";
  }
  std::cout << "\nBill totals\n";
  for (const char* name : kBillTotals) {
    for (const auto& variable : summary.fee_variables) {
      if (variable.name == name) std::cout << "  " << Pad(name, 16) << std::setw(16) << Money(variable.value) << "\n";
    }
  }
  std::cout << "\nStages\n";
  for (const auto& stage : result.stages) std::cout << "  " << Pad(stage.name, 22) << Seconds(stage.seconds) << "\n";
  std::cout << "  " << Pad("whole pipeline", 22) << Seconds(result.seconds) << "\n";
  for (const auto& m : messages) std::cout << "\nmessage: " << m.prompt << "\n";
}

}  // namespace

void AddCalcCommand(CLI::App& app) {
  struct Options {
    std::string path;
    PipelineOptions pipeline;
    std::string method;
    double floor_area = 0;
    bool json = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* calc = app.add_subcommand("calc", "Price a project database through the whole pipeline");
  calc->add_option("DB", options->path, "Project database file")->required();
  calc->add_flag("--bill-pricing", options->pipeline.bill_pricing, "Price the project by bill items (BolQDJJ)");
  calc->add_flag("--fee-programme", options->pipeline.fee_programme,
                 "Unit prices through the fee programme rather than fixed rates (boljjcx)");
  calc->add_option("--method", options->method,
                   "Pricing method (StrJJFS); \"定额计价法\" sums section totals from sub-items. Default: "
                   "清单计价法 with --bill-pricing, else 定额计价法");
  CLI::Option* area = calc->add_option("--floor-area", options->floor_area,
                                       "Floor area for the cost per area (default: gcxxb 建筑面积, else 0)")
                           ->check(CLI::Validator(
                               [](const std::string& text) {
                                 double value = 0;
                                 return ReadNumberWord(text, value) && value >= 0
                                            ? std::string()
                                            : "the floor area is a number of at least 0, not " + text;
                               },
                               "AREA"));
  calc->add_flag("--clear-current", options->pipeline.clear_current,
                 "Zero the current-price results of every fee row first (BolQingKongXXJ)");
  calc->add_flag("--install-diff", options->pipeline.install_difference,
                 "Second-pass percentage rows add their amount less their base amount (BolJSAZ)");
  calc->add_flag("--json", options->json, "Print the summary as one JSON object");
  AddBusyTimeoutOption(calc);
  calc->footer(
      "Exit status: 0 success, 1 a member failed (its name and text on standard error), the database is busy or "
      "damaged, 2 usage error.");
  calc->callback([options, area] {
    if (!options->method.empty()) options->pipeline.method = options->method;
    if (area->count() > 0) options->pipeline.floor_area = options->floor_area;
    Connection connection = OpenProject(options->path);
    // A damaged file would be priced as if sound, its lost rows missing from
    // every total.
    std::string damage;
    try {
      damage = connection.QuickCheck();
    } catch (const Error&) {
      FailBusy(options->path);
    }
    if (!damage.empty()) Fail(options->path + " is damaged:\n" + damage, kFailure);
    ClsOrvane orvane;
    orvane.CnnData(connection);
    // The run holds the project from its first stage to its last, so that a
    // second calc on the file waits for this one (or gives up as busy) rather
    // than interleaving its stages with these. The stages before a failing
    // one are kept all the same.
    const auto stop = [&](const Error& e) {
      if (e.busy()) FailBusy(options->path);
      Fail(e.what(), kFailure);
    };
    try {
      connection.BeginTrans();
    } catch (const Error& e) {
      stop(e);
    }

    const bool live = isatty(STDERR_FILENO) != 0 && !options->json;
    PipelineResult result = RunPipeline(orvane, options->pipeline, [live](const StageProgress& p) {
      if (live) {
        std::cerr << "\r\033[K[" << p.index << "/" << p.count << "] " << p.name << (p.finished ? " done" : " ...")
                  << std::flush;
      } else if (p.finished) {
        std::cerr << "[" << p.index << "/" << p.count << "] " << p.name << " " << Seconds(p.seconds) << "\n";
      }
    });
    if (live) std::cerr << "\r\033[K";

    try {
      connection.CommitTrans();
    } catch (const Error& e) {
      // Readers kept the file busy beyond the timeout: nothing of the run is
      // kept, and nothing is reported as priced. Closing the connection would
      // roll back as well.
      try {
        connection.RollbackTrans();
      } catch (const Error&) {
      }
      stop(e);
    }
    const ProjectSummary summary = ReadRunSummary(connection, result);
    if (options->json) {
      std::cout << PipelineReportJson(result, summary, orvane.Messages()) << "\n";
    } else if (result.ok()) {
      PrintSummary(result, summary, orvane.Messages());
    }
    if (!result.ok()) Fail(result.failed_stage + " failed: " + result.error, kFailure);
  });
}

}  // namespace quillmere::cli
