// The quillmere program as a user runs it: init, call, demo, calc, generate
// and eval, their output and their exit statuses; call gives what the
// library gives.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

#include "base/decimal.h"
#include "quillmere/cls_orvane.h"
#include "quillmere/connection.h"
#include "quillmere/project.h"
#include "quillmere/samples.h"
#include "support/command_line.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

using testing::FileText;
using testing::Outcome;
using testing::Quillmere;

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("quillmere_cli_" + std::to_string(getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string PathOf(const std::string& name) const { return (dir / name).string(); }
  fs::path dir;
};

TEST_F(CommandLine, InitCreatesTheProjectDatabaseWithTheFeeCodeColumns) {
  const std::string db = PathOf("p.db");
  ASSERT_EQ(Quillmere("init " + db + " --fee-codes GLF,LR,AQWM").status, 0);
  testing::Project expected;
  AddFeeCodeColumns(expected.db(), {"GLF", "LR", "AQWM"});
  EXPECT_EQ(testing::Project(db).Snapshot(), expected.Snapshot());
}

TEST_F(CommandLine, InitRefusesANonEmptyFileWithoutTouchingIt) {
  const std::string path = PathOf("notes.txt");
  std::ofstream(path) << "keep me";
  EXPECT_EQ(Quillmere("init " + path).status, 1);
  EXPECT_EQ(FileText(path), "keep me");
  // Nor another SQLite database.
  const std::string other = PathOf("other.db");
  Connection::Open(other).Execute("create table mine (a)");
  EXPECT_EQ(Quillmere("init " + other).status, 1);
  EXPECT_EQ(testing::Project(other).Rows("select group_concat(name) from sqlite_schema"), "mine\n");
  EXPECT_EQ(Quillmere("init " + PathOf("q.db") + " --fee-codes 'GL F'").status, 2);
  EXPECT_FALSE(fs::exists(PathOf("q.db")));
}

TEST_F(CommandLine, CallAnswersTwoForUsageErrorsAndUnusableDatabases) {
  const std::string db = PathOf("p.db");
  ASSERT_EQ(Quillmere("init " + db).status, 0);
  std::ofstream(PathOf("junk.db")) << "this is not a database, only some text that is long enough to look like one";
  // Member names are case-sensitive.
  for (const std::string& arguments : {db + " NoSuchMember", db + " jisuanxxj true", db + " JiSuanXXJ maybe",
                                       db + " JiSuanXXJ", db + " JiSuanXXJ true false", db + " JiSuanZHDJ 1.5 false",
                                       PathOf("missing.db") + " HuiZongRCJ", PathOf("junk.db") + " HuiZongRCJ"}) {
    EXPECT_EQ(Quillmere("call " + arguments).status, 2) << arguments;
  }
  // A member that reports a failure answers 1: here the single-row
  // recalculation of a project without fee rows.
  {
    Connection c = Connection::Open(db);
    c.Execute("drop table qfsjb");
  }
  EXPECT_EQ(Quillmere("call " + db + " JiSuanZHDJ 1 false").status, 1);
  EXPECT_EQ(Quillmere("call --help").status, 0);
}

// The demo priced member by member through `quillmere call` on a file and in
// process: each call prints the member's result, outputs and message boxes as
// the library gives them, and leaves every table the same.
TEST_F(CommandLine, CallPricesMemberByMemberAsTheLibraryDoes) {
  testing::Project p;
  WriteDemoProject(p.db());
  // The host's part of the fee programme, and a detail line after the
  // scaffolding bill item, which the measures warn about.
  AddFeeCodeColumns(p.db(), {"GLF", "LR", "ZHDJ"});
  p.Execute("insert into temp_zhys(ysid,GLF_FL,LR_FL,ZHDJ_FL) select ysid,18,10,100 from zhys");
  p.Execute("insert into zhys(ysid,sjxh,qdlb,fbcch,zhmc,jsjs,zdycsfl,cslb) values (3112,23.5,1,7,'防护','100',10,'1')");
  const std::string db = PathOf("p.db");
  p.db().Execute("vacuum into ?", {db});

  using Json = nlohmann::json;
  // The command line prints numbers with 15 significant digits.
  const auto number = [](double v) { return std::stod(NumberText(v)); };
  const auto text = [](const std::string& result) { return Json{{"result", result}, {"out", Json::object()}}; };
  const auto bill_item = [&](ClsOrvane& o, const char* subitems, bool fee_programme) {
    double zgj = 3;
    const double price = o.JiSuanQDDJ(121, subitems, false, zgj, fee_programme);
    return Json{{"result", number(price)}, {"out", {{"dblZgj", number(zgj)}}}};
  };
  const struct {
    std::string arguments;
    int status;
    std::function<Json(ClsOrvane&)> in_process;
  } calls[] = {
      {"ZhengLiGCShuJu true", 0, [&](ClsOrvane& o) { return text(o.ZhengLiGCShuJu(true)); }},
      {"JiSuanDEJJ_QB", 0, [&](ClsOrvane& o) { return text(o.JiSuanDEJJ_QB()); }},
      {"ChongXinJSXXJ_QB true", 0, [&](ClsOrvane& o) { return text(o.ChongXinJSXXJ_QB(true)); }},
      {"HuiZongRCJ", 0, [&](ClsOrvane& o) { return text(o.HuiZongRCJ()); }},
      {"JiSuanXXJ true", 0, [&](ClsOrvane& o) { return text(o.JiSuanXXJ(true)); }},
      {"QingDanCLHZ", 0, [&](ClsOrvane& o) { return text(o.QingDanCLHZ()); }},
      // Booleans may also be written 1 and 0.
      {"JiSuanZHDJ_QB 清单计价法 1", 0, [&](ClsOrvane& o) { return text(o.JiSuanZHDJ_QB("清单计价法", true)); }},
      {"JiSuanGCRCJ true 7", 0,
       [&](ClsOrvane& o) {
         double zgr = 7;
         const std::string result = o.JiSuanGCRCJ(true, zgr);
         return Json{{"result", result}, {"out", {{"zgr", number(zgr)}}}};
       }},
      {"JiSuanZDYCS", 0, [&](ClsOrvane& o) { return text(o.JiSuanZDYCS()); }},
      {"JiSuanCSFB", 0, [&](ClsOrvane& o) { return text(o.JiSuanCSFB()); }},
      {"JiSuanZLJE", 0, [&](ClsOrvane& o) { return text(o.JiSuanZLJE()); }},
      {"JiSuanZCBFWF", 0, [&](ClsOrvane& o) { return text(o.JiSuanZCBFWF()); }},
      {"JiSuanQTXM", 0, [&](ClsOrvane& o) { return text(o.JiSuanQTXM()); }},
      {"JiSuanHZB 9200 0 0", 0,
       [&](ClsOrvane& o) {
         double cost = 0;
         double per_area = 0;
         const std::string result = o.JiSuanHZB(9200, cost, per_area);
         return Json{{"result", result}, {"out", {{"DblGCZJ", number(cost)}, {"DblJJZB", number(per_area)}}}};
       }},
      {"JiSuanZHDJ 1211 true", 0,
       [&](ClsOrvane& o) {
         return Json{{"result", o.JiSuanZHDJ(1211, true)}, {"out", Json::object()}};
       }},
      {"JiSuanQDDJ 121 1211,1212 false 3 false", 0, [&](ClsOrvane& o) { return bill_item(o, "1211,1212", false); }},
      {"JiSuanQDDJ 121 '1211;drop table zhys' false 3 true", 1,
       [&](ClsOrvane& o) { return bill_item(o, "1211;drop table zhys", true); }},
      {"JiSuanZHDJ_QB 清单计价法 0", 0, [&](ClsOrvane& o) { return text(o.JiSuanZHDJ_QB("清单计价法", false)); }},
      // Without its argument it is the call with false, which keeps the unit prices.
      {"ChongXinJSXXJ_QB", 0, [&](ClsOrvane& o) { return text(o.ChongXinJSXXJ_QB(false)); }},
  };
  size_t boxes = 0;
  for (const auto& call : calls) {
    const Outcome run = Quillmere("call " + db + " " + call.arguments);
    Json expected = call.in_process(p.orvane());
    expected["member"] = call.arguments.substr(0, call.arguments.find(' '));
    expected["messages"] = Json::array();
    for (const Message& m : p.orvane().Messages()) {
      expected["messages"].push_back({{"prompt", m.prompt}, {"style", m.style}, {"title", m.title}});
    }
    boxes += expected["messages"].size();
    p.orvane().ClearMessages();
    EXPECT_EQ(Json::parse(run.out), expected) << call.arguments;
    EXPECT_EQ(run.status, call.status) << call.arguments;
  }
  EXPECT_EQ(testing::Project(db).Snapshot(), p.Snapshot());
  // The calls did price the project; the measures warned and the bill item
  // price failed with a box each.
  EXPECT_EQ(boxes, 2u);
  EXPECT_GT(p.Number("select shuzhi from gcxxb where mingc='工程造价'"), 500000);
}

TEST_F(CommandLine, DemoPricesThroughTheWholePipeline) {
  const std::string db = PathOf("demo.db");
  ASSERT_EQ(Quillmere("demo " + db).status, 0);
  const Outcome text = Quillmere("calc " + db);
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("Project cost (工程造价)"), std::string::npos) << text.out;
  const Outcome json = Quillmere("calc " + db + " --bill-pricing --fee-programme --json");
  ASSERT_EQ(json.status, 0);
  const auto report = nlohmann::json::parse(json.out);
  EXPECT_EQ(report["ok"], true);
  EXPECT_EQ(report["floor_area"], 9200);
  EXPECT_EQ(report["summary_lines"].size(), 6u);
  EXPECT_EQ(report["project_cost"], report["summary_lines"][5]["result"]);
  EXPECT_EQ(report["fee_variables"]["工程量清单计价"], report["summary_lines"][0]["base_value"]);
  EXPECT_EQ(report["stages"].size(), 16u);
  // demo, like init, never overwrites a project.
  EXPECT_EQ(Quillmere("demo " + db).status, 1);
}

