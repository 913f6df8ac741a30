// Reports of a priced project: the standard forms of a bill-of-quantities
// valuation as an Excel workbook and as a self-contained web page with charts.
//
// A host prices the project (quillmere/pipeline.h), builds the report model
// from the connection, then writes either format or both. Building only reads
// the project database; a writer leaves either the whole file or none.
// Each function follows the result convention of ClsOrvane's text members:
// the empty text on success, otherwise the reason, and nothing thrown.

#ifndef QUILLMERE_REPORT_H_
#define QUILLMERE_REPORT_H_

#include <string>
#include <vector>

namespace quillmere {

class Connection;

struct ReportOptions {
  // The cover's title; empty: the project name (gcxxb "工程名称"), or
  // "工程造价报表" when the project has none.
  std::string title;
};

// One cell of a form. Money shows two decimals; a number (a quantity, a
// rate) shows as stored. The value is always the figure the engine stored.
struct ReportCell {
  enum class Kind { kEmpty, kText, kMoney, kNumber };
  Kind kind = Kind::kEmpty;
  std::string text;
  double value = 0;
};

enum class ReportRowStyle {
  kItem,         // a line of the form
  kDetail,       // a line under the item before it (a quota sub-item, a detail line)
  kHeading,      // a section or a group, opening the lines under it
  kSubtotal,     // a section's stored total, closing its lines
  kTotal,        // the form's stored total
  kColumnHeads,  // headings for the lines that follow, where they differ from the form's
};

struct ReportRow {
  ReportRowStyle style = ReportRowStyle::kItem;
  std::vector<ReportCell> cells;
};

struct ReportForm {
  std::string title;  // the form's standard Chinese name, also its sheet's
  std::vector<std::string> columns;
  std::vector<ReportRow> rows;
};

// A bar chart of the page: each bar a labelled amount.
struct ReportChart {
  struct Bar {
    std::string label;
    double value = 0;
  };
  std::string title;
  std::vector<Bar> bars;
};

struct ReportModel {
  std::string title;
  std::string project_name;
  double project_cost = 0;         // gcxxb "工程造价"
  std::string project_cost_words;  // the same in upper-case money words
  double floor_area = 0;           // gcxxb "建筑面积"
  double cost_per_area = 0;        // gcxxb "经济指标"
  double labour_days = 0;          // gcxxb "总工日"
  // Cover, 单位工程汇总表, 分部分项工程和单价措施项目清单与计价表,
  // 综合单价分析表, 总价措施项目清单与计价表, 暂列金额明细表,
  // 总承包服务费计价表, 其他项目清单与计价汇总表, 人材机汇总表.
  std::vector<ReportForm> forms;
  // The project cost by summary line; labour, materials, machines and the
  // rest at current prices; the ten bill items with the largest totals.
  std::vector<ReportChart> charts;
};

// Reads the forms and charts of the priced project on `connection` into
// `model`, in one read transaction. Fails, naming what is missing, when the
// project has not been priced (no project cost in gcxxb) or lacks a table or
// column a form needs. docs/REPORTS.md names the column behind every figure.
std::string BuildReport(Connection& connection, const ReportOptions& options, ReportModel& model);

// Writes the model as an XLSX workbook (one sheet per form) or as one HTML
// file that opens offline, at `path`, replacing a file there. The file is
// written beside `path` under another name and renamed into place, so a
// failure leaves no partial file and an existing file as it was.
std::string WriteWorkbook(const ReportModel& model, const std::string& path);
std::string WriteWebPage(const ReportModel& model, const std::string& path);

}  // namespace quillmere

#endif  // QUILLMERE_REPORT_H_
