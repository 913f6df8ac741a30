// Current-price filling: the reset, the price-list lookups and their
// tolerance, clearing the results on request and the single-row form;
// then the query plans of the pricing members' whole-project forms on the demo.

#include "calc/resources/current_prices.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <string>
#include <vector>

#include "db/transaction.h"
#include "quillmere/samples.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// Price-list entries "(bh, dj, xxdj),...", all named 'm' in unit 't'.
void List(Project& p, const char* list, const std::string& entries) {
  p.Execute(std::string("insert into ") + list + "(bh,mc,dw,dj,xxdj) select column1,'m','t',column2,column3 from " +
            "(values " + entries + ")");
}

void RunRow(Project& p, int ysid) {
  Transaction transaction(p.db());
  FillCurrentPrices(p.db(), Scope::Row(ysid), false);
  transaction.Commit();
}

TEST(CurrentPrices, EveryTableIsResetThenLookedUpInItsList) {
  Project p;
  List(p, "clzxj", "('M',10,12)");
  List(p, "jxzxj", "('M',10,15)");
  const char* tables[] = {"gjrg", "gjcl", "gjjx", "gjpbf", "gjjxfb", "gjlpjb",
                          "ftrg", "ftcl", "ftjx", "ftpbf", "ftjxfb"};
  for (const std::string table : tables) {
    p.Execute("insert into " + table +
              "(ysid,bh,mc,dw,dj,sl,hj,xxj,xhj) values (1,'M','m','t',10,2,5,9,9),(1,'N','m','t',10,2,5,null,9)");
  }
  p.Execute("update gjjx set jxid=1,jxcc=9,xxj2=9,xhj2=9").Execute("update ftjx set jxid=1,jxcc=9,xxj2=9,xhj2=9");
  p.Execute("update gjjxfb set jxid=7,jchj=9").Execute("update ftjxfb set jxid=7,jchj=9");
  // Split materials: M's components add to 24 + 5, but its own entry wins;
  // S takes the 29 of its other components, times 0.333 unrounded; N is not
  // split and ignores the components that name it.
  p.Execute("update gjcl set clid=1,chaifen=(bh='M')").Execute("update gjpbf set clid=1");
  p.Execute("update gjlpjb set clid=2");
  p.Execute("insert into gjcl(ysid,clid,chaifen,bh,mc,dw,dj,sl,hj) values (1,2,1,'S','m','t',7,0.333,1)");
  ASSERT_EQ(p.orvane().ChongXinJSXXJ_QB(), "");
  EXPECT_EQ(p.Rows("select xxj,xhj from gjcl where bh='S'"), "29 | 9.657\n");

  // M matches: 12 x 2 = 24. N has no entry: no current price (where it had
  // none, not even null), its base amount hj stands as its current amount.
  // Machines take the machine list: 15, 15 x 2 = 30, and xhj is not theirs.
  // Consumption items: the difference (12 - 10) x 2 = 4.
  for (const std::string table : tables) {
    const std::string columns = table.ends_with("jx")     ? "xxj,jxcc,xxj2,xhj2,xhj"
                                : table.ends_with("jxfb") ? "xxj,jchj,xhj"
                                                          : "xxj,xhj";
    const std::string expected = table.ends_with("jx")     ? "M | 15 | 0 | 15 | 30 | 9\nN | 0 | 0 | 0 | 5 | 9\n"
                                 : table.ends_with("jxfb") ? "M | 12 | 4 | 9\nN | 0 | 0 | 9\n"
                                                           : "M | 12 | 24\nN | 0 | 5\n";
    EXPECT_EQ(p.Rows("select bh," + columns + " from " + table + " where bh<'S' order by bh"), expected) << table;
  }
}

