// Resource aggregation: analysis lines per estimate row, project resource
// tables, machine quantities, list marks and the single-row rebuild.

#include "calc/resources/aggregation.h"

#include <gtest/gtest.h>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Cell;
using testing::Project;

void Aggregate(Project& p) { AggregateResources(p.db(), Scope::WholeProject()); }

TEST(Aggregation, LabourLinesMergeOnEqualPricesAndStayApartOnAnotherCurrentPrice) {
  Project p;
  p.Insert("zhys", {{"ysid", 1}, {"qdlb", 0}, {"sjgcl", 3.0}});
  for (double sl : {0.5, 0.25}) {
    p.Insert("gjrg",
             {{"ysid", 1}, {"bh", "R1"}, {"mc", "普工"}, {"dw", "工日"}, {"dj", 50.0}, {"xxj", 80.0}, {"sl", sl}});
  }
  p.Insert("gjrg",
           {{"ysid", 1}, {"bh", "R1"}, {"mc", "普工"}, {"dw", "工日"}, {"dj", 50.0}, {"xxj", 90.0}, {"sl", 0.1}});
  p.Insert("gjrg", {{"ysid", 1}, {"bh", "QT"}, {"dw", "%"}, {"dj", 100.0}, {"sl", 5.0}});
  Aggregate(p);
  // 0.5+0.25 = 0.75: hj 50*0.75 = 37.5, xhj 80*0.75 = 60; apart: 50*0.1 = 5, 90*0.1 = 9.
  EXPECT_EQ(p.Rows("select bh,dj,xxj,sl,hj,xhj from fxrgb order by xxj"),
            "R1 | 50 | 80 | 0.75 | 37.5 | 60\n"
            "R1 | 50 | 90 | 0.1 | 5 | 9\n");
  // Times sjgcl 3: 2.25 (hj 112.5, xhj 180) and 0.3 (hj 15, xhj 27).
  EXPECT_EQ(p.Rows("select bh,dj,xxj,sl,hj,xhj from gcrgb order by xxj"),
            "R1 | 50 | 80 | 2.25 | 112.5 | 180\n"
            "R1 | 50 | 90 | 0.3 | 15 | 27\n");
  EXPECT_EQ(p.Rows("select count(*) from fxrgb1"), "0\n");
}

