// Resource aggregation: analysis lines per estimate row, project resource
// tables, machine quantities, list marks.

#include "calc/resources/aggregation.h"

#include <gtest/gtest.h>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

void Aggregate(Project& p) { AggregateResources(p.db(), Scope::WholeProject()); }

TEST(Aggregation, LabourLinesMergeOnEqualPricesAndStayApartOnAnotherCurrentPrice) {
  Project p;
  p.Execute("insert into zhys(ysid,qdlb,sjgcl) values (1,0,3)");
  p.Execute(
      "insert into gjrg(ysid,bh,mc,dw,dj,xxj,sl) values "
      "(1,'R1','普工','工日',50,80,0.1),(1,'R1','普工','工日',50,80,0.2),(1,'R1','普工','工日',50,80,0.3),"
      "(1,'R1','普工','工日',50,90,0.1),(1,'QT',null,'%',100,0,5),(1,'A1','杂工','工日',40,0,1)");
  Aggregate(p);
  // Row: 0.1+0.2+0.3 = 0.6, hj 50*0.6 = 30, xhj 80*0.6 = 48; apart 50*0.1 = 5,
  // 90*0.1 = 9. Project, times sjgcl 3: 1.8 (90, 144) and 0.3 (15, 27).
  EXPECT_EQ(p.Rows("select 'fx',bh,dj,xxj,sl,hj,xhj from fxrgb where bh='R1' union all "
                   "select 'gc',bh,dj,xxj,sl,hj,xhj from gcrgb where bh='R1' order by 1,4"),
            "fx | R1 | 50 | 80 | 0.6 | 30 | 48\nfx | R1 | 50 | 90 | 0.1 | 5 | 9\n"
            "gc | R1 | 50 | 80 | 1.8 | 90 | 144\ngc | R1 | 50 | 90 | 0.3 | 15 | 27\n");
  // The quantities add without binary drift (0.1+0.2+0.3 is 0.6 to the last
  // bit), and the lines stand in key order, code first.
  EXPECT_EQ(p.Rows("select bh,xxj,sl=0.6 from fxrgb order by rowid"), "A1 | 0 | 0\nR1 | 80 | 1\nR1 | 90 | 0\n");
  EXPECT_EQ(p.Rows("select bh from gcrgb order by rowid"), "A1\nR1\nR1\n");
  EXPECT_EQ(p.Rows("select count(*) from fxrgb1"), "0\n");
}

TEST(Aggregation, SplitMaterialsEnterThroughTheirComponentsAndClassesBecomeOrdinary) {
  Project p;
  p.Execute("insert into zhys(ysid,qdlb,sjgcl) values (1,0,1)");
  // M1 plain; S1, S2 style 1; S3 style 2; S4 style 3 with its own labour,
  // materials (one split) and machine; S5 split flag unknown: neither itself
  // nor its components. K1 in four classes.
  p.Execute(
      "insert into gjcl(ysid,clid,bh,dw,dj,sl,chaifen,cllb) values (1,1,'M1','m3',80,2,0,''),(1,2,'S1','m3',80,2,1,''),"
      "(1,3,'S2','m3',80,3,1,''),(1,4,'S3','m3',80,1.5,1,''),(1,5,'S4','m3',80,2,1,''),(1,6,'S5','m3',80,1,null,''),"
      "(1,8,'QC','%',0,1,0,''),(1,9,'K1','t',5,1,0,'辅材'),(1,9,'K1','t',5,2,0,''),(1,9,'K1','t',5,4,0,'主材'),"
      "(1,9,'K1','t',5,8,0,null),(1,9,'K1','t',5,16,0,'周转材')");
  p.Execute("insert into gjpbf(ysid,clid,bh,dj,sl) values (1,2,'P1',300,0.33335),(1,3,'P2',5,0.33335),(1,6,'P3',0,1)");
  p.Execute("insert into gjlpjb(ysid,clid,bh,dj,sl) values (1,4,'L1',4,2)");
  p.Execute("insert into ftrg(ysid,clid_src,bh,dj,sl) values (1,5,'FR',60,0.5)");
  p.Execute("insert into ftcl(ysid,clid_src,clid,chaifen,bh,sl) values (1,5,51,0,'FC',1.25),(1,5,52,1,'FS',3)");
  p.Execute("insert into ftpbf(ysid,clid_src,clid,bh,sl) values (1,5,52,'FP',0.1),(1,5,51,'FX',9)");
  p.Execute("insert into ftjx(ysid,clid_src,jxid,bh,dj,xxj2,sl) values (1,5,7,'FJ',100,110,0.2)");
  p.Execute("insert into ftjxfb(ysid,clid_src,jxid,bh,dj,xxj,sl) values (1,5,7,'FE',1,1.2,4)");
  Aggregate(p);
  // FC 1.25*2 = 2.5; FP 0.1*3*2 = 0.6; L1 2*1.5 = 3; P1 0.33335*2 = 0.6667;
  // P2 0.33335*3 = 1.00005, four decimals half away from zero: 1.0001.
  // K1: 辅材, 周转材 and '' merge (1+2+16); a null class is no class text and
  // stays apart.
  EXPECT_EQ(p.Rows("select bh,sl,quote(cllb) from fxclb order by bh,sl"),
            "FC | 2.5 | ''\nFP | 0.6 | ''\nK1 | 4 | '主材'\nK1 | 8 | NULL\nK1 | 19 | ''\nL1 | 3 | ''\nM1 | 2 | ''\n"
            "P1 | 0.6667 | ''\nP2 | 1.0001 | ''\n");
  EXPECT_EQ(p.Rows("select quote(cllb) from gjcl where bh='K1' order by sl"), "''\n''\n'主材'\nNULL\n''\n");
  // Labour 0.5*2; machine 0.2*2 at its price with consumption; item 4*0.2*2 =
  // 1.6, hj 1.6, jchj (1.2-1)*1.6 = 0.32.
  EXPECT_EQ(p.Rows("select bh,xxj,sl,null from fxrgb union all select bh,xxj,sl,null from fxjxb union all "
                   "select bh,hj,sl,jchj from fxjxfb"),
            "FR | 0 | 1 | NULL\nFJ | 110 | 0.4 | NULL\nFE | 1.6 | 1.6 | 0.32\n");
}

