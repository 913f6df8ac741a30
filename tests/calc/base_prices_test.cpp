// Quota base prices: base amounts of the resource lines, split materials,
// plain and linked percentage lines, the fee rows, and the single-row form.

#include "calc/resources/base_prices.h"

#include <gtest/gtest.h>

#include "db/transaction.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// Quota sub-items as organising left them: "(ysid, actual quantity, quantity
// in the bill mapping),...".
void SubItems(Project& p, const std::string& rows) {
  p.Execute(
      "insert into zhys(ysid,sjxh,qdlb,fbcch,yssl,sjgcl) select column1,column1,0,0,column2,column2 from "
      "(values " +
      rows + ")");
  p.Execute("insert into qddyb(ysid,sjgcl) select column1,column3 from (values " + rows + ")");
}

void RunWholeProject(Project& p) { ASSERT_EQ(p.orvane().JiSuanDEJJ_QB(), ""); }

void RunRow(Project& p, int ysid) {
  Transaction transaction(p.db());
  PriceAtBasePrices(p.db(), Scope::Row(ysid));
  transaction.Commit();
}

TEST(BasePrices, OrdinaryLinesAddUpIntoTheFeeRowByKind) {
  Project p;
  p.Execute(
      "insert into zhys(ysid,sjxh,qdlb,fbcch,sjgcl,glffl,lrfl,fxfl,jsjs) values "
      "(1,3,0,0,2,0.1,0.05,0.01,'人工'),(2,4,3,0,1,0,0,0,null),(50,2,0,5,4,0,0,0,null),(1,5,0,0,3,0,0,0,null)");
  p.Execute("insert into qddyb(ysid,fb5,sjgcl,sjgcl_qd) values (1,50,2,0.25),(1,50,2,0.5)");
  p.Execute("insert into qfsjb(ysid,rgjj) values (99,5)");
  p.Execute("insert into gjrg(ysid,dw,dj,sl) values (1,'工日',100,0.5),(1,'工日',80.5,0.333),(2,'工日',10,1)");
  p.Execute(
      "insert into gjcl(ysid,dw,chaifen,cllb,dj,sl,rgdj) values (1,'t',0,'',12.345,2,9),(1,'t',0,'',1.005,1,0),"
      "(1,'t',0,'主材',300,1.01,0),(1,'t',0,'辅材',10,1,0),(1,null,0,'',1000,1,0)");
  p.Execute("insert into gjjx(ysid,dw,dj,sl) values (1,'台班',500,0.015)");
  RunWholeProject(p);

  // hj = dj x sl to two decimals, half away from zero: 80.5 x 0.333 =
  // 26.8065 -> 26.81; 1.005 -> 1.01. An ordinary material is its own
  // material part.
  EXPECT_EQ(p.Rows("select ysid,hj from gjrg order by rowid"), "1 | 50\n1 | 26.81\n2 | 10\n");
  EXPECT_EQ(p.Rows("select dj,hj,rgdj,rghj,cldj,clhj,jxdj,jxhj from gjcl where rowid<=2 order by rowid"),
            "12.345 | 24.69 | 0 | 0 | 12.345 | 24.69 | 0 | 0\n1.005 | 1.01 | 0 | 0 | 1.005 | 1.01 | 0 | 0\n");
  // rgjj 50 + 26.81; fcjj 24.69 + 1.01 (the class 辅材 and the line without a
  // unit count nowhere); zcjj 300 x 1.01; jxjj 500 x 0.015. The bill item has
  // no lines; row 2 (category 3) gets no fee row; row 99 is gone. A row id
  // two rows share gives both fee rows the sums, and the quantity per bill
  // unit of the last mapping entry of that row id.
  EXPECT_EQ(p.Rows("select sjxh,ysid,qdlb,fbcch,jsjs,sjgcl,sjgcl_qd,glffl,lrfl,fxfl,rgjj,fcjj,zcjj,jxjj,zhdj "
                   "from qfsjb order by ysid,sjxh"),
            "3 | 1 | 0 | 0 | 人工 | 2 | 0.5 | 0.1 | 0.05 | 0.01 | 76.81 | 25.7 | 303 | 7.5 | 0\n"
            "5 | 1 | 0 | 0 | NULL | 3 | 0.5 | 0 | 0 | 0 | 76.81 | 25.7 | 303 | 7.5 | 0\n"
            "2 | 50 | 0 | 5 | NULL | 4 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0\n");
}

