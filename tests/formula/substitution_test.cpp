// Fee variables and bracketed line references substituted into formulas: the
// line-number scan, the replacement rules and the mended faults (a name inside
// a longer name, a negative value under a power).

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "base/decimal.h"
#include "formula/formula.h"

namespace quillmere {
namespace {

using Lines = std::vector<std::int16_t>;

// The message of the FormulaError `f` throws, or "no error".
template <typename F>
std::string ErrorOf(F f) {
  try {
    f();
  } catch (const FormulaError& e) {
    return e.what();
  }
  return "no error";
}

TEST(TiQuXH, ListsBracketedNumbersInOrderAfterAZero) {
  EXPECT_EQ(TiQuXH("[1]+[3]*[1]"), (Lines{0, 1, 3, 1}));
  EXPECT_EQ(TiQuXH("a]+[2]"), (Lines{0}));  // a "]" before the first "[" ends the scan
  EXPECT_EQ(TiQuXH("[1]+a]+[2]"), (Lines{0, 1}));
  EXPECT_EQ(TiQuXH("100*3%"), (Lines{0}));
  EXPECT_EQ(TiQuXH(""), (Lines{0}));
  EXPECT_EQ(TiQuXH("[2]+["), (Lines{0, 2}));
  // The whole part towards minus infinity.
  EXPECT_EQ(TiQuXH("[2.7]"), (Lines{0, 2}));
  EXPECT_EQ(TiQuXH("[-2.5]"), (Lines{0, -3}));
  EXPECT_EQ(TiQuXH("[ 4 ]*[32767]-[-32768]"), (Lines{0, 4, 32767, -32768}));
}

TEST(TiQuXH, TextThatIsNoLineNumberEndsTheCaller) {
  EXPECT_EQ(ErrorOf([] { TiQuXH("[70000]"); }), "Overflow");
  EXPECT_EQ(ErrorOf([] { TiQuXH("[-32768.5]"); }), "Overflow");  // -32769
  EXPECT_EQ(ErrorOf([] { TiQuXH("[1]+[x]"); }), "Type mismatch");
  EXPECT_EQ(ErrorOf([] { TiQuXH("[]"); }), "Type mismatch");
  EXPECT_EQ(ErrorOf([] { TiQuXH("[[1]]"); }), "Type mismatch");  // the text between is "[1"
}

TEST(TiHuanBL, ReplacesEveryNameByItsValueText) {
  const std::vector<FeeVariable> variables{{"人工费", 1200.5}, {"材料费", 0.1 + 0.2}, {"B", 1e20}};
  // 0.1+0.2 is written with 15 significant digits.
  EXPECT_EQ(TiHuanBL("(人工费+材料费)*3%+人工费", variables), "(1200.5+0.3)*3%+1200.5");
  // Case-sensitive: b is not B.
  EXPECT_EQ(TiHuanBL("b+B", variables), "b+1e+20");
  // Names inside ordinary words are still replaced.
  EXPECT_EQ(TiHuanBL("人工费合计", variables), "1200.5合计");
  EXPECT_EQ(TiHuanBL("5", {}), "5");
  // An empty name matches nothing.
  EXPECT_EQ(TiHuanBL("a+1", {{"", 3.0}, {"a", 2.0}}), "2+1");
}

TEST(TiHuanBL, NameInsideALongerNameNoLongerCorruptsIt) {
  // With A delivered first the formula AB used to become 100B.
  EXPECT_EQ(TiHuanBL("AB", {{"A", 100.0}, {"AB", 250.0}}), "250");
  EXPECT_EQ(TiHuanBL("AB", {{"AB", 250.0}, {"A", 100.0}}), "250");
  EXPECT_EQ(TiHuanBL("A+AB", {{"A", 100.0}, {"AB", 250.0}}), "100+250");
  EXPECT_EQ(JiSuanGS(TiHuanBL("AB-A", {{"A", 100.0}, {"AB", 250.0}})), 150);
  // Equal lengths keep the delivery order: XY goes first, then YZ finds no Y.
  EXPECT_EQ(TiHuanBL("XYZ", {{"XY", 1.0}, {"YZ", 2.0}}), "1Z");
  EXPECT_EQ(TiHuanBL("XYZ", {{"YZ", 2.0}, {"XY", 1.0}}), "X2");
}

TEST(TiHuanBL, NegativeValueKeepsItsSignUnderAPower) {
  const std::string text = TiHuanBL("x^2", {{"x", -3.0}});
  EXPECT_EQ(text, "(-3)^2");
  // (-3)^2 = 9; without the parentheses -3^2 would be -9.
  EXPECT_EQ(JiSuanGS(text), 9);
  EXPECT_EQ(JiSuanGS(TiHuanBL("10-x", {{"x", -3.0}})), 13);
  EXPECT_EQ(TiHuanBL("x", {{"x", -0.0}}), "0");
}

TEST(OperandText, WritesNumbersAsNumberTextDoes) {
  // Figures of every size and precision, against the 15-digit text rounding
  // amounts use everywhere else.
  std::mt19937_64 random(7);
  std::vector<double> values{0.1 + 0.2, 1e-15,   9.99999999999999e-16,  999999999999999,
                             1e15,      2.0 / 3, 1234567.125,           123456789012345.6,
                             0.000123,  5e-324,  1.7976931348623157e308};
  for (int i = 0; i < 20000; ++i) {
    const double unit = std::pow(10.0, static_cast<int>(random() % 40) - 20);
    values.push_back(static_cast<double>(random() % 100000000) * unit);
    values.push_back(std::bit_cast<double>(random()));
  }
  for (double v : values) {
    if (!std::isfinite(v)) continue;
    for (double x : {v, -v}) {
      const std::string expected = x < 0 ? "(" + NumberText(x) + ")" : NumberText(x);
      ASSERT_EQ(OperandText(x), expected) << std::hexfloat << x;
    }
  }
}

TEST(TiHuanBL, NullNameOrValueEndsTheCaller) {
  EXPECT_EQ(ErrorOf([] { TiHuanBL("a", {{"a", 1.0}, {std::nullopt, 2.0}}); }), "Invalid use of Null");
  EXPECT_EQ(ErrorOf([] { TiHuanBL("a", {{"a", std::nullopt}}); }), "Invalid use of Null");
  // Even a variable the formula does not use.
  EXPECT_EQ(ErrorOf([] { TiHuanBL("5", {{"b", std::nullopt}}); }), "Invalid use of Null");
}

TEST(TiHuanBL, SubstitutionThatFeedsOnItselfIsRefused) {
  // Variables named by digits rewrite each other's values: every variable
  // makes the text fifteen times longer (15^7 characters after the seventh),
  // so it is stopped rather than filling memory.
  std::vector<FeeVariable> digits;
  for (int i = 0; i < 12; ++i) {
    digits.push_back(i % 2 == 0 ? FeeVariable{"1", 222222222222222.0} : FeeVariable{"2", 111111111111111.0});
  }
  EXPECT_EQ(ErrorOf([&] { TiHuanBL("1", digits); }), "Out of string space");
  digits.resize(4);  // 15^4 = 50625 characters are fine
  EXPECT_EQ(TiHuanBL("1", digits), std::string(50625, '1'));
}

TEST(LineReferences, ReplacedByTheResultsOfTheirLines) {
  const std::vector<double> results{0, 300, 12.5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7};
  // 10/100*300 = 30.
  EXPECT_EQ(ReplaceLineReferences("10%*[1]", results), "10%*300");
  EXPECT_EQ(JiSuanGS(ReplaceLineReferences("10%*[1]", results)), 30);
  EXPECT_EQ(ReplaceLineReferences("[1]+[2]*[1]", results), "300+12.5*300");
  // [12] is replaced as a whole: line 1 never replaces part of it.
  EXPECT_EQ(ReplaceLineReferences("[12]-[1]", results), "7-300");
  // A line not yet computed counts as 0.
  EXPECT_EQ(ReplaceLineReferences("[3]", results), "0");
  // Only "[" + the number's text + "]" is replaced: [2.7] lists 2 but stays as
  // written, and the formula fails to evaluate.
  EXPECT_EQ(ReplaceLineReferences("[2.7]+[2]", results), "[2.7]+12.5");
  EXPECT_EQ(JiSuanGS(ReplaceLineReferences("[2.7]+[2]", results)), 0);
  // References after the end of the scan are replaced all the same.
  EXPECT_EQ(ReplaceLineReferences("[1]+a]+[1]+[2]", results), "300+a]+300+[2]");
  EXPECT_EQ(ReplaceLineReferences("no references", results), "no references");
  // 70000 is no line number, and none of its 16-bit shadows (70000 - 65536 = 4464).
  EXPECT_EQ(ReplaceLineReferences("[1]+a]+[70000]", std::vector<double>(4465, 1.0)), "1+a]+[70000]");
}

TEST(LineReferences, NegativeResultKeepsItsSignUnderAPower) {
  const std::vector<double> results{0, -4};
  EXPECT_EQ(ReplaceLineReferences("[1]^2", results), "(-4)^2");
  // (-4)^2 = 16, not -16.
  EXPECT_EQ(JiSuanGS(ReplaceLineReferences("[1]^2", results)), 16);
}

TEST(LineReferences, ReferenceOutsideTheListEndsTheCaller) {
  const std::vector<double> results{0, 1, 2};
  EXPECT_EQ(ErrorOf([&] { ReplaceLineReferences("[3]", results); }), "Subscript out of range");
  EXPECT_EQ(ErrorOf([&] { ReplaceLineReferences("[-1]", results); }), "Subscript out of range");
  EXPECT_EQ(ErrorOf([&] { ReplaceLineReferences("[1]+[x]", results); }), "Type mismatch");
  EXPECT_EQ(ReplaceLineReferences("[0]+[2]", results), "0+2");
}

}  // namespace
}  // namespace quillmere
