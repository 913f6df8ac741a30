// ClsOrvane: the member table, the result convention and the message boxes.
// Each member hands its work to the stage that implements it; this file only
// decides transactions, results and messages, so every member keeps the same
// contract with the host.

#include "quillmere/cls_orvane.h"

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "calc/model/project_memory.h"
#include "calc/prepare/organise.h"
#include "calc/resources/aggregation.h"
#include "calc/resources/base_prices.h"
#include "calc/resources/bill_materials.h"
#include "calc/resources/current_amounts.h"
#include "calc/resources/current_prices.h"
#include "calc/scope.h"
#include "calc/totals/fee_variables.h"
#include "calc/totals/measure_sections.h"
#include "calc/totals/measures.h"
#include "calc/totals/other_items.h"
#include "calc/totals/provisional_sums.h"
#include "calc/totals/service_fee.h"
#include "calc/totals/summary_table.h"
#include "calc/unitprice/bill_item_price.h"
#include "calc/unitprice/main_material_prices.h"
#include "calc/unitprice/unit_prices.h"
#include "db/recordset.h"
#include "db/transaction.h"
#include "quillmere/connection.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace quillmere {
namespace {

// The result convention: the body runs in one transaction, committed when it
// finishes. A text it returns (a data check that stops the member) or any
// error it raises rolls everything back, and the text, or the error's own
// message, is the member's result.
template <typename Body>
std::string InTransaction(Connection* connection, Body&& body) {
  if (connection == nullptr) return "no connection: assign CnnData before calling a member";
  try {
    Transaction transaction(*connection);
    if constexpr (std::is_void_v<std::invoke_result_t<Body, Connection&>>) {
      body(*connection);
    } else {
      std::string outcome = body(*connection);
      if (!outcome.empty()) return outcome;
    }
    transaction.Commit();
    return {};
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "an unknown error stopped the member";
  }
}

// A member with out-values works on copies of them, handed to the caller
// only with its committed result: a member rolled back, also by a commit that
// failed after the body ran, leaves the caller's values as they were.
template <typename Body, typename... Out>
std::string InTransactionHandingBack(Connection* connection, Body&& body, Out&... out) {
  std::tuple<Out...> copies(out...);
  const std::string outcome = InTransaction(
      connection, [&](Connection& c) { return std::apply([&](Out&... copy) { return body(c, copy...); }, copies); });
  if (outcome.empty()) std::tie(out...) = copies;
  return outcome;
}

// Gives the memory of the lines a member let go of back to the system: the
// allocator would keep it for reuse, and the next member's lines seldom fit
// where these were, so each member's peak would stack on the last one's.
void ReturnFreedMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

// A member that takes what the members before it kept of the project, when
// the project is exactly as they left it, and keeps what it leaves once
// committed. A failed member leaves nothing kept.
template <typename Body>
std::string InTransactionRemembering(Connection* connection, ProjectMemory& memory, Body&& body) {
  if (connection != nullptr) memory.Check(*connection);
  const std::string outcome = InTransaction(connection, [&](Connection& c) {
    std::string stop;
    if constexpr (std::is_void_v<std::invoke_result_t<Body, Connection&, ProjectMemory&>>) {
      body(c, memory);
    } else {
      stop = body(c, memory);
    }
    if (stop.empty()) memory.Mark(c);
    return stop;
  });
  if (outcome.empty() && connection != nullptr) {
    memory.Stamp(*connection);
  } else {
    memory.Forget();
  }
  ReturnFreedMemory();
  return outcome;
}

// The row a single-row recalculation or a bill item price names must be an
// estimate row: the statements would otherwise find nothing to price and
// report success, or map sub-items to a bill item that is not there.
void RequireEstimateRow(Connection& connection, std::int32_t ysid) {
  Recordset row;
  row.Open(connection, "select ysid from zhys where ysid=?", {std::int64_t{ysid}});
  if (row.RecordCount() == 0) throw Error("no estimate row has the ysid " + std::to_string(ysid));
}

// The message of a failed step of the single-row recalculation or of the
// bill item price: the reason between quotation marks, then what failed.
std::string FailureMessage(const std::string& reason, const char* closing) {
  return "由于“" + reason + "”的原因，导致" + closing;
}

}  // namespace

