// quillmere report: the standard forms of a priced project as an Excel
// workbook and a self-contained web page, read from a project database
// opened read-only.

#include <iostream>
#include <memory>
#include <string>

#include "commands.h"
#include "quillmere/report.h"

namespace quillmere::cli {

void AddReportCommand(CLI::App& app) {
  struct Options {
    std::string path;
    std::string workbook;
    std::string page;
    ReportOptions report;
  };
  auto options = std::make_shared<Options>();
  CLI::App* report =
      app.add_subcommand("report", "Write the priced project's standard forms as a workbook and a web page");
  report->add_option("DB", options->path, "Project database file, priced by quillmere calc")->required();
  report->add_option("--xlsx", options->workbook, "Write the forms as an Excel workbook, one sheet per form")
      ->type_name("FILE");
  report->add_option("--html", options->page, "Write the forms and charts as one web page that opens offline")
      ->type_name("FILE");
  report->add_option("--title", options->report.title, "Title of the cover (default: the project name)");
  report->footer(
      "At least one of --xlsx and --html. The database is only read. Exit status: 0 success, 1 the project is not "
      "priced or a file cannot be written (nothing partial is left), 2 usage error.");
  report->callback([options] {
    if (options->workbook.empty() && options->page.empty())
      Fail("report: give --xlsx FILE, --html FILE or both", kUsage);
    Connection connection = OpenProject(options->path, OpenMode::kReadOnly);

    ReportModel model;
    std::string failure = BuildReport(connection, options->report, model);
    if (!failure.empty()) Fail(failure, kFailure);
    const struct {
      const char* what;
      const std::string& path;
      std::string (*write)(const ReportModel&, const std::string&);
    } outputs[] = {{"the workbook", options->workbook, WriteWorkbook}, {"the web page", options->page, WriteWebPage}};
    for (const auto& output : outputs) {
      if (output.path.empty()) continue;
      failure = output.write(model, output.path);
      if (!failure.empty()) Fail(failure, kFailure);
      std::cout << "wrote " << output.what << " " << output.path << "\n";
    }
  });
}

}  // namespace quillmere::cli
