// The formula evaluator: the operators, precedence, conversions and functions
// of the script language that stored fee formulas use, and the rule that any
// error makes a formula count as 0.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "formula/formula.h"

namespace quillmere {
namespace {

// The value and, for a failure, the reason, as one comparable text.
std::string Outcome(const std::string& expression) {
  std::string reason;
  const double value = EvaluateExpression(expression, &reason);
  return reason.empty() ? std::to_string(value) : std::to_string(value) + " (" + reason + ")";
}

TEST(Evaluator, PrecedenceAndAssociativityFollowTheScriptLanguage) {
  EXPECT_EQ(EvaluateExpression("-2^2"), -4);   // ^ binds tighter than the sign
  EXPECT_EQ(EvaluateExpression("2^3^2"), 64);  // (2^3)^2: ^ associates left
  EXPECT_EQ(EvaluateExpression("1+2*3"), 7);
  EXPECT_EQ(EvaluateExpression("2*-3"), -6);
  EXPECT_EQ(EvaluateExpression("2^-2"), 0.25);
  EXPECT_EQ(EvaluateExpression("2^-1^2"), 0.25);  // (2^-1)^2
  EXPECT_EQ(EvaluateExpression("10-4-3"), 3);
  EXPECT_EQ(EvaluateExpression("12/4/3"), 1);
  EXPECT_EQ(EvaluateExpression("7/2"), 3.5);  // / always divides as real
  EXPECT_EQ(EvaluateExpression("7\\2"), 3);
  EXPECT_EQ(EvaluateExpression("7 Mod 3"), 1);
  EXPECT_EQ(EvaluateExpression("7\\2*2"), 1);      // 7\(2*2): * binds tighter than \ .
  EXPECT_EQ(EvaluateExpression("7 Mod 4\\2"), 1);  // 7 Mod (4\2): \ binds tighter than Mod
  EXPECT_EQ(EvaluateExpression("1+7 mod 3"), 2);   // Mod binds tighter than +
  EXPECT_EQ(EvaluateExpression("--2"), 2);
  EXPECT_EQ(EvaluateExpression("(1+2)*(3-(4-5))"), 12);
  EXPECT_EQ(EvaluateExpression(" 1.5e3 + .5 + 2. "), 1502.5);
  EXPECT_EQ(EvaluateExpression("1.5E-1"), 0.15);
}

TEST(Evaluator, IntegerDivisionAndModRoundTheirOperandsHalfToEven) {
  EXPECT_EQ(EvaluateExpression("7.5\\2"), 4);                   // 8\2
  EXPECT_EQ(EvaluateExpression("6.5\\2"), 3);                   // 6\2
  EXPECT_EQ(EvaluateExpression("-7\\2"), -3);                   // truncates towards 0
  EXPECT_EQ(EvaluateExpression("-7 Mod 3"), -1);                // the sign of the dividend
  EXPECT_EQ(EvaluateExpression("2.5 Mod 2"), 0);                // 2 Mod 2
  EXPECT_EQ(EvaluateExpression("9 Mod 2.5"), 1);                // 9 Mod 2
  EXPECT_EQ(Outcome("5\\0.4"), "0.000000 (Division by zero)");  // 0.4 rounds to 0
  EXPECT_EQ(Outcome("5 Mod 0"), "0.000000 (Division by zero)");
  EXPECT_EQ(Outcome("3000000000\\1"), "0.000000 (Overflow)");  // beyond 32 bits
}

TEST(Evaluator, ComparisonsGiveMinusOneOrZeroAndServeInArithmetic) {
  EXPECT_EQ(EvaluateExpression("1<2"), -1);
  EXPECT_EQ(EvaluateExpression("2<1"), 0);
  EXPECT_EQ(EvaluateExpression("3<>3"), 0);
  EXPECT_EQ(EvaluateExpression("2>=2"), -1);
  EXPECT_EQ(EvaluateExpression("2<=1"), 0);
  EXPECT_EQ(EvaluateExpression("2>1"), -1);
  EXPECT_EQ(EvaluateExpression("1+1=2"), -1);        // + binds tighter than =
  EXPECT_EQ(EvaluateExpression("(5>3)*100"), -100);  // True is -1
  EXPECT_EQ(EvaluateExpression("100*-(5>3)"), 100);
  EXPECT_EQ(EvaluateExpression("1<2<3"), -1);  // (True)<3: -1<3
  EXPECT_EQ(EvaluateExpression("\"abc\"<\"abd\""), -1);
  EXPECT_EQ(EvaluateExpression("5<\"1\""), -1);  // a number sorts before any text
}

TEST(Evaluator, LogicalOperatorsWorkBitwiseOnIntegers) {
  EXPECT_EQ(EvaluateExpression("Not 0"), -1);
  EXPECT_EQ(EvaluateExpression("Not 5"), -6);
  EXPECT_EQ(EvaluateExpression("6 And 3"), 2);
  EXPECT_EQ(EvaluateExpression("6 Or 3"), 7);
  EXPECT_EQ(EvaluateExpression("6 Xor 3"), 5);
  EXPECT_EQ(EvaluateExpression("2.5 And 3"), 2);  // 2.5 rounds to 2
  EXPECT_EQ(EvaluateExpression("Not 1=2"), -1);   // Not (1=2)
  EXPECT_EQ(EvaluateExpression("1<2 And 3<4"), -1);
  EXPECT_EQ(EvaluateExpression("1 Or 2 And 0"), 1);  // And binds tighter than Or
  EXPECT_EQ(Outcome("1 + Not 0"), "0.000000 (Expected expression)");
}

TEST(Evaluator, TextsConcatenateAndNumericTextsCountAsNumbers) {
  EXPECT_EQ(EvaluateExpression("\"1\"+\"2\""), 12);  // two texts join
  EXPECT_EQ(EvaluateExpression("\"1\"+2"), 3);       // a number makes + add
  EXPECT_EQ(EvaluateExpression("\" 2.5 \"*2"), 5);
  EXPECT_EQ(EvaluateExpression("1 & 2+3"), 15);          // + binds tighter than &
  EXPECT_EQ(EvaluateExpression("0.1+0.2 & \"\""), 0.3);  // the number's text has 15 digits
  EXPECT_EQ(EvaluateExpression("\"12\""), 12);
  EXPECT_EQ(Outcome("\"a\"\"b\""), "0.000000 (Type mismatch)");
  EXPECT_EQ(Outcome("\"a\"+1"), "0.000000 (Type mismatch)");
  EXPECT_EQ(Outcome("(1=1) & \"\""), "0.000000 (Type mismatch)");  // "True" is no number
  EXPECT_EQ(Outcome("\"abc"), "0.000000 (Unterminated string constant)");
}

TEST(Evaluator, FeeProgrammeFunctionsKeepTheirOwnDefinitions) {
  // PI has seven decimals: 3.1415926 * 2.
  EXPECT_EQ(EvaluateExpression("PI*2"), 6.2831852);
  EXPECT_EQ(EvaluateExpression("pi()"), 3.1415926);
  // CEIL(x) is Fix(x)+1: 2+1 and -1+1.
  EXPECT_EQ(EvaluateExpression("CEIL(2)"), 3);
  EXPECT_EQ(EvaluateExpression("CEIL(-1.5)"), 0);
  EXPECT_EQ(EvaluateExpression("ceil(2.1)"), 3);
  // asin(x) is Atn(x/Sqr(1-x*x)): a division by zero at 1 and -1.
  EXPECT_EQ(Outcome("asin(1)"), "0.000000 (Division by zero)");
  EXPECT_EQ(EvaluateExpression("asin(-1)"), 0);
  EXPECT_EQ(EvaluateExpression("asin(1.5)"), 0);
  EXPECT_DOUBLE_EQ(EvaluateExpression("asin(0.5)"), std::atan(0.5 / std::sqrt(0.75)));
  // RTOD(x) = 180*x/3.1415926 and DTOR(x) = x*3.1415926/180.
  EXPECT_DOUBLE_EQ(EvaluateExpression("RTOD(PI)"), 180);
  EXPECT_DOUBLE_EQ(EvaluateExpression("DTOR(180)"), 3.1415926);
  EXPECT_DOUBLE_EQ(EvaluateExpression("RTOD(1)"), 180 / 3.1415926);
  EXPECT_DOUBLE_EQ(EvaluateExpression("Atan(1)"), std::atan(1.0));
  EXPECT_EQ(EvaluateExpression("SQRT(16)+sqr(9)"), 7);
  // IIF evaluates both branches, so a failing branch fails the formula.
  EXPECT_EQ(Outcome("IIF(1,1,1/0)"), "0.000000 (Division by zero)");
  EXPECT_EQ(EvaluateExpression("IIF(0,2,3)"), 3);
  EXPECT_EQ(EvaluateExpression("iif(500>300,500*0.02,300*0.03)"), 10);
  EXPECT_EQ(EvaluateExpression("IIF(\"true\",1,2)"), 1);
}

TEST(Evaluator, BuiltInsRoundTruncateAndConvertAsTheScriptLanguage) {
  EXPECT_EQ(EvaluateExpression("Int(-2.5)"), -3);
  EXPECT_EQ(EvaluateExpression("Fix(-2.5)"), -2);
  EXPECT_EQ(EvaluateExpression("Int(\"2.7\")"), 2);
  EXPECT_EQ(EvaluateExpression("Round(2.5)"), 2);  // half to even
  EXPECT_EQ(EvaluateExpression("Round(3.5)"), 4);
  EXPECT_EQ(EvaluateExpression("Round(-2.5)"), -2);
  EXPECT_EQ(EvaluateExpression("Round(2.125,2)"), 2.12);
  EXPECT_EQ(EvaluateExpression("Round(2.135,2)"), 2.14);
  EXPECT_EQ(Outcome("Round(2.5,-1)"), "0.000000 (Invalid procedure call or argument: 'Round')");
  EXPECT_EQ(EvaluateExpression("CInt(2.5)+CInt(3.5)"), 6);  // 2 + 4
  EXPECT_EQ(EvaluateExpression("CLng(-2.5)"), -2);
  EXPECT_EQ(EvaluateExpression("CInt(32767.4)"), 32767);
  EXPECT_EQ(Outcome("CInt(32767.5)"), "0.000000 (Overflow)");  // rounds to 32768
  EXPECT_EQ(Outcome("CLng(2147483648)"), "0.000000 (Overflow)");
  EXPECT_EQ(EvaluateExpression("CDbl(\"1.25\")*4"), 5);
  EXPECT_EQ(EvaluateExpression("Abs(-3)+Sgn(-0.1)+Sgn(0)+Sgn(7)"), 3);
  EXPECT_DOUBLE_EQ(EvaluateExpression("Exp(1)"), std::exp(1.0));
  EXPECT_DOUBLE_EQ(EvaluateExpression("Log(10)"), std::log(10.0));
  EXPECT_DOUBLE_EQ(EvaluateExpression("Sin(1)+Cos(1)+Tan(1)+Atn(1)"),
                   std::sin(1.0) + std::cos(1.0) + std::tan(1.0) + std::atan(1.0));
  EXPECT_EQ(EvaluateExpression("True+False"), -1);
}

TEST(Evaluator, AnyErrorMakesTheFormulaCountAsZero) {
  EXPECT_EQ(Outcome(""), "0.000000 (Expected expression)");
  EXPECT_EQ(Outcome("   "), "0.000000 (Expected expression)");
  EXPECT_EQ(Outcome("abc"), "0.000000 (Variable is undefined: 'abc')");
  EXPECT_EQ(Outcome("abc(1)"), "0.000000 (Type mismatch: 'abc')");
  EXPECT_EQ(Outcome("1/0"), "0.000000 (Division by zero)");
  EXPECT_EQ(Outcome("0/0"), "0.000000 (Overflow)");
  EXPECT_EQ(Outcome("0^-1"), "0.000000 (Division by zero)");
  EXPECT_EQ(Outcome("10^400"), "0.000000 (Overflow)");
  EXPECT_EQ(Outcome("1e308*10"), "0.000000 (Overflow)");
  EXPECT_EQ(Outcome("1e400"), "0.000000 (Overflow)");
  EXPECT_EQ(Outcome("Exp(1000)"), "0.000000 (Overflow)");
  EXPECT_EQ(Outcome("(-8)^(1/3)"), "0.000000 (Invalid procedure call or argument)");
  EXPECT_EQ(Outcome("Sqr(-1)"), "0.000000 (Invalid procedure call or argument: 'Sqr')");
  EXPECT_EQ(Outcome("Log(0)"), "0.000000 (Invalid procedure call or argument: 'Log')");
  EXPECT_EQ(Outcome("Sqr"), "0.000000 (Wrong number of arguments or invalid property assignment: 'Sqr')");
  EXPECT_EQ(Outcome("Round(1,2,3)"), "0.000000 (Wrong number of arguments or invalid property assignment: 'Round')");
  EXPECT_EQ(Outcome("1+"), "0.000000 (Expected expression)");
  EXPECT_EQ(Outcome("(1+2"), "0.000000 (Expected ')')");
  EXPECT_EQ(Outcome("1+2)"), "0.000000 (Expected end of statement)");
  EXPECT_EQ(Outcome("2 3"), "0.000000 (Expected end of statement)");
  EXPECT_EQ(Outcome("5%"), "0.000000 (Invalid character)");        // only JiSuanGS turns % into /100
  EXPECT_EQ(Outcome("人工费*2"), "0.000000 (Invalid character)");  // a variable left unsubstituted
  EXPECT_EQ(Outcome("[1]+2"), "0.000000 (Invalid character)");
  // The text is compiled before it runs: a syntax error wins over an earlier
  // division by zero.
  EXPECT_EQ(Outcome("1/0+"), "0.000000 (Expected expression)");
  // The first run-time error is the one reported.
  EXPECT_EQ(Outcome("abc+1/0"), "0.000000 (Variable is undefined: 'abc')");
  // A negative zero comes out as 0 ("0+" in front of every formula).
  EXPECT_FALSE(std::signbit(EvaluateExpression("-0")));
}

TEST(Evaluator, FormulaIsOneStatementLine) {
  EXPECT_EQ(EvaluateExpression("5 ' the site fee"), 5);
  EXPECT_EQ(EvaluateExpression("5\r\n"), 5);
  EXPECT_EQ(EvaluateExpression("5\r\n  ' note\r\n"), 5);
  EXPECT_EQ(Outcome("5\r\n6"), "0.000000 (Expected end of statement)");
  EXPECT_EQ(Outcome("1+\r\n2"), "0.000000 (Expected expression)");
  EXPECT_EQ(Outcome("5:Calculate=7"), "0.000000 (Invalid character)");
}

TEST(Evaluator, PathologicalInputFailsQuickly) {
  // Nesting beyond the limit is refused instead of overflowing the stack.
  const std::string deep = std::string(5000, '(') + "1" + std::string(5000, ')');
  EXPECT_EQ(Outcome(deep), "0.000000 (Out of stack space)");
  EXPECT_EQ(Outcome(std::string(100000, '-') + "1"), "0.000000 (Out of stack space)");
  const std::string shallow = std::string(200, '(') + "1" + std::string(200, ')');
  EXPECT_EQ(EvaluateExpression(shallow), 1);
  // A long flat formula is a loop, not a recursion: 100000 ones.
  std::string flat = "1";
  for (int i = 1; i < 100000; ++i) flat += "+1";
  EXPECT_EQ(EvaluateExpression(flat), 100000);
}

TEST(JiSuanGS, PercentSignsDivideByAHundred) {
  EXPECT_EQ(JiSuanGS("5%"), 0.05);
  // 10/100*300 = 30.
  EXPECT_EQ(JiSuanGS("10%*300"), 30);
  EXPECT_EQ(JiSuanGS("(100+50)*3.5%"), 5.25);
  EXPECT_EQ(JiSuanGS("%"), 0);
  EXPECT_EQ(JiSuanGS(""), 0);
  EXPECT_EQ(JiSuanGS("1/0"), 0);
}

}  // namespace
}  // namespace quillmere
