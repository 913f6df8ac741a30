// quillmere call: one public member of ClsOrvane, called by its exact name
// with positional arguments, its outcome printed as one JSON object. The
// member table and the JSON are the library's (quillmere/member_call.h), the
// same the C interface hands its hosts.

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "quillmere/cls_orvane.h"
#include "quillmere/member_call.h"

namespace quillmere::cli {

void AddCallCommand(CLI::App& app) {
  struct Options {
    std::string path;
    std::string member;
    std::vector<std::string> arguments;
    bool list = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* call = app.add_subcommand("call", "Call one public member of ClsOrvane and print its outcome as JSON");
  call->add_option("DB", options->path, "Project database file");
  call->add_option("MEMBER", options->member, "Member name, exactly as in the interface (case-sensitive)");
  call->add_option("ARG", options->arguments,
                   "Arguments in the member's order: booleans true/false/1/0, a by-reference number takes its "
                   "starting value, an optional argument may be left out");
  call->add_flag("--list", options->list, "List the members and their parameters");
  AddBusyTimeoutOption(call);
  call->footer("Exit status: 0 success, 1 the member reported a failure, 2 usage error or unusable database.");
  call->callback([options] {
    if (options->list) {
      for (const auto& signature : MemberSignatures()) std::cout << signature << "\n";
      return;
    }
    if (options->path.empty() || options->member.empty()) Fail("call needs DB and MEMBER (see --help)", kUsage);
    // The arguments are checked before the database is opened: a usage
    // error never touches the file.
    std::optional<MemberCall> member_call;
    try {
      member_call = MemberCall::FromWords(options->member, options->arguments);
    } catch (const MisuseError& e) {
      Fail(e.what(), kUsage);
    }
    Connection connection = OpenProject(options->path);
    ClsOrvane orvane;
    orvane.CnnData(connection);
    const MemberCallOutcome outcome = member_call->Run(orvane);
    std::cout << outcome.json << "\n";
    if (outcome.failed()) throw CLI::RuntimeError(kFailure);
  });
}

}  // namespace quillmere::cli
