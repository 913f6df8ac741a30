// ClsOrvane as a host sees it: the connection it holds, members called
// before a connection is set, message boxes handed to the host, and members
// that fail leaving the project as it was.

#include "quillmere/cls_orvane.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "quillmere/samples.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

TEST(ClsOrvaneConnection, MembersWithoutAConnectionFailInsteadOfCrashing) {
  ClsOrvane orvane;
  double out = 7;
  EXPECT_NE(orvane.ZhengLiGCShuJu(true), "");
  EXPECT_NE(orvane.JiSuanGCRCJ(false, out), "");
  EXPECT_NE(orvane.JiSuanHZB(100, out, out), "");
  EXPECT_FALSE(orvane.JiSuanZHDJ(1, false));
  EXPECT_EQ(orvane.JiSuanQDDJ(5, "1,2", false, out, false), 0);
  EXPECT_EQ(out, 0);
  EXPECT_EQ(orvane.Messages().size(), 2u);  // one box for each of the last two
}

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

// The demo is priced member by member up to the one that fails, so that the
// failing member has work to do and writes some of it before the fault
// (tables read late, scratch tables made midway, a null met in a loop).
// Where a row loop stops on a value, its message names the table, column and
// row; the member rolls back as every member does on any failure.
TEST(ClsOrvaneMembers, AFailureNamesTheTableColumnAndRowAndLeavesEveryTableAsItWas) {
  const std::vector<std::function<std::string(ClsOrvane&)>> pipeline = {
      [](ClsOrvane& o) { return o.ZhengLiGCShuJu(false); },
      [](ClsOrvane& o) { return o.JiSuanDEJJ_QB(); },
      [](ClsOrvane& o) { return o.ChongXinJSXXJ_QB(true); },
      [](ClsOrvane& o) { return o.HuiZongRCJ(); },
      [](ClsOrvane& o) { return o.JiSuanXXJ(true); },
      [](ClsOrvane& o) { return o.QingDanCLHZ(); },
      [](ClsOrvane& o) { return o.JiSuanZHDJ_QB("定额计价法", false); },
      [](ClsOrvane& o) {
        double zgr = 0;
        return o.JiSuanGCRCJ(false, zgr);
      },
      [](ClsOrvane& o) { return o.JiSuanZDYCS(); },
      [](ClsOrvane& o) { return o.JiSuanCSFB(); },
  };
  const struct {
    size_t member;
    const char* fault;
    const char* text;
  } cases[] = {
      {0, "update zhys set yssl=null where ysid=111", "Invalid use of Null: zhys.yssl, row ysid 111"},  // a bill item's multiplier
      {8, "update zhys set zdycsfl='两成' where ysid=3221", "Type mismatch: zhys.zdycsfl, row ysid 3221"},
      {9, "update zhys set sjbj=null where ysid=323", "Invalid use of Null: zhys.sjbj, row ysid 323"},  // after section 320 is written
  };
  for (const auto& c : cases) {
    Project p;
    WriteDemoProject(p.db());
    for (size_t i = 0; i < c.member; ++i) ASSERT_EQ(pipeline[i](p.orvane()), "") << i;
    p.Execute(c.fault);
    SCOPED_TRACE(c.fault);
    EXPECT_EQ(p.Unchanged([&] { return pipeline[c.member](p.orvane()); }), c.text);
  }
}

}  // namespace
}  // namespace quillmere
