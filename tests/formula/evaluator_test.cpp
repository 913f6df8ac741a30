// The formula evaluator: the operators, precedence, conversions and functions
// of the script language that stored fee formulas use, and the rule that any
// error makes a formula count as 0.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>

#include "formula/formula.h"

namespace quillmere {
namespace {

using Cases = std::initializer_list<std::pair<const char*, double>>;

void ExpectValues(Cases cases) {
  for (const auto& [expression, value] : cases) EXPECT_DOUBLE_EQ(EvaluateExpression(expression), value) << expression;
}

TEST(Evaluator, OperatorsFollowThePrecedenceAndAssociativityOfTheScriptLanguage) {
  // ^ binds tighter than the sign and associates left: -(2^2), (2^3)^2,
  // (2^-1)^2. / always divides as real; \ and Mod round their operands half
  // to even first (7.5\2 is 8\2, 6.5\2 is 6\2, 2.5 Mod 2 is 2 Mod 2), then
  // truncate towards 0 with the sign of the dividend. * binds tighter than
  // integer division (7\(2*2)), which binds tighter than Mod (9 Mod (6\2)),
  // and Mod tighter than +.
  // clang-format off
  ExpectValues({{"-2^2", -4},         {"2^3^2", 64},       {"1+2*3", 7},         {"2*-3", -6},
                {"2^-1^2", 0.25},     {"10-4-3", 3},       {"12/4/3", 1},        {"7/2", 3.5},
                {"7\\2", 3},          {"7 Mod 3", 1},      {"7\\2*2", 1},        {"9 Mod 6\\2", 0},
                {"1+7 mod 3", 2},     {"--2", 2},          {"1.5E-1", 0.15},     {"(1+2)*(3-(4-5))", 12},
                {"7.5\\2", 4},        {"6.5\\2", 3},       {"-7\\2", -3},        {"-7 Mod 3", -1},
                {"2.5 Mod 2", 0},     {"9 Mod 2.5", 1},    {" 1.5e3 + .5 + 2. ", 1502.5}});
  // clang-format on
}

TEST(Evaluator, ComparisonsGiveMinusOneOrZeroAndLogicWorksBitwise) {
  // True is -1 and serves in arithmetic; + binds tighter than =; a number
  // sorts before any text; Not binds looser than =, And tighter than Or.
  // clang-format off
  ExpectValues({{"1<2", -1},         {"2<1", 0},          {"3<>3", 0},             {"2>=2", -1},
                {"2<=1", 0},         {"2>1", -1},         {"1+1=2", -1},           {"(5>3)*100", -100},
                {"100*-(5>3)", 100}, {"1<2<3", -1},       {"\"abc\"<\"abd\"", -1}, {"5<\"1\"", -1},
                {"Not 0", -1},       {"Not 5", -6},       {"6 And 3", 2},          {"6 Or 3", 7},
                {"6 Xor 3", 5},      {"2.5 And 3", 2},    {"Not 1=2", -1},         {"1 Or 2 And 0", 1},
                // Not (a Xor b), (Not a) Or b, bit by bit: ~5 and ~6 | 3.
                {"6Eqv 3", -6},      {"6 Imp 3", -5},     {"(1<2) Imp (2<1)", 0},  {"(2<1) Eqv (3<1)", -1}});
  // clang-format on
}

TEST(Evaluator, TextsFunctionsAndConversionsFollowTheScriptLanguage) {
  // Two texts join with +, a number makes + add; & joins after + and -
  // (1 & (10-5)) and writes numbers with 15 digits. PI has seven decimals; CEIL(x) is Fix(x)+1;
  // asin(x) is Atn(x/Sqr(1-x*x)); RTOD and DTOR convert with that PI; Round,
  // CInt and CLng round half to even.
  // clang-format off
  ExpectValues({{"\"1\"+\"2\"", 12},                {"\"1\"+2", 3},                {"\" 2.5 \"*2", 5},
                {"1 & 10-5", 15},                   {"0.1+0.2 & \"\"", 0.3},       {"PI*2", 6.2831852},
                {"pi()", 3.1415926},                {"CEIL(2)", 3},                {"CEIL(-1.5)", 0},
                {"asin(-1)", 0},                    {"RTOD(1)", 180 / 3.1415926},  {"DTOR(180)", 3.1415926},
                {"Atan(1)+Atn(1)", 2 * std::atan(1.0)},                            {"SQRT(16)+sqr(9)", 7},
                {"asin(0.5)", std::atan(0.5 / std::sqrt(0.75))},                   {"IIF(\"true\",1,2)", 1},
                {"IIF(0,2,3)+iif(500>300,500*0.02,300*0.03)", 13},                 {"Int(\"2.7\")", 2},
                {"Int(-2.5)+Fix(-2.5)", -5},        {"Round(2.125,2)", 2.12},      {"Round(2.135,2)", 2.14},
                {"Round(2.5)*10+Round(-2.5)", 18},                                 {"CInt(2.5)+CInt(3.5)", 6},
                {"CInt(32767.4)+CLng(-2.5)", 32765},                               {"CDbl(\"1.25\")*4", 5},
                {"CInt(-32768)", -32768},           {"CInt(-32768.5)", -32768},
                {"Abs(-3)+Sgn(-0.1)+Sgn(0)+Sgn(7)", 3},                            {"True+False", -1},
                {"Exp(1)+Log(10)", std::exp(1.0) + std::log(10.0)},                {"5 ' the site fee", 5},
                {"Sin(1)+Cos(1)+Tan(1)", std::sin(1.0) + std::cos(1.0) + std::tan(1.0)},
                {"5\r\n  ' note\r\n", 5}});
  // clang-format on
}

TEST(Evaluator, AnyErrorMakesTheFormulaCountAsZeroWithTheFirstReason) {
  const std::string deep = std::string(5000, '(') + "1" + std::string(5000, ')');
  // Both branches of IIF are evaluated; \ rounds 0.4 to 0; 3000000000 is
  // beyond 32 bits; CInt(32767.5) rounds to 32768; "True" is no number; only
  // JiSuanGS turns % into /100; a variable left unsubstituted is an invalid
  // character; the formula is compiled before it runs; deep nesting is
  // refused instead of overflowing the stack.
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {"", "Expected expression"},            {"abc", "Variable is undefined: 'abc'"},
      {"abc(1)", "Type mismatch: 'abc'"},     {"1/0", "Division by zero"},
      {"IIF(1,1,1/0)", "Division by zero"},   {"asin(1)", "Division by zero"},
      {"5\\0.4", "Division by zero"},         {"5 Mod 0", "Division by zero"},
      {"0^-1", "Division by zero"},           {"0/0", "Overflow"},
      {"3000000000\\1", "Overflow"},          {"10^400", "Overflow"},
      {"1e400", "Overflow"},                  {"1e308*10", "Overflow"},
      {"Exp(1000)", "Overflow"},              {"CInt(32767.5)", "Overflow"},
      {"CLng(2147483648)", "Overflow"},       {"(-8)^(1/3)", "Invalid procedure call or argument"},
      {"Sqr(-1)", "Invalid procedure call or argument: 'Sqr'"},
      {"Round(2.5,-1)", "Invalid procedure call or argument: 'Round'"},
      {"Log(0)", "Invalid procedure call or argument: 'Log'"},
      {"Sqr", "Wrong number of arguments or invalid property assignment: 'Sqr'"},
      {"Round(1,2,3)", "Wrong number of arguments or invalid property assignment: 'Round'"},
      {"\"a\"+1", "Type mismatch"},           {"\"a\"\"b\"", "Type mismatch"},
      {"(1=1) & \"\"", "Type mismatch"},      {"((1=1) Or (1=2)) & \"\"", "Type mismatch"},
      {"\"abc", "Unterminated string constant"}, {"1 + Not 0", "Expected expression"},
      {"(1+2", "Expected ')'"},               {"2 3", "Expected end of statement"},
      {"5\r\n6", "Expected end of statement"}, {"5%", "Invalid character"},
      {"人工费*2", "Invalid character"},      {"5:Calculate=7", "Invalid character"},
      {"1/0+", "Expected expression"},        {"abc+1/0", "Variable is undefined: 'abc'"},
      {deep, "Out of stack space"},           {std::string(100000, '-') + "1", "Out of stack space"},
  };
  // clang-format on
  for (const auto& [expression, reason] : cases) {
    std::string why;
    EXPECT_EQ(EvaluateExpression(expression, &why), 0) << expression.substr(0, 20);
    EXPECT_EQ(why, reason) << expression.substr(0, 20);
  }
  // A negative zero comes out as 0; nesting below the limit is fine, and a
  // long flat formula is a loop, not a recursion.
  EXPECT_FALSE(std::signbit(EvaluateExpression("-0")));
  EXPECT_EQ(EvaluateExpression(std::string(200, '(') + "1" + std::string(200, ')')), 1);
  std::string flat = "1";
  for (int i = 1; i < 100000; ++i) flat += "+1";
  EXPECT_EQ(EvaluateExpression(flat), 100000);
}

}  // namespace
}  // namespace quillmere
