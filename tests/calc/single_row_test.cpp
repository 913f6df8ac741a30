// Single-row recalculation: the unit price of one estimate row, and the five
// stages JiSuanZHDJ runs for it with their message boxes.

#include <gtest/gtest.h>


#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "calc/scope.h"
#include "calc/unitprice/unit_prices.h"
#include "quillmere/pipeline.h"
#include "quillmere/project.h"
#include "quillmere/samples.h"
#include "support/command_line.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// Sub-items 1 (labour plus machine) and 2 (labour only), both with labour
// 100, machine 20, material 50 and rates 0.1 / 0.05, quantity 2; row 1 has a
// main material priced 30.
class SingleRow : public ::testing::Test {
 protected:
  void SetUp() override {
    p.Execute(R"(insert into qfsjb (ysid,fbcch,jsjs,rgf,jxf,fcf,zcf,glffl,lrfl,glf,lr,zhdj,zhbj,sjgcl) values
        (1, 0, '人工+机械', 100, 20, 50, 4, 0.1, 0.05, 99, 99, 1, 1, 2),
        (2, 0, '人工',      100, 20, 50, 4, 0.1, 0.05, 99, 99, 1, 1, 2))");
    p.Execute("insert into zhys (ysid,fbcch,sjdj,sjbj,zcfdj,zcfhj) values (1,0,7,14,9,9),(2,0,7,14,9,9)");
    p.Execute("insert into gjcl (ysid,cllb,dj) values (1,'主材',30)");
  }
  Project p;
};

TEST_F(SingleRow, FeeProgrammeStoresTheTotalUnrounded) {
  AddFeeCodeColumns(p.db(), {"GLF", "ZHDJ"});
  p.FeeLine(1, "GLF", "[jsjs]").FeeLine(2, "ZHDJ", "rgf+clf+jxf+glf+lr");
  p.Execute("update qfsjb set rgf=33.33,jxf=0,clf=0,lr=0,sjgcl=3.333 where ysid=2");
  p.Insert("temp_zhys", {{"ysid", 2}, {"GLF_FL", 10.0}, {"ZHDJ_FL", 100.0}});
  // The working copy of another row is left as it is.
  p.Insert("temp_qfsjb", {{"ysid", 1}, {"zhdj", 5.0}});
  p.Insert("temp_qfsjb", {{"ysid", 2}, {"zhdj", 6.0}});
  ComputeUnitPrices(p.db(), Scope::Row(2), "", true);
  EXPECT_EQ(p.Rows("select ysid,glf,zhdj,zhbj from qfsjb where ysid=2"),
            // 33.33*10/100=3.333->3.33; 33.33+3.33=36.66; 36.66*3.333=122.18778, not rounded
            "2 | 3.33 | 36.66 | 122.18778\n");
  EXPECT_EQ(p.Rows("select ysid,zhdj from temp_qfsjb order by ysid"), "1 | 5\n2 | 36.66\n");
  EXPECT_EQ(p.Rows("select glf,zhdj from qfsjb where ysid=1"), "99 | 1\n");
}

// The main-material figures of every estimate row after one row is
// recalculated, whatever the host left in them. Row 1 is recalculated; the
// others carry stale figures.
class MainMaterialRefresh : public ::testing::Test {
 protected:
  void SetUp() override {
    p.Execute(R"(insert into zhys (ysid,fbcch,zcfdj,zcfhj) values
        (1, 0, 9, 9), (2, 0, 5, 5), (3, 0, 7, 7), (4, 1, 0, 3), (5, 1, 6, 6), (6, null, 2, 6), (7, 0, 0, 0))");
    // Row 7 has two fee rows, stored in this order; rows 3 and 5 none.
    p.Execute(R"(insert into qfsjb (ysid,fbcch,jsjs,zcf) values
        (1, 0, '人工', 4), (2, 0, '人工', null), (4, 1, null, 0), (6, null, null, 0),
        (7, 0, '人工', 5), (7, 0, '人工', 7))");
    // Row 7: an unpriced main material first, then two priced ones.
    p.Execute(R"(insert into gjcl (ysid,cllb,dj,xxj) values
        (1, '主材', 30, 0), (3, '主材', 12, null), (4, '主材', 8, 9), (4, '', 50, 0),
        (7, '主材', 0, 99), (7, '主材', 20, 0), (7, '主材', 10, 0))");
  }
  Project p;
};

