// The SQL functions the statements and the stored fee formulas rely on:
// format's decimal rounding, the desktop dialect's isnull, int, fix, sgn, sqr
// and round, and a sum that keeps amounts in cents exact.

#include <gtest/gtest.h>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

TEST(SqlFunctions, FormatRoundsTheVisibleDecimalHalfAwayFromZeroToANumber) {
  Project p;
  // 2.675 is stored as 2.67499999...; a person reads 2.675. The pattern's
  // places are the decimals kept.
  EXPECT_EQ(p.Rows("select format(2.125,'0.##'), format(-2.125,'0.##'), format(2.675,'0.00'), "
                   "format(0.66665,'0.####'), format(1.23456789,'0.######'), typeof(format(3,'0.##'))"),
            "2.13 | -2.13 | 2.68 | 0.6667 | 1.234568 | real\n");
  // A null stays null and a numeric text is its number; anything else fails.
  EXPECT_EQ(p.Rows("select format(null,'0.##') is null, format('2.125','0.##')"), "1 | 2.13\n");
  EXPECT_THROW(p.Execute("select format('abc','0.##')"), Error);
  EXPECT_THROW(p.Execute("select format(1,'#,##0')"), Error);
}

TEST(SqlFunctions, TheDesktopDialectsFunctions) {
  Project p;
  // isnull is a keyword of SQLite: formulas reach the function as [isnull](x).
  // int floors, fix truncates, round goes half to even.
  EXPECT_EQ(p.Rows("select [isnull](null), [isnull](0), int(-1.5), fix(-1.5), sgn(-3), sgn(0), sqr(9), round(2.5), "
                   "round(2.125,2), round(2.135,2)"),
            "1 | 0 | -2 | -1 | -1 | 0 | 3 | 2 | 2.12 | 2.14\n");
  EXPECT_THROW(p.Execute("select sqr(-1)"), Error);
  // Places far beyond a double's digits leave the value as it is; negative
  // places are the dialect's invalid call.
  EXPECT_EQ(p.Rows("select round(2.125, 2147483647), round(2.125, 1e300), round(2.125, 1.6)"), "2.125 | 2.125 | 2.12\n");
  EXPECT_THROW(p.Execute("select round(2.125, -1)"), Error);
}

TEST(SqlFunctions, SumKeepsAmountsInCentsExactAndWholeNumbersWhole) {
  Project p;
  // 100,000 amounts of 0.1 added one by one drift to 10000.000000018848.
  p.Execute(
      "create table amounts as with recursive n(i) as (select 1 union all select i+1 from n where i<100000) "
      "select 0.1 as je, i from n");
  EXPECT_EQ(p.Number("select sum(je) from amounts"), 10000);
  // Whole numbers sum to a whole number, and nothing sums to null.
  EXPECT_EQ(p.Rows("select typeof(sum(i)), (select sum(je) from amounts where i<0) is null from amounts"),
            "integer | 1\n");
}

}  // namespace
}  // namespace quillmere
