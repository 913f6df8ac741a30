// The report as one self-contained HTML page: the cover, the charts as
// inline SVG and every form as a table, with its style sheet inside. It
// opens offline without script, prints on A4 (one form per page, table
// headings repeated) and narrows to a phone's width.

#include <fstream>
#include <string>

#include "base/decimal.h"
#include "quillmere/connection.h"
#include "quillmere/report.h"
#include "quillmere/version.h"
#include "report/figure_text.h"
#include "report/output_file.h"
#include "report/svg_charts.h"

namespace quillmere {
namespace {

constexpr const char* kStyleSheet = R"css(
:root { --ink: #1d2733; --muted: #5b6876; --line: #d5dbe1; --band: #eef2f6; --accent: #1f5f99; }
* { box-sizing: border-box; }
body { margin: 0; color: var(--ink); background: #f7f9fb; font: 14px/1.5 "Noto Sans CJK SC", "Source Han Sans SC",
  "PingFang SC", "Microsoft YaHei", "WenQuanYi Micro Hei", sans-serif; }
header.cover { background: #fff; border-bottom: 1px solid var(--line); padding: 28px 20px 20px; }
.page { max-width: 1240px; margin: 0 auto; }
.kicker { margin: 0; color: var(--muted); letter-spacing: .2em; }
h1 { margin: 4px 0 16px; font-size: 28px; }
.cost { display: flex; flex-wrap: wrap; align-items: baseline; gap: 6px 18px; margin-bottom: 16px; }
.cost .label { color: var(--muted); }
.cost .figure { font-size: 36px; font-weight: 700; color: var(--accent); font-variant-numeric: tabular-nums; }
.cost .words { font-size: 18px; }
nav.contents { background: #fff; border-bottom: 1px solid var(--line); padding: 8px 20px; }
nav.contents ol { margin: 0 auto; padding: 0; list-style: none; display: flex; flex-wrap: wrap; gap: 4px 16px; }
nav.contents a { color: var(--accent); text-decoration: none; }
main { padding: 8px 20px 40px; }
h2 { font-size: 20px; margin: 32px 0 10px; }
.charts { display: grid; grid-template-columns: repeat(auto-fit, minmax(340px, 1fr)); gap: 16px; }
figure { margin: 0; background: #fff; border: 1px solid var(--line); border-radius: 6px; padding: 12px 14px; }
figcaption { font-weight: 600; margin-bottom: 8px; }
svg { display: block; width: 100%; height: auto; }
svg .label { font-size: 20px; fill: var(--ink); }
svg .figure { font-size: 18px; fill: var(--muted); }
.table-wrap { overflow-x: auto; background: #fff; border: 1px solid var(--line); border-radius: 6px; }
table { border-collapse: collapse; width: 100%; font-size: 13px; }
th, td { border: 1px solid var(--line); padding: 4px 8px; text-align: left; vertical-align: top; }
thead th { background: #e3eaf1; white-space: nowrap; }
td.n { text-align: right; white-space: nowrap; font-variant-numeric: tabular-nums; }
tr.heading td { background: var(--band); font-weight: 600; }
tr.subtotal td { font-weight: 600; }
tr.total td { font-weight: 700; border-top: 2px solid var(--ink); }
tr.heads td { background: #f4f4f4; color: var(--muted); font-weight: 600; }
tr.detail td:nth-child(-n+2) { padding-left: 20px; }
header .table-wrap { max-width: 640px; }
footer { color: var(--muted); font-size: 12px; padding: 0 20px 24px; }
@media (max-width: 640px) {
  body { font-size: 13px; }
  header.cover { padding: 20px 14px 14px; }
  h1 { font-size: 22px; }
  .cost .figure { font-size: 28px; }
  .cost .words { font-size: 16px; }
  main, nav.contents { padding-left: 12px; padding-right: 12px; }
  table { font-size: 12px; }
  th, td { white-space: nowrap; }
}
@media print {
  @page { size: A4 landscape; margin: 12mm 10mm; }
  body { background: #fff; font-size: 9pt; }
  nav.contents { display: none; }
  header.cover, main { padding: 0; }
  .charts { grid-template-columns: repeat(3, 1fr); }
  figure { border: 0; break-inside: avoid; }
  .table-wrap { border: 0; overflow: visible; }
  h2 { break-after: avoid; }
  section.form { break-before: page; }
  table { font-size: 8pt; }
  thead { display: table-header-group; }
  tr { break-inside: avoid; }
  tr.heads { break-after: avoid; }
}
)css";

const char* RowClass(ReportRowStyle style) {
  switch (style) {
    case ReportRowStyle::kHeading:
      return " class=\"heading\"";
    case ReportRowStyle::kSubtotal:
      return " class=\"subtotal\"";
    case ReportRowStyle::kTotal:
      return " class=\"total\"";
    case ReportRowStyle::kColumnHeads:
      return " class=\"heads\"";
    case ReportRowStyle::kDetail:
      return " class=\"detail\"";
    case ReportRowStyle::kItem:
      break;
  }
  return "";
}

void AppendCell(const ReportCell& cell, std::string& page) {
  switch (cell.kind) {
    case ReportCell::Kind::kText:
      page += "<td>" + EscapeMarkup(cell.text) + "</td>";
      return;
    case ReportCell::Kind::kMoney:
      page += "<td class=\"n\">" + MoneyText(cell.value) + "</td>";
      return;
    case ReportCell::Kind::kNumber:
      page += "<td class=\"n\">" + NumberText(cell.value) + "</td>";
      return;
    case ReportCell::Kind::kEmpty:
      break;
  }
  page += "<td></td>";
}

void AppendTable(const ReportForm& form, std::string& page) {
  page += "<div class=\"table-wrap\"><table><thead><tr>";
  for (const std::string& column : form.columns) page += "<th scope=\"col\">" + EscapeMarkup(column) + "</th>";
  page += "</tr></thead><tbody>\n";
  for (const ReportRow& row : form.rows) {
    page += "<tr";
    page += RowClass(row.style);
    page += ">";
    for (size_t c = 0; c < form.columns.size(); ++c) {
      static const ReportCell kBlank;
      AppendCell(c < row.cells.size() ? row.cells[c] : kBlank, page);
    }
    page += "</tr>\n";
  }
  page += "</tbody></table></div>\n";
}

std::string FormAnchor(size_t index) { return "form-" + std::to_string(index); }

std::string Page(const ReportModel& model) {
  std::string page;
  size_t cells = 0;
  for (const ReportForm& form : model.forms) cells += form.rows.size() * form.columns.size();
  page.reserve(4096 + cells * 24);

  page += "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n";
  page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  page += "<meta name=\"generator\" content=\"Quillmere " QUILLMERE_VERSION "\">\n";
  page += "<title>" + EscapeMarkup(model.title) + " · 工程造价报表</title>\n<style>" + kStyleSheet + "</style>\n";
  page += "</head>\n<body>\n";

  // The cover: the title, the project cost in figures and in words, and the
  // first form (the project summary) beside them.
  page += "<header class=\"cover\" id=\"cover\"><div class=\"page\">\n<p class=\"kicker\">工程造价报表</p>\n";
  page += "<h1>" + EscapeMarkup(model.title) + "</h1>\n";
  page += "<div class=\"cost\"><span class=\"label\">工程造价</span><span class=\"figure\">¥" +
          MoneyText(model.project_cost) + "</span><span class=\"words\">" + EscapeMarkup(model.project_cost_words) +
          "</span></div>\n";
  if (!model.forms.empty()) AppendTable(model.forms.front(), page);
  page += "</div></header>\n";

  page += "<nav class=\"contents\"><ol class=\"page\"><li><a href=\"#charts\">图表</a></li>";
  for (size_t i = 1; i < model.forms.size(); ++i) {
    page += "<li><a href=\"#" + FormAnchor(i) + "\">" + EscapeMarkup(model.forms[i].title) + "</a></li>";
  }
  page += "</ol></nav>\n<main class=\"page\">\n";

  page += "<section id=\"charts\"><h2>图表</h2><div class=\"charts\">\n";
  for (const ReportChart& chart : model.charts) {
    page += "<figure><figcaption>" + EscapeMarkup(chart.title) + "</figcaption>" +
            BarChartSvg(chart, model.project_cost) + "</figure>\n";
  }
  page += "</div></section>\n";

  for (size_t i = 1; i < model.forms.size(); ++i) {
    page +=
        "<section class=\"form\" id=\"" + FormAnchor(i) + "\"><h2>" + EscapeMarkup(model.forms[i].title) + "</h2>\n";
    AppendTable(model.forms[i], page);
    page += "</section>\n";
  }
  page += "</main>\n<footer class=\"page\">金额单位：元。由 Quillmere " QUILLMERE_VERSION
          " 根据项目数据库中的计算结果生成。</footer>\n</body>\n</html>\n";
  return page;
}

}  // namespace

std::string WriteWebPage(const ReportModel& model, const std::string& path) {
  try {
    const std::string page = Page(model);
    WriteWholeFile(path, [&](const std::string& temporary) {
      std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
      out.write(page.data(), static_cast<std::streamsize>(page.size()));
      out.close();
      if (!out) throw Error("cannot write " + path);
    });
    return {};
  } catch (const std::exception& e) {
    return e.what();
  }
}

}  // namespace quillmere
