// quillmere: the command-line host of the calculation engine. It opens a
// project database file and drives ClsOrvane through the public headers only.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "commands.h"
#include "quillmere/project.h"
#include "quillmere/version.h"

namespace quillmere::cli {
namespace {

int busy_timeout_ms = Connection::kDefaultBusyTimeoutMs;

}  // namespace

Connection OpenProject(const std::string& path, OpenMode mode) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) Fail("no project database at " + path, kUsage);
  try {
    return Connection::Open(path, mode, busy_timeout_ms);
  } catch (const Error& e) {
    if (e.busy()) FailBusy(path);
    Fail(std::string("cannot open the project database: ") + e.what(), kUsage);
  }
}

void AddBusyTimeoutOption(CLI::App* command) {
  command
      ->add_option("--busy-timeout", busy_timeout_ms,
                   "Milliseconds to wait for another connection's lock on the database before giving up")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
}

void FailBusy(const std::string& path) {
  Fail("database is busy: another connection kept " + path + " locked for longer than " +
           std::to_string(busy_timeout_ms) + " ms (--busy-timeout)",
       kFailure);
}

void WriteProject(const std::string& path, const std::function<void(Connection&)>& fill) {
  std::error_code error;
  const bool existed = std::filesystem::exists(path, error);
  if (existed && std::filesystem::file_size(path, error) > 0) {
    Fail(path + " exists and is not empty; a project database is only ever created new", kFailure);
  }
  try {
    Connection connection = Connection::Open(path);
    CreateProjectSchema(connection);
    fill(connection);
  } catch (const Error& e) {
    if (!existed) std::filesystem::remove(path, error);
    Fail(e.what(), kFailure);
  }
}

std::string PlainNumber(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

void Fail(const std::string& message, int status) {
  std::cerr << "quillmere: " << message << "\n";
  throw CLI::RuntimeError(status);
}

}  // namespace quillmere::cli

int main(int argc, char** argv) {
  CLI::App app{"quillmere: bill-of-quantities cost calculation on a project database", "quillmere"};
  app.set_version_flag("--version", "quillmere " QUILLMERE_VERSION);
  app.require_subcommand(1);
  quillmere::cli::AddInitCommand(app);
  quillmere::cli::AddCallCommand(app);
  quillmere::cli::AddEvalCommand(app);
  quillmere::cli::AddCalcCommand(app);
  quillmere::cli::AddSampleCommands(app);
  quillmere::cli::AddReportCommand(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::RuntimeError& e) {
    return e.get_exit_code();
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : quillmere::cli::kUsage;
  } catch (const std::exception& e) {
    // Whatever a command did not expect still ends as a failure with its
    // reason, never as an abort that hides which member had committed.
    std::cerr << "quillmere: " << e.what() << "\n";
    return quillmere::cli::kFailure;
  } catch (...) {
    std::cerr << "quillmere: an unknown error\n";
    return quillmere::cli::kFailure;
  }
  return 0;
}
