// The worked example of docs/WORKED_EXAMPLE.md priced through the whole
// pipeline: every figure the document works out by hand is checked here, by
// sub-items, and what differs by bill items.

#include <gtest/gtest.h>

#include "quillmere/pipeline.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// A section, two bill items and four quota sub-items; prices from the lists.
void WriteWorkedExample(Project& p) {
  p.Execute(R"(insert into zhys (ysid,sjxh,qdlb,fbcch,bzj,zhmc,qdxh,dw,yssl,jsjs,glffl,lrfl,gzlx) values
      (1, 1,0,1,0,'道路工程',NULL,NULL,0,NULL,0,0,NULL),
      (10,2,0,5,0,'挖一般土方','040101001001','m3',200,NULL,0,0,'道路、市政排水工程'),
      (11,3,0,0,0,'挖掘机挖土方','1-2','100m3',2,'人工+机械',0.15,0.08,'道路、市政排水工程'),
      (12,4,0,0,0,'人工修整边坡','1-50','m3',200,'人工+机械',0.15,0.08,'道路、市政排水工程'),
      (20,5,0,5,0,'混凝土管铺设','040501001001','m',50,NULL,0,0,'道路、市政排水工程'),
      (21,6,0,0,0,'管道混凝土基础','6-10','m3',10,'人工+机械',0.15,0.08,'道路、市政排水工程'),
      (22,7,0,0,0,'混凝土管铺设','6-30','m',50,'人工+机械',0.15,0.08,'道路、市政排水工程'))");
  p.Execute(R"(insert into gjrg (ysid,bh,mc,dw,dj,sl) values
      (11,'R1','综合人工','工日',40,5), (12,'R1','综合人工','工日',40,0.03),
      (21,'R1','综合人工','工日',40,0.8), (22,'R1','综合人工','工日',40,0.12))");
  p.Execute(R"(insert into gjcl (ysid,clid,bh,mc,dw,dj,sl,cllb,chaifen,chaifenstyle) values
      (21,1,'C1','混凝土 C20','m3',300,1.015,'',0,0), (21,2,'C2','水','m3',4,0.5,'',0,0),
      (22,1,'C3','混凝土管 DN400','m',150,1.01,'主材',0,0))");
  p.Execute("insert into gjjx (ysid,jxid,bh,mc,dw,dj,sl) values (11,1,'J1','挖掘机','台班',800,0.25)");
  p.Execute("insert into gjjxfb (ysid,jxid,bh,mc,dw,dj,sl) values (11,1,'X1','柴油(机械用)','kg',5,50)");
  p.Execute(R"(insert into clzxj (bh,mc,dw,dj,xxdj) values ('R1','综合人工','工日',40,120),
      ('X1','柴油(机械用)','kg',5,7.5), ('C1','混凝土 C20','m3',300,360), ('C2','水','m3',4,4.5),
      ('C3','混凝土管 DN400','m',150,180))");
  p.Execute("insert into jxzxj (bh,mc,dw,dj,xxdj) values ('J1','挖掘机','台班',800,900)");
  p.Execute(R"(insert into qfblb (fymc,blsz,bllx) values ('工程量清单计价',0,2), ('人工费(分部分项)',0,2),
      ('其他项目计价',0,2), ('总工日',0,2), ('工程用水',0,2))");
  p.Execute(R"(insert into qtxm (jsxh,sjxh,xmmc,jsgs) values (1,1,'计日工','1000'), (2,2,'合计','[1]'))");
  p.Execute(R"(insert into qfjjcxb (sjxh,fymc,jsjs,fl,leixing,jsxh) values
      (1,'分部分项工程费','工程量清单计价',100,2,1), (2,'其他项目费','其他项目计价',100,2,2),
      (3,'规费','人工费(分部分项)',20,2,3), (4,'税金','[1]+[2]+[3]',9,2,4),
      (5,'工程造价','[1]+[2]+[3]+[4]',100,2,5))");
  p.Execute("insert into gcxxb (mingc,shuzhi) values ('建筑面积','1000')");
}