TEST(BasePrices, SplitMaterialsTakeTheirPriceFromTheirComponents) {
  Project p;
  SubItems(p, "(1,1,1)");
  // 1: style 1 with components; 2: style 1 without; 3: style 2; 4: style 3.
  p.Execute(
      "insert into gjcl(ysid,clid,dw,cllb,chaifen,chaifenstyle,dj,sl) values "
      "(1,1,'t','',1,1,999,2),(1,2,'t','',1,1,50,3),(1,3,'t','',1,2,0,1.5),(1,4,'t','',1,3,0,2)");
  p.Execute("insert into gjpbf(ysid,clid,dj,sl) values (1,1,10,0.5),(1,1,3.333,3)");
  p.Execute("insert into gjlpjb(ysid,clid,dj,sl) values (1,3,20,1),(1,3,4,0.25)");
  p.Execute("insert into ftrg(ysid,clid_src,dj,sl) values (1,4,100,0.1)");
  p.Execute("insert into ftjx(ysid,clid_src,dj,sl) values (1,4,50,0.02)");
  p.Execute(
      "insert into ftcl(ysid,clid_src,clid,chaifen,chaifenstyle,dj,sl) values "
      "(1,4,40,0,null,7,1),(1,4,41,1,1,99,0.5),(1,4,42,1,2,8,1)");
  // Only style 1 prices a split component from its own components.
  p.Execute("insert into ftpbf(ysid,clid_src,clid,dj,sl) values (1,4,41,2,3),(1,4,42,5,1)");
  p.Execute("insert into gjjx(ysid,dw,dj,sl) values (1,'台班',50,0.1)");
  // Neither split nor ordinary (a null chaifen): priced at the sum of the
  // parts it has.
  p.Execute("insert into gjcl(ysid,clid,dw,cllb,dj,sl,rgdj,cldj,jxdj) values (2,5,'t','',999,2,1,2,3)");
  RunWholeProject(p);

  // Split components of the style-3 breakdown: 41 (style 1) takes its
  // components 2 x 3 = 6, hj 6 x 0.5 = 3; 42 (style 2) loses its price but
  // keeps the hj 8 x 1 of its former one.
  EXPECT_EQ(p.Rows("select clid,dj,hj from ftcl order by clid"), "40 | 7 | 7\n41 | 6 | 3\n42 | 0 | 8\n");
  // 1: 5 + 9.999 -> 10 = 15, x 2.  2: no components, price 0.
  // 3: 20 + 1 = 21, x 1.5.  4: labour 10, materials 7 + 3 + 8, machines 1,
  // each part x 2, the price their sum 29.
  EXPECT_EQ(p.Rows("select clid,dj,hj,rgdj,rghj,cldj,clhj,jxdj,jxhj from gjcl order by clid"),
            "1 | 15 | 30 | 0 | 0 | 15 | 30 | 0 | 0\n2 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0\n"
            "3 | 21 | 31.5 | 0 | 0 | 21 | 31.5 | 0 | 0\n4 | 29 | 58 | 10 | 20 | 18 | 36 | 1 | 2\n"
            "5 | 6 | 12 | 1 | 0 | 2 | 0 | 3 | 0\n");
  // rgjj = labour part 20; fcjj = 30 + 0 + 31.5 + 36; jxjj = machine part 2
  // + the machine line 50 x 0.1.
  EXPECT_EQ(p.Rows("select rgjj,fcjj,zcjj,jxjj from qfsjb"), "20 | 97.5 | 0 | 7\n");

  // A second run finds component 42 at price 0, so its hj becomes 0: the
  // material part of 4 drops to 7 + 3 = 10, x 2 = 20; fcjj 30 + 31.5 + 20.
  RunWholeProject(p);
  EXPECT_EQ(p.Rows("select dj,hj,cldj,clhj from gjcl where clid=4"), "21 | 42 | 10 | 20\n");
  EXPECT_EQ(p.Rows("select rgjj,fcjj,jxjj from qfsjb"), "20 | 81.5 | 7\n");
}