TEST(Aggregation, SplitMaterialsOfEveryStyleEnterThroughTheirComponents) {
  Project p;
  p.Insert("zhys", {{"ysid", 1}, {"qdlb", 0}, {"sjgcl", 1.0}});
  auto material = [&](int clid, const char* bh, Cell chaifen, double sl) {
    p.Insert("gjcl", {{"ysid", 1},
                      {"clid", clid},
                      {"bh", bh},
                      {"dw", "m3"},
                      {"dj", 80.0},
                      {"sl", sl},
                      {"chaifen", chaifen},
                      {"cllb", ""}});
  };
  material(1, "M1", 0, 2.0);
  material(2, "S1", 1, 2.0);  // style 1
  p.Insert("gjpbf", {{"ysid", 1}, {"clid", 2}, {"bh", "P1"}, {"dj", 300.0}, {"sl", 0.33335}});
  material(3, "S2", 1, 3.0);  // style 1
  p.Insert("gjpbf", {{"ysid", 1}, {"clid", 3}, {"bh", "P2"}, {"dj", 5.0}, {"sl", 0.33335}});
  material(4, "S3", 1, 1.5);  // style 2
  p.Insert("gjlpjb", {{"ysid", 1}, {"clid", 4}, {"bh", "L1"}, {"dj", 4.0}, {"sl", 2.0}});
  material(5, "S4", 1, 2.0);  // style 3: own labour, materials (one of them split) and machine
  p.Insert("ftrg", {{"ysid", 1}, {"clid_src", 5}, {"bh", "FR"}, {"dj", 60.0}, {"sl", 0.5}});
  p.Insert("ftcl", {{"ysid", 1}, {"clid_src", 5}, {"clid", 51}, {"chaifen", 0}, {"bh", "FC"}, {"sl", 1.25}});
  p.Insert("ftcl", {{"ysid", 1}, {"clid_src", 5}, {"clid", 52}, {"chaifen", 1}, {"bh", "FS"}, {"sl", 3.0}});
  p.Insert("ftpbf", {{"ysid", 1}, {"clid_src", 5}, {"clid", 52}, {"bh", "FP"}, {"sl", 0.1}});
  p.Insert("ftjx",
           {{"ysid", 1}, {"clid_src", 5}, {"jxid", 7}, {"bh", "FJ"}, {"dj", 100.0}, {"xxj2", 110.0}, {"sl", 0.2}});
  p.Insert("ftjxfb", {{"ysid", 1}, {"clid_src", 5}, {"jxid", 7}, {"bh", "FE"}, {"dj", 1.0}, {"xxj", 1.2}, {"sl", 4.0}});
  material(6, "S5", nullptr, 1.0);  // split flag unknown: neither itself nor components
  p.Insert("gjpbf", {{"ysid", 1}, {"clid", 6}, {"bh", "P3"}, {"sl", 1.0}});
  p.Insert("gjcl", {{"ysid", 1}, {"clid", 8}, {"bh", "QC"}, {"dw", "%"}, {"sl", 1.0}, {"chaifen", 0}});
  Aggregate(p);
  // FC 1.25*2 = 2.5; FP 0.1*3*2 = 0.6; L1 2*1.5 = 3; P1 0.33335*2 = 0.6667;
  // P2 0.33335*3 = 1.00005, four decimals half away from zero: 1.0001.
  EXPECT_EQ(p.Rows("select bh,sl,quote(cllb) from fxclb order by bh"),
            "FC | 2.5 | ''\nFP | 0.6 | ''\nL1 | 3 | ''\nM1 | 2 | ''\nP1 | 0.6667 | ''\nP2 | 1.0001 | ''\n");
  // Labour 0.5*2; machine 0.2*2 at its price with consumption; item 4*0.2*2 =
  // 1.6, hj 1.6, jchj (1.2-1)*1.6 = 0.32.
  EXPECT_EQ(p.Rows("select bh,sl from fxrgb"), "FR | 1\n");
  EXPECT_EQ(p.Rows("select bh,xxj,sl from fxjxb"), "FJ | 110 | 0.4\n");
  EXPECT_EQ(p.Rows("select bh,sl,hj,jchj from fxjxfb"), "FE | 1.6 | 1.6 | 0.32\n");
}

TEST(Aggregation, ClassesOtherThanMainMaterialBecomeOrdinary) {
  Project p;
  p.Insert("zhys", {{"ysid", 1}, {"qdlb", 0}, {"sjgcl", 1.0}});
  const std::pair<Cell, double> lines[] = {{"辅材", 1.0}, {"", 2.0}, {"主材", 4.0}, {nullptr, 8.0}};
  for (const auto& [cllb, sl] : lines) {
    p.Insert("gjcl", {{"ysid", 1}, {"bh", "M1"}, {"dw", "t"}, {"dj", 5.0}, {"sl", sl}, {"chaifen", 0}, {"cllb", cllb}});
  }
  Aggregate(p);
  // A null class is no class text: it stays null and apart.
  EXPECT_EQ(p.Rows("select quote(cllb) from gjcl order by sl"), "''\n''\n'主材'\nNULL\n");
  EXPECT_EQ(p.Rows("select quote(cllb),sl from fxclb order by sl"), "'' | 3\n'主材' | 4\nNULL | 8\n");
}

