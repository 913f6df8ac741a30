// quillmere eval: the value the engine gives a fee formula.

#include "commands.h"

namespace quillmere::cli {

void AddEvalCommand(CLI::App& app) {
  CLI::App* eval = app.add_subcommand("eval", "Evaluate a fee formula (not implemented yet)");
  eval->callback([] { Fail("not implemented yet: eval", kFailure); });
}

}  // namespace quillmere::cli
