// The SQL features the calculation statements rely on, as they hold on our
// SQLite translation of the desktop-database dialect: joins in updates,
// create-by-query, formatting, conditionals, nulls and booleans.

#include <gtest/gtest.h>

#include "db/tables.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

class SqlTranslation : public ::testing::Test {
 protected:
  Project p;
  std::string Eval(const std::string& expression) { return p.Rows("select " + expression); }
};

TEST_F(SqlTranslation, UpdateThroughJoinTouchesOnlyJoinedRowsAndReadsBothSides) {
  p.Execute("insert into zhys(ysid,sjgcl) values (1,5),(2,7)")
      .Execute("insert into qddyb(ysid,sjgcl) values (1,0),(3,9)");
  // update qddyb inner join zhys on qddyb.ysid=zhys.ysid set qddyb.sjgcl=zhys.sjgcl,qddyb.sjgcl_qd=-999999
  p.Execute("update qddyb set sjgcl=zhys.sjgcl,sjgcl_qd=-999999 from zhys where qddyb.ysid=zhys.ysid");
  EXPECT_EQ(p.Rows("select ysid,sjgcl,sjgcl_qd from qddyb order by ysid"), "1 | 5 | -999999\n3 | 9 | 0\n");
}

TEST_F(SqlTranslation, NestedJoinsAliasesAndConditionsBeyondEquality) {
  p.Execute("insert into gjrg(ysid,ysid_gl,dj) values (10,20,0),(11,99,0)");
  p.Execute("insert into qfsjb(ysid,rgjj,sjgcl) values (20,80,3)");
  p.Execute("insert into qddyb(ysid,sjgcl) values (10,0),(11,2)");
  // update (gjrg inner join qfsjb on ...) inner join qddyb on ... : only row 10 has both partners.
  p.Execute(
      "update gjrg set dj=format(qfsjb.rgjj*qfsjb.sjgcl/iif(qddyb.sjgcl=0,1,qddyb.sjgcl),'0.##') "
      "from qfsjb, qddyb where gjrg.ysid_gl=qfsjb.ysid and gjrg.ysid=qddyb.ysid");
  EXPECT_EQ(p.Rows("select ysid,dj from gjrg order by ysid"), "10 | 240\n11 | 0\n");

  // Aliases with and without AS, and a tolerance join.
  p.Execute("insert into qdclb(ysid,bh,mc,dw,dj) values (1,'A','m','t',10.005)");
  p.Execute("insert into gcclb(bh,mc,dw,dj,xz) values ('A','m','t',10,0)");
  p.Execute("update qdclb as a set xz=b.xz from gcclb b where a.bh=b.bh and a.mc=b.mc and abs(a.dj-b.dj)<0.01");
  EXPECT_EQ(p.Rows("select xz from qdclb"), "0\n");
}

TEST_F(SqlTranslation, CreateByQueryAndDropFailWhenTheTableIsThereOrNot) {
  p.Insert("qfsjb", {{"ysid", 1}, {"rgjj", 2.0}});
  const char* create = "create table desjb as select ysid,sum(rgjj) as rgjj from qfsjb group by ysid";
  p.Execute(create);
  EXPECT_EQ(p.Rows("select * from desjb"), "1 | 2\n");
  EXPECT_THROW(p.Execute(create), Error);
  p.Execute("drop table desjb");
  try {
    p.Execute("drop table desjb");
    FAIL() << "dropping a missing table must fail";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "no such table: desjb");
  }
}

TEST_F(SqlTranslation, InsertFromQueryCopiesEveryColumnOfTheFeeRows) {
  p.Execute("insert into linshib(ysid,shuzhi1) values (1,1)");
  p.Execute("insert into mbgjb(ysid,ysid_gl,gcl) values (4,0,1.5),(4,2,2)");
  p.Execute("insert into linshib(ysid,shuzhi1) select ysid,sum(gcl) from mbgjb where ysid_gl>=0 group by ysid");
  EXPECT_EQ(p.Rows("select ysid,shuzhi1 from linshib order by ysid"), "1 | 1\n4 | 3.5\n");

  p.db().Execute("alter table temp_qfsjb add column AQWM real default 0");
  p.Insert("qfsjb", {{"sjxh", 3.0}, {"ysid", 7}, {"jsjs", "人工"}, {"zhdj", 12.5}, {"jghj_qd", 1.25}});
  InsertAllColumns(p.db(), "temp_qfsjb", "qfsjb");
  EXPECT_EQ(p.Rows("select sjxh,ysid,jsjs,zhdj,jghj_qd,AQWM from temp_qfsjb"), "3 | 7 | 人工 | 12.5 | 1.25 | 0\n");
}

TEST_F(SqlTranslation, AddAndDropAColumnAndBracketedNames) {
  p.Insert("fxclb", {{"ysid", 1}, {"sl", 2.0}});
  p.Execute("alter table fxclb add column cllb1 text");
  p.Execute("alter table fxclb add column sl1 real");
  p.Execute("update fxclb set [sl1]=[sl]*3");
  EXPECT_EQ(p.Rows("select [sl1] from fxclb"), "6\n");
  p.Execute("alter table fxclb drop column sl1");
  p.Execute("alter table fxclb drop column cllb1");
  EXPECT_THROW(p.Execute("select sl1 from fxclb"), Error);
}

