// Recordsets: fetched whole on open, walked in query order; a failed open
// leaves them closed with the reason.

#include "db/recordset.h"

#include <gtest/gtest.h>

#include "db/value.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

TEST(Recordsets, WalkInQueryOrderReadFieldsByAnyCaseAndKeepTheReasonOfAFailedOpen) {
  Project p;
  p.Execute("insert into zhys(ysid,sjxh,zhmc,yssl) values (1,2,'b',5),(2,1,'a',7)");
  Recordset rs;
  ASSERT_TRUE(DaKaiJLJ("select ysid,ZHMC,sum(yssl) as total from zhys group by ysid order by sjxh", p.db(), rs));
  ASSERT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(ToNumber(rs.Field("YSID")), 2);
  EXPECT_EQ(ToText(rs.Field("zhmc")), "a");
  rs.MoveNext();
  EXPECT_EQ(ToNumber(rs.Field("total")), 5);
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());
  EXPECT_THROW(rs.Field("ysid"), Error);
  // A misspelt query leaves the recordset closed, and reading it gives why.
  EXPECT_FALSE(DaKaiJLJ("select ysid from zhyss", p.db(), rs));
  try {
    rs.RecordCount();
    FAIL() << "a closed recordset must not be read";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "no such table: zhyss");
  }
}

}  // namespace
}  // namespace quillmere
