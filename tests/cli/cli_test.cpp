// The quillmere program as a user runs it: init and call, their output and
// their exit statuses.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "quillmere/connection.h"
#include "quillmere/project.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
};

// Runs quillmere with `arguments` (already quoted for the shell); its
// standard error is kept only when asked for.
Outcome Quillmere(const std::string& arguments, bool with_errors = false) {
  Outcome run;
  const std::string command = std::string(QUILLMERE_CLI) + " " + arguments + (with_errors ? " 2>&1" : " 2>/dev/null");
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("quillmere_cli_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string PathOf(const std::string& name) const { return (dir / name).string(); }
  fs::path dir;
};

TEST_F(CommandLine, InitCreatesEveryTableAndTheFeeCodeColumns) {
  const std::string db = PathOf("p.db");
  const Outcome run = Quillmere("init " + db + " --fee-codes GLF,LR,AQWM");
  ASSERT_EQ(run.status, 0) << run.out;
  Connection connection = Connection::Open(db);
  for (const auto& table : ProjectTableNames()) {
    EXPECT_FALSE(TableColumns(connection, table).empty()) << table;
  }
  const auto copy = TableColumns(connection, "temp_qfsjb");
  EXPECT_EQ(std::vector<std::string>(copy.end() - 4, copy.end()),
            (std::vector<std::string>{"GLF_FL", "LR_FL", "AQWM", "AQWM_FL"}));
  EXPECT_EQ(TableColumns(connection, "temp_zhys").size(), 4u);
}

TEST_F(CommandLine, InitRefusesANonEmptyFileWithoutTouchingIt) {
  const std::string path = PathOf("notes.txt");
  std::ofstream(path) << "keep me";
  EXPECT_EQ(Quillmere("init " + path).status, 1);
  std::ifstream in(path);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "keep me");
  EXPECT_EQ(Quillmere("init " + PathOf("q.db") + " --fee-codes 'GL F'").status, 2);
  EXPECT_FALSE(fs::exists(PathOf("q.db")));
}

TEST_F(CommandLine, CallPrintsOneJsonObjectWithOutputsAndMessages) {
  const std::string db = PathOf("p.db");
  ASSERT_EQ(Quillmere("init " + db).status, 0);
  const Outcome run = Quillmere("call " + db + " JiSuanGCRCJ false 5");
  const auto report = nlohmann::json::parse(run.out);
  EXPECT_EQ(report["member"], "JiSuanGCRCJ");
  EXPECT_TRUE(report["result"].is_string());
  EXPECT_TRUE(report["out"]["zgr"].is_number());
  EXPECT_TRUE(report["messages"].is_array());
  EXPECT_EQ(run.status, report["result"] == "" ? 0 : 1);

  // The single-row recalculation of a row whose fee rows are gone: a box.
  { Connection c = Connection::Open(db); c.Execute("drop table qfsjb"); }
  const Outcome failed = Quillmere("call " + db + " JiSuanZHDJ 1 false");
  EXPECT_EQ(failed.status, 1);
  const auto box = nlohmann::json::parse(failed.out);
  EXPECT_EQ(box["result"], false);
  ASSERT_EQ(box["messages"].size(), 1u);
  EXPECT_EQ(box["messages"][0]["style"], 64);
  EXPECT_EQ(box["messages"][0]["title"], "提示");
}

TEST_F(CommandLine, CallAnswersTwoForUsageErrorsAndUnusableDatabases) {
  const std::string db = PathOf("p.db");
  ASSERT_EQ(Quillmere("init " + db).status, 0);
  EXPECT_EQ(Quillmere("call " + db + " NoSuchMember").status, 2);
  EXPECT_EQ(Quillmere("call " + db + " jisuanxxj true").status, 2);  // names are case-sensitive
  EXPECT_EQ(Quillmere("call " + db + " JiSuanXXJ maybe").status, 2);
  EXPECT_EQ(Quillmere("call " + db + " JiSuanXXJ").status, 2);
  EXPECT_EQ(Quillmere("call " + db + " JiSuanXXJ true false").status, 2);
  EXPECT_EQ(Quillmere("call " + db + " JiSuanZHDJ 1.5 false").status, 2);
  EXPECT_EQ(Quillmere("call " + PathOf("missing.db") + " HuiZongRCJ").status, 2);
  std::ofstream(PathOf("junk.db")) << "this is not a database, only some text that is long enough to look like one";
  EXPECT_EQ(Quillmere("call " + PathOf("junk.db") + " HuiZongRCJ").status, 2);
  EXPECT_EQ(Quillmere("--version").status, 0);
  EXPECT_EQ(Quillmere("call --help").status, 0);
}

TEST_F(CommandLine, CurrentPricesWithoutTheOptionalArgumentIsTheCallWithFalse) {
  const std::string a = PathOf("a.db");
  const std::string b = PathOf("b.db");
  ASSERT_EQ(Quillmere("init " + a).status, 0);
  for (const auto& db : {a, b}) {
    if (db == b) fs::copy_file(a, b);
    Connection c = Connection::Open(db);
    c.Execute("insert into qfsjb(ysid,rgf,zhdj) values (1,10,20)");
    c.Execute("insert into gjrg(ysid,bh,mc,dw,dj,sl,hj) values (1,'R1','工日','工日',100,1,100)");
    c.Execute("insert into clzxj(bh,mc,dw,dj,xxdj) values ('R1','工日','工日',100,120)");
  }
  const Outcome without = Quillmere("call " + a + " ChongXinJSXXJ_QB");
  const Outcome with_false = Quillmere("call " + b + " ChongXinJSXXJ_QB false");
  EXPECT_EQ(without.status, with_false.status);
  EXPECT_EQ(nlohmann::json::parse(without.out)["result"], nlohmann::json::parse(with_false.out)["result"]);
  Connection ca = Connection::Open(a);
  Connection cb = Connection::Open(b);
  EXPECT_EQ(TableColumns(ca, "qfsjb"), TableColumns(cb, "qfsjb"));
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
  { Connection c = Connection::Open(db); c.Execute("create table fxrgbtemp (ysid integer)"); }
  const Outcome run = Quillmere("calc " + db, true);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("JiSuanXXJ failed: table fxrgbtemp already exists"), std::string::npos) << run.out;
  EXPECT_EQ(Quillmere("calc " + db + " --floor-area lots").status, 2);
}

TEST_F(CommandLine, GenerateIsReproducibleFromItsSeed) {
  ASSERT_EQ(Quillmere("generate " + PathOf("a.db") + " --subitems 30 --seed 7").status, 0);
  ASSERT_EQ(Quillmere("generate " + PathOf("b.db") + " --subitems 30 --seed 7").status, 0);
  ASSERT_EQ(Quillmere("generate " + PathOf("c.db") + " --subitems 30 --seed 8").status, 0);
  std::ifstream a(PathOf("a.db"), std::ios::binary), b(PathOf("b.db"), std::ios::binary),
      c(PathOf("c.db"), std::ios::binary);
  const std::string bytes_a((std::istreambuf_iterator<char>(a)), std::istreambuf_iterator<char>());
  const std::string bytes_b((std::istreambuf_iterator<char>(b)), std::istreambuf_iterator<char>());
  const std::string bytes_c((std::istreambuf_iterator<char>(c)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes_a, bytes_b);
  EXPECT_NE(bytes_a, bytes_c);
  EXPECT_EQ(Quillmere("calc " + PathOf("a.db")).status, 0);
  EXPECT_EQ(Quillmere("generate " + PathOf("d.db") + " --subitems 0").status, 2);
}

}  // namespace
}  // namespace quillmere