TEST(BasePrices, PercentageLinesArePricedOnTheirOwnOrTheNamedRow) {
  Project p;
  SubItems(p, "(1,3,3),(2,4,2),(3,1,0),(4,1,1),(5,1,1)");
  p.Execute("insert into gjrg(ysid,dw,dj,sl) values (1,'工日',100,1),(5,'工日',80,1)");
  p.Execute("insert into gjjx(ysid,dw,dj,sl) values (1,'台班',20,1),(5,'台班',500,0.015)");
  p.Execute("insert into gjcl(ysid,dw,chaifen,cllb,dj,sl) values (5,'t',0,'',100,2)");
  // Plain lines on row 5, one a main material, and a linked code without a
  // linked row.
  p.Execute("insert into gjrg(ysid,bh,dw,sl) values (5,'RGQT','%',50),(5,'0000FE','%',10)");
  p.Execute("insert into gjcl(ysid,bh,dw,chaifen,cllb,sl) values (5,'CLQT','%',0,'主材',1.5)");
  p.Execute("insert into gjjx(ysid,bh,dw,sl) values (5,'JXQT','%',10)");
  // Row 2 charges on row 1, complete (rgjj 100, jxjj 20); row 3 on row 2,
  // whose amounts come from linked lines only; row 4 names no fee row. All
  // start with a stale price and pass mark.
  p.Execute(
      "insert into gjrg(ysid,bh,dw,sl,ysid_gl,dj,hj,azfy) values (2,'0000FE','%',10,1,77,7.7,1),"
      "(2,'0000FF','%',10,1,77,7.7,1),(3,'0000FE','%',10,2,77,7.7,1),(4,'0000FE','%',10,999,77,7.7,1)");
  p.Execute(
      "insert into gjcl(ysid,bh,dw,sl,ysid_gl,dj,hj,azfy) values (2,'1000FE','%',5,1,77,7.7,1),"
      "(2,'1000FF','%',5,1,77,7.7,1),(3,'1000FF','%',10,2,77,7.7,1)");
  p.Execute(
      "insert into gjjx(ysid,bh,dw,sl,ysid_gl,dj,hj,azfy) values (2,'J000FE','%',2,1,77,7.7,1),"
      "(2,'J000FF','%',2,1,77,7.7,1),(2,'J000FG','%',2,1,77,7.7,1)");
  RunWholeProject(p);

  // Row 5: labour base 80, 50% gives dj 80, hj 40; material base 200, 1.5%
  // gives 3, counted as ordinary; machine base 7.5, 10% gives 0.75.
  // Row 2, first pass, row 1's fee-row quantity 3 over its own mapped 2:
  //   labour 100 -> 150, 10% 15; labour + machine 120 -> 180, 18; materials
  //   at 5%, machines at 2%; the machine base 20 -> 30. None is marked.
  // Row 3 read row 2 still at 0; the second pass prices it on row 2's
  //   completed amounts x 4 / (0 counting as 1) and marks it: labour 33 ->
  //   132, 13.2; labour + machine 33 + 7.2 -> 160.8, 16.08.
  // Row 4 and the unlinked 0000FE keep the zeros of their reset, unmarked.
  EXPECT_EQ(p.Rows("select ysid,bh,dj,hj,azfy from gjrg where dw='%' union all select ysid,bh,dj,hj,azfy from gjcl "
                   "where dw='%' union all select ysid,bh,dj,hj,azfy from gjjx where dw='%' order by 1,2"),
            "2 | 0000FE | 150 | 15 | 0\n2 | 0000FF | 180 | 18 | 0\n2 | 1000FE | 150 | 7.5 | 0\n"
            "2 | 1000FF | 180 | 9 | 0\n2 | J000FE | 150 | 3 | 0\n2 | J000FF | 180 | 3.6 | 0\n"
            "2 | J000FG | 30 | 0.6 | 0\n3 | 0000FE | 132 | 13.2 | 1\n3 | 1000FF | 160.8 | 16.08 | 1\n"
            "4 | 0000FE | 0 | 0 | 0\n5 | 0000FE | 0 | 0 | 0\n5 | CLQT | 200 | 3 | 0\n5 | JXQT | 7.5 | 0.75 | 0\n"
            "5 | RGQT | 80 | 40 | 0\n");
  EXPECT_EQ(p.Rows("select bh,cldj,clhj from gjcl where dw='%' order by ysid,bh"),
            "1000FE | 150 | 7.5\n1000FF | 180 | 9\n1000FF | 160.8 | 16.08\nCLQT | 200 | 3\n");
  // Row 2: 15 + 18, 7.5 + 9, 3 + 3.6 + 0.6; row 3 counts its second-pass
  // amounts once; row 5: 80 + 40, 200 + 3, 7.5 + 0.75.
  EXPECT_EQ(p.Rows("select ysid,rgjj,fcjj,zcjj,jxjj from qfsjb order by ysid"),
            "1 | 100 | 0 | 0 | 20\n2 | 33 | 16.5 | 0 | 7.2\n3 | 13.2 | 16.08 | 0 | 0\n4 | 0 | 0 | 0 | 0\n"
            "5 | 120 | 203 | 0 | 8.25\n");
}

