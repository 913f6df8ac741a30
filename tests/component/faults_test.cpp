// The connection state a member leaves behind when something fails around
// it: a commit refused by a reader, a write refused midway, rows that are not
// there, another connection locking the file at random, a busy or damaged
// file on the command line.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "quillmere/cls_orvane.h"
#include "quillmere/connection.h"
#include "quillmere/project.h"
#include "quillmere/samples.h"
#include "support/command_line.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using testing::Project;
using testing::Quillmere;

// A fresh file for one test, removed with its journal first; all of them go
// with their folder when the tests end.
std::string FreshFile(const std::string& name) {
  static const testing::ScratchFolder folder("faults");
  const std::string path = folder.File(name);
  fs::remove(path);
  fs::remove(path + "-journal");
  return path;
}

std::string DemoFile(const std::string& name) {
  const std::string path = FreshFile(name);
  Connection c = Connection::Open(path);
  CreateProjectSchema(c);
  WriteDemoProject(c);
  return path;
}

bool InAutocommit(Connection& c) { return sqlite3_get_autocommit(c.handle()) != 0 && c.TransactionDepth() == 0; }

// The whole-project members in pipeline order; the out-values of
// JiSuanGCRCJ and JiSuanHZB start at 7, 8 and 9 and are kept in `out`.
struct Member {
  const char* name;
  std::function<std::string(ClsOrvane&, std::vector<double>&)> run;
};
const std::vector<Member>& WholeProjectMembers() {
  static const std::vector<Member> members = {
      {"ZhengLiGCShuJu", [](ClsOrvane& o, std::vector<double>&) { return o.ZhengLiGCShuJu(true); }},
      {"JiSuanDEJJ_QB", [](ClsOrvane& o, std::vector<double>&) { return o.JiSuanDEJJ_QB(); }},
      {"ChongXinJSXXJ_QB", [](ClsOrvane& o, std::vector<double>&) { return o.ChongXinJSXXJ_QB(true); }},
      {"HuiZongRCJ", [](ClsOrvane& o, std::vector<double>&) { return o.HuiZongRCJ(); }},
      {"JiSuanXXJ", [](ClsOrvane& o, std::vector<double>&) { return o.JiSuanXXJ(true); }},
      {"QingDanCLHZ", [](ClsOrvane& o, std::vector<double>&) { return o.QingDanCLHZ(); }},
      {"JiSuanZHDJ_QB", [](ClsOrvane& o, std::vector<double>&) { return o.JiSuanZHDJ_QB("清单计价法", false); }},
      {"JiSuanGCRCJ",
       [](ClsOrvane& o, std::vector<double>& out) {
         out = {7};
         return o.JiSuanGCRCJ(true, out[0]);
       }},
      {"JiSuanZDYCS", [](ClsOrvane& o, std::vector<double>&) { return o.JiSuanZDYCS(); }},
      {"JiSuanCSFB", [](ClsOrvane& o, std::vector<double>&) { return o.JiSuanCSFB(); }},
      {"JiSuanZLJE", [](ClsOrvane& o, std::vector<double>&) { return o.JiSuanZLJE(); }},
      {"JiSuanZCBFWF", [](ClsOrvane& o, std::vector<double>&) { return o.JiSuanZCBFWF(); }},
      {"JiSuanQTXM", [](ClsOrvane& o, std::vector<double>&) { return o.JiSuanQTXM(); }},
      {"JiSuanHZB",
       [](ClsOrvane& o, std::vector<double>& out) {
         out = {8, 9};
         return o.JiSuanHZB(9200, out[0], out[1]);
       }},
  };
  return members;
}

// A host whose reader keeps its read transaction while a member
// commits. Without a busy timeout the commit is refused; the member must then
// end its transaction, so that the next member really commits. A writer is
// waited for.
TEST(ConnectionState, ACommitRefusedByAReaderEndsTheMembersTransactionAndAWriterIsWaitedFor) {
  const std::string path = DemoFile("refused_commit.db");
  Project p(path);
  std::vector<double> out;
  for (size_t i = 0; i < 7; ++i) ASSERT_EQ(WholeProjectMembers()[i].run(p.orvane(), out), "") << i;
  const int bill_item = static_cast<int>(p.Number("select ysid from qfsjb where fbcch=5 and zgj_qd>0 order by ysid"));
  const std::string subitems = p.Rows("select group_concat(ysid) from qddyb where fb5=" + std::to_string(bill_item));

  p.db().SetBusyTimeout(0);
  Connection reader = Connection::Open(path);
  reader.Execute("begin");
  reader.Execute("select count(*) from zhys");
  const std::string before = p.Snapshot();
  EXPECT_EQ(p.orvane().ZhengLiGCShuJu(true), "database is locked");
  EXPECT_TRUE(InAutocommit(p.db()));
  // The provisional-price amount of a rolled-back pricing is not handed out.
  double zgj = 3;
  EXPECT_EQ(p.orvane().JiSuanQDDJ(bill_item, subitems.substr(0, subitems.size() - 1), false, zgj, false), 0);
  EXPECT_EQ(zgj, 0);
  EXPECT_TRUE(InAutocommit(p.db()));
  EXPECT_EQ(p.Snapshot(), before);

  reader.Execute("commit");
  EXPECT_EQ(p.orvane().JiSuanDEJJ_QB(), "");
  EXPECT_TRUE(InAutocommit(p.db()));

  // A writer holding the file a moment: a member that reads before it
  // writes waits for it too.
  p.db().SetBusyTimeout(10'000);
  reader.Execute("begin immediate");
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    reader.Execute("rollback");
  });
  EXPECT_EQ(p.orvane().ZhengLiGCShuJu(true), "");
  writer.join();
}