ClsOrvane::ClsOrvane() : memory_(std::make_unique<ProjectMemory>()) {}
ClsOrvane::~ClsOrvane() = default;

Connection* ClsOrvane::Forgetting() {
  memory_->Forget();
  return connection_;
}

void ClsOrvane::Raise(const std::string& prompt, int style) {
  if (handler_) {
    handler_(prompt, style, kMessageTitle);
  } else {
    messages_.push_back(Message{prompt, style, kMessageTitle});
  }
}

MessageHandler ClsOrvane::Notifier() {
  return [this](const std::string& prompt, int style, const std::string&) { Raise(prompt, style); };
}

std::string ClsOrvane::ZhengLiGCShuJu(bool BolQDJJ) {
  return InTransactionRemembering(connection_, *memory_, [&](Connection& c, ProjectMemory& memory) {
    StopRecordingMainMaterialInputs(c);
    return OrganiseProjectData(c, BolQDJJ, &memory);
  });
}

std::string ClsOrvane::JiSuanDEJJ_QB() {
  return InTransactionRemembering(connection_, *memory_, [](Connection& c, ProjectMemory& memory) {
    StopRecordingMainMaterialInputs(c);
    PriceAtBasePrices(c, Scope::WholeProject(), &memory);
  });
}

std::string ClsOrvane::ChongXinJSXXJ_QB(bool BolQingKongXXJ) {
  return InTransactionRemembering(connection_, *memory_, [&](Connection& c, ProjectMemory& memory) {
    StopRecordingMainMaterialInputs(c);
    FillCurrentPrices(c, Scope::WholeProject(), BolQingKongXXJ, &memory);
  });
}

std::string ClsOrvane::HuiZongRCJ() {
  return InTransactionRemembering(connection_, *memory_, [](Connection& c, ProjectMemory& memory) {
    StopRecordingMainMaterialInputs(c);
    AggregateResources(c, Scope::WholeProject(), &memory);
  });
}

std::string ClsOrvane::JiSuanXXJ(bool BolJSAZ) {
  return InTransactionRemembering(connection_, *memory_, [&](Connection& c, ProjectMemory& memory) {
    StopRecordingMainMaterialInputs(c);
    ComputeCurrentAmounts(c, Scope::WholeProject(), BolJSAZ, &memory);
  });
}

std::string ClsOrvane::QingDanCLHZ() {
  return InTransactionRemembering(connection_, *memory_, [](Connection& c, ProjectMemory& memory) {
    StopRecordingMainMaterialInputs(c);
    SummariseBillMaterials(c, &memory);
  });
}

std::string ClsOrvane::JiSuanZHDJ_QB(const std::string& StrJJFS, bool boljjcx) {
  return InTransactionRemembering(connection_, *memory_, [&](Connection& c, ProjectMemory& memory) {
    StopRecordingMainMaterialInputs(c);
    ComputeUnitPrices(c, Scope::WholeProject(), StrJJFS, boljjcx, &memory);
  });
}

std::string ClsOrvane::JiSuanGCRCJ(bool BolQDJJ, double& zgr) {
  return InTransactionHandingBack(
      Forgetting(), [&](Connection& c, double& days) { ComputeFeeVariables(c, BolQDJJ, days); }, zgr);
}

std::string ClsOrvane::JiSuanZDYCS() {
  return InTransaction(Forgetting(), [this](Connection& c) { PriceMeasures(c, Notifier()); });
}

std::string ClsOrvane::JiSuanCSFB() {
  return InTransaction(Forgetting(), [](Connection& c) { RollUpMeasureSections(c); });
}

std::string ClsOrvane::JiSuanZLJE() {
  return InTransaction(Forgetting(), [](Connection& c) { PriceProvisionalSums(c); });
}

std::string ClsOrvane::JiSuanZCBFWF() {
  return InTransaction(Forgetting(), [](Connection& c) { PriceServiceFees(c); });
}

std::string ClsOrvane::JiSuanQTXM() {
  return InTransaction(Forgetting(), [this](Connection& c) { EvaluateOtherItems(c, Notifier()); });
}

std::string ClsOrvane::JiSuanHZB(double DblJZMJ, double& DblGCZJ, double& DblJJZB) {
  return InTransactionHandingBack(
      Forgetting(),
      [&](Connection& c, double& cost, double& per_area) { EvaluateSummaryTable(c, DblJZMJ, cost, per_area); }, DblGCZJ,
      DblJJZB);
}

