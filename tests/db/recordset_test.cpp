// Recordsets: fetched whole on open, walked in query order; a failed open
// leaves them closed with the reason.

#include "db/recordset.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

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

// A few edited rows are written one by one, many in one walk of the table:
// either way exactly the edited fields, and no row outside the recordset.
TEST(Recordsets, WriteBackExactlyTheEditedFieldsHoweverManyRows) {
  for (const int rows : {4, 1500}) {
    SCOPED_TRACE(rows);
    Project p;
    p.Execute("with recursive n(i) as (select 1 union all select i+1 from n where i<" + std::to_string(rows) +
              ") insert into zhys(ysid,sjxh,zhmc,yssl,cysl) select i,i,'r',1,2 from n");
    Recordset rs;
    rs.Open(p.db(), "select ysid,zhmc,yssl,cysl,yssl*2 as twice from zhys where ysid>1 order by ysid desc");
    for (; !rs.Eof(); rs.MoveNext()) {
      const std::int64_t id = ToId(rs.Field("ysid"));
      rs.SetField("yssl", static_cast<double>(id) * 1.5);
      if (id % 2 == 0) rs.SetField("zhmc", std::string("even"));
      if (id % 3 == 0) rs.SetField("cysl", Value());
    }
    // Written since the recordset was read, in a field it leaves alone.
    p.Execute("update zhys set cysl=9 where ysid=4");
    rs.UpdateBatch();
    EXPECT_EQ(p.Rows("select count(*) from zhys where yssl is not iif(ysid=1,1,ysid*1.5) "
                     "or zhmc is not iif(ysid>1 and ysid%2=0,'even','r') "
                     "or cysl is not (case when ysid=4 then 9 when ysid>1 and ysid%3=0 then null else 2 end)"),
              "0\n");
  }
}

}  // namespace
}  // namespace quillmere