TEST(Aggregation, ProjectTablesCountPricedRowsAndMachinesAtTheirOwnPrice) {
  Project p;
  p.Execute("insert into zhys(ysid,qdlb,sjgcl) values (1,0,4),(2,1,2),(3,3,10),(4,0,0)");
  p.Execute("insert into gjrg(ysid,bh,dw,dj,sl) select ysid,'R1','工日',50,1.5 from zhys");
  p.Execute("insert into gjrg(ysid,bh,dw,dj,sl) values (4,'R9','工日',50,1)");  // only where nothing is priced
  p.Execute("insert into gjjx(ysid,jxid,bh,dw,dj,xxj,xxj2,sl) select ysid,1,'J1','台班',100,120,125,0.5 from zhys");
  p.Execute("insert into gjjx(ysid,jxid,bh,dw,dj,sl) values (1,3,'J2','台班',10.005,0.333)");
  p.Execute("insert into gjjxfb(ysid,jxid,bh,dj,xxj,sl) values (1,1,'E1',1,1.5,10)");
  p.Execute("insert into gjcl(ysid,clid,bh,chaifen,sl) values (1,9,'S1',1,2)");
  p.Execute("insert into ftjx(ysid,clid_src,jxid,bh,dj,xxj2,sl) values (1,9,2,'FJ',50,55,0.2)");
  Aggregate(p);
  // Every row has its analysis line; the project counts rows 1 and 2 only
  // (row 3 is left out, row 4 has no quantity): 1.5*4 + 1.5*2 = 9, 50*9 = 450.
  EXPECT_EQ(p.Rows("select ysid,bh,sl from fxrgb order by ysid,bh"),
            "1 | R1 | 1.5\n2 | R1 | 1.5\n3 | R1 | 1.5\n4 | R1 | 1.5\n4 | R9 | 1\n");
  EXPECT_EQ(p.Rows("select bh,sl,hj,xhj from gcrgb"), "R1 | 9 | 450 | 450\n");
  // jxtcb at the machine's own xxj: J1 0.5*4 + 0.5*2 = 3 (hj 300, xhj 120*3 =
  // 360); FJ 0.2*2*4 = 1.6 without a current price (80); J2 0.333*4 = 1.332
  // to four decimals, 10.005*1.332 = 13.32666 -> 13.33. gcjxb at xxj2: J1 125*3 = 375; FJ 0.4 per unit
  // *4 = 1.6, 55*1.6 = 88; J2 as in jxtcb.
  EXPECT_EQ(
      p.Rows("select 'tc',bh,dj,xxj,sl,hj,xhj from jxtcb union all "
             "select 'gc',bh,dj,xxj,sl,hj,xhj from gcjxb order by 1,2"),
      "gc | FJ | 50 | 55 | 1.6 | 80 | 88\ngc | J1 | 100 | 125 | 3 | 300 | 375\ngc | J2 | 10.005 | 0 | 1.332 | 13.33 "
      "| 13.33\n"
      "tc | FJ | 50 | 0 | 1.6 | 80 | 80\ntc | J1 | 100 | 120 | 3 | 300 | 360\ntc | J2 | 10.005 | 0 | 1.332 | 13.33 | "
      "13.33\n");
  // Consumption: 10*0.5 = 5 per unit, jchj (1.5-1)*5 = 2.5; project 5*4 = 20, xhj 30.
  EXPECT_EQ(p.Rows("select sl,hj,jchj from fxjxfb union all select sl,hj,xhj from gcjxfb"),
            "5 | 5 | 2.5\n20 | 20 | 30\n");
}

