// A bound on the work of statements built from text a host stored (fee
// formulas), so that nothing such a text can express hangs a member.

#ifndef QUILLMERE_DB_STEP_LIMIT_H_
#define QUILLMERE_DB_STEP_LIMIT_H_

#include <cstdint>
#include <functional>
#include <string_view>

#include "quillmere/connection.h"

namespace quillmere {

// While it lives, the connection counts the steps of its statements' virtual
// machine; Run interrupts what it runs once that passes the limit. Installed
// only around such statements, never in the statement cache's path; the
// connection must have no other progress handler meanwhile.
class StepLimit {
 public:
  // Generous: a fee line over a project of 100,000 sub-items takes about ten
  // million steps.
  static constexpr std::int64_t kSteps = 2'000'000'000;

  explicit StepLimit(Connection& connection, std::int64_t steps = kSteps);
  StepLimit(const StepLimit&) = delete;
  StepLimit& operator=(const StepLimit&) = delete;
  ~StepLimit();

  // Runs `statements` with a fresh count. When they run past the limit, the
  // statement running is interrupted and Run throws Error
  // "<what> stopped: the statement ran past its step limit"; other errors
  // pass unchanged.
  void Run(std::string_view what, const std::function<void()>& statements);

 private:
  static int OnProgress(void* self);

  Connection& connection_;
  std::int64_t checks_allowed_;
  std::int64_t checks_ = 0;
};

}  // namespace quillmere

#endif  // QUILLMERE_DB_STEP_LIMIT_H_
