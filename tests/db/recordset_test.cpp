// Recordsets: fetched whole on open, edited locally, written back in one
// all-or-nothing batch; a failed open leaves them closed with the reason.

#include "db/recordset.h"

#include <gtest/gtest.h>

#include "db/value.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

class Recordsets : public ::testing::Test {
 protected:
  void SetUp() override { p.Execute("insert into zhys(ysid,sjxh,zhmc,yssl) values (1,2,'b',5),(2,1,'a',7)"); }
  Project p;
  Recordset rs;
};

TEST_F(Recordsets, WalkInQueryOrderReadFieldsByAnyCaseAndKeepTheReasonOfAFailedOpen) {
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

TEST_F(Recordsets, UpdateBatchWritesEveryEditOrNoneAndOnlyColumnsOfOneTable) {
  ASSERT_TRUE(DaKaiJLJ("select ysid,yssl,zhmc from zhys order by sjxh", p.db(), rs));
  rs.SetField("yssl", 70.0);
  rs.MoveNext();
  rs.SetField("zhmc", Value{});
  EXPECT_EQ(p.Rows("select yssl from zhys where ysid=2"), "7\n");  // nothing written yet
  // A trigger refusing the second edit: the first is not written either.
  p.Execute("create trigger refuse before update of zhmc on zhys begin select raise(abort, 'refused'); end");
  p.Unchanged([&] { EXPECT_THROW(rs.UpdateBatch(), Error); });
  p.Execute("drop trigger refuse");
  rs.UpdateBatch();
  EXPECT_EQ(p.Rows("select ysid,yssl,zhmc from zhys order by ysid"), "1 | 5 | NULL\n2 | 70 | a\n");
  // A field of a join or an expression has no row to go back to.
  ASSERT_TRUE(DaKaiJLJ("select a.ysid, a.yssl*2 as twice from zhys a join zhys b on a.ysid=b.ysid", p.db(), rs));
  rs.SetField("twice", 1.0);
  EXPECT_THROW(rs.UpdateBatch(), Error);
}

}  // namespace
}  // namespace quillmere
