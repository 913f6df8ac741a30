// Materials matched to the provisional-price list and to the project
// materials "within 0.01, the bound excluded": the bound is measured on the
// decimals the prices denote, and of several entries that close the closest
// wins, a tie going to the first entered.

#include "calc/resources/material_matching.h"

#include <gtest/gtest.h>

#include <string>

#include "calc/resources/bill_materials.h"
#include "db/statement.h"
#include "db/value.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// Pairs exactly 0.01 apart, on both sides of the decimal point and both ways
// round; in binary the first three lie less than 0.01 apart.
TEST(MaterialMatching, AMaterialExactlyACentFromAListEntryIsNotListed) {
  Project p;
  p.Execute("insert into qfsjb(ysid,fbcch,sjgcl) values (100,5,1),(1,0,1)");
  p.Execute("insert into qddyb(ysid,fb5,sjgcl,sjgcl_qd) values (1,100,1,1)");
  p.Execute(
      "insert into zgjclb(dw,bh,mc,ggxh,dj,iszb) select 't',* from (values "
      "('A','甲','',380.01,0),('B','乙','',0.08,0),('C','丙','',12.34,0),('D','丁','',38.19,1),('E','戊','',2.16,0),"
      "('F','己','',380.01,0),('T','庚','',50.00,0),('T','庚','',50.01,1))");
  // (ysid, bh, mc, dj, xxj, sl): C is compared at its current price 12.35.
  p.Execute(
      "insert into fxclb(dw,cllb,ysid,bh,mc,dj,xxj,sl) select 't','',* from (values "
      "(1,'A','甲',380.00,0,1),(1,'B','乙',0.07,0,1),(1,'C','丙',10,12.35,1),(1,'D','丁',38.2,0,1),"
      "(1,'E','戊',2.15,0,1),(1,'F','己',380.005,0,2),(1,'T','庚',50.005,0,1))");
  SummariseBillMaterials(p.db());
  // Only F (0.005 away) and T are listed. F: 2 x 380.005 = 760.01. T lies
  // 0.005 from both its entries: the first entered, provisional, takes it:
  // 50.005 -> 50.01. Provisional 760.01 + 50.01 = 810.02, owner-supplied 0.
  EXPECT_EQ(p.Rows("select zgjhj_qd,zgj_qd,jghj_qd from qfsjb where ysid=100"), "810.02 | 810.02 | 0\n");
}

TEST(MaterialMatching, ABillLineExactlyACentFromItsProjectMaterialTakesNoFlag) {
  Project p;
  p.Execute(
      "insert into gcclb(dw,bh,mc,dj,xz) values ('t','S','辛',380.01,1),('t','U','癸',50.00,1),('t','U','癸',50.01,0),"
      "('kg','U','癸',50.00,0)");
  // S at 380.00 is a cent away; U at 50.005 ties and takes the first line's
  // flag, in its own unit.
  p.Execute(
      "insert into qdclb(dw,ysid,bh,mc,dj,xhj) values ('t',100,'S','辛',380.00,5),('t',100,'U','癸',50.005,5),"
      "('kg',100,'U','癸',50.005,5)");
  RefreshBillMaterialSelection(p.db());
  EXPECT_EQ(p.Rows("select bh,dw,xz from qdclb order by rowid"), "S | t | NULL\nU | t | 1\nU | kg | 0\n");
}

// The statements and the in-memory marks must build an entry's name alike.
TEST(MaterialMatching, TheListedNameIsTheSameInStatementsAndInMemory) {
  Project p;
  p.Execute("insert into zgjclb(mc,ggxh) values ('钉',''),('钉','Φ8'),('钉',null),(null,'Φ8'),(null,null),('钉 ',' ')");
  Statement names(p.db().handle(), "select mc,ggxh," + ListedName("zgjclb") + " from zgjclb order by rowid");
  while (names.Step()) {
    EXPECT_EQ(ListedNameOf(names.ColumnValue(0), names.ColumnValue(1)), ToText(names.ColumnValue(2)));
  }
}

}  // namespace
}  // namespace quillmere