TEST(ConnectionState, AnAbsentBillItemOrEstimateRowFailsAndChangesNothing) {
  Project p;
  WriteDemoProject(p.db());
  double zgj = 3;
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanQDDJ(999, "1211,1212", false, zgj, false); }), 0);
  EXPECT_FALSE(p.Unchanged([&] { return p.orvane().JiSuanZHDJ(999, false); }));
  ASSERT_EQ(p.orvane().Messages().size(), 2u);
  EXPECT_EQ(p.orvane().Messages()[0].prompt, "由于“no estimate row has the ysid 999”的原因，导致计算清单综合单价失败！");
  EXPECT_EQ(p.orvane().Messages()[1].prompt, "由于“no estimate row has the ysid 999”的原因，导致计算基价失败！");
}

// A host may interrupt its connection (a cancel button), which ends the
// whole transaction. Interrupted at any of its statements, the unit pricing,
// which also starts the record of main-material changes, either finishes or
// changes nothing.
int InterruptAt(unsigned, void* countdown, void* statement, void*) {
  if (--*static_cast<int*>(countdown) == 0) sqlite3_interrupt(sqlite3_db_handle(static_cast<sqlite3_stmt*>(statement)));
  return 0;
}

TEST(ConnectionState, AMemberInterruptedAtAnyStatementFinishesOrChangesNothing) {
  const std::string path = DemoFile("interrupted.db");
  std::vector<double> out;
  for (size_t i = 0; i < 6; ++i) ASSERT_EQ(WholeProjectMembers()[i].run(Project(path).orvane(), out), "");
  const std::string before = Project(path).Snapshot();
  // Prices a copy of the project, interrupted at statement `at` (0: never),
  // and counts the statements it ran.
  int statements = 0;
  const auto price = [&](int at, std::string& snapshot) {
    const std::string copy = FreshFile("interrupted_copy.db");
    fs::copy_file(path, copy);
    Project p(copy);
    int countdown = at;
    sqlite3_trace_v2(p.db().handle(), SQLITE_TRACE_STMT, InterruptAt, &countdown);
    const std::string result = p.orvane().JiSuanZHDJ_QB("清单计价法", false);
    sqlite3_trace_v2(p.db().handle(), 0, nullptr, nullptr);
    statements = at - countdown;
    EXPECT_TRUE(InAutocommit(p.db()));
    snapshot = p.Snapshot();
    return result;
  };
  std::string priced, snapshot;
  ASSERT_EQ(price(0, priced), "");
  for (int at = 1, all = statements; at <= all; ++at) {
    SCOPED_TRACE("interrupted at statement " + std::to_string(at));
    const std::string result = price(at, snapshot);
    if (result.empty()) {
      EXPECT_EQ(snapshot, priced);
    } else {
      EXPECT_EQ(result, "interrupted");
      EXPECT_EQ(snapshot, before);
    }
  }
}

