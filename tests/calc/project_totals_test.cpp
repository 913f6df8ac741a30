// The project totals one after another on a small priced project, in process
// and through `quillmere call`, which must give the same results, the
// by-reference outputs and the message boxes included.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "db/statement.h"
#include "db/value.h"
#include "quillmere/connection.h"
#include "quillmere/project.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

// A priced project as the unit prices leave it: one sub-item of each bill,
// a measure section with an item and its detail line, a detail line after a
// bill item, and one line in each project list.
void AddPricedProject(Connection& c) {
  const char* statements[] = {
      "insert into qfsjb(ysid,fbcch,qdlb,sjgcl,zhdj,zrg) values (1,0,0,10,12.345,0.5),(2,0,1,1,100,0.25)",
      "insert into zhys(ysid,sjxh,qdlb,fbcch,gzlx,cslb,zhmc,jsjs,zdycsfl,bhlb,sjbj) values "
      "(1,0,0,0,'道路、市政排水工程',NULL,'路基',NULL,NULL,'',0),"
      "(5,1,1,2,NULL,'1','措施',NULL,NULL,'',0),"
      "(2,2,1,0,NULL,'1','钢管脚手架',NULL,NULL,'',0),"
      "(3,3,1,6,NULL,'1','安全文明施工','工程量清单计价',10,'1',0),"
      "(4,4,1,7,NULL,'1','围挡','50',100,'',0),"
      "(6,5,1,5,NULL,'1','脚手架',NULL,NULL,'',30),"
      "(7,6,1,7,NULL,'1','临时设施','20',100,'',0)",
      "insert into qfblb(fymc,blsz,bllx) values ('工程量清单计价',0,2),('施工技术措施',0,2),('措施项目计价',0,2),"
      "('暂列金额',0,2),('总承包服务费',0,2),('其他项目计价',0,2),('总工日',0,2)",
      "insert into zljeb(sjxh,mc,jsgs,fl,je) values (1,'暂列金额','工程量清单计价',10,0)",
      "insert into zcbfwfb(sjxh,mc,jsgs,jz,fl,je) values (1,'专业分包','工程量清单计价',0,2,0)",
      "insert into qtxm(jsxh,sjxh,xmmc,jsgs,hj) values (1,1,'暂列金额','暂列金额',0),"
      "(2,2,'总承包服务费','总承包服务费',0),(3,3,'合计','[1]+[2]',0)",
      "insert into qfjjcxb(leixing,jsxh,sjxh,jsjs,fl) values (2,1,1,'工程量清单计价',100),"
      "(2,2,2,'措施项目计价',100),(2,3,3,'其他项目计价',100),(2,4,4,'[1]+[2]+[3]',100)",
  };
  for (const char* sql : statements) c.Execute(sql);
}

// What the totals leave behind: the variables each member publishes, the
// project information, the measure rows and the summary lines.
std::string Results(Connection& c) {
  std::string text;
  for (const char* sql :
       {"select fymc, blsz from qfblb order by rowid", "select mingc, shuzhi from gcxxb order by rowid",
        "select ysid, sjbj from zhys where qdlb=1 and fbcch>0 order by sjxh",
        "select sjxh, jsjsje, jsjg from qfjjcxb order by jsxh"}) {
    Statement statement(c.handle(), sql);
    while (statement.Step()) {
      for (int i = 0; i < statement.ColumnCount(); ++i) {
        const Value v = statement.ColumnValue(i);
        text += (i ? " | " : "") + (IsNull(v) ? std::string("NULL") : TextOrEmpty(v));
      }
      text += "\n";
    }
    text += "--\n";
  }
  return text;
}

// Hand computation of the whole run:
//   工程量清单计价 round(12.345*10) = 123.45; 施工技术措施 100;
//   总工日 round(0.5*10) = 5 + round(0.25*1) = 0.25 -> 5.25
//   item 3: 123.45*10/100 = 12.345 -> 12.35, then its detail line 50 -> 50;
//   line 7 follows the bill item 6: the warning, its 20 counted nowhere;
//   措施项目计价 50 + bill item 30 = 80; section 5 takes item 3: 50
//   暂列金额 123.45*10/100 = 12.345 -> 12.35
//   总承包服务费: base 123.45, fee 123.45*2/100 = 2.469 -> 2.47
//   other items 12.35, 2.47, total 14.82
//   summary 123.45, 80, 14.82, cost 218.27; per 200 of floor area
//   218.27/200 = 1.09135 -> 1.09
constexpr const char* kExpected =
    "工程量清单计价 | 123.45\n施工技术措施 | 100\n措施项目计价 | 80\n暂列金额 | 12.35\n总承包服务费 | 2.47\n"
    "其他项目计价 | 14.82\n总工日 | 5.25\n--\n"
    "总工日 | 5.25\n工程造价 | 218.27\n经济指标 | 1.09\n--\n"
    "5 | 50\n3 | 50\n4 | 50\n6 | 30\n7 | 20\n--\n"
    "1 | 123.45 | 123.45\n2 | 80 | 80\n3 | 14.82 | 14.82\n4 | 218.27 | 218.27\n--\n";

