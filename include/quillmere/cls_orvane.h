// ClsOrvane: the calculation engine of a bill-of-quantities estimate. Start here.
//
// A host opens a project database (quillmere/connection.h), hands the
// connection to a ClsOrvane through CnnData, and calls the members in pipeline
// order; each reads what the earlier ones wrote. quillmere/pipeline.h runs the
// whole order for hosts that want the project cost in one call.
//
// Result convention of the text members: the empty text means every statement
// ran and was committed; any other text is the reason the member stopped (for
// a database error, SQLite's own message), and the project database is then
// exactly as before the call, the connection outside any transaction the
// member began. Every text member runs in one transaction, which nests
// inside a transaction the host may hold. A by-reference out-value receives
// its result only when the member succeeds; on failure it keeps the value
// the caller passed.

#ifndef QUILLMERE_CLS_ORVANE_H_
#define QUILLMERE_CLS_ORVANE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "quillmere/messages.h"

namespace quillmere {

class Connection;
class ProjectMemory;

class ClsOrvane {
 public:
  ClsOrvane();
  ~ClsOrvane();
  ClsOrvane(const ClsOrvane&) = delete;
  ClsOrvane& operator=(const ClsOrvane&) = delete;

  // The connection currently held; nullptr before the first assignment.
  Connection* CnnData() const { return connection_; }
  // Keeps a reference to this very connection (never a copy, never owned):
  // the host keeps it open for as long as it calls members.
  void CnnData(Connection& connection) { connection_ = &connection; }

  // Message boxes go to `handler` (prompt, style, title) as they are raised;
  // the call goes on when it returns. Without a handler they are kept, and
  // Messages() reads them back. The library itself prints nothing.
  void SetMessageHandler(MessageHandler handler) { handler_ = std::move(handler); }
  const MessageHandler& message_handler() const { return handler_; }
  const std::vector<Message>& Messages() const { return messages_; }
  void ClearMessages() { messages_.clear(); }

  // Organises the estimate rows: normalises them, maps every quota sub-item
  // to its sections and bill item (qddyb) and derives actual quantities
  // (zhys.sjgcl, qddyb.sjgcl_qd). With BolQDJJ (bill-item pricing) a sub-item
  // under no bill item stops it with the message "当前分部分项工程量清单中第 N
  // 行子目没有对应到清单" (or "当前措施项目清单中第 ..."), database unchanged.
  // Requires nothing. Runs first.
  std::string ZhengLiGCShuJu(bool BolQDJJ);

  // Rebuilds every fee row of qfsjb and prices every resource at its quota
  // base price (rgjj, fcjj, zcjj, jxjj per unit of the row), split materials
  // and percentage rows included. Requires: ZhengLiGCShuJu. Every later stage
  // must run again after it.
  std::string JiSuanDEJJ_QB();

  // Gives every resource its current price from the price lists clzxj and
  // jxzxj (machines with their consumption differences). BolQingKongXXJ also
  // zeroes the current-price results of every fee row. Requires: JiSuanDEJJ_QB.
  std::string ChongXinJSXXJ_QB(bool BolQingKongXXJ = false);

  // Rebuilds the per-row analysis tables fx*, the project tables gc*, jxtcb
  // and the provisional-price and owner-supplied marks. Requires:
  // ChongXinJSXXJ_QB.
  std::string HuiZongRCJ();

  // Current-price amounts, labour days and price differences of every fee
  // row, percentage resources included. BolJSAZ: a second-pass percentage row
  // adds its amount less its base amount. Requires: HuiZongRCJ just before
  // (it appends the percentage rows to the analysis tables, so it runs once
  // per aggregation).
  std::string JiSuanXXJ(bool BolJSAZ);

  // Materials of every bill item (qdclb) and the bill items' material,
  // provisional-price and owner-supplied amounts. Requires: HuiZongRCJ.
  std::string QingDanCLHZ();

  // Management fee, profit, comprehensive unit price and total of every
  // sub-item and bill item, by fixed rates or (boljjcx) the fee programme;
  // section totals (from sub-items when StrJJFS is "定额计价法", else from
  // bill items) and the prices written onto zhys. Requires: JiSuanXXJ and
  // QingDanCLHZ; for the fee programme, temp_qfsjb and temp_zhys with their
  // fee-code columns.
  std::string JiSuanZHDJ_QB(const std::string& StrJJFS, bool boljjcx);

