// ClsOrvane as a host sees it: message boxes handed to the host, a bill item
// price without arguments, and the analysis lines it keeps from one member to
// the next, which a host's edit or rollback in between must void.

#include "quillmere/cls_orvane.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "quillmere/connection.h"
#include "quillmere/project.h"
#include "quillmere/samples.h"
#include "support/command_line.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// Without a handler the boxes are kept for the host (see the single-row
// recalculation); with one they go to it.
TEST(ClsOrvaneMessages, GoToTheHandlerAndTheCallGoesOn) {
  Project p;
  p.Insert("zhys", {{"ysid", 5}});
  p.Execute("drop table qfsjb");  // the bill item price fails
  std::vector<Message> seen;
  p.orvane().SetMessageHandler([&](const std::string& prompt, int style, const std::string& title) {
    seen.push_back({prompt, style, title});
  });
  double zgj = 3;
  EXPECT_EQ(p.orvane().JiSuanQDDJ(5, "1,2", false, zgj, false), 0);
  EXPECT_EQ(zgj, 0);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].prompt, "由于“no such table: qfsjb”的原因，导致计算清单综合单价失败！");
  EXPECT_EQ(seen[0].style, 64);
  EXPECT_EQ(seen[0].title, "提示");
  EXPECT_TRUE(p.orvane().Messages().empty());
}

TEST(ClsOrvaneBillItemPrice, EmptyArgumentsGiveZeroWithoutTouchingAnything) {
  Project p;
  p.Execute("insert into zhys(ysid) values (1)");
  const std::string before = p.Snapshot();
  double zgj = 9;
  EXPECT_EQ(p.orvane().JiSuanQDDJ(5, "", false, zgj, false), 0);
  EXPECT_EQ(zgj, 0);
  zgj = 9;
  EXPECT_EQ(p.orvane().JiSuanQDDJ(0, "1", false, zgj, true), 0);
  EXPECT_EQ(zgj, 0);
  EXPECT_TRUE(p.orvane().Messages().empty());
  EXPECT_EQ(p.Snapshot(), before);
}