TEST_F(MainMaterialRefresh, EveryRowTakesItsFeeRowAndFirstPricedMainMaterial) {
  ComputeUnitPrices(p.db(), Scope::Row(1), "", false);
  EXPECT_EQ(p.Rows("select ysid,zcfdj,zcfhj from zhys order by ysid"),
            // the recalculated row: its main material at base price, its fee row's zcf
            "1 | 30 | 4\n"
            // no main material: 0; a fee row without zcf passes on its null
            "2 | 0 | NULL\n"
            // a main material without current price passes on its null; no fee row: 0
            "3 | NULL | 0\n"
            // a section takes its main material's current price and keeps its total
            "4 | 9 | 3\n"
            // rows that are no sub-items and have no main material keep both,
            // with a fee row or without
            "5 | 6 | 6\n6 | 2 | 6\n"
            // the first priced main material entered; the fee row stored last
            "7 | 20 | 7\n");
}

TEST(SingleRowRecalculation, AllFiveStepsSucceedAndALaterFailureKeepsTheEarlierSteps) {
  Project p;
  p.Execute(R"(insert into zhys (ysid,sjxh,qdlb,fbcch,yssl,sjgcl,jsjs,glffl,lrfl,sjdj) values
      (1, 1, 0, 0, 2, 2, '人工+机械', 0.1, 0.05, 7))");
  p.Execute("insert into gjrg (ysid,bh,mc,dw,dj,sl) values (1,'R1','综合工日','工日',50,2)");
  p.Execute("insert into gjjx (ysid,jxid,bh,mc,dw,dj,sl) values (1,1,'J1','搅拌机','台班',20,1)");
  p.Execute(R"(insert into gjcl (ysid,clid,bh,mc,dw,dj,sl,cllb,chaifen) values
      (1, 1, 'C1', '水泥', 't', 25, 2, '',     0),
      (1, 2, 'M1', '钢筋', 't', 30, 1, '主材', 0))");
  // Another row's fee row as the host stored it, no difference recorded yet.
  p.Execute("insert into qfsjb (ysid,rgf,rgjj,rgjc,fcf,fcjj,fcjc,jxf,jxjj,jxjc) values (2,80,70,0,80,70,0,80,70,0)");
  EXPECT_TRUE(p.orvane().JiSuanZHDJ(1, false));
  EXPECT_TRUE(p.orvane().Messages().empty());
  EXPECT_EQ(p.Rows("select rgf,fcf,zcf,jxf,glf,lr,zhdj,zhbj from qfsjb where ysid=1"),
            // labour 50*2, material 25*2, main material 30, machine 20; fees on 120: 12 and 6
            // 100+50+30+20+12+6 = 218; quantity 2: 436
            "100 | 50 | 30 | 20 | 12 | 6 | 218 | 436\n");
  EXPECT_EQ(p.Rows("select sjdj,zcfdj,zcfhj from zhys"), "7 | 30 | 30\n");
  EXPECT_EQ(p.Rows("select rgf,fcf,jxf from qfsjb where ysid=2"), "80 | 80 | 80\n");

  // The unit price fails on a fee code that names no column. The four
  // earlier steps stay committed: the labour repriced at 60 (60*2 = 120) and
  // the fee row the base-price step rebuilt, whose fees stay 0 until a unit
  // price succeeds.
  AddFeeCodeColumns(p.db(), {"GLF"});
  p.FeeLine(1, "GL F", "[jsjs]");
  p.Execute("update gjrg set dj=60");
  p.orvane().ClearMessages();
  EXPECT_FALSE(p.orvane().JiSuanZHDJ(1, true));
  ASSERT_EQ(p.orvane().Messages().size(), 1u);
  EXPECT_EQ(p.orvane().Messages()[0].prompt,
            "由于“the fee code of the fee programme line 9 \"GL F\" cannot name a column: use letters, digits "
            "and underscores”的原因，导致计算综合单价失败！");
  EXPECT_EQ(p.orvane().Messages()[0].style, 64);
  EXPECT_EQ(p.Rows("select rgf,glf,zhdj from qfsjb where ysid=1"), "120 | 0 | 0\n");
}

