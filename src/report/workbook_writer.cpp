// The report as an XLSX workbook, written with libxlsxwriter: one sheet per
// form, figures stored as numbers with two-decimal money formats, the
// heading rows frozen and repeated on every printed A4 landscape page.

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "base/decimal.h"
#include "quillmere/connection.h"
#include "quillmere/report.h"
#include "report/figure_text.h"
#include "report/output_file.h"

namespace quillmere {
namespace {

// Rows above the figures: the form's title, the project, the column names.
constexpr lxw_row_t kTitleRow = 0;
constexpr lxw_row_t kProjectRow = 1;
constexpr lxw_row_t kColumnRow = 2;
constexpr lxw_row_t kFirstFigureRow = 3;
constexpr uint8_t kPaperA4 = 9;
constexpr const char* kMoneyFormat = "#,##0.00";

// The bytes of the UTF-8 character that starts with `lead`.
size_t CharacterLength(char lead) {
  const auto c = static_cast<unsigned char>(lead);
  return c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xe ? 3 : 4;
}

// Columns a text takes in a spreadsheet cell: CJK characters take two.
double TextWidth(const std::string& text) {
  double width = 0;
  for (size_t i = 0; i < text.size(); i += CharacterLength(text[i])) width += CharacterLength(text[i]) >= 3 ? 2 : 1;
  return width;
}

double CellWidth(const ReportCell& cell) {
  switch (cell.kind) {
    case ReportCell::Kind::kText:
      return TextWidth(cell.text);
    case ReportCell::Kind::kMoney:
      // The money format shows what the page shows.
      return static_cast<double>(MoneyText(cell.value).size());
    case ReportCell::Kind::kNumber:
      return static_cast<double>(NumberText(cell.value).size());
    case ReportCell::Kind::kEmpty:
      break;
  }
  return 0;
}

// A workbook being written; closing it writes the file, and a workbook left
// by an error is closed too (into the temporary file that is then removed).
class Workbook {
 public:
  explicit Workbook(const std::string& path) {
    // Rows go out in order, so each is flushed to disk as the next begins
    // instead of a large project's forms being held in memory.
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    workbook_ = workbook_new_opt(path.c_str(), &options);
    if (workbook_ == nullptr) throw Error("cannot create the workbook " + path);
  }
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;
  ~Workbook() {
    if (workbook_ != nullptr) workbook_close(workbook_);
  }

  lxw_workbook* get() { return workbook_; }

  void Close() {
    const lxw_error error = workbook_close(workbook_);
    workbook_ = nullptr;
    Check(error);
  }

  // The format of a cell of `kind` in a row of `style`. Cells that look
  // alike share one format object: libxlsxwriter looks up the index of a
  // format equal to an earlier one again for every cell written with it.
  lxw_format* Format(ReportRowStyle style, ReportCell::Kind kind) {
    const bool money = kind == ReportCell::Kind::kMoney;
    const bool indented =
        style == ReportRowStyle::kDetail && (kind == ReportCell::Kind::kText || kind == ReportCell::Kind::kEmpty);
    // A detail line differs from an item only by the indent of its texts.
    if (style == ReportRowStyle::kDetail) style = ReportRowStyle::kItem;
    const auto key = std::make_tuple(style, money, indented);
    auto found = formats_.find(key);
    if (found != formats_.end()) return found->second;
    lxw_format* format = workbook_add_format(workbook_);
    format_set_border(format, LXW_BORDER_THIN);
    format_set_align(format, LXW_ALIGN_VERTICAL_CENTER);
    if (money) format_set_num_format(format, kMoneyFormat);
    if (indented) format_set_indent(format, 1);
    switch (style) {
      case ReportRowStyle::kHeading:
        format_set_bold(format);
        format_set_bg_color(format, 0xEEF2F6);
        break;
      case ReportRowStyle::kSubtotal:
        format_set_bold(format);
        break;
      case ReportRowStyle::kTotal:
        format_set_bold(format);
        format_set_top(format, LXW_BORDER_DOUBLE);
        break;
      case ReportRowStyle::kColumnHeads:
        format_set_bold(format);
        format_set_bg_color(format, 0xF4F4F4);
        format_set_align(format, LXW_ALIGN_CENTER);
        break;
      case ReportRowStyle::kDetail:
      case ReportRowStyle::kItem:
        break;
    }
    formats_.emplace(key, format);
    return format;
  }

  lxw_format* TitleFormat() {
    if (title_ == nullptr) {
      title_ = workbook_add_format(workbook_);
      format_set_bold(title_);
      format_set_font_size(title_, 14);
      format_set_align(title_, LXW_ALIGN_CENTER);
      format_set_align(title_, LXW_ALIGN_VERTICAL_CENTER);
    }
    return title_;
  }

  static void Check(lxw_error error) {
    if (error != LXW_NO_ERROR) throw Error(std::string("libxlsxwriter: ") + lxw_strerror(error));
  }

