// The project database: created once, with the rows the members update.

#include <gtest/gtest.h>

#include <string>

#include "quillmere/project.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

TEST(ProjectSchema, IsCreatedOnceWithTheRowsTheMembersUpdateAndEmptyGrades) {
  Project p;
  p.Unchanged([&] { EXPECT_THROW(CreateProjectSchema(p.db()), Error); });
  EXPECT_EQ(p.Rows("select mingc,shuzhi from gcxxb order by rowid"), "总工日 | 0\n工程造价 | 0\n经济指标 | 0\n");
  // A provisional-price entry left without ggxh has an empty one.
  p.Insert("zgjclb", {{"bh", "C1"}, {"mc", "砂"}});
  EXPECT_EQ(p.Rows("select ggxh='' from zgjclb"), "1\n");
}

}  // namespace
}  // namespace quillmere
