// quillmere init: a fresh project database with every permanent table.

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
    for (const auto& code : options->fee_codes) {
      if (!IsFeeCode(code)) Fail("the fee code \"" + code + "\" cannot name a column", kUsage);
    }
    WriteProject(options->path, [&](Connection& c) { AddFeeCodeColumns(c, options->fee_codes); });
    std::cout << "created " << options->path << " with " << ProjectTableNames().size() << " tables";
    if (!options->fee_codes.empty()) std::cout << " and " << options->fee_codes.size() << " fee codes";
    std::cout << "\n";
  });
}

}  // namespace quillmere::cli
