// The scope of a pricing stage: the whole project, or one estimate row for the
// single-row recalculation. A stage is written once; its statements take the
// row filter from the scope, which is empty for the whole project.

#ifndef QUILLMERE_CALC_SCOPE_H_
#define QUILLMERE_CALC_SCOPE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "quillmere/connection.h"

namespace quillmere {

class Scope {
 public:
  static Scope WholeProject() { return Scope(false, 0); }
  static Scope Row(std::int32_t ysid) { return Scope(true, ysid); }

  bool whole() const { return !single_; }
  bool single_row() const { return single_; }
  std::int32_t ysid() const { return ysid_; }

  // " where <column>=:ysid" for one row, "" for the whole project.
  std::string Where(std::string_view column = "ysid") const {
    return single_ ? " where " + std::string(column) + "=:ysid" : std::string();
  }
  // " and <column>=:ysid" for one row, "" for the whole project.
  std::string And(std::string_view column = "ysid") const {
    return single_ ? " and " + std::string(column) + "=:ysid" : std::string();
  }
  // "<column>=:ysid" for one row, "" for the whole project: the rows of a
  // per-row table the stage works on, as a bare condition.
  std::string Rows(std::string_view column = "ysid") const {
    return single_ ? std::string(column) + "=:ysid" : std::string();
  }
  // The parameters every statement of the stage is run with.
  Params params() const {
    Params p;
    if (single_) p.Set("ysid", std::int64_t{ysid_});
    return p;
  }

 private:
  Scope(bool single, std::int32_t ysid) : single_(single), ysid_(ysid) {}
  bool single_;
  std::int32_t ysid_;
};

// Runs the statements of a stage, each with the parameters of its scope, so
// that a stage body reads as a flat list of statement texts.
class StageRunner {
 public:
  StageRunner(Connection& connection, const Scope& scope) : connection_(connection), params_(scope.params()) {}
  void operator()(const std::string& sql) { connection_.Execute(sql, params_); }

 private:
  Connection& connection_;
  Params params_;
};

}  // namespace quillmere

#endif  // QUILLMERE_CALC_SCOPE_H_
