// Organising project data: multipliers of sections and bill items, the bill
// mapping, linked quantities, and an id no row can have.

#include <gtest/gtest.h>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

TEST(Organise, SectionsAndBillItemsLendTheirQuantities) {
  Project p;
  p.Execute(
      "insert into zhys(ysid,sjxh,qdlb,fbcch,bzj,yssl) values "
      "(10,1,0,1,0,5),(11,2,0,2,1,3),(1,3,0,0,null,2),"               // m1 = 1 (bzj false), m2 = 3
      "(50,4,0,5,null,4),(2,5,0,0,null,2),"                           // null is not true: m5 = 1
      "(51,6,0,5,0,0),(3,7,0,0,null,5),"                              // quantity 0, not lending: m5 = 0
      "(52,8,0,5,1,2),(4,9,0,0,null,5),"                              // lending: m5 = 2
      "(20,10,0,1,1,1.234567),(23,11,0,3,0,4),(5,12,0,0,null,1.5)");  // a new level 1 resets the path
  EXPECT_EQ(p.orvane().ZhengLiGCShuJu(true), "当前分部分项工程量清单中第 3 行子目没有对应到清单");
  ASSERT_EQ(p.orvane().ZhengLiGCShuJu(false), "");

  // Actual quantity = own quantity x the multipliers above: 10: 5 x 1;
  // 11: 3 x 1; 1: 2 x 3; 50: 4 x 3; 2: 2 x 3 x 1; 51: 0 x 3; 3: 5 x 3 x 0;
  // 52: 2 x 3; 4: 5 x 3 x 2; 20: 1.234567 x 1; 23: 4 x 1.234567 = 4.938268;
  // 5: 1.5 x 1.234567 x 1 = 1.8518505 -> 1.851851, six decimals throughout.
  EXPECT_EQ(p.Rows("select sjgcl from zhys order by sjxh"),
            "5\n3\n6\n12\n6\n0\n0\n6\n30\n1.234567\n4.938268\n1.851851\n");
  // Ratios: no bill item, or one that lends: the own quantity (1, 4, 5);
  // else actual / the bill item's actual, 0 counting as 1: 6 / 12, 0 / 1.
  EXPECT_EQ(p.Rows("select * from qddyb order by ysid"),
            "1 | 10 | 11 | 0 | 0 | 0 | 6 | 2\n2 | 10 | 11 | 0 | 0 | 50 | 6 | 0.5\n3 | 10 | 11 | 0 | 0 | 51 | 0 | 0\n"
            "4 | 10 | 11 | 0 | 0 | 52 | 30 | 5\n5 | 20 | 0 | 23 | 0 | 0 | 1.851851 | 1.5\n");
}

TEST(Organise, NormalisesRowsAndRebuildsTheMap) {
  Project p;
  p.Execute(
      "insert into zhys(ysid,sjxh,qdlb,fbcch,yssl,cysl,sjgcl,jsjs,glffl,lrfl,qdxh,bhlb,dw) values "
      "(10,1,0,1,1,0,0,'x',0.1,0.05,'01',null,null),(50,2,0,5,3,0,0,'y',0.1,0.05,'0101',null,null),"
      "(1,3,0,0,2,0,0,null,0.1,0.05,null,null,null),(2,4,0,0,7,14,0,'',0,0,null,'费',null),"
      "(3,5,0,0,3,0,0,'人工',0,0,null,null,null),(60,6,1,6,5,5,0,'z',0.2,0.1,null,null,'m'),"
      "(70,7,1,7,2,0,1.5,'w',0.3,0,null,null,null),(80,8,0,6,5,0,0,'v',0,0,null,null,null)");
  p.Execute("insert into qddyb(ysid,fb5) values (99,98)");
  ASSERT_EQ(p.orvane().ZhengLiGCShuJu(true), "");

  // Sections and bill items lose fee basis and rates, sections their number;
  // sub-items get the default basis; the fee-type sub-item counts 1; the
  // measure item priced as a whole is one item (sjgcl 1), and a level-6 row
  // of the sub-item bill keeps its quantity but counts once; the level-7 line
  // keeps its rates and turns its stored 1.5 into 2 x 1.5.
  EXPECT_EQ(
      p.Rows("select ysid,jsjs,glffl,lrfl,qdxh,dw,cgdw,yssl,cysl,sjgcl from zhys order by sjxh"),
      "10 |  | 0 | 0 |  | NULL | NULL | 1 | 0 | 1\n50 |  | 0 | 0 | 0101 | NULL | NULL | 3 | 0 | 3\n"
      "1 | 人工+机械 | 0.1 | 0.05 | NULL | NULL | NULL | 2 | 0 | 2\n"
      "2 | 人工+机械 | 0 | 0 | NULL | NULL | NULL | 1 | 1 | 1\n3 | 人工 | 0 | 0 | NULL | NULL | NULL | 3 | 0 | 3\n"
      "60 | z | 0.2 | 0.1 | NULL | 项 | 项 | 1 | 1 | 1\n70 | w | 0.3 | 0 | NULL | NULL | NULL | 2 | 0 | 3\n"
      "80 | v | 0 | 0 | NULL | NULL | NULL | 5 | 0 | 1\n");
  // The old map is gone; ratios to six decimals: 2 / 3, 1 / 3, 3 / 3.
  EXPECT_EQ(p.Rows("select ysid,fb1,fb5,sjgcl,sjgcl_qd from qddyb order by ysid"),
            "1 | 10 | 50 | 2 | 0.666667\n2 | 10 | 50 | 1 | 0.333333\n3 | 10 | 50 | 3 | 1\n");
}