TEST(Aggregation, ProjectTablesCountPricedRowsAndMachinesAtTheirOwnPrice) {
  Project p;
  const std::pair<int, double> rows[] = {{0, 4.0}, {1, 2.0}, {3, 10.0}, {0, 0.0}};  // qdlb, sjgcl
  int ysid = 0;
  for (const auto& [qdlb, sjgcl] : rows) {
    p.Insert("zhys", {{"ysid", ++ysid}, {"qdlb", qdlb}, {"sjgcl", sjgcl}});
    p.Insert("gjrg", {{"ysid", ysid}, {"bh", "R1"}, {"dw", "工日"}, {"dj", 50.0}, {"sl", 1.5}});
    p.Insert("gjjx", {{"ysid", ysid},
                      {"jxid", 1},
                      {"bh", "J1"},
                      {"dw", "台班"},
                      {"dj", 100.0},
                      {"xxj", 120.0},
                      {"xxj2", 125.0},
                      {"sl", 0.5}});
  }
  p.Insert("gjjxfb", {{"ysid", 1}, {"jxid", 1}, {"bh", "E1"}, {"dj", 1.0}, {"xxj", 1.5}, {"sl", 10.0}});
  p.Insert("gjcl", {{"ysid", 1}, {"clid", 9}, {"bh", "S1"}, {"chaifen", 1}, {"sl", 2.0}});
  p.Insert("ftjx",
           {{"ysid", 1}, {"clid_src", 9}, {"jxid", 2}, {"bh", "FJ"}, {"dj", 50.0}, {"xxj2", 55.0}, {"sl", 0.2}});
  Aggregate(p);
  // Every row has its analysis line; the project counts rows 1 and 2 only
  // (row 3 is left out, row 4 has no quantity): 1.5*4 + 1.5*2 = 9, 50*9 = 450.
  EXPECT_EQ(p.Rows("select ysid,sl from fxrgb order by ysid"), "1 | 1.5\n2 | 1.5\n3 | 1.5\n4 | 1.5\n");
  EXPECT_EQ(p.Rows("select sl,hj,xhj from gcrgb"), "9 | 450 | 450\n");
  // jxtcb, own xxj, bills 0 and 1: J1 0.5*4 + 0.5*2 = 3 (hj 300, xhj 120*3 = 360);
  // FJ 0.2*2*4 = 1.6 without a current price (hj = xhj = 80).
  EXPECT_EQ(p.Rows("select bh,dj,xxj,sl,hj,xhj from jxtcb order by bh"),
            "FJ | 50 | 0 | 1.6 | 80 | 80\nJ1 | 100 | 120 | 3 | 300 | 360\n");
  // gcjxb at xxj2: J1 125*3 = 375; FJ 0.4 per unit *4 = 1.6, 55*1.6 = 88.
  EXPECT_EQ(p.Rows("select bh,dj,xxj,sl,hj,xhj from gcjxb order by bh"),
            "FJ | 50 | 55 | 1.6 | 80 | 88\nJ1 | 100 | 125 | 3 | 300 | 375\n");
  // Consumption: 10*0.5 = 5 per unit, jchj (1.5-1)*5 = 2.5; project 5*4 = 20, xhj 30.
  EXPECT_EQ(p.Rows("select sl,hj,jchj from fxjxfb"), "5 | 5 | 2.5\n");
  EXPECT_EQ(p.Rows("select sl,hj,xhj from gcjxfb"), "20 | 20 | 30\n");
}

TEST(Aggregation, ListedMaterialsAreMarkedByNameSpecificationAndEffectivePrice) {
  Project p;
  p.Insert("zhys", {{"ysid", 1}, {"qdlb", 0}, {"sjgcl", 2.0}});
  auto material = [&](const char* bh, const char* mc, double dj, double xxj, double sl) {
    p.Insert("gjcl", {{"ysid", 1},
                      {"bh", bh},
                      {"mc", mc},
                      {"dw", "t"},
                      {"dj", dj},
                      {"xxj", xxj},
                      {"sl", sl},
                      {"chaifen", 0},
                      {"cllb", ""},
                      {"tzbz", "x"}});
  };
  material("C1", "钢筋 Φ12", 3500, 4000, 0.1);
  material("C2", "水泥", 400, 0, 0.5);
  material("C3", "砂", 80, 0, 1);
  material("C4", "石子", 60, 65, 1);
  auto entry = [&](const char* bh, const char* mc, Cell ggxh, double dj, Cell iszb) {
    p.Insert(
        "zgjclb",
        {{"bh", bh}, {"mc", mc}, {"ggxh", ggxh}, {"dw", "t"}, {"dj", dj}, {"iszb", iszb}, {"sl", 9.0}, {"hj", 9.0}});
  };
  entry("C1", "钢筋", "Φ12", 4000, 0);      // the current price is the effective one
  entry("C2", "水泥", "", 400, 1);          // owner-supplied ...
  entry("C2", "水泥", "", 400, 0);          // ... and provisional: owner-supplied wins on the sub-item
  entry("C3", "砂", nullptr, 80, nullptr);  // a null specification expects "砂 "
  entry("C4", "石子", "", 60, 0);           // effective price 65, not 60
  p.Insert("clxzb", {{"bh", "C2"}, {"mc", "水泥"}, {"dw", "t"}, {"dj", 400.0}, {"xz", 0}});
  Aggregate(p);
  EXPECT_EQ(p.Rows("select bh,zgj,jg,xz from gcclb order by bh"),
            "C1 | 1 | 0 | 1\nC2 | 1 | 1 | 0\nC3 | 0 | 0 | 1\nC4 | 0 | 0 | 1\n");
  EXPECT_EQ(p.Rows("select bh,tzbz from gjcl order by bh"), "C1 | 暂估\nC2 | 甲供\nC3 | \nC4 | \n");
  // Project quantities: C1 0.1*2 = 0.2 at 4000 = 800; C2 0.5*2 = 1 at 400.
  EXPECT_EQ(p.Rows("select bh,sl,hj from zgjclb order by rowid"),
            "C1 | 0.2 | 800\nC2 | 1 | 400\nC2 | 1 | 400\nC3 | 0 | 0\nC4 | 0 | 0\n");
}