std::string ClsOrvane::JiSuanDEJJ_DX(std::int32_t ysid) {
  return InTransaction(Forgetting(), [&](Connection& c) {
    RequireEstimateRow(c, ysid);
    PriceAtBasePrices(c, Scope::Row(ysid));
  });
}

std::string ClsOrvane::ChongXinJSXXJ_DX(std::int32_t ysid) {
  return InTransaction(Forgetting(), [&](Connection& c) { FillCurrentPrices(c, Scope::Row(ysid), false); });
}

std::string ClsOrvane::HuiZongRCJ_DX(std::int32_t ysid) {
  return InTransaction(Forgetting(), [&](Connection& c) { AggregateResources(c, Scope::Row(ysid)); });
}

std::string ClsOrvane::JiSuanXXJ_DX(std::int32_t ysid) {
  return InTransaction(Forgetting(), [&](Connection& c) { ComputeCurrentAmounts(c, Scope::Row(ysid), false); });
}

std::string ClsOrvane::JiSuanZHDJ_DX(std::int32_t ysid, bool boljjcx) {
  return InTransaction(Forgetting(),
                       [&](Connection& c) { ComputeUnitPrices(c, Scope::Row(ysid), std::string(), boljjcx); });
}

bool ClsOrvane::JiSuanZHDJ(std::int32_t LngYSID, bool boljjcx) {
  // The five single-row stages in pipeline order, each a level of its own in
  // one transaction of the call: a failing stage takes back only its own
  // work, the stages before it are committed with the call, and the call
  // syncs the file once rather than once per stage.
  const std::pair<std::function<std::string()>, const char*> steps[] = {
      {[&] { return JiSuanDEJJ_DX(LngYSID); }, "计算基价失败！"},
      {[&] { return ChongXinJSXXJ_DX(LngYSID); }, "填写现行价失败！"},
      {[&] { return HuiZongRCJ_DX(LngYSID); }, "人材机汇总失败！"},
      {[&] { return JiSuanXXJ_DX(LngYSID); }, "计算现行价失败！"},
      {[&] { return JiSuanZHDJ_DX(LngYSID, boljjcx); }, "计算综合单价失败！"},
  };
  std::string reason;
  const char* failed = nullptr;
  const char* last = steps[0].second;
  std::optional<Transaction> call;
  try {
    if (connection_ != nullptr) call.emplace(*connection_);
    for (const auto& [run, closing] : steps) {
      last = closing;
      reason = run();
      if (!reason.empty()) {
        failed = closing;
        break;
      }
    }
    if (call) call->Commit();
  } catch (const std::exception& e) {
    // The call could not begin or commit: nothing of it stays. A stage that
    // failed keeps its own message; otherwise the message names the stage
    // that ran last.
    call.reset();
    if (failed == nullptr) {
      reason = e.what();
      failed = last;
    }
  }
  // The box comes once the call's work is committed, so no lock is held
  // while the user reads it.
  if (failed == nullptr) return true;
  Raise(FailureMessage(reason, failed), kInformationStyle);
  return false;
}

std::string ClsOrvane::JiSuanQDDJ_DX(std::int32_t LngQDID, const std::string& StrDYZM, bool BolBZJ, double& dblDJ,
                                     double& dblZgj, bool boljjcx) {
  return InTransactionHandingBack(
      Forgetting(),
      [&](Connection& c, double& unit_price, double& provisional) {
        RequireEstimateRow(c, LngQDID);
        PriceBillItem(c, LngQDID, StrDYZM, BolBZJ, boljjcx, unit_price, provisional);
      },
      dblDJ, dblZgj);
}

double ClsOrvane::JiSuanQDDJ(std::int32_t LngQDID, const std::string& StrDYZM, bool BolBZJ, double& dblZgj,
                             bool boljjcx) {
  dblZgj = 0;
  double unit_price = 0;
  if (StrDYZM.empty() || LngQDID == 0) return 0;
  const std::string reason = JiSuanQDDJ_DX(LngQDID, StrDYZM, BolBZJ, unit_price, dblZgj, boljjcx);
  if (!reason.empty()) {
    Raise(FailureMessage(reason, "计算清单综合单价失败！"), kInformationStyle);
    return 0;
  }
  return unit_price;
}

}  // namespace quillmere