TEST(WorkedExample, PricedBySubItems) {
  Project p;
  WriteWorkedExample(p);
  const PipelineResult result = RunPipeline(p.orvane(), {});
  ASSERT_TRUE(result.ok()) << result.failed_stage << ": " << result.error;
  EXPECT_TRUE(p.orvane().Messages().empty());
  // Base amounts per unit of each sub-item (section 2 of the document).
  EXPECT_EQ(p.Rows("select ysid,rgjj,fcjj,zcjj,jxjj from qfsjb where fbcch=0 order by ysid"),
            "11 | 200 | 0 | 0 | 200\n12 | 1.2 | 0 | 0 | 0\n21 | 32 | 306.5 | 0 | 0\n22 | 4.8 | 0 | 151.5 | 0\n");
  // The excavator: 900 + a diesel difference of (7.5-5)*50 = 125 per shift.
  EXPECT_EQ(p.Rows("select xxj,jxcc,xxj2,xhj2 from gjjx"), "900 | 125 | 1025 | 256.25\n");
  // Current amounts and differences (section 4).
  EXPECT_EQ(p.Rows("select ysid,zrg,rgf,fcf,zcf,jxf,rgjc,fcjc,zcjc,jxjc from qfsjb where fbcch=0 order by ysid"),
            "11 | 5 | 600 | 0 | 0 | 256.25 | 400 | 0 | 0 | 56.25\n12 | 0.03 | 3.6 | 0 | 0 | 0 | 2.4 | 0 | 0 | 0\n"
            "21 | 0.8 | 96 | 367.65 | 0 | 0 | 64 | 61.15 | 0 | 0\n"
            "22 | 0.12 | 14.4 | 0 | 181.8 | 0 | 9.6 | 0 | 30.3 | 0\n");
  // Project resources (section 3).
  EXPECT_EQ(p.Rows("select mc,sl,hj,xhj from gcrgb union all select mc,sl,hj,xhj from gcjxb "
                   "union all select mc,sl,hj,xhj from gcjxfb"),
            "综合人工 | 30 | 1200 | 3600\n挖掘机 | 0.5 | 400 | 512.5\n柴油(机械用) | 25 | 125 | 187.5\n");
  EXPECT_EQ(p.Rows("select mc,sl,hj,xhj from gcclb order by mc"),
            "水 | 5 | 20 | 22.5\n混凝土 C20 | 10.15 | 3045 | 3654\n混凝土管 DN400 | 50.5 | 7575 | 9090\n");
  // The bill item's materials (section 5).
  EXPECT_EQ(
      p.Rows("select mc,sl,hj,xhj,cllb from qdclb order by cllb,mc"),
      "水 | 0.1 | 0.4 | 0.45 | 0\n混凝土 C20 | 0.203 | 60.9 | 73.08 | 0\n混凝土管 DN400 | 1.01 | 151.5 | 181.8 | 1\n");
  // Sub-items' fees and unit prices (section 6).
  EXPECT_EQ(p.Rows("select ysid,glf,lr,zhdj,zhbj from qfsjb where fbcch=0 order by ysid"),
            "11 | 128.44 | 68.5 | 1053.19 | 2106.38\n12 | 0.54 | 0.29 | 4.43 | 886\n"
            "21 | 14.4 | 7.68 | 485.73 | 4857.3\n22 | 2.16 | 1.15 | 199.51 | 9975.5\n");
  // Bill items summed per bill unit (section 7).
  EXPECT_EQ(p.Rows("select ysid,zrg,rgf,fcf,jxf,glf,lr,zcf_qd,fcf_qd,zhdj,zhbj,dergdj from qfsjb where fbcch=5 "
                   "order by ysid"),
            "10 | 0.08 | 9.6 | 0 | 2.56 | 1.82 | 0.98 | 0 | 0 | 14.96 | 2992 | 120\n"
            "20 | 0.28 | 33.6 | 73.53 | 0 | 5.04 | 2.69 | 181.8 | 73.53 | 296.66 | 14833 | 120\n");
  EXPECT_EQ(p.Rows("select mingc,shuzhi from gcxxb where mingc='总工日'"), "总工日 | 30\n");
  // Quota pricing: the section sums its sub-items.
  EXPECT_EQ(p.Rows("select sjbj from zhys where ysid=1"), "17825.18\n");
  EXPECT_EQ(p.Rows("select fymc,blsz from qfblb order by rowid"),
            "工程量清单计价 | 17825.18\n人工费(分部分项) | 3600\n其他项目计价 | 1000\n总工日 | 30\n工程用水 | 22.5\n");
  EXPECT_EQ(p.Rows("select sjxh,jsjsje,jsjg from qfjjcxb where leixing=2 order by jsxh"),
            "1 | 17825.18 | 17825.18\n2 | 1000 | 1000\n3 | 3600 | 720\n4 | 19545.18 | 1759.07\n"
            "5 | 21304.25 | 21304.25\n");
  EXPECT_EQ(result.project_cost, 21304.25);
  EXPECT_EQ(result.cost_per_area, 21.3);
  EXPECT_EQ(result.labour_days, 30);
  EXPECT_EQ(p.Rows("select mingc,shuzhi from gcxxb where mingc in ('工程造价','经济指标') order by mingc"),
            "工程造价 | 21304.25\n经济指标 | 21.3\n");

  // Bill pricing: the section sums its bill items; the twenty cents of
  // rounding reach the project cost.
  PipelineOptions by_bill_items;
  by_bill_items.bill_pricing = true;
  ASSERT_EQ(RunPipeline(p.orvane(), by_bill_items).project_cost, 21304.05);
  EXPECT_EQ(p.Rows("select sjxh,jsjsje,jsjg from qfjjcxb where leixing=2 order by jsxh"),
            "1 | 17825 | 17825\n2 | 1000 | 1000\n3 | 3600 | 720\n4 | 19545 | 1759.05\n5 | 21304.05 | 21304.05\n");
}

}  // namespace
}  // namespace quillmere