TEST(Organise, LinkedQuantitiesFollowTheActualQuantityOfTheirRow) {
  Project p;
  p.Execute(
      "insert into zhys(ysid,sjxh,qdlb,fbcch,bzj,yssl,sjgcl,ysid_gcl) values (10,1,0,1,1,2,0,0),(1,2,0,0,null,3,0,0),"
      "(20,3,0,1,1,4,0,0),(2,4,0,0,null,99,0,1),(3,5,0,0,null,99,0,0),(5,6,3,0,null,7,1,0),(4,7,0,0,null,99,0,1)");
  // Multipliers 2, then 4; glxs and zhxs default to 1 but on row 2.
  p.Execute("update zhys set glxs=1.234567,zhxs=1.2345 where ysid=2");
  // Lines of row 3: fixed, linked to row 1, excluded, linked outside the
  // quantity work.
  p.Execute("insert into mbgjb(ysid,ysid_gl,gcl,xs) values (3,0,10.0002,1),(3,1,0,2),(3,-1,100,1),(3,5,50,1)");
  ASSERT_EQ(p.orvane().ZhengLiGCShuJu(false), "");

  // Row 1: 3 x 2 = 6. Row 2 follows it with glxs 1.234567 under multiplier 4:
  // yssl 2 x 3 x 1.234567 / 4 = 1.8518505 -> 1.851851 (six decimals), cysl
  // 1.8518505 x zhxs 1.2345 = 2.2861... -> 2.2861 (four), actual 1.851851 x 4.
  // Row 3, lines / multiplier 4: 10.0002 x 1 / 4 = 2.50005; (3 x 2) x 2 / 4 = 3;
  // the others zeroed: yssl 5.50005, cysl 5.5001, actual 22.0002. Row 5
  // (category 3) is left alone. Row 4 follows row 1 with glxs 1: 6 / 4 = 1.5.
  EXPECT_EQ(p.Rows("select ysid,yssl,cysl,sjgcl from zhys where fbcch=0 order by sjxh"),
            "1 | 3 | 0 | 6\n2 | 1.851851 | 2.2861 | 7.407404\n3 | 5.50005 | 5.5001 | 22.0002\n5 | 7 | 0 | 1\n"
            "4 | 1.5 | 1.5 | 6\n");
  EXPECT_EQ(p.Rows("select ysid_gl,gcl from mbgjb order by ysid_gl"), "-1 | 0\n0 | 2.50005\n1 | 3\n5 | 0\n");
  EXPECT_EQ(p.Rows("select ysid,sjgcl,sjgcl_qd from qddyb order by ysid"),
            "1 | 6 | 3\n2 | 7.407404 | 1.851851\n3 | 22.0002 | 5.50005\n4 | 6 | 1.5\n");
}

// Rows that share an id (a row copied by the host) are joined as SQL's update
// of a join takes them: the last of them counts, for a follower, a quantity
// line and the bill item a ratio divides by.
TEST(Organise, ARowIdSeveralRowsShareIsReadFromTheLastOfThem) {
  Project p;
  p.Execute(
      "insert into zhys(ysid,sjxh,qdlb,fbcch,bzj,yssl,ysid_gcl) values (50,1,0,5,0,2,0),(1,2,0,0,null,3,0),"
      "(50,3,0,5,0,4,0),(1,4,0,0,null,5,0),(2,5,0,0,null,99,1),(3,6,0,0,null,0,0),(53,7,0,5,1,0,0),"
      "(6,8,0,0,null,7,0)");
  p.Execute("insert into mbgjb(ysid,ysid_gl,gcl,xs) values (3,1,0,1)");
  p.Execute("insert into linshib(ysid,shuzhi1) values (7,7)");
  ASSERT_EQ(p.orvane().ZhengLiGCShuJu(true), "");

  // Row 2 and the line of row 3 follow the second row 1 (5, not 3); every
  // ratio divides by the second bill item 50 (4, not 2), and both map rows of
  // id 1 take the second row's quantity. Under bill item 53, which lends its
  // quantity 0, row 6 counts 0 and keeps its own quantity as its ratio.
  EXPECT_EQ(p.Rows("select ysid,yssl,sjgcl from zhys where fbcch=0 order by sjxh"),
            "1 | 3 | 3\n1 | 5 | 5\n2 | 5 | 5\n3 | 5 | 5\n6 | 7 | 0\n");
  EXPECT_EQ(p.Rows("select ysid,sjgcl,sjgcl_qd from qddyb order by rowid"),
            "1 | 5 | 1.25\n1 | 5 | 1.25\n2 | 5 | 1.25\n3 | 5 | 1.25\n6 | 0 | 7\n");
  // The scratch table of older engines keeps nothing.
  EXPECT_EQ(p.Rows("select count(*) from linshib"), "0\n");
}

// An id no 64-bit integer holds is no row's id: it stops the walk rather
// than mapping the sub-items under some other section.
TEST(Organise, AnIdBeyondEveryIntegerStopsTheWalk) {
  Project p;
  p.Execute("insert into zhys(ysid,sjxh,qdlb,fbcch,bzj,yssl) values (1e300,1,0,1,0,1),(1,2,0,0,null,2)");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().ZhengLiGCShuJu(false); }).rfind("Overflow", 0), 0u);
}

}  // namespace
}  // namespace quillmere