  // Sums the priced project into the fee variables of qfblb and the total
  // labour days (also into gcxxb "总工日" and zgr). BolQDJJ: sum the bill
  // items rather than the sub-items. Requires: JiSuanZHDJ_QB.
  std::string JiSuanGCRCJ(bool BolQDJJ, double& zgr);

  // Prices the formula-priced measure items and publishes "措施项目计价",
  // "施工组织措施" and "安全文明施工措施费". Requires: JiSuanGCRCJ.
  std::string JiSuanZDYCS();

  // Rolls measure items of class '1' up into their level-2 sections.
  // Requires: JiSuanZDYCS.
  std::string JiSuanCSFB();

  // Prices the provisional sums (zljeb), rebuilds their total line and
  // publishes "暂列金额". Requires: JiSuanGCRCJ.
  std::string JiSuanZLJE();

  // Prices the general-contractor service fees (zcbfwfb), rebuilds their
  // total line and publishes "总承包服务费". Requires: JiSuanGCRCJ.
  std::string JiSuanZCBFWF();

  // Evaluates the other items (qtxm) and publishes "其他项目计价".
  // Requires: JiSuanGCRCJ.
  std::string JiSuanQTXM();

  // Evaluates the summary programme (qfjjcxb, leixing 2): the project cost
  // into DblGCZJ and gcxxb "工程造价", the cost per floor area DblJZMJ into
  // DblJJZB and "经济指标". Requires: every project-total member above.
  std::string JiSuanHZB(double DblJZMJ, double& DblGCZJ, double& DblJJZB);

  // Reprices one estimate row: base prices, current prices, aggregation,
  // current amounts and unit price of that row alone, committed stage by
  // stage. True when all five succeed; at the first failure one message box
  // names the stage and its reason, later stages do not run, and the result
  // is false. Project tables keep the values of the last full run. A row id
  // that is no estimate row fails the first stage.
  bool JiSuanZHDJ(std::int32_t LngYSID, bool boljjcx);

  // Prices one bill item from the sub-item ids in StrDYZM ("101,102,105"):
  // rebuilds its mapping rows, fee row and material list and returns its
  // comprehensive unit price; dblZgj receives its provisional-price amount
  // per unit. BolBZJ: the sub-items' own quantities are their ratios. On
  // failure (a LngQDID that is no estimate row among them) one message box,
  // the result 0, dblZgj 0 and the database unchanged; an empty StrDYZM or
  // LngQDID 0 gives 0 at once.
  double JiSuanQDDJ(std::int32_t LngQDID, const std::string& StrDYZM, bool BolBZJ, double& dblZgj, bool boljjcx);

 private:
  // The private single-row steps of JiSuanZHDJ, with the result convention
  // of the text members.
  std::string JiSuanDEJJ_DX(std::int32_t ysid);
  std::string ChongXinJSXXJ_DX(std::int32_t ysid);
  std::string HuiZongRCJ_DX(std::int32_t ysid);
  std::string JiSuanXXJ_DX(std::int32_t ysid);
  std::string JiSuanZHDJ_DX(std::int32_t ysid, bool boljjcx);
  std::string JiSuanQDDJ_DX(std::int32_t LngQDID, const std::string& StrDYZM, bool BolBZJ, double& dblDJ,
                            double& dblZgj, bool boljjcx);

  // Shows a message box: to the handler, or kept for Messages().
  void Raise(const std::string& prompt, int style);
  MessageHandler Notifier();

  // The connection for a member that takes nothing of what earlier members
  // kept, which is let go.
  Connection* Forgetting();

  Connection* connection_ = nullptr;
  // What members kept of the project for the next ones (the analysis lines),
  // used only while the project is exactly as they left it.
  std::unique_ptr<ProjectMemory> memory_;
  MessageHandler handler_;
  std::vector<Message> messages_;
};

}  // namespace quillmere

#endif  // QUILLMERE_CLS_ORVANE_H_