TEST(CurrentPrices, ALineMatchesEntriesWithinACentAndTakesTheClosest) {
  Project p;
  p.Execute(
      "insert into gjrg(ysid,bh,mc,dw,dj,sl,hj) select 1,column1,'m','t',column2,1,1 from (values "
      "('A',10.005),('B',10.005),('C',10.05),('D',2.02),('E',2.01),('F',2.0201),('G',10.004),('H',10.006),"
      "('I',10),('J',33.333),('A',10.01))");
  List(p, "clzxj",
       "('A',10.00,11),('A',10.01,12),"  // 10.005 lies 0.005 from both: the first inserted wins
       "('B',10.01,12),('B',10.00,11),"
       "('C',10.00,11),('C',10.01,12),"  // 10.05 matches neither
       "('D',2.01,11),('E',2.02,11),"    // both bounds belong (in binary 2.01 + 0.01 < 2.02)
       "('F',2.01,11),"                  // 0.0101 away
       "('G',10.00,11),('G',10.01,12),('H',10.00,11),('H',10.01,12),"  // the closest wins
       "('J',33.333,0)");                                              // no current price
  p.Execute("insert into clzxj(bh,mc,dw,dj,xxdj) values ('I','other','t',10,11),('I','m','kg',10,12)");
  p.Execute("update gjrg set sl=3 where bh='J'");
  ASSERT_EQ(p.orvane().ChongXinJSXXJ_QB(false), "");

  // Matched: the entry's price x 1. Not matched: the base amount 1. J: the
  // base price, 33.333 x 3 = 99.999 -> 100. A line of A at another price
  // finds its own entry.
  EXPECT_EQ(p.Rows("select bh,xxj,xhj from gjrg order by bh,rowid"),
            "A | 11 | 11\nA | 12 | 12\nB | 12 | 12\nC | 0 | 1\nD | 11 | 11\nE | 11 | 11\nF | 0 | 1\nG | 11 | 11\n"
            "H | 12 | 12\n"
            "I | 0 | 1\nJ | 0 | 100\n");
}

TEST(CurrentPrices, ClearingTheResultsZeroesTheThirteenCurrentPriceColumnsOnlyOnRequest) {
  Project p;
  const std::string columns =
      "rgf,zcf,fcf,jxf,glf,lr,fxf,zhdj,zhbj,zcf_qd,zgj_qd,zgjhj_qd,fcf_qd,rgjj,sjgcl,rgjc,jg_qd";
  p.Execute("insert into qfsjb(" + columns + ") values (1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17)");
  const std::string as_built = "1 | 2 | 3 | 4 | 5 | 6 | 7 | 8 | 9 | 10 | 11 | 12 | 13 | 14 | 15 | 16 | 17\n";
  ASSERT_EQ(p.orvane().ChongXinJSXXJ_QB(), "");
  EXPECT_EQ(p.Rows("select " + columns + " from qfsjb"), as_built);
  ASSERT_EQ(p.orvane().ChongXinJSXXJ_QB(false), "");
  EXPECT_EQ(p.Rows("select " + columns + " from qfsjb"), as_built);
  ASSERT_EQ(p.orvane().ChongXinJSXXJ_QB(true), "");
  EXPECT_EQ(p.Rows("select " + columns + " from qfsjb"),
            "0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 14 | 15 | 16 | 17\n");
}

TEST(CurrentPrices, TheSingleRowFormKeepsStoredPricesAndRefillsOnlyItsMachines) {
  Project p;
  List(p, "clzxj", "('R',100,130),('C',10,99),('S2',21,25)");
  List(p, "jxzxj", "('J1',200,210)");
  p.Execute(
      "insert into gjrg(ysid,bh,mc,dw,dj,sl,xxj,xhj) values (1,'R','m','t',100,0.5,120,7),(2,'R','m','t',100,0.5,0,7)");
  p.Execute(
      "insert into gjcl(ysid,clid,bh,mc,dw,chaifen,chaifenstyle,dj,sl) values (1,1,'S1','m','t',1,1,15,0.333),"
      "(1,2,'C','m','t',0,null,10,2),(1,3,'S2','m','t',1,2,21,2)");
  p.Execute("insert into gjpbf(ysid,clid,dj,sl,xxj) values (1,1,10,0.5,12),(1,1,5,1,0)");
  p.Execute("insert into gjlpjb(ysid,clid,dj,sl,xxj) values (1,3,10,1,12)");
  p.Execute(
      "insert into gjjx(ysid,jxid,bh,mc,dw,dj,sl,xxj,xhj2) values (1,1,'J1','m','t',200,0.5,999,0),"
      "(1,2,'J9','m','t',100,0.25,50,0),(1,3,'J8','m','t',2,3,0,0),(2,1,'J1','m','t',200,1,0,5)");
  p.Execute("insert into gjjxfb(ysid,jxid,dj,sl,xxj) values (1,1,1,10,1.2),(1,2,4,1,0),(1,3,2,4,1.5)");
  p.Execute(
      "insert into ftjx(ysid,clid_src,jxid,bh,mc,dw,dj,sl,xxj,xxj2) values (1,5,1,'J1','m','t',200,0.5,50,50),"
      "(1,5,2,'J1','m','t',200,0.5,50,0)");
  p.Execute("insert into ftjxfb(ysid,clid_src,jxid,dj,sl,xxj) values (1,5,2,1,10,1.2)");
  RunRow(p, 1);

  // The user's labour price stays: 120 x 0.5 = 60; row 2 is not touched.
  EXPECT_EQ(p.Rows("select ysid,xxj,xhj from gjrg order by ysid"), "1 | 120 | 60\n2 | 0 | 7\n");
  // 1: components 12 x 0.5 + 5 x 1 = 11, amount 11 x 0.333 = 3.663 -> 3.66.
  // 2: not looked up: its base price, 10 x 2. 3: component 12 x 1, no list
  // price of its own: 12 x 2.
  EXPECT_EQ(p.Rows("select clid,xxj,xhj from gjcl order by clid"), "1 | 11 | 3.66\n2 | 0 | 20\n3 | 12 | 24\n");
  // The row's machines start again from the list: 1: 210 + (1.2 - 1) x 10
  // = 212, x 0.5; 2: no entry, 100 x 0.25; 3: no entry, and (1.5 - 2) x 4
  // cancels its price 2: the amount falls back to the base price 2 x 3.
  EXPECT_EQ(p.Rows("select ysid,jxid,xxj,jxcc,xxj2,xhj2 from gjjx order by ysid,jxid"),
            "1 | 1 | 210 | 2 | 212 | 106\n1 | 2 | 0 | 0 | 100 | 25\n1 | 3 | 0 | -2 | 0 | 6\n2 | 1 | 0 | 0 | 0 | 5\n");
  // Machines of its split materials lose their price and are not refilled:
  // 1 falls back to its base price 200 x 0.5; 2 to 200 + 2, x 0.5.
  EXPECT_EQ(p.Rows("select jxid,xxj,jxcc,xxj2,xhj2 from ftjx order by jxid"),
            "1 | 0 | 0 | 0 | 100\n2 | 0 | 2 | 202 | 101\n");
}

