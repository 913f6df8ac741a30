// The report model: the forms and charts of a priced project, read from what
// the pipeline stored. Every total and subtotal is the engine's own stored
// figure; nothing shown as a total is added up here (docs/REPORTS.md names
// the column behind every figure).
//
// Each form is read with a few set-based queries, joined here by row id, so a
// project of tens of thousands of sub-items reads in well under a second.

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/decimal.h"
#include "db/statement.h"
#include "db/transaction.h"
#include "db/value.h"
#include "quillmere/connection.h"
#include "quillmere/report.h"
#include "report/money_words.h"

namespace quillmere {
namespace {

using Row = std::vector<Value>;
using Rows = std::vector<Row>;

Rows Query(Connection& connection, const std::string& sql, const Params& params = {}) {
  Statement statement(connection.handle(), sql, params);
  Rows rows;
  const int columns = statement.ColumnCount();
  while (statement.Step()) {
    Row row;
    row.reserve(static_cast<size_t>(columns));
    for (int i = 0; i < columns; ++i) row.push_back(statement.ColumnValue(i));
    rows.push_back(std::move(row));
  }
  return rows;
}

double NumberOf(const Value& value) {
  double number = 0;
  if (auto* i = std::get_if<std::int64_t>(&value)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&value)) return *d;
  if (auto* t = std::get_if<std::string>(&value)) ParseNumber(*t, number);
  return number;
}

std::int64_t IdOf(const Value& value) { return IsNull(value) ? 0 : ToId(value); }

ReportCell Text(std::string_view text) { return {ReportCell::Kind::kText, std::string(text), 0}; }
ReportCell Money(double value) { return {ReportCell::Kind::kMoney, {}, value}; }
ReportCell Number(double value) { return {ReportCell::Kind::kNumber, {}, value}; }
ReportCell Blank() { return {}; }
// A stored figure; a null (a row without its fee row) stays blank.
ReportCell MoneyField(const Value& value) { return IsNull(value) ? Blank() : Money(NumberOf(value)); }
ReportCell NumberField(const Value& value) { return IsNull(value) ? Blank() : Number(NumberOf(value)); }
ReportCell TextField(const Value& value) { return Text(TextOrEmpty(value)); }

ReportRow Line(ReportRowStyle style, std::vector<ReportCell> cells) { return {style, std::move(cells)}; }

// The named figures of a project: gcxxb (project information) and qfblb
// (fee variables). The first entry of a name counts.
std::map<std::string, Value> NamedValues(Connection& connection, const std::string& sql) {
  std::map<std::string, Value> values;
  for (Row& row : Query(connection, sql)) values.emplace(TextOrEmpty(row[0]), std::move(row[1]));
  return values;
}

double NamedNumber(const std::map<std::string, Value>& values, const std::string& name) {
  const auto found = values.find(name);
  return found == values.end() ? 0 : NumberOf(found->second);
}

// What a form reads; a table missing from the project database is named in
// the error, with the form that needs it.
struct Requirement {
  const char* table;
  const char* form;
};
constexpr Requirement kRequirements[] = {
    {"gcxxb", "封面"},
    {"qfjjcxb", "单位工程汇总表"},
    {"zhys", "分部分项工程和单价措施项目清单与计价表"},
    {"qfblb", "分部分项工程和单价措施项目清单与计价表"},
    {"qfsjb", "综合单价分析表"},
    {"qddyb", "综合单价分析表"},
    {"qdclb", "综合单价分析表"},
    {"zljeb", "暂列金额明细表"},
    {"zcbfwfb", "总承包服务费计价表"},
    {"qtxm", "其他项目清单与计价汇总表"},
    {"gcrgb", "人材机汇总表"},
    {"gcclb", "人材机汇总表"},
    {"gcjxb", "人材机汇总表"},
    {"gcjxfb", "人材机汇总表"},
};

void RequireTables(Connection& connection) {
  for (const Requirement& requirement : kRequirements) {
    Statement exists(connection.handle(), "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?",
                     {std::string(requirement.table)});
    if (!exists.Step()) {
      throw Error(std::string("the project database has no table ") + requirement.table + ", which the " +
                  requirement.form + " needs");
    }
  }
}

ReportForm Cover(const ReportModel& model) {
  ReportForm form{"封面", {"项目", "内容"}, {}};
  form.rows = {
      Line(ReportRowStyle::kItem, {Text("工程名称"), Text(model.project_name)}),
      Line(ReportRowStyle::kItem, {Text("工程造价（小写，元）"), Money(model.project_cost)}),
      Line(ReportRowStyle::kItem, {Text("工程造价（大写）"), Text(model.project_cost_words)}),
      Line(ReportRowStyle::kItem, {Text("建筑面积（m²）"), Number(model.floor_area)}),
      Line(ReportRowStyle::kItem, {Text("经济指标（元/m²）"), Money(model.cost_per_area)}),
      Line(ReportRowStyle::kItem, {Text("总工日"), Number(model.labour_days)}),
  };
  return form;
}

// The summary programme (kind 2) in calculation order; its total is the
// project cost the summary stage stored in gcxxb.
ReportForm SummaryForm(const Rows& summary_lines, double project_cost) {
  ReportForm form{"单位工程汇总表", {"序号", "费用名称", "计算基础", "基数", "费率(%)", "金额"}, {}};
  for (const Row& r : summary_lines) {
    form.rows.push_back(Line(ReportRowStyle::kItem, {NumberField(r[0]), TextField(r[1]), TextField(r[2]),
                                                     MoneyField(r[3]), NumberField(r[4]), MoneyField(r[5])}));
  }
  form.rows.push_back(
      Line(ReportRowStyle::kTotal, {Blank(), Text("合计"), Blank(), Blank(), Blank(), Money(project_cost)}));
  return form;
}

// One bill (sub-item or measure bill) as headed section groups: a section
// opens with its name and closes with its stored total after the rows under
// it, deeper sections first; bill items are numbered through the form.
void AppendBill(const Rows& rows, const char* heading, const char* total_name, double total, int& serial,
                ReportForm& form) {
  form.rows.push_back(Line(ReportRowStyle::kHeading, {Blank(), Blank(), Text(heading)}));
  std::vector<const Row*> open;  // sections not yet closed, outermost first
  auto close_down_to = [&](double level) {
    while (!open.empty() && NumberOf((*open.back())[2]) >= level) {
      const Row& s = *open.back();
      form.rows.push_back(
          Line(ReportRowStyle::kSubtotal, {Blank(), Blank(), Text("小计：" + TextOrEmpty(s[3])), Blank(), Blank(),
                                           Blank(), MoneyField(s[8]), MoneyField(s[9])}));
      open.pop_back();
    }
  };
  for (const Row& r : rows) {
    const double level = NumberOf(r[2]);
    if (level < 5) {
      close_down_to(level);
      open.push_back(&r);
      form.rows.push_back(Line(ReportRowStyle::kHeading, {Blank(), Blank(), TextField(r[3])}));
    } else {
      form.rows.push_back(
          Line(ReportRowStyle::kItem, {Number(++serial), TextField(r[4]), TextField(r[3]), TextField(r[5]),
                                       NumberField(r[6]), MoneyField(r[7]), MoneyField(r[8]), MoneyField(r[9])}));
    }
  }
  close_down_to(0);
  form.rows.push_back(
      Line(ReportRowStyle::kTotal, {Blank(), Blank(), Text(total_name), Blank(), Blank(), Blank(), Money(total)}));
}

// The measure bill's sections of class '1' hold measures priced as a whole,
// which the measures form shows; the bill keeps the unit-price measures.
ReportForm BillForm(Connection& connection, const std::map<std::string, Value>& variables) {
  ReportForm form{"分部分项工程和单价措施项目清单与计价表",
                  {"序号", "项目编码", "项目名称", "计量单位", "工程量", "综合单价", "合价", "其中：暂估价"},
                  {}};
  const std::string rows =
      "SELECT ysid,qdlb,fbcch,zhmc,qdxh,dw,yssl,sjdj,sjbj,zgjhj FROM zhys "
      "WHERE fbcch BETWEEN 1 AND 5 AND qdlb=? AND (fbcch=5 OR cslb IS NOT '1') ORDER BY sjxh,rowid";
  int serial = 0;
  AppendBill(Query(connection, rows, {std::int64_t{0}}), "分部分项工程", "分部分项工程合计",
             NamedNumber(variables, "工程量清单计价"), serial, form);
  AppendBill(Query(connection, rows, {std::int64_t{1}}), "单价措施项目", "单价措施项目合计",
             NamedNumber(variables, "施工技术措施"), serial, form);
  return form;
}

// Rows of a query grouped by their first column, an estimate row id, in
// query order.
std::unordered_map<std::int64_t, Rows> ByRow(Rows rows) {
  std::unordered_map<std::int64_t, Rows> grouped;
  for (Row& row : rows) grouped[IdOf(row[0])].push_back(std::move(row));
  return grouped;
}

// For each bill item: its own figures per unit, the quota sub-items mapped
// to it with their quantities per unit of the item and their figures per
// unit of their own, then the item's materials.
ReportForm AnalysisForm(Connection& connection) {
  ReportForm form{
      "综合单价分析表",
      {"编码", "名称", "单位", "数量", "人工费", "材料费", "主材费", "机械费", "管理费", "利润", "综合单价"},
      {}};
  const Rows items = Query(connection,
                           "SELECT z.ysid,z.qdxh,z.zhmc,z.dw,f.rgf,f.fcf,f.zcf_qd,f.jxf,f.glf,f.lr,f.zhdj "
                           "FROM zhys AS z LEFT JOIN qfsjb AS f ON f.ysid=z.ysid "
                           "WHERE z.fbcch=5 AND z.qdlb IN (0,1) ORDER BY z.qdlb,z.sjxh,z.rowid");
  const auto sub_items = ByRow(Query(connection,
                                     "SELECT d.fb5,z.qdxh,z.zhmc,z.dw,f.sjgcl_qd,f.rgf,f.fcf,f.zcf,f.jxf,f.glf,f.lr,"
                                     "f.zhdj FROM qddyb AS d JOIN zhys AS z ON z.ysid=d.ysid "
                                     "LEFT JOIN qfsjb AS f ON f.ysid=d.ysid WHERE d.fb5<>0 ORDER BY z.sjxh,z.rowid"));
  // The bill material's own class marks main and provisional-price
  // materials; the project material line it comes from marks an
  // owner-supplied one.
  const auto materials =
      ByRow(Query(connection,
                  "SELECT q.ysid,q.bh,q.mc,q.dw,q.sl,iif(q.xxj=0,q.dj,q.xxj),q.xhj,"
                  "trim(iif(q.cllb IN (1,3),'主材 ','')||iif(q.cllb IN (2,3),'暂估 ','')||"
                  "iif(EXISTS (SELECT 1 FROM gcclb AS g WHERE g.bh=q.bh AND g.mc=q.mc AND g.dw=q.dw "
                  "AND g.dj=q.dj AND g.xxj=q.xxj AND g.jg),'甲供','')) FROM qdclb AS q ORDER BY q.ysid,q.bh,q.rowid"));
  for (const Row& item : items) {
    form.rows.push_back(Line(
        ReportRowStyle::kHeading,
        {TextField(item[1]), TextField(item[2]), TextField(item[3]), Blank(), MoneyField(item[4]), MoneyField(item[5]),
         MoneyField(item[6]), MoneyField(item[7]), MoneyField(item[8]), MoneyField(item[9]), MoneyField(item[10])}));
    const std::int64_t id = IdOf(item[0]);
    if (const auto found = sub_items.find(id); found != sub_items.end()) {
      for (const Row& s : found->second) {
        form.rows.push_back(Line(
            ReportRowStyle::kDetail,
            {TextField(s[1]), TextField(s[2]), TextField(s[3]), NumberField(s[4]), MoneyField(s[5]), MoneyField(s[6]),
             MoneyField(s[7]), MoneyField(s[8]), MoneyField(s[9]), MoneyField(s[10]), MoneyField(s[11])}));
      }
    }
    const auto found = materials.find(id);
    if (found == materials.end()) continue;
    form.rows.push_back(Line(ReportRowStyle::kColumnHeads, {Text("材料编码"), Text("材料名称"), Text("单位"),
                                                            Text("数量"), Text("单价"), Text("合价"), Text("标记")}));
    for (const Row& m : found->second) {
      form.rows.push_back(
          Line(ReportRowStyle::kDetail, {TextField(m[1]), TextField(m[2]), TextField(m[3]), NumberField(m[4]),
                                         MoneyField(m[5]), MoneyField(m[6]), TextField(m[7])}));
    }
  }
  return form;
}

// Measure items priced as a whole (level 6) with their detail lines (level
// 7), under the measure sections of class '1' that hold their stored totals.
ReportForm MeasuresForm(Connection& connection, const std::map<std::string, Value>& variables) {
  ReportForm form{"总价措施项目清单与计价表", {"序号", "项目名称", "计算基础", "费率(%)", "金额"}, {}};
  int serial = 0;
  for (const Row& r : Query(connection,
                            "SELECT fbcch,zhmc,jsjs,zdycsfl,sjbj FROM zhys WHERE qdlb=1 "
                            "AND (fbcch IN (6,7) OR (fbcch BETWEEN 1 AND 4 AND cslb='1')) ORDER BY sjxh,rowid")) {
    const double level = NumberOf(r[0]);
    if (level < 6) {
      form.rows.push_back(
          Line(ReportRowStyle::kHeading, {Blank(), TextField(r[1]), Blank(), Blank(), MoneyField(r[4])}));
    } else {
      const bool detail = level == 7;
      form.rows.push_back(Line(detail ? ReportRowStyle::kDetail : ReportRowStyle::kItem,
                               {detail ? Blank() : Number(++serial), TextField(r[1]), TextField(r[2]),
                                NumberField(r[3]), MoneyField(r[4])}));
    }
  }
  form.rows.push_back(Line(ReportRowStyle::kTotal, {Blank(), Text("总价措施项目合计"), Blank(), Blank(),
                                                    Money(NamedNumber(variables, "施工组织措施"))}));
  form.rows.push_back(Line(ReportRowStyle::kTotal, {Blank(), Text("措施项目合计（含单价措施项目）"), Blank(), Blank(),
                                                    Money(NamedNumber(variables, "措施项目计价"))}));
  return form;
}

// A project list in its order; its line named 合计 (the second column) is
// the total the engine wrote, shown as the form's total. `kinds` gives each
// column of the query: 'T' text, 'N' a number, 'M' money, 'A' the amount
// that the total line totals. The total line shows only its texts and that
// amount: its line number, rate and base are placeholders.
ReportForm ListForm(Connection& connection, ReportForm form, const std::string& sql, std::string_view kinds) {
  for (const Row& r : Query(connection, sql)) {
    const bool total = TextOrEmpty(r[1]) == "合计";
    ReportRow row{total ? ReportRowStyle::kTotal : ReportRowStyle::kItem, {}};
    for (size_t i = 0; i < r.size(); ++i) {
      const char kind = kinds[i];
      if (kind == 'T') {
        row.cells.push_back(TextField(r[i]));
      } else if (kind == 'A' || (kind == 'M' && !total)) {
        row.cells.push_back(MoneyField(r[i]));
      } else if (!total) {
        row.cells.push_back(NumberField(r[i]));
      } else {
        row.cells.push_back(Blank());
      }
    }
    form.rows.push_back(std::move(row));
  }
  return form;
}

// The project's labour, materials and machines, each group by code; the
// machines' consumption items follow for reference, their price differences
// being part of the machines' current prices already.
ReportForm ResourcesForm(Connection& connection) {
  ReportForm form{
      "人材机汇总表", {"编码", "名称", "单位", "数量", "基价", "市场价", "基价合价", "市场价合价", "价差", "标记"}, {}};
  struct Group {
    const char* heading;
    const char* table;
    const char* marks;
  };
  const Group groups[] = {
      {"人工", "gcrgb", "''"},
      {"材料", "gcclb", "trim(iif(cllb='主材','主材 ','')||iif(zgj,'暂估 ','')||iif(jg,'甲供',''))"},
      {"机械（台班单价含燃料动力价差）", "gcjxb", "''"},
      {"机械台班消耗（已计入机械台班单价）", "gcjxfb", "''"},
  };
  for (const Group& group : groups) {
    form.rows.push_back(Line(ReportRowStyle::kHeading, {Blank(), Text(group.heading)}));
    for (const Row& r : Query(connection, std::string("SELECT bh,mc,dw,sl,dj,iif(xxj=0,dj,xxj),hj,xhj,") + group.marks +
                                              " FROM " + group.table + " ORDER BY bh,mc,dw,dj,rowid")) {
      form.rows.push_back(
          Line(ReportRowStyle::kItem, {TextField(r[0]), TextField(r[1]), TextField(r[2]), NumberField(r[3]),
                                       MoneyField(r[4]), MoneyField(r[5]), MoneyField(r[6]), MoneyField(r[7]),
                                       Money(RoundDecimal(NumberOf(r[7]) - NumberOf(r[6]), 2)), TextField(r[8])}));
    }
  }
  return form;
}

// The charts read the same stored figures; the split of the cost by
// resource adds fee variables of the two bills, rounded to the cent, and
// the rest of the cost is what these leave (drawing only, never a form).
std::vector<ReportChart> Charts(Connection& connection, const Rows& summary_lines,
                                const std::map<std::string, Value>& variables, double project_cost) {
  std::vector<ReportChart> charts(3);
  charts[0].title = "工程造价构成";
  // The line numbered as many as there are lines is the project cost itself.
  for (const Row& r : summary_lines) {
    if (NumberOf(r[0]) != static_cast<double>(summary_lines.size()))
      charts[0].bars.push_back({TextOrEmpty(r[1]), NumberOf(r[5])});
  }

  charts[1].title = "人工、材料、机械与其他费用（现行价）";
  const auto sum = [&](std::initializer_list<const char*> names) {
    double total = 0;
    for (const char* name : names) total = RoundDecimal(total + NamedNumber(variables, name), 2);
    return total;
  };
  const double labour = sum({"人工费(分部分项)", "人工费(措施项目)"});
  const double materials = sum({"材料费(分部分项)", "主材费(分部分项)", "材料费(措施项目)", "主材费(措施项目)"});
  const double machines = sum({"机械费(分部分项)", "机械费(措施项目)"});
  charts[1].bars = {{"人工费", labour},
                    {"材料费（含主材）", materials},
                    {"机械费", machines},
                    {"其他费用", RoundDecimal(project_cost - labour - materials - machines, 2)}};

  charts[2].title = "合价最大的十个清单项目";
  for (const Row& r : Query(connection,
                            "SELECT zhmc,sjbj FROM zhys WHERE fbcch=5 AND qdlb IN (0,1) "
                            "ORDER BY sjbj DESC,sjxh,rowid LIMIT 10")) {
    charts[2].bars.push_back({TextOrEmpty(r[0]), NumberOf(r[1])});
  }
  return charts;
}

// Builds one form, naming it in an error from the database (a column
// missing, say).
template <typename Read>
auto Reading(const char* title, Read&& read) -> decltype(read()) {
  try {
    return read();
  } catch (const Error& e) {
    throw Error(std::string("reading the ") + title + ": " + e.what());
  }
}

void Build(Connection& connection, const ReportOptions& options, ReportModel& model) {
  RequireTables(connection);
  const auto information = NamedValues(connection, "SELECT mingc,shuzhi FROM gcxxb ORDER BY rowid");
  const auto cost = information.find("工程造价");
  double project_cost = 0;
  if (cost == information.end() || !ParseNumber(TextOrEmpty(cost->second), project_cost) || project_cost == 0) {
    throw Error("the project has not been priced: gcxxb holds no project cost (工程造价); price it first");
  }
  const auto variables = NamedValues(connection, "SELECT fymc,blsz FROM qfblb WHERE bllx+0=2 ORDER BY rowid");
  // The summary programme, read once for its form and its chart.
  const Rows summary_lines = Reading("单位工程汇总表", [&] {
    return Query(connection, "SELECT sjxh,fymc,jsjs,jsjsje,fl,jsjg FROM qfjjcxb WHERE leixing=2 ORDER BY jsxh,rowid");
  });

  model = ReportModel{};
  model.project_name = information.count("工程名称") ? TextOrEmpty(information.at("工程名称")) : "";
  model.title = !options.title.empty()        ? options.title
                : !model.project_name.empty() ? model.project_name
                                              : "工程造价报表";
  model.project_cost = project_cost;
  model.project_cost_words = MoneyInWords(project_cost);
  model.floor_area = NamedNumber(information, "建筑面积");
  model.cost_per_area = NamedNumber(information, "经济指标");
  model.labour_days = NamedNumber(information, "总工日");

  model.forms.push_back(Cover(model));
  model.forms.push_back(SummaryForm(summary_lines, project_cost));
  model.forms.push_back(
      Reading("分部分项工程和单价措施项目清单与计价表", [&] { return BillForm(connection, variables); }));
  model.forms.push_back(Reading("综合单价分析表", [&] { return AnalysisForm(connection); }));
  model.forms.push_back(Reading("总价措施项目清单与计价表", [&] { return MeasuresForm(connection, variables); }));
  model.forms.push_back(Reading("暂列金额明细表", [&] {
    return ListForm(connection,
                    {"暂列金额明细表", {"序号", "项目名称", "计量单位", "计算公式", "费率(%)", "暂定金额", "备注"}, {}},
                    "SELECT sjxh,mc,dw,jsgs,fl,je,bz FROM zljeb ORDER BY sjxh,rowid", "NTTTNAT");
  }));
  model.forms.push_back(Reading("总承包服务费计价表", [&] {
    return ListForm(
        connection,
        {"总承包服务费计价表", {"序号", "项目名称", "计算公式", "项目价值", "服务内容", "费率(%)", "金额"}, {}},
        "SELECT sjxh,mc,jsgs,jz,fwnr,fl,je FROM zcbfwfb ORDER BY sjxh,rowid", "NTTMTNA");
  }));
  model.forms.push_back(Reading("其他项目清单与计价汇总表", [&] {
    return ListForm(connection, {"其他项目清单与计价汇总表", {"序号", "项目名称", "计算公式", "金额"}, {}},
                    "SELECT sjxh,xmmc,jsgs,hj FROM qtxm ORDER BY jsxh,rowid", "NTTA");
  }));
  model.forms.push_back(Reading("人材机汇总表", [&] { return ResourcesForm(connection); }));
  model.charts = Charts(connection, summary_lines, variables, project_cost);
}

}  // namespace

std::string BuildReport(Connection& connection, const ReportOptions& options, ReportModel& model) {
  try {
    // One read transaction, never committed: the forms see one state of the
    // project, and the guard ends the transaction on every path.
    Transaction reading(connection);
    Build(connection, options, model);
    return {};
  } catch (const std::exception& e) {
    model = ReportModel{};
    return e.what();
  }
}

}  // namespace quillmere