TEST_F(CommandLine, CalcNamesTheFailingMemberAndAnswersOne) {
  const std::string db = PathOf("demo.db");
  ASSERT_EQ(Quillmere("demo " + db).status, 0);
  {
    Connection c = Connection::Open(db);
    // The host's own trigger refuses the price differences of the fee rows.
    c.Execute(
        "create trigger refuse_differences before update of rgjc on qfsjb "
        "begin select raise(abort, 'fee rows are read-only'); end");
  }
  const Outcome run = Quillmere("calc " + db);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("JiSuanXXJ failed: fee rows are read-only"), std::string::npos) << run.err;
  EXPECT_EQ(Quillmere("calc " + db + " --floor-area lots").status, 2);
  EXPECT_EQ(Quillmere("calc " + db + " --floor-area nan").status, 2);
}

TEST_F(CommandLine, CalcFailsWithoutAbortingOnAnIncompleteProject) {
  // An empty file, then a summary line whose number is a word: each stops
  // with its reason and status 1; neither may end the program by an abort.
  const std::string empty = PathOf("empty.db");
  std::ofstream{empty};
  Outcome run = Quillmere("calc " + empty);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no such table"), std::string::npos) << run.err;

  const std::string db = PathOf("demo.db");
  ASSERT_EQ(Quillmere("demo " + db).status, 0);
  Connection(Connection::Open(db)).Execute("update qfjjcxb set sjxh='first' where leixing=2");
  run = Quillmere("calc --json " + db);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Type mismatch"), std::string::npos) << run.err;
}