TEST_F(SqlTranslation, FormatRoundsTheVisibleDecimalHalfAwayFromZero) {
  EXPECT_EQ(Eval("format(3,'0.##'), typeof(format(3,'0.##'))"), "3 | real\n");
  EXPECT_EQ(Eval("format(2.125,'0.##'), format(-2.125,'0.##'), format(2.675,'0.00')"), "2.13 | -2.13 | 2.68\n");
  EXPECT_EQ(Eval("format(0.66665,'0.####'), format(1.23456789,'0.######')"), "0.6667 | 1.234568\n");
  EXPECT_EQ(Eval("format(null,'0.##') is null, format('2.125','0.##')"), "1 | 2.13\n");
  EXPECT_THROW(p.Execute("select format('abc','0.##')"), Error);
  EXPECT_THROW(p.Execute("select format(1,'#,##0')"), Error);
  // Stored in a number column, the formatted value is the rounded number.
  p.Insert("gjrg", {{"ysid", 1}, {"dj", 1.005}, {"sl", 3.0}});
  p.Execute("update gjrg set hj=format(dj*sl,'0.##')");
  EXPECT_EQ(p.Rows("select hj from gjrg"), "3.02\n");  // 3.015 -> 3.02
}

TEST_F(SqlTranslation, ConditionalsNullTestsAndTextJoining) {
  EXPECT_EQ(Eval("iif(null,1,2), iif(1=1,1,2), iif(0,1,2)"), "2 | 1 | 2\n");
  // isnull is a keyword of SQLite: statements write "x is null"; formulas can
  // reach the registered function as [isnull](x).
  EXPECT_EQ(Eval("null is null, [isnull](null), [isnull](0), [isnull]('')"), "1 | 1 | 0 | 0\n");
  // a & b: a null counts as the empty text.
  EXPECT_EQ(Eval("ifnull('钢筋','')||ifnull(iif(''='','',' '||'φ12'),'')"), "钢筋\n");
  EXPECT_EQ(Eval("ifnull('钢筋','')||ifnull(iif('φ12'='','',' '||'φ12'),'')"), "钢筋 φ12\n");
  EXPECT_EQ(Eval("ifnull(null,'')||ifnull('x','')"), "x\n");
  // a + b on texts: a null makes the whole text null.
  EXPECT_EQ(Eval("trim('m'||' '||null) is null"), "1\n");
  EXPECT_EQ(Eval("abs(-2.5)"), "2.5\n");
}

TEST_F(SqlTranslation, SumsListsBooleansAndNullArithmetic) {
  p.Execute("insert into qfsjb(ysid,rgf,sjgcl_qd) values (1,1.005,1),(2,2.005,1),(3,null,1)");
  // sum ignores nulls and adds the formatted values: 1.01 + 2.01 (not 3.01).
  EXPECT_EQ(p.Rows("select sum(format(rgf*sjgcl_qd,'0.##')) from qfsjb"), "3.02\n");
  EXPECT_EQ(p.Rows("select count(*) from qfsjb where ysid in (1,3)"), "2\n");
  EXPECT_EQ(p.Rows("select sum(rgf) is null, sum(ysid), typeof(sum(ysid)) from qfsjb where ysid>5"),
            "1 | NULL | null\n");
  EXPECT_EQ(p.Rows("select sum(ysid), typeof(sum(ysid)) from qfsjb"), "6 | integer\n");

  p.Execute("insert into zhys(ysid,bzj) values (1,1),(2,0),(3,null)");
  EXPECT_EQ(p.Rows("select ysid from zhys where bzj=true"), "1\n");
  EXPECT_EQ(p.Rows("select ysid from zhys where bzj=false"), "2\n");
  EXPECT_EQ(p.Rows("select ysid from zhys where bzj=false or bzj is null order by ysid"), "2\n3\n");
  EXPECT_EQ(Eval("null+1 is null, (null=null) is null"), "1 | 1\n");
  // Whole numbers stored in number columns still divide as reals.
  p.Execute("insert into gjrg(ysid,dj,sl) values (1,7,2)");
  EXPECT_EQ(p.Rows("select dj/sl, sl/100 from gjrg"), "3.5 | 0.02\n");
}

TEST_F(SqlTranslation, SumsOfManyAmountsInCentsStayExact) {
  // 100,000 amounts of 0.1: adding binary 0.1 one by one drifts to
  // 10000.000000018848; the total a person expects is 10000.
  p.Execute(
      "create table amounts as with recursive n(i) as (select 1 union all select i+1 from n where i<100000) "
      "select 0.1 as je from n");
  EXPECT_EQ(p.Rows("select sum(je) from amounts"), "10000\n");
  EXPECT_EQ(p.Number("select sum(je) from amounts"), 10000);
}

TEST_F(SqlTranslation, JetFunctionsFormulasMayUse) {
  EXPECT_EQ(Eval("int(-1.5), fix(-1.5), sgn(-3), sgn(0), sqr(9)"), "-2 | -1 | -1 | 0 | 3\n");
  EXPECT_EQ(Eval("round(2.5), round(2.125,2), round(2.135,2)"), "2 | 2.12 | 2.14\n");
  EXPECT_THROW(p.Execute("select sqr(-1)"), Error);
}

TEST_F(SqlTranslation, OneStatementPerCallAndNoComments) {
  p.Execute("update zhys set sjdj=1;");
  p.Execute("update zhys set zhmc='a -- b; c'");
  EXPECT_THROW(p.Execute("update zhys set sjdj=1; drop table qfsjb"), Error);
  EXPECT_THROW(p.Execute("update zhys set sjdj=1 -- where ysid=1"), Error);
  EXPECT_THROW(p.Execute("update zhys set sjdj=1 /* x */"), Error);
  EXPECT_THROW(p.Execute("update zhys set sjdj=1;;select 1"), Error);
  p.Execute("create trigger t after update on zhys begin select 1; select 2; end");
  EXPECT_NE(p.Rows("select name from sqlite_schema where name='qfsjb'"), "");
}

}  // namespace
}  // namespace quillmere
