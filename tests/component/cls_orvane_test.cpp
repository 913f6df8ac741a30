// ClsOrvane as a host sees it: message boxes handed to the host, a bill item
// price without arguments.

#include "quillmere/cls_orvane.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace quillmere