TEST(BasePrices, TheSingleRowFormRebuildsOnlyItsOwnRow) {
  Project p;
  p.Execute(
      "insert into zhys(ysid,sjxh,qdlb,fbcch,yssl,sjgcl,glffl,jsjs) values (5,7,3,0,4,8,0.1,'人工'),"
      "(6,8,0,0,2,2,0,null)");
  p.Execute("insert into qfsjb(ysid,rgjj,zhdj,sjgcl,dergdj) values (5,999,5,0,0),(6,50,0,2,7)");
  p.Execute("insert into qddyb(ysid,fb1,fb5,sjgcl,sjgcl_qd) values (5,10,50,8,0.5),(6,null,50,2,1)");
  p.Execute(
      "insert into gjrg(ysid,bh,dw,dj,sl,hj,ysid_gl,azfy) values (5,'R','工日',100,1,0,null,0),"
      "(5,'0000FE','%',0,10,0,6,1),(6,'R','工日',100,1,7,null,0),(6,'0000FE','%',9,10,0.9,5,0)");
  p.Execute("insert into gjcl(ysid,dw,dj,sl,hj,cldj) values (6,'t',1,1,5,3)");
  RunRow(p, 5);

  // Its own fee row, whatever its category, on its own quantity yssl 4, not
  // mapped to a bill item: labour 100 + the linked line 2.5 (row 6's rgjj
  // 50 x its quantity 2 / own 4 = 25, at 10%). The reset keeps the pass
  // mark. Row 6 is left as it was.
  EXPECT_EQ(p.Rows("select ysid,sjgcl,sjgcl_qd,qdlb,dergdj,glffl,jsjs,rgjj,zhdj from qfsjb order by ysid"),
            "5 | 4 | 0 | 3 | 0 | 0.1 | 人工 | 102.5 | 0\n6 | 2 | 0 | 0 | 7 | 0 | NULL | 50 | 0\n");
  EXPECT_EQ(p.Rows("select * from qddyb order by ysid"),
            "5 | 0 | 0 | 0 | 0 | 0 | 4 | 0\n6 | NULL | NULL | NULL | NULL | 50 | 2 | 1\n");
  EXPECT_EQ(p.Rows("select ysid,bh,dj,hj,azfy from gjrg order by ysid,bh"),
            "5 | 0000FE | 25 | 2.5 | 1\n5 | R | 100 | 100 | 0\n6 | 0000FE | 9 | 0.9 | 0\n6 | R | 100 | 7 | 0\n");
  EXPECT_EQ(p.Rows("select ysid,dj,hj,cldj from gjcl"), "6 | 1 | 5 | 3\n");
}

// The fault: one row's reset of linked percentage lines kept the material
// part, so a material line whose linked row has no fee row kept the clhj it
// had just been given as an ordinary line, dj x sl without the division by
// 100, and added that hundredfold amount to fcjj.
TEST(BasePrices, RegressionUnpricedLinkedMaterialLineAddsNothingInEitherForm) {
  Project p;
  SubItems(p, "(7,1,1)");
  p.Execute("insert into gjcl(ysid,bh,dw,chaifen,cllb,dj,sl) values (7,'C','t',0,'',10,1)");
  p.Execute(
      "insert into gjcl(ysid,bh,dw,chaifen,cllb,dj,sl,ysid_gl,cldj,clhj,azfy) values "
      "(7,'1000FE','%',0,'',30,10,999,30,3,1)");
  RunWholeProject(p);
  EXPECT_EQ(p.Rows("select dj,hj,cldj,clhj,azfy from gjcl where bh='1000FE'"), "0 | 0 | 0 | 0 | 0\n");
  EXPECT_EQ(p.Number("select fcjj from qfsjb"), 10);

  // One row: hj = 30 x 10 = 300 and the material part with it, then the
  // reset takes both back to 0 and keeps the pass mark.
  p.Execute("update gjcl set dj=30,cldj=30,clhj=3,azfy=1 where bh='1000FE'");
  RunRow(p, 7);
  EXPECT_EQ(p.Rows("select dj,hj,cldj,clhj,azfy from gjcl where bh='1000FE'"), "0 | 0 | 0 | 0 | 1\n");
  EXPECT_EQ(p.Number("select fcjj from qfsjb"), 10);
}

}  // namespace
}  // namespace quillmere