// The base prices keep the resource lines for the current prices, and the
// aggregation the analysis lines for the current amounts and the bill
// material summary. A host that calls them on one ClsOrvane, with its own
// work in between, must find every table as a host that makes a fresh
// ClsOrvane for every call, which keeps nothing. Both work on copies of one
// project priced up to the current prices; each host step goes to both.
TEST(KeptLines, WhatTheHostDoesBetweenMembersGivesTheTablesOfAColdStart) {
  namespace fs = std::filesystem;
  const testing::ScratchFolder folder("kept_lines");
  const std::string start = folder.File("start.db"), kept = folder.File("kept.db"), cold = folder.File("cold.db");
  {
    Project p(start);
    CreateProjectSchema(p.db());
    WriteGeneratedProject(p.db(), 40, 3);
    for (const std::string& outcome :
         {p.orvane().ZhengLiGCShuJu(false), p.orvane().JiSuanDEJJ_QB(), p.orvane().ChongXinJSXXJ_QB()}) {
      ASSERT_EQ(outcome, "");
    }
    // Materials without a quantity, which no bill line takes.
    p.Execute("update gjcl set sl=0 where rowid%9=4");
  }
  using Step = std::function<void(ClsOrvane & orvane, Connection & connection, const std::string& path)>;
  const Step base = [](ClsOrvane& o, Connection&, const std::string&) { EXPECT_EQ(o.JiSuanDEJJ_QB(), ""); };
  const Step current = [](ClsOrvane& o, Connection&, const std::string&) { EXPECT_EQ(o.ChongXinJSXXJ_QB(false), ""); };
  const Step aggregate = [](ClsOrvane& o, Connection&, const std::string&) { EXPECT_EQ(o.HuiZongRCJ(), ""); };
  const Step amounts = [](ClsOrvane& o, Connection&, const std::string&) { EXPECT_EQ(o.JiSuanXXJ(false), ""); };
  const Step summary = [](ClsOrvane& o, Connection&, const std::string&) { EXPECT_EQ(o.QingDanCLHZ(), ""); };
  const auto sql = [](std::string text) -> Step {
    return [text](ClsOrvane&, Connection& c, const std::string&) { c.Execute(text); };
  };
  const Step elsewhere = [](ClsOrvane&, Connection&, const std::string& path) {
    Connection::Open(path).Execute("update fxclb set xhj=xhj+7 where rowid%5=1");
  };
  const std::string edit_lines = "update fxclb set xhj=xhj+3,sl=sl*2 where rowid%4=1";
  const std::string edit_materials = "update gjcl set dj=dj+1,hj=hj+2,xxj=xxj+3,cldj=0 where rowid%5=2";
  const Step materials_elsewhere = [edit_materials](ClsOrvane&, Connection&, const std::string& path) {
    Connection::Open(path).Execute(edit_materials);
  };
  const struct {
    const char* what;
    std::vector<Step> steps;
  } kScenarios[] = {
      {"nothing in between", {aggregate, amounts, summary}},
      {"the current amounts twice", {aggregate, amounts, amounts, summary}},
      {"an edit on the host's connection", {aggregate, sql(edit_lines), amounts, sql(edit_lines), summary}},
      {"an edit in the host's open transaction",
       {aggregate, sql("begin"), sql(edit_lines), amounts, summary, sql("commit")}},
      {"an edit through another connection", {aggregate, elsewhere, amounts, elsewhere, summary}},
      {"a trigger of the host's on the analysis materials",
       {sql("create trigger host_mark after insert on fxclb begin update fxclb set xhj=xhj+1 where rowid=new.rowid; "
            "end"),
        aggregate, amounts, summary}},
      {"a percentage row of no estimate row, its quantity a word",
       {sql("update gjcl set ysid=null,sl='some' where rowid=(select min(rowid) from gjcl where dw='%')"), aggregate,
        amounts, summary}},
      {"a view of the host's where the mark would go",
       {sql("create temp view quillmere_memory_mark as select 1 as mark"), aggregate, amounts, summary}},
      {"the host's transaction rolled back",
       {sql("begin"), aggregate, sql("rollback"), amounts, sql("begin"), amounts, sql("rollback"), summary}},
      {"the base and the current prices, nothing in between", {base, current, aggregate, amounts, summary}},
      {"estimate rows outside both bills, which no machine joins",
       {sql("update zhys set qdlb=3,sjgcl=2 where ysid in (select ysid from gjjx where dw<>'%' limit 2)"), base,
        current, aggregate}},
      {"an estimate row of an id no integer, which no machine joins",
       {sql("insert into zhys(ysid,qdlb,fbcch,sjgcl) select ysid+0.5,0,0,3 from gjjx where ysid is not null limit 1"),
        base, current, aggregate}},
      {"material classes the aggregation resets, the current amounts before it",
       {sql("update gjcl set cllb='材料' where rowid%7=3 and cllb<>'主材'"), base, current, amounts, aggregate,
        summary}},
      {"an edit of the material lines between the base and the current prices",
       {base, sql(edit_materials), current, aggregate}},
      {"an edit through another connection between them", {base, materials_elsewhere, current}},
      {"the host's transaction rolled back around the base prices", {sql("begin"), base, sql("rollback"), current}},
      {"the current prices twice", {base, current, current}},
      {"a trigger of the host's on the material lines",
       {sql("create trigger host_tap after update of hj on gjcl begin update gjcl set xxj=xxj+1 where "
            "rowid=new.rowid; end"),
        base, current}},
      {"a trigger of the host's on the machines",
       {sql("create trigger host_machines after update of xxj on gjjx begin update gjjx set sl=sl+1 where "
            "rowid=new.rowid; end"),
        sql("update jxzxj set xxdj=xxdj+1"), base, current, aggregate}},
      {"the current prices, with a changed list, after the aggregation",
       {sql("update clzxj set xxdj=xxdj+1"), aggregate, current, amounts, summary}},
  };
  for (const auto& scenario : kScenarios) {
    fs::copy_file(start, kept, fs::copy_options::overwrite_existing);
    fs::copy_file(start, cold, fs::copy_options::overwrite_existing);
    Project host(kept), other(cold);
    for (const Step& step : scenario.steps) {
      step(host.orvane(), host.db(), kept);
      ClsOrvane fresh;
      fresh.CnnData(other.db());
      step(fresh, other.db(), cold);
    }
    EXPECT_EQ(host.Snapshot(), other.Snapshot()) << scenario.what;
  }
}

}  // namespace
}  // namespace quillmere