// Every whole-project member is stopped at its first, middle and last row
// written (a trigger on every table counts the writes down): the project,
// the caller's out-values and the connection are as before, and the member
// then runs as if nothing had happened.
TEST(ConnectionState, AMemberStoppedAtAnyWriteLeavesProjectOutValuesAndConnectionAsBefore) {
  const auto& members = WholeProjectMembers();
  const auto project_before = [&](size_t member) {
    auto p = std::make_unique<Project>();
    WriteDemoProject(p->db());
    std::vector<double> out;
    for (size_t i = 0; i < member; ++i) EXPECT_EQ(members[i].run(p->orvane(), out), "") << members[i].name;
    return p;
  };
  // Counts the rows written from now on; the write that brings the count to
  // 0 fails.
  const auto arm = [](Project& p, std::int64_t writes) {
    p.Execute("create temp table if not exists countdown (n)");
    p.Execute("delete from countdown");
    p.db().Execute("insert into countdown values (?)", {writes});
    Connection& c = p.db();
    const std::string tables = p.Rows("select name from sqlite_schema where type='table' order by name");
    for (size_t at = 0, end; (end = tables.find('\n', at)) != std::string::npos; at = end + 1) {
      const std::string table = tables.substr(at, end - at);
      for (const char* event : {"insert", "update", "delete"}) {
        c.Execute("create temp trigger if not exists \"fault_" + table + "_" + event + "\" after " + event +
                  " on main.\"" + table +
                  "\" begin update countdown set n=n-1; "
                  "select raise(abort,'injected fault') where (select n from countdown)=0; end");
      }
    }
  };
  constexpr std::int64_t kNever = 1'000'000'000;
  for (size_t m = 0; m < members.size(); ++m) {
    SCOPED_TRACE(members[m].name);
    std::vector<double> out;
    auto undisturbed = project_before(m);
    arm(*undisturbed, kNever);
    ASSERT_EQ(members[m].run(undisturbed->orvane(), out), "");
    const std::int64_t writes = kNever - static_cast<std::int64_t>(undisturbed->Number("select n from countdown"));
    const std::string expected = undisturbed->Snapshot();
    ASSERT_GT(writes, 0);
    for (const std::int64_t at : {std::int64_t{1}, (writes + 1) / 2, writes}) {
      SCOPED_TRACE("write " + std::to_string(at) + " of " + std::to_string(writes));
      auto p = project_before(m);
      arm(*p, at);
      std::vector<double> kept;
      EXPECT_EQ(p->Unchanged([&] { return members[m].run(p->orvane(), kept); }), "injected fault");
      // The out-values as a call starts them, from one that cannot run.
      ClsOrvane without_connection;
      std::vector<double> started;
      members[m].run(without_connection, started);
      EXPECT_EQ(kept, started);
      EXPECT_TRUE(InAutocommit(p->db()));
      arm(*p, kNever);
      EXPECT_EQ(members[m].run(p->orvane(), kept), "");
      EXPECT_EQ(p->Snapshot(), expected);
    }
  }
}

// Another connection takes read, write and exclusive locks at random while
// calc runs, some before it opens the file: calc waits for each and prices
// the project exactly as an undisturbed run does.
TEST(ConnectionState, CalcWaitsOutLocksTakenAtRandomAndPricesAsUndisturbed) {
  const std::string quiet = FreshFile("quiet.db");
  const std::string busy = FreshFile("busy.db");
  ASSERT_EQ(Quillmere("generate " + quiet + " --subitems 150 --seed 5").status, 0);
  fs::copy_file(quiet, busy);
  ASSERT_EQ(Quillmere("calc " + quiet + " --bill-pricing").status, 0);

  std::atomic<bool> done{false};
  std::thread locker([&] {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(busy.c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 20);
    std::mt19937 random(11);
    const char* locks[] = {"begin; select count(*) from zhys;", "begin immediate", "begin exclusive"};
    for (int cycle = 0; cycle < 60 && !done; ++cycle) {
      if (sqlite3_exec(db, locks[random() % 3], nullptr, nullptr, nullptr) == SQLITE_OK) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1 + random() % 30));
      }
      sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 15));
    }
    sqlite3_close(db);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const testing::Outcome run = Quillmere("calc " + busy + " --bill-pricing --busy-timeout 10000");
  done = true;
  locker.join();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Project(busy).Snapshot(), Project(quiet).Snapshot());
}

TEST(ConnectionState, CalcOnABusyOrDamagedFileStopsWithStatusOneAndTheReason) {
  const std::string path = DemoFile("held.db");
  {
    Connection holder = Connection::Open(path);
    holder.Execute("begin exclusive");
    const testing::Outcome run = Quillmere("calc " + path + " --busy-timeout 50");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("database is busy"), std::string::npos) << run.err;
    holder.Execute("rollback");
  }
  // The estimate rows' first page says it is of no kind a page can be.
  size_t first_byte = 0;
  {
    Project p(path);
    first_byte = static_cast<size_t>((p.Number("select rootpage from sqlite_schema where name='zhys'") - 1) *
                                     p.Number("pragma page_size"));
  }
  std::string bytes = testing::FileText(path);
  bytes[first_byte] = 7;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  const testing::Outcome run = Quillmere("calc " + path);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("btreeInitPage() returns error code 11"), std::string::npos) << run.err;
  EXPECT_EQ(testing::FileText(path), bytes);
}

}  // namespace
}  // namespace quillmere
