// quillmere init: a fresh project database with every permanent table.

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "quillmere/project.h"

namespace quillmere::cli {

void AddInitCommand(CLI::App& app) {
  struct Options {
    std::string path;
    std::vector<std::string> fee_codes;
  };
  auto options = std::make_shared<Options>();
  CLI::App* init = app.add_subcommand("init", "Create a fresh project database with every permanent table");
  init->add_option("DB", options->path, "Project database file to create")->required();
  init->add_option("--fee-codes", options->fee_codes,
                   "Fee codes of the fee programme: each code C adds the columns C and C_FL to temp_qfsjb and "
                   "C_FL to temp_zhys")
      ->delimiter(',');
  init->callback([options] {
    std::error_code error;
    const bool existed = std::filesystem::exists(options->path, error);
    if (existed && std::filesystem::file_size(options->path, error) > 0) {
      Fail(options->path + " exists and is not empty; init only creates new project databases", kFailure);
    }
    for (const auto& code : options->fee_codes) {
      if (!IsFeeCode(code)) Fail("the fee code \"" + code + "\" cannot name a column", kUsage);
    }
    try {
      Connection connection = Connection::Open(options->path);
      CreateProjectSchema(connection);
      AddFeeCodeColumns(connection, options->fee_codes);
    } catch (const Error& e) {
      if (!existed) std::filesystem::remove(options->path, error);
      Fail(e.what(), kFailure);
    }
    std::cout << "created " << options->path << " with " << ProjectTableNames().size() << " tables";
    if (!options->fee_codes.empty()) std::cout << " and " << options->fee_codes.size() << " fee codes";
    std::cout << "\n";
  });
}

}  // namespace quillmere::cli