TEST(Aggregation, SeveralMatchesKeepTheDocumentedOne) {
  Project p;
  for (int ysid : {1, 2}) p.Insert("zhys", {{"ysid", ysid}, {"qdlb", 0}, {"sjgcl", 1.0}});
  // Two project lines at the effective price 10: base 10 without current
  // price, and base 8 with current price 10.
  p.Insert("gjcl", {{"ysid", 1}, {"bh", "C1"}, {"mc", "钢筋"}, {"dw", "t"}, {"dj", 10.0}, {"sl", 3.0}, {"chaifen", 0}});
  p.Insert("gjcl", {{"ysid", 2},
                    {"bh", "C1"},
                    {"mc", "钢筋"},
                    {"dw", "t"},
                    {"dj", 8.0},
                    {"xxj", 10.0},
                    {"sl", 5.0},
                    {"chaifen", 0}});
  p.Insert("zgjclb", {{"bh", "C1"}, {"mc", "钢筋"}, {"ggxh", ""}, {"dw", "t"}, {"dj", 10.0}});
  p.Insert("clxzb", {{"bh", "C1"}, {"mc", "钢筋"}, {"dw", "t"}, {"dj", 10.0}, {"xz", 0}});
  p.Insert("clxzb", {{"bh", "C1"}, {"mc", "钢筋"}, {"dw", "t"}, {"dj", 10.0}, {"xz", 1}});
  Aggregate(p);
  // The list entry takes the line of the lowest base price: sl 5, 10*5 = 50.
  EXPECT_EQ(p.Rows("select sl,hj from zgjclb"), "5 | 50\n");
  // The first selection entry decides for base price 10.
  EXPECT_EQ(p.Rows("select dj,xz from gcclb order by dj"), "8 | 1\n10 | 0\n");
}

TEST(Aggregation, BillMaterialsFollowTheClosestProjectMaterialAndNeedAnAmount) {
  Project p;
  p.Insert("zhys", {{"ysid", 1}, {"qdlb", 0}, {"sjgcl", 1.0}});
  for (double dj : {10.008, 9.999}) {
    p.Insert("gjcl", {{"ysid", 1}, {"bh", "C1"}, {"mc", "钢筋"}, {"dw", "t"}, {"dj", dj}, {"sl", 1.0}, {"chaifen", 0}});
  }
  p.Insert("gjcl", {{"ysid", 1}, {"bh", "C2"}, {"mc", "水泥"}, {"dw", "t"}, {"dj", 5.0}, {"sl", 1.0}, {"chaifen", 0}});
  p.Insert("clxzb", {{"bh", "C1"}, {"mc", "钢筋"}, {"dw", "t"}, {"dj", 10.008}, {"xz", 0}});
  auto line = [&](const char* bh, const char* mc, double dj, double xhj) {
    p.Insert("qdclb", {{"ysid", 100}, {"bh", bh}, {"mc", mc}, {"dw", "t"}, {"dj", dj}, {"xhj", xhj}, {"xz", nullptr}});
  };
  line("C1", "钢筋", 10.0, 5);     // within 0.01 of both; 9.999 (selected) is closer
  line("C1", "钢筋", 10.0085, 5);  // within 0.01 of both; 10.008 (unselected) is closer
  line("C2", "水泥", 5.0, 0);      // selected material, but no current amount
  line("C2", "水泥", 5.5, 3);      // no project material that close: untouched
  Aggregate(p);
  EXPECT_EQ(p.Rows("select xz from qdclb order by rowid"), "1\n0\n0\nNULL\n");
}