TEST_F(CommandLine, GenerateIsReproducibleFromItsSeed) {
  for (const auto& [name, seed] : {std::pair{"a.db", "7"}, {"b.db", "7"}, {"c.db", "8"}}) {
    ASSERT_EQ(Quillmere("generate " + PathOf(name) + " --subitems 30 --seed " + seed).status, 0);
  }
  EXPECT_EQ(FileText(PathOf("a.db")), FileText(PathOf("b.db")));
  EXPECT_NE(FileText(PathOf("a.db")), FileText(PathOf("c.db")));
  EXPECT_EQ(Quillmere("calc " + PathOf("a.db")).status, 0);
  EXPECT_EQ(Quillmere("generate " + PathOf("d.db") + " --subitems 0").status, 2);
}

TEST(EvalCommand, SubstitutesLinesThenVariablesThenPercentSigns) {
  // 10/100*300 = 30. (-3)^2 + 250 - 100 = 159: the negative value keeps its
  // sign, AB is not eaten by A although A comes first. (1000 + 2*50) * 3/100
  // = 33, line 5 not given counts 0. Line references go before variables: a
  // variable named "[1]" never sees the reference.
  for (const auto& [arguments, out] : {std::pair{"'10%*[2]' --line 2=300", "30\n"},
                                       {"'x^2+AB-A' --var A=100 --var AB=250 --var x=-3", "159\n"},
                                       {"'(人工费+[1]*[4])*3%+[5]' --var 人工费=1000 --line 1=2 --line 4=50", "33\n"},
                                       {"'[1]' --line 1=7 --var '[1]=9'", "7\n"},
                                       {"-- '-2^2'", "-4\n"}}) {
    const Outcome run = Quillmere(std::string("eval ") + arguments);
    EXPECT_EQ(run.status, 0) << arguments;
    EXPECT_EQ(run.out + run.err, out) << arguments;
  }
}

TEST(EvalCommand, AZeroGivesItsReasonAndAFormulaThatStopsTheTotalsFails) {
  // A variable not given stays in the text.
  for (const auto& [formula, reason] :
       {std::pair{"'1/0'", "Division by zero"}, {"'人工费*2'", "Invalid character"}, {"''", "Expected expression"}}) {
    const Outcome run = Quillmere(std::string("eval ") + formula);
    EXPECT_EQ(run.status, 0) << formula;
    EXPECT_EQ(run.out + run.err, std::string("0\nquillmere: the formula counts as 0: ") + reason + "\n") << formula;
  }
  for (const auto& [formula, reason] : {std::pair{"'[70000]'", "Overflow"}, {"'[-1]+2'", "Subscript out of range"}}) {
    const Outcome run = Quillmere(std::string("eval ") + formula);
    EXPECT_EQ(run.status, 1) << formula;
    EXPECT_EQ(run.out + run.err,
              std::string("quillmere: the project totals would stop at this formula: ") + reason + "\n");
  }
  for (const char* arguments :
       {"", "5 --var A", "5 --var A=abc", "5 --var =3", "5 --line x=1", "5 --line 40000=1", "5 --line -1=1"}) {
    EXPECT_EQ(Quillmere(std::string("eval ") + arguments).status, 2) << arguments;
  }
}

}  // namespace
}  // namespace quillmere
