// The subcommands of the quillmere program. Each adds itself to the
// application; its callback throws CLI::RuntimeError with the exit status
// when it does not succeed (1: the calculation reported a failure, 2: a usage
// error or a database that cannot be opened).

#ifndef QUILLMERE_TOOLS_COMMANDS_H_
#define QUILLMERE_TOOLS_COMMANDS_H_

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <string>

#include "quillmere/connection.h"

namespace quillmere::cli {

inline constexpr int kFailure = 1;
inline constexpr int kUsage = 2;

void AddInitCommand(CLI::App& app);
void AddCallCommand(CLI::App& app);
void AddEvalCommand(CLI::App& app);
void AddCalcCommand(CLI::App& app);
void AddSampleCommands(CLI::App& app);
void AddReportCommand(CLI::App& app);

// Opens an existing project database, or reports why not (exit status 2; 1
// when another connection keeps it busy). Its statements wait for another
// connection's lock as long as --busy-timeout says.
Connection OpenProject(const std::string& path, OpenMode mode = OpenMode::kCreate);

// Adds --busy-timeout to a command that opens a project database.
void AddBusyTimeoutOption(CLI::App* command);

// Ends with exit status 1 and the reason another connection kept `path`
// busy for longer than the busy timeout.
[[noreturn]] void FailBusy(const std::string& path);

// Creates a fresh project database at `path` with every permanent table and
// fills it; an existing non-empty file is refused and left untouched, and a
// file this call created is removed again when filling fails (exit status 1).
void WriteProject(const std::string& path, const std::function<void(Connection&)>& fill);

// A number as people read it: at most 15 significant digits, so a sum of
// amounts in cents prints as 28449.47 rather than 28449.469999999998.
std::string PlainNumber(double value);

// Prints `message` on standard error and ends with `status`.
[[noreturn]] void Fail(const std::string& message, int status);

}  // namespace quillmere::cli

#endif  // QUILLMERE_TOOLS_COMMANDS_H_