constexpr const char* kWarning = "措施项目中第6行费用[临时设施]没有对应的清单，会导致本记录费用不统计，请检查！";

TEST(ProjectTotals, PipelineFromFeeVariablesToProjectCost) {
  testing::Project p;
  AddPricedProject(p.db());
  ClsOrvane& o = p.orvane();
  double zgr = 0;
  double cost = 0;
  double per_area = 0;
  EXPECT_EQ(o.JiSuanGCRCJ(false, zgr), "");
  EXPECT_EQ(o.JiSuanZDYCS(), "");
  EXPECT_EQ(o.JiSuanCSFB(), "");
  EXPECT_EQ(o.JiSuanZLJE(), "");
  EXPECT_EQ(o.JiSuanZCBFWF(), "");
  EXPECT_EQ(o.JiSuanQTXM(), "");
  EXPECT_EQ(o.JiSuanHZB(200, cost, per_area), "");
  EXPECT_EQ(Results(p.db()), kExpected);
  EXPECT_DOUBLE_EQ(zgr, 5.25);
  EXPECT_DOUBLE_EQ(cost, 218.27);
  EXPECT_DOUBLE_EQ(per_area, 1.09);
  ASSERT_EQ(o.Messages().size(), 1u);
  EXPECT_EQ(o.Messages()[0].prompt, kWarning);
}

// Runs quillmere with `arguments` and parses the one JSON object it prints.
nlohmann::json Call(const std::string& arguments) {
  const std::string command = std::string(QUILLMERE_CLI) + " call " + arguments + " 2>/dev/null";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return nlohmann::json::parse(out, nullptr, false);
}

TEST(ProjectTotalsCommandLine, CallGivesTheSameResultsAndOutputs) {
  const fs::path dir = fs::temp_directory_path() / ("quillmere_totals_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string db = (dir / "p.db").string();
  {
    Connection c = Connection::Open(db);
    CreateProjectSchema(c);
    AddPricedProject(c);
  }
  const nlohmann::json labour = Call(db + " JiSuanGCRCJ false 7");
  EXPECT_EQ(labour["result"], "");
  EXPECT_DOUBLE_EQ(labour["out"]["zgr"].get<double>(), 5.25);
  const nlohmann::json measures = Call(db + " JiSuanZDYCS");
  EXPECT_EQ(measures["result"], "");
  ASSERT_EQ(measures["messages"].size(), 1u);
  EXPECT_EQ(measures["messages"][0]["prompt"], kWarning);
  EXPECT_EQ(measures["messages"][0]["style"], 48);
  EXPECT_EQ(measures["messages"][0]["title"], "提示");
  for (const char* member : {"JiSuanCSFB", "JiSuanZLJE", "JiSuanZCBFWF", "JiSuanQTXM"}) {
    const nlohmann::json run = Call(db + " " + member);
    EXPECT_EQ(run["result"], "") << member;
    EXPECT_TRUE(run["messages"].empty()) << member;
  }
  const nlohmann::json summary = Call(db + " JiSuanHZB 200 0 0");
  EXPECT_EQ(summary["result"], "");
  EXPECT_DOUBLE_EQ(summary["out"]["DblGCZJ"].get<double>(), 218.27);
  EXPECT_DOUBLE_EQ(summary["out"]["DblJJZB"].get<double>(), 1.09);
  {
    Connection c = Connection::Open(db);
    EXPECT_EQ(Results(c), kExpected);
  }

  // A failure reaches the caller as the result text with exit status 1,
  // the outputs as the member left them.
  {
    Connection c = Connection::Open(db);
    c.Execute("update qfjjcxb set jsjs='[9]' where sjxh=1");
  }
  const nlohmann::json failed = Call(db + " JiSuanHZB 200 5 6");
  EXPECT_EQ(failed["result"], "Subscript out of range");
  EXPECT_EQ(failed["out"]["DblGCZJ"], 5);
  EXPECT_EQ(failed["out"]["DblJJZB"], 6);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quillmere