// Explains every statement as it starts and keeps those that scan a table
// inside a loop: two scans in one join (a join without an index), a scan
// under a correlated subquery (a lookup without an index, repeated per row),
// or an index the engine builds for itself. A subquery materialized once and
// then scanned is no loop.
int CheckPlan(unsigned, void* offenders, void* statement, void*) {
  const std::string sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
  sqlite3_stmt* plan = nullptr;
  if (sql.rfind("EXPLAIN", 0) == 0 ||
      sqlite3_prepare_v2(sqlite3_db_handle(static_cast<sqlite3_stmt*>(statement)),
                         ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &plan, nullptr) != SQLITE_OK) {
    return 0;
  }
  struct Step {
    int parent;
    std::string detail;
  };
  std::map<int, Step> steps;
  std::map<int, int> scans_under;
  bool offending = false;
  while (sqlite3_step(plan) == SQLITE_ROW) {
    const int id = sqlite3_column_int(plan, 0);
    const int parent = sqlite3_column_int(plan, 1);
    const std::string detail = reinterpret_cast<const char*>(sqlite3_column_text(plan, 3));
    steps[id] = {parent, detail};
    offending = offending || detail.find("AUTOMATIC") != std::string::npos;
    if (detail.rfind("SCAN ", 0) != 0) continue;
    offending = offending || ++scans_under[parent] > 1;
    for (auto up = steps.find(parent); up != steps.end(); up = steps.find(up->second.parent)) {
      offending = offending || up->second.detail.rfind("CORRELATED", 0) == 0;
    }
  }
  sqlite3_finalize(plan);
  if (offending) static_cast<std::vector<std::string>*>(offenders)->push_back(sql);
  return 0;
}

TEST(PricingStages, EveryJoinOfTheWholeProjectFormsUsesAnIndex) {
  Project p;
  WriteDemoProject(p.db());
  std::vector<std::string> offenders;
  sqlite3_trace_v2(p.db().handle(), SQLITE_TRACE_STMT, CheckPlan, &offenders);
  EXPECT_EQ(p.orvane().ZhengLiGCShuJu(true), "");
  EXPECT_EQ(p.orvane().JiSuanDEJJ_QB(), "");
  EXPECT_EQ(p.orvane().ChongXinJSXXJ_QB(true), "");
  EXPECT_EQ(p.orvane().HuiZongRCJ(), "");
  EXPECT_EQ(p.orvane().JiSuanXXJ(false), "");
  EXPECT_EQ(p.orvane().QingDanCLHZ(), "");
  EXPECT_EQ(p.orvane().JiSuanZHDJ_QB("清单计价法", false), "");
  sqlite3_trace_v2(p.db().handle(), 0, nullptr, nullptr);
  EXPECT_EQ(offenders, std::vector<std::string>{});
}

}  // namespace
}  // namespace quillmere
