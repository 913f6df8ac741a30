// quillmere eval: the value the engine gives a fee formula after the
// substitutions the project totals make, so an estimator can check a formula
// before storing it.

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "quillmere/formula.h"
#include "quillmere/member_call.h"

namespace quillmere::cli {
namespace {

// Splits "NAME=VALUE" at its last "=" (a value never holds one; a name might).
bool SplitAssignment(const std::string& text, std::string& name, double& value) {
  const size_t at = text.rfind('=');
  if (at == std::string::npos || at == 0) return false;
  name = text.substr(0, at);
  return ReadNumberWord(text.substr(at + 1), value);
}

}  // namespace

void AddEvalCommand(CLI::App& app) {
  struct Options {
    std::string formula;
    std::vector<std::string> variables;
    std::vector<std::string> lines;
  };
  auto options = std::make_shared<Options>();
  CLI::App* eval = app.add_subcommand(
      "eval",
      "Print the value of a fee formula after the substitutions of the project totals: line references [n], then "
      "fee variables, then percent signs. An evaluation error prints 0 and the reason on standard error.");
  eval->add_option("FORMULA", options->formula, "The formula; put -- before one that starts with a minus sign")
      ->required();
  eval->add_option("--var", options->variables, "A fee variable NAME=VALUE (repeatable, in table order)")
      ->allow_extra_args(false);
  eval->add_option("--line", options->lines, "The result of line N, N=VALUE (repeatable; unlisted lines count 0)")
      ->allow_extra_args(false);
  eval->callback([options] {
    std::vector<FeeFormulaVariable> variables;
    for (const std::string& text : options->variables) {
      FeeFormulaVariable v;
      if (!SplitAssignment(text, v.name, v.value)) Fail("--var wants NAME=VALUE with a number, not " + text, kUsage);
      variables.push_back(v);
    }
    std::vector<FeeFormulaLine> lines;
    for (const std::string& text : options->lines) {
      std::string number;
      FeeFormulaLine line;
      if (!SplitAssignment(text, number, line.result) || number.find_first_not_of("0123456789") != std::string::npos ||
          number.size() > 5 || std::stoi(number) > 32767) {
        Fail("--line wants N=VALUE with a line number from 0 to 32767, not " + text, kUsage);
      }
      line.number = std::stoi(number);
      lines.push_back(line);
    }
    const FeeFormulaValue result = EvaluateFeeFormula(options->formula, variables, lines);
    if (result.stops_member) {
      Fail("the project totals would stop at this formula: " + result.error, kFailure);
    }
    std::cout << result.text << "\n";
    if (!result.error.empty()) std::cerr << "quillmere: the formula counts as 0: " << result.error << "\n";
  });
}

}  // namespace quillmere::cli