// A host that keeps its connection open and recalculates row after row, with
// its own edits between the calls, must see every table as a host that opens
// a fresh connection for every call (which refreshes every estimate row).
// Both work on copies of one priced project; each edit and call goes to both.
TEST(SingleRowRecalculation, AfterHostEditsEveryTableIsAsAColdStartLeavesIt) {
  namespace fs = std::filesystem;
  const testing::ScratchFolder folder("single_row");
  const std::string kept = folder.File("kept.db"), cold = folder.File("cold.db");
  {
    Connection c = Connection::Open(kept);
    CreateProjectSchema(c);
    WriteGeneratedProject(c, 40, 3);
    ClsOrvane orvane;
    orvane.CnnData(c);
    ASSERT_TRUE(RunPipeline(orvane, {}).ok());
  }
  fs::copy_file(kept, cold, fs::copy_options::overwrite_existing);

  Project host(kept);
  // Sub-items with a main material: the one recalculated, and six others;
  // and one without.
  const std::string ids = host.Rows(
      "select group_concat(ysid,' ') from (select * from (select ysid from gjcl where cllb='主材' order by ysid "
      "limit 7) union all select * from (select ysid from zhys where fbcch=0 and ysid not in (select ysid from gjcl "
      "where cllb='主材') order by ysid limit 1))");
  int a, b, c, d, e, g, h, f;
  ASSERT_EQ(std::sscanf(ids.c_str(), "%d %d %d %d %d %d %d %d", &a, &b, &c, &d, &e, &g, &h, &f), 8) << ids;
  const auto edit = [&](const std::string& sql) {
    host.Execute(sql);
    Project(cold).Execute(sql);
  };
  const auto recalculate = [&] {
    EXPECT_TRUE(host.orvane().JiSuanZHDJ(a, false));
    // What the record holds is refreshed next time: it starts empty.
    EXPECT_EQ(host.Number("select count(*) from temp.quillmere_main_material_rows"), 0);
    Project fresh(cold);
    EXPECT_TRUE(fresh.orvane().JiSuanZHDJ(a, false));
    return fresh.Snapshot();
  };
  recalculate();

  // On the host's own connection: a main material's base and current price,
  // a fee row's main material, figures written over, a main material
  // deleted, one added, a fee row moved to another row.
  const std::string row = " where ysid=";
  edit("update gjcl set dj=dj+1" + row + std::to_string(b) + " and cllb='主材'");
  edit("update gjcl set xxj=dj+2" + row + std::to_string(g) + " and cllb='主材'");
  edit("update qfsjb set zcf=zcf+5" + row + std::to_string(c));
  edit("update zhys set zcfdj=123,zcfhj=456" + row + std::to_string(d));
  edit("delete from gjcl" + row + std::to_string(e) + " and cllb='主材'");
  edit("insert into gjcl (ysid,cllb,dj,xxj) values (" + std::to_string(f) + ",'主材',7,0)");
  edit("update qfsjb set ysid=" + std::to_string(f) + row + std::to_string(h));
  std::string expected = recalculate();
  EXPECT_EQ(host.Snapshot(), expected) << "after edits on the host's connection";

  // Through another connection.
  const std::string price = "update gjcl set xxj=xxj+3" + row + std::to_string(b) + " and cllb='主材'";
  Connection::Open(kept).Execute(price);
  Project(cold).Execute(price);
  expected = recalculate();
  EXPECT_EQ(host.Snapshot(), expected) << "after an edit through another connection";

  // After a whole-project member, which stops the record of changes: on the
  // kept connection it writes no more rows than on a fresh one.
  const auto writes = [](Project& p, const std::function<void()>& call) {
    const double before = p.Number("select total_changes()");
    call();
    return p.Number("select total_changes()") - before;
  };
  Project whole(cold);
  EXPECT_EQ(writes(host, [&] { EXPECT_EQ(host.orvane().ChongXinJSXXJ_QB(false), ""); }),
            writes(whole, [&] { EXPECT_EQ(whole.orvane().ChongXinJSXXJ_QB(false), ""); }));
  edit("update qfsjb set zcf=zcf+1" + row + std::to_string(c));
  expected = recalculate();
  EXPECT_EQ(host.Snapshot(), expected) << "after a whole-project member";
}

}  // namespace
}  // namespace quillmere
