// The fee programme's formulas with the operators ^, \ and Mod: the same
// value the project totals' evaluator gives (quillmere eval), with the
// dialect's precedence, in the whole-project, single-row and bill-item
// pricing alike. Hostile programmes: formulas that would read the schema or
// call other functions, fee codes naming the fee rows' own columns, and the
// step limit on statements built from stored text.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/decimal.h"
#include "calc/scope.h"
#include "calc/unitprice/unit_prices.h"
#include "db/step_limit.h"
#include "db/transaction.h"
#include "quillmere/formula.h"
#include "quillmere/pipeline.h"
#include "quillmere/project.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// One programme line each, F1 to F8 at rate 100. With rgf 100.5 and jxf 2.5:
// 10100.25; -(2.5^2) = -6.25; 100 \ 3 = 33 (100.5 rounds to even 100);
// 100 Mod 14 = 2; (2^3)^2 = 64; 100.5 - ((2 \ 4) Mod 3) = 100.5;
// 103 Mod 4 + 0.5 = 3.5; 100 \ 6 + 7 Mod 8 = 23.
const std::vector<std::string> kFormulas = {"rgf^2",
                                            "-jxf^2",
                                            "rgf\\3",
                                            "rgf Mod 7 * 2",
                                            "2^3^2",
                                            "rgf - jxf \\ 2 ^ 2 Mod 3",
                                            "(rgf+jxf) Mod 4 + 2^-1",
                                            "rgf \\ 2 * 3 + 7 mod 4 * 2"};

class FeeProgrammeOperators : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::string> codes;
    for (size_t i = 1; i <= kFormulas.size(); ++i) {
      const std::string code = "F" + std::to_string(i);
      codes.push_back(code);
      p.Insert("qfjjcxb", {{"sjxh", static_cast<int>(i)},
                           {"jsxh", static_cast<int>(i)},
                           {"fycode", code},
                           {"sjgs", kFormulas[i - 1]},
                           {"leixing", 1}});
    }
    AddFeeCodeColumns(p.db(), codes);
    p.Execute("insert into zhys (ysid,fbcch,yssl,jsjs) values (10,5,1,'人工+机械'),(11,0,1,null)");
    p.Execute(
        "insert into qfsjb (ysid,fbcch,jsjs,sjgcl,sjgcl_qd,rgf,jxf) values (10,5,null,1,0,0,0),"
        "(11,0,'人工+机械',1,1,100.5,2.5)");
    p.Execute("insert into qddyb (ysid,fb5,sjgcl,sjgcl_qd) values (11,10,1,1)");
    for (const std::string& code : codes) {
      p.Execute("insert into temp_zhys (ysid) select 11 where not exists (select 1 from temp_zhys)");
      p.Execute("update temp_zhys set " + code + "_FL=100");
    }
  }

  // The fees of `ysid` in the working rows, and what quillmere eval gives each
  // formula on that row's rgf and jxf (sub-items round it to cents).
  void ExpectEvaluatorValues(int ysid) {
    const double rgf = p.Number("select rgf from temp_qfsjb where ysid=" + std::to_string(ysid));
    const double jxf = p.Number("select jxf from temp_qfsjb where ysid=" + std::to_string(ysid));
    for (size_t i = 0; i < kFormulas.size(); ++i) {
      const FeeFormulaValue eval = EvaluateFeeFormula(kFormulas[i], {{"rgf", rgf}, {"jxf", jxf}});
      ASSERT_EQ(eval.error, "") << kFormulas[i];
      const double expected = ysid == 11 ? RoundDecimal(eval.value, 2) : eval.value;
      EXPECT_EQ(p.Number("select F" + std::to_string(i + 1) + " from temp_qfsjb where ysid=" + std::to_string(ysid)),
                expected)
          << kFormulas[i] << " on rgf " << rgf << ", jxf " << jxf;
    }
  }

  Project p;
};

