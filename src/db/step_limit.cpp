// The step limit of statements built from stored text (see step_limit.h).

#include "db/step_limit.h"

#include <sqlite3.h>

#include <string>

namespace quillmere {
namespace {

// Steps between two looks at the count: rare enough to cost nothing.
constexpr int kStepsPerCheck = 10'000;

}  // namespace

StepLimit::StepLimit(Connection& connection, std::int64_t steps)
    : connection_(connection), checks_allowed_(steps / kStepsPerCheck) {
  sqlite3_progress_handler(connection_.handle(), kStepsPerCheck, &StepLimit::OnProgress, this);
}

StepLimit::~StepLimit() { sqlite3_progress_handler(connection_.handle(), 0, nullptr, nullptr); }

int StepLimit::OnProgress(void* self) {
  auto* limit = static_cast<StepLimit*>(self);
  return ++limit->checks_ > limit->checks_allowed_ ? 1 : 0;
}

void StepLimit::Run(std::string_view what, const std::function<void()>& statements) {
  checks_ = 0;
  try {
    statements();
  } catch (const Error& e) {
    if (checks_ > checks_allowed_) {
      throw Error(std::string(what) + " stopped: the statement ran past its step limit", e.statement());
    }
    throw;
  }
}

}  // namespace quillmere
