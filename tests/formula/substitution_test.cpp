// Fee variables and bracketed line references substituted into formulas: the
// line-number scan, the replacement rules and the mended fault of a negative
// value under a power.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/decimal.h"
#include "formula/formula.h"

namespace quillmere {
namespace {

using Lines = std::vector<std::int16_t>;

// The message of the FormulaError `f` throws, or "no error".
std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const FormulaError& e) {
    return e.what();
  }
  return "no error";
}

TEST(TiQuXH, ListsBracketedNumbersInOrderAfterAZero) {
  EXPECT_EQ(TiQuXH("[1]+[3]*[1]"), (Lines{0, 1, 3, 1}));
  // A "]" before the first "[" ends the scan.
  EXPECT_EQ(TiQuXH("a]+[2]"), (Lines{0}));
  EXPECT_EQ(TiQuXH("[1]+a]+[2]"), (Lines{0, 1}));
  EXPECT_EQ(TiQuXH("[2]+["), (Lines{0, 2}));
  // The whole part towards minus infinity, within 16 bits.
  EXPECT_EQ(TiQuXH("[2.7]"), (Lines{0, 2}));
  EXPECT_EQ(TiQuXH("[-2.5]"), (Lines{0, -3}));
  EXPECT_EQ(TiQuXH("[ 4 ]*[32767]-[-32768]"), (Lines{0, 4, 32767, -32768}));
  // Text that is no line number ends the caller; -32768.5 floors to -32769.
  for (const auto& [formula, error] : {std::pair{"[70000]", "Overflow"},
                                       {"[-32768.5]", "Overflow"},
                                       {"[1]+[x]", "Type mismatch"},
                                       {"[]", "Type mismatch"},
                                       {"[[1]]", "Type mismatch"}}) {
    EXPECT_EQ(ErrorOf([&] { TiQuXH(formula); }), error) << formula;
  }
}

TEST(TiHuanBL, ReplacesEveryNameByItsValueText) {
  const std::vector<FeeVariable> variables{{"人工费", 1200.5}, {"材料费", 0.1 + 0.2}, {"B", 1e20}};
  // 0.1+0.2 is written with 15 significant digits; names are case-sensitive
  // and replaced inside ordinary words too; an empty name matches nothing.
  EXPECT_EQ(TiHuanBL("(人工费+材料费)*3%+人工费", variables), "(1200.5+0.3)*3%+1200.5");
  EXPECT_EQ(TiHuanBL("b+B", variables), "b+1e+20");
  EXPECT_EQ(TiHuanBL("人工费合计", variables), "1200.5合计");
  EXPECT_EQ(TiHuanBL("a+1", {{"", 3.0}, {"a", 2.0}}), "2+1");
}

TEST(LineReferences, ReplacedByTheResultsOfTheirLines) {
  const std::vector<double> results{0, 300, 12.5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7};
  // 10/100*300 = 30.
  EXPECT_EQ(JiSuanGS(ReplaceLineReferences("10%*[1]", results)), 30);
  // [12] is replaced as a whole: line 1 never replaces part of it.
  EXPECT_EQ(ReplaceLineReferences("[12]-[1]+[2]*[1]+[0]", results), "7-300+12.5*300+0");
  // Only "[" + the number's text + "]" is replaced: [2.7] and [02] list 2 but stay,
  // and the formula fails to evaluate. References after the end of the scan
  // are replaced all the same.
  EXPECT_EQ(ReplaceLineReferences("[2.7]+[02]+[2]", results), "[2.7]+[02]+12.5");
  EXPECT_EQ(ReplaceLineReferences("[1]+a]+[1]+[2]", results), "300+a]+300+[2]");
  // A negative result keeps its sign under a power: (-4)^2, not -4^2.
  EXPECT_EQ(ReplaceLineReferences("[1]^2", {0, -4}), "(-4)^2");
  // 70000 is no line number, and none of its 16-bit shadows (70000 - 65536 = 4464).
  EXPECT_EQ(ReplaceLineReferences("[1]+a]+[70000]", std::vector<double>(4465, 1.0)), "1+a]+[70000]");
  // A reference outside the list ends the caller.
  EXPECT_EQ(ErrorOf([&] { ReplaceLineReferences("[13]", results); }), "Subscript out of range");
  EXPECT_EQ(ErrorOf([&] { ReplaceLineReferences("[-1]", results); }), "Subscript out of range");
  EXPECT_EQ(ErrorOf([&] { ReplaceLineReferences("[1]+[x]", results); }), "Type mismatch");
}

}  // namespace
}  // namespace quillmere