TEST_F(FeeProgrammeOperators, GiveTheEvaluatorsValueInEveryFormOfPricing) {
  ASSERT_EQ(p.orvane().JiSuanZHDJ_QB("清单计价法", true), "");
  EXPECT_EQ(p.Rows("select F1,F2,F3,F4,F5,F6,F7,F8 from temp_qfsjb where ysid=11"),
            "10100.25 | -6.25 | 33 | 2 | 64 | 100.5 | 3.5 | 23\n");
  ExpectEvaluatorValues(11);
  ExpectEvaluatorValues(10);

  // One row again, on other amounts; then the bill item on demand.
  p.Execute("update qfsjb set rgf=-7.5,jxf=3.5 where ysid=11");
  ComputeUnitPrices(p.db(), Scope::Row(11), "", true);
  ExpectEvaluatorValues(11);
  double zgj = 0;
  p.orvane().JiSuanQDDJ(10, "11", false, zgj, true);
  ASSERT_TRUE(p.orvane().Messages().empty());
  EXPECT_EQ(p.Number("select rgf from temp_qfsjb where ysid=10"), -7.5);
  ExpectEvaluatorValues(10);
}

TEST_F(FeeProgrammeOperators, ADivisionByZeroStopsThePricingAndAnOperatorNeedsItsOperands) {
  p.Execute("update qfjjcxb set sjgs='rgf Mod (jxf-2.5)' where fycode='F3'");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanZHDJ_QB("清单计价法", true); }), "Division by zero");
  p.Execute("update qfjjcxb set sjgs='rgf ^' where fycode='F3'");
  EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanZHDJ_QB("清单计价法", true); }),
            "the formula of the fee programme line 3 \"F3\" is not a fee formula: \"^\" lacks an operand");
}

TEST_F(FeeProgrammeOperators, FormulasReadingTheSchemaOrCallingOtherFunctionsAreRefused) {
  const std::string kRefused = "the formula of the fee programme line 3 \"F3\" is not a fee formula: ";
  const std::string deep = std::string(1001, '(') + "rgf" + std::string(1001, ')');
  const struct {
    const char* formula;
    std::string error;
  } cases[] = {
      {"(select count(*) from sqlite_schema)", kRefused + "\"select\" is no column of the fee rows and no fee code"},
      {"length(randomblob(1000))", kRefused + "\"length\" is not a function of fee formulas"},
      // With three arguments format would be SQLite's printf.
      {"format(rgf,'0.##','x')", kRefused + "\"format\" takes 2 arguments, not 3"},
      {deep.c_str(), kRefused + "it nests deeper than 1000 levels"},
  };
  for (const auto& c : cases) {
    p.db().Execute("update qfjjcxb set sjgs=? where fycode='F3'", {std::string(c.formula)});
    EXPECT_EQ(p.Unchanged([&] { return p.orvane().JiSuanZHDJ_QB("清单计价法", true); }), c.error) << c.formula;
  }
  // A quote inside a text of the formula stays in the text.
  p.db().Execute("update qfjjcxb set sjgs=? where fycode='F3'", {std::string(R"(iif("'"="'",rgf,0))")});
  ASSERT_EQ(p.orvane().JiSuanZHDJ_QB("清单计价法", true), "");
  EXPECT_EQ(p.Number("select F3 from temp_qfsjb where ysid=11"), 100.5);
}

TEST(FeeProgrammeCodes, ACodeNamingTheFeeRowsOwnColumnIsRefusedBeforeAnythingIsWritten) {
  Project p;
  p.FeeLine(1, "YSID", "1");
  PipelineOptions options;
  options.fee_programme = true;
  const PipelineResult result = RunPipeline(p.orvane(), options);
  EXPECT_EQ(result.failed_stage, "fee programme columns");
  EXPECT_EQ(result.error,
            "the fee code of the fee programme line 9 \"YSID\" names the fee rows' column ysid, which holds no fee");
  EXPECT_EQ(p.Number("select count(*) from pragma_table_info('temp_zhys') where name like 'ysid_fl'"), 0);
}

TEST(StepLimit, StopsAStatementRunningPastItAndTheTransactionRollsBack) {
  Project p;
  p.Execute("insert into zhys(ysid,yssl) values (1,2)");
  // A million rows counted one by one, far past 100,000 steps.
  const std::string kCount =
      "update zhys set yssl=(with recursive r(x) as (select 1 union all select x+1 from r where x<1000000) "
      "select max(x) from r)";
  const std::string stopped = p.Unchanged([&] {
    Transaction transaction(p.db());
    p.Execute("update zhys set sjgcl=3");
    try {
      StepLimit(p.db(), 100'000).Run("the fee programme line 3 \"F3\"", [&] { p.Execute(kCount); });
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string();
  });
  EXPECT_EQ(stopped, "the fee programme line 3 \"F3\" stopped: the statement ran past its step limit");
}

}  // namespace
}  // namespace quillmere