TEST(Aggregation, SingleRowRebuildsItsAnalysisLinesOnly) {
  Project p;
  for (int ysid : {1, 2}) {
    p.Insert("zhys", {{"ysid", ysid}, {"qdlb", 0}, {"sjgcl", 1.0 + ysid}});
    p.Insert("gjrg", {{"ysid", ysid}, {"bh", "R1"}, {"dw", "工日"}, {"dj", 50.0}, {"sl", 1.0}});
    p.Insert("gjjx", {{"ysid", ysid}, {"bh", "J1"}, {"dw", "台班"}, {"dj", 100.0}, {"sl", 1.0}});
    p.Insert("gjcl", {{"ysid", ysid},
                      {"bh", "C1"},
                      {"mc", "水泥"},
                      {"dw", "t"},
                      {"dj", 400.0},
                      {"sl", 1.0},
                      {"chaifen", 0},
                      {"cllb", ""}});
  }
  p.Insert("zgjclb", {{"bh", "C1"}, {"mc", "水泥"}, {"ggxh", ""}, {"dw", "t"}, {"dj", 400.0}});
  Aggregate(p);
  const char* kProject =
      "select 'gcrgb',sl,null from gcrgb union all select 'gcclb',sl,zgj from gcclb union all "
      "select 'jxtcb',sl,null from jxtcb union all select 'zgjclb',sl,hj from zgjclb union all "
      "select 'gjcl',ysid,tzbz from gjcl";
  const std::string project = p.Rows(kProject);
  p.Execute("update gjrg set sl=2").Execute("update gjjx set sl=2").Execute("update gjcl set cllb='辅材',sl=2");

  AggregateResources(p.db(), Scope::Row(1));
  EXPECT_EQ(p.Rows(kProject), project);
  // Row 1 re-staged and regrouped, row 2 as the whole-project run left it.
  EXPECT_EQ(p.Rows("select ysid,sl,hj from fxrgb order by ysid"), "1 | 2 | 100\n2 | 1 | 50\n");
  EXPECT_EQ(p.Rows("select ysid,sl,hj from fxjxb order by ysid"), "1 | 2 | 200\n2 | 1 | 100\n");
  EXPECT_EQ(p.Rows("select ysid,sl,quote(cllb) from fxclb order by ysid"), "1 | 2 | ''\n2 | 1 | ''\n");
  EXPECT_EQ(p.Rows("select ysid,sl from fxrgb1 union all select ysid,sl from fxjxb1 "
                   "union all select ysid,sl from fxclb1"),
            "1 | 2\n1 | 2\n1 | 2\n");
  EXPECT_EQ(p.Rows("select ysid,cllb from gjcl order by ysid"), "1 | \n2 | 辅材\n");
}

TEST(Aggregation, FailureReturnsTheEngineTextAndChangesNothing) {
  Project p;
  p.Insert("zhys", {{"ysid", 1}, {"qdlb", 0}, {"sjgcl", 1.0}});
  p.Insert("gjrg", {{"ysid", 1}, {"bh", "R1"}, {"dj", 50.0}, {"sl", 1.0}});
  p.Insert("gjcl", {{"ysid", 1}, {"bh", "C1"}, {"dj", 5.0}, {"sl", 1.0}, {"chaifen", 0}, {"cllb", "辅材"}});
  // The selection list is read late, after every analysis and project table is rebuilt.
  p.Execute("drop table clxzb");
  const std::string before = p.Snapshot();
  EXPECT_EQ(p.orvane().HuiZongRCJ(), "no such table: clxzb");
  EXPECT_EQ(p.Snapshot(), before);
}

}  // namespace
}  // namespace quillmere