TEST(Aggregation, ListedMaterialsAreMarkedByNameGradeAndEffectivePrice) {
  Project p;
  p.Execute("insert into zhys(ysid,qdlb,sjgcl) values (1,0,2),(2,0,1),(3,0,1)");
  p.Execute(
      "insert into gjcl(ysid,bh,mc,dw,dj,xxj,sl,chaifen,cllb,tzbz) values (1,'C1','钢筋 "
      "Φ12','t',3500,4000,0.1,0,'','x'),"
      "(1,'C2','水泥','t',400,0,0.5,0,'','x'),(1,'C3','砂','t',80,0,1,0,'','x'),(1,'C4','石子','t',60,65,1,0,'','x'),"
      "(2,'C5','钢筋','t',10,0,3,0,'','x'),(3,'C5','钢筋','t',8,10,5,0,'','x'),"
      "(1,'D1','钢筋','t',10.008,0,1,0,'',''),(1,'D1','钢筋','t',9.999,0,1,0,'',null),(1,'D2','水泥','t',5,0,1,0,'','x'"
      ")");
  p.Execute(
      "insert into zgjclb(bh,mc,ggxh,dw,dj,iszb,sl,hj) values "
      "('C1','钢筋','Φ12','t',4000,0,9,9),"  // the current price is the effective one
      "('C2','水泥','','t',400,1,9,9),"      // owner-supplied ...
      "('C2','水泥','','t',400,0,9,9),"      // ... and provisional: owner-supplied wins on the sub-item
      "('C3','砂',null,'t',80,null,9,9),"    // a null ggxh expects "砂 "
      "('C4','石子','','t',60,0,9,9),"       // effective price 65, not 60
      "('C5','钢筋','','t',10,null,9,9)");   // matches two project lines
  p.Execute(
      "insert into clxzb(bh,mc,dw,dj,xz) values ('C2','水泥','t',400,0),('C5','钢筋','t',10,0),('C5','钢筋','t',10,1),"
      "('D1','钢筋','t',10.008,0)");
  p.Execute(
      "insert into qdclb(ysid,bh,mc,dw,dj,xhj,xz) values "
      "(100,'D1','钢筋','t',10,5,null),"       // within 0.01 of both; 9.999 (selected) is closer
      "(100,'D1','钢筋','t',10.0085,5,null),"  // within 0.01 of both; 10.008 (unselected) is closer
      "(100,'D2','水泥','t',5,0,null),"        // selected material, but no current amount
      "(100,'D2','水泥','t',5.5,3,null)");     // no project material that close: untouched
  Aggregate(p);
  // C5 at 8 (current price 10) has no selection entry; at 10 the first entry decides.
  EXPECT_EQ(p.Rows("select bh,dj,zgj,jg,xz from gcclb order by bh,dj"),
            "C1 | 3500 | 1 | 0 | 1\nC2 | 400 | 1 | 1 | 0\nC3 | 80 | 0 | 0 | 1\nC4 | 60 | 0 | 0 | 1\n"
            "C5 | 8 | 1 | 0 | 1\nC5 | 10 | 1 | 0 | 0\nD1 | 9.999 | 0 | 0 | 1\nD1 | 10.008 | 0 | 0 | 0\n"
            "D2 | 5 | 0 | 0 | 1\n");
  // Every other material loses its mark, those of codes the list lacks too.
  EXPECT_EQ(p.Rows("select bh,tzbz from gjcl where tzbz is not '' order by rowid"),
            "C1 | 暂估\nC2 | 甲供\nC5 | 暂估\nC5 | 暂估\n");
  // Project quantities: C1 0.1*2 = 0.2 at 4000 = 800; C2 0.5*2 = 1 at 400;
  // C5 takes the line of the lowest base price: sl 5, 10*5 = 50.
  EXPECT_EQ(p.Rows("select bh,sl,hj from zgjclb order by rowid"),
            "C1 | 0.2 | 800\nC2 | 1 | 400\nC2 | 1 | 400\nC3 | 0 | 0\nC4 | 0 | 0\nC5 | 5 | 50\n");
  EXPECT_EQ(p.Rows("select xz from qdclb order by rowid"), "1\n0\n0\nNULL\n");
}

}  // namespace
}  // namespace quillmere