 private:
  lxw_workbook* workbook_ = nullptr;
  std::map<std::tuple<ReportRowStyle, bool, bool>, lxw_format*> formats_;
  lxw_format* title_ = nullptr;
};

void WriteCell(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const ReportCell& cell, lxw_format* format) {
  switch (cell.kind) {
    case ReportCell::Kind::kText:
      if (!cell.text.empty()) {
        Workbook::Check(worksheet_write_string(sheet, row, column, cell.text.c_str(), format));
        return;
      }
      break;
    case ReportCell::Kind::kMoney:
    case ReportCell::Kind::kNumber:
      // The stored figure itself: the cell's format shows the cents, and a
      // sum a reader makes in the sheet adds the engine's own values.
      Workbook::Check(worksheet_write_number(sheet, row, column, cell.value, format));
      return;
    case ReportCell::Kind::kEmpty:
      break;
  }
  Workbook::Check(worksheet_write_blank(sheet, row, column, format));
}

// A form's title as a sheet name: at most 31 characters, none of []:*?/\.
std::string SheetName(const std::string& title) {
  std::string name;
  size_t characters = 0;
  for (size_t i = 0; i < title.size() && characters < 31; i += CharacterLength(title[i]), ++characters) {
    const bool allowed = std::string_view("[]:*?/\\").find(title[i]) == std::string_view::npos;
    name += allowed ? title.substr(i, CharacterLength(title[i])) : "_";
  }
  return name;
}

void WriteSheet(Workbook& book, const ReportModel& model, const ReportForm& form) {
  const std::string name = SheetName(form.title);
  lxw_worksheet* sheet = workbook_add_worksheet(book.get(), name.c_str());
  if (sheet == nullptr) throw Error("libxlsxwriter: cannot add the sheet " + name);
  const auto columns = static_cast<lxw_col_t>(form.columns.size());

  std::vector<double> widths(form.columns.size(), 0);
  for (size_t c = 0; c < form.columns.size(); ++c) widths[c] = TextWidth(form.columns[c]);
  for (const ReportRow& row : form.rows) {
    for (size_t c = 0; c < row.cells.size() && c < widths.size(); ++c) {
      widths[c] = std::max(widths[c], CellWidth(row.cells[c]));
    }
  }
  for (lxw_col_t c = 0; c < columns; ++c) {
    Workbook::Check(worksheet_set_column(sheet, c, c, std::clamp(widths[c] + 2, 6.0, 60.0), nullptr));
  }

  // Rows go out top to bottom: the workbook flushes each row as the next
  // one starts.
  Workbook::Check(worksheet_set_row(sheet, kTitleRow, 24, nullptr));
  Workbook::Check(
      worksheet_merge_range(sheet, kTitleRow, 0, kTitleRow, columns - 1, form.title.c_str(), book.TitleFormat()));
  const std::string project = "工程名称：" + model.project_name;
  Workbook::Check(worksheet_write_string(sheet, kProjectRow, 0, project.c_str(), nullptr));
  lxw_format* heads = book.Format(ReportRowStyle::kColumnHeads, ReportCell::Kind::kText);
  for (lxw_col_t c = 0; c < columns; ++c) {
    Workbook::Check(worksheet_write_string(sheet, kColumnRow, c, form.columns[c].c_str(), heads));
  }

  lxw_row_t r = kFirstFigureRow;
  for (const ReportRow& row : form.rows) {
    // Headings and totals band the whole width; a line ends with its own
    // cells, so the material lines of the analysis stay the narrower table
    // they are (and a large project's sheet has fewer blank cells to zip).
    const bool banded = row.style == ReportRowStyle::kHeading || row.style == ReportRowStyle::kSubtotal ||
                        row.style == ReportRowStyle::kTotal;
    const auto width = banded ? columns : std::min(columns, static_cast<lxw_col_t>(row.cells.size()));
    for (lxw_col_t c = 0; c < width; ++c) {
      static const ReportCell kBlank;
      const ReportCell& cell = c < row.cells.size() ? row.cells[c] : kBlank;
      WriteCell(sheet, r, c, cell, book.Format(row.style, cell.kind));
    }
    ++r;
  }

  worksheet_freeze_panes(sheet, kFirstFigureRow, 0);
  worksheet_set_landscape(sheet);
  worksheet_set_paper(sheet, kPaperA4);
  worksheet_fit_to_pages(sheet, 1, 0);
  worksheet_center_horizontally(sheet);
  Workbook::Check(worksheet_repeat_rows(sheet, kTitleRow, kColumnRow));
  Workbook::Check(worksheet_set_footer(sheet, "&C第 &P 页，共 &N 页"));
}

}  // namespace

std::string WriteWorkbook(const ReportModel& model, const std::string& path) {
  try {
    WriteWholeFile(path, [&](const std::string& temporary) {
      try {
        Workbook book(temporary);
        for (const ReportForm& form : model.forms) WriteSheet(book, model, form);
        book.Close();
      } catch (const Error& e) {
        throw Error("cannot write " + path + ": " + e.what());
      }
    });
    return {};
  } catch (const std::exception& e) {
    return e.what();
  }
}

}  // namespace quillmere
