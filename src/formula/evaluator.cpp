// The expression evaluator standing in for the platform's script evaluator: one
// pass of recursive descent over the formula text that evaluates as it parses,
// with the operators, precedence and conversions of the VBScript language.
//
// Every formula gets a fresh Evaluator on the stack; nothing is allocated up
// front and nothing survives the call. Syntax errors end the pass at once (the
// script engine compiles before it runs, so a syntax error wins over any
// run-time error met earlier in the text); the first run-time error is kept,
// and the rest of the text is still parsed, but no longer computed.

#include <cmath>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "base/decimal.h"
#include "base/operators.h"
#include "base/text.h"
#include "formula/formula.h"

namespace quillmere {
namespace {

// Nesting deeper than this (parentheses, signs, Not) is refused rather than
// risking the stack.
constexpr int kMaxDepth = 1000;

// PI of the fee programme has seven decimals; RTOD, DTOR and formulas that say
// PI all use this figure, not the mathematical constant.
constexpr double kScriptPi = 3.1415926;

// A script value reduced to what formulas produce. A Boolean is -1 or 0 in
// arithmetic but "True" or "False" as text.
struct Value {
  enum class Kind : std::uint8_t { kNumber, kBoolean, kText };
  Kind kind = Kind::kNumber;
  double number = 0;
  std::string text;
};

Value Number(double x) {
  Value v;
  v.number = x;
  return v;
}

Value Boolean(bool b) {
  Value v;
  v.kind = Value::Kind::kBoolean;
  v.number = b ? -1 : 0;
  return v;
}

Value Text(std::string s) {
  Value v;
  v.kind = Value::Kind::kText;
  v.text = std::move(s);
  return v;
}

enum class Token : std::uint8_t {
  kEnd,
  kNumber,
  kText,
  kName,
  kPlus,
  kMinus,
  kTimes,
  kDivide,
  kIntDivide,
  kPower,
  kConcat,
  kEqual,
  kNotEqual,
  kLess,
  kGreater,
  kLessEqual,
  kGreaterEqual,
  kOpen,
  kClose,
  kComma,
  kMod,
  kNot,
  kAnd,
  kOr,
  kXor,
  kEqv,
  kImp,
};

// How tightly each binary operator binds, loosest first (0: not a binary
// operator). The prefix operators sit between: Not just above And, so
// "Not a = b" negates the comparison; unary minus just below ^, so -2^2 is -4.
constexpr int kNotBinding = 6;
constexpr int kSignBinding = 14;  // the operand of a sign is a power chain

int BindingOf(Token t) {
  switch (t) {
    case Token::kImp:
      return 1;
    case Token::kEqv:
      return 2;
    case Token::kXor:
      return 3;
    case Token::kOr:
      return 4;
    case Token::kAnd:
      return 5;
    case Token::kEqual:
    case Token::kNotEqual:
    case Token::kLess:
    case Token::kGreater:
    case Token::kLessEqual:
    case Token::kGreaterEqual:
      return 7;
    case Token::kConcat:
      return 8;
    case Token::kPlus:
    case Token::kMinus:
      return 9;
    case Token::kMod:
      return 10;
    case Token::kIntDivide:
      return 11;
    case Token::kTimes:
    case Token::kDivide:
      return 12;
    case Token::kPower:
      return 14;
    default:
      return 0;
  }
}

struct Symbol {
  char c;
  Token token;
};
constexpr Symbol kSymbols[] = {
    {'+', Token::kPlus},  {'-', Token::kMinus},  {'*', Token::kTimes}, {'/', Token::kDivide}, {'\\', Token::kIntDivide},
    {'^', Token::kPower}, {'&', Token::kConcat}, {'=', Token::kEqual}, {'<', Token::kLess},   {'>', Token::kGreater},
    {'(', Token::kOpen},  {')', Token::kClose},  {',', Token::kComma},
};

struct Keyword {
  std::string_view name;
  Token token;
};
constexpr Keyword kKeywords[] = {
    {"Mod", Token::kMod}, {"Not", Token::kNot}, {"And", Token::kAnd}, {"Or", Token::kOr},
    {"Xor", Token::kXor}, {"Eqv", Token::kEqv}, {"Imp", Token::kImp},
};

enum class Function : std::uint8_t {
  kPi,
  kAtan,
  kSqrt,
  kAsin,
  kCeil,
  kRtod,
  kDtor,
  kIif,
  kAtn,
  kSqr,
  kFix,
  kInt,
  kAbs,
  kSgn,
  kExp,
  kLog,
  kSin,
  kCos,
  kTan,
  kRound,
  kCDbl,
  kCInt,
  kCLng,
};

struct FunctionEntry {
  std::string_view name;
  Function id;
  int min_args;
  int max_args;
};

constexpr int kMostArgs = 3;
constexpr FunctionEntry kFunctions[] = {
    // The functions the fee programme defines for its formulas.
    {"PI", Function::kPi, 0, 0},
    {"Atan", Function::kAtan, 1, 1},
    {"SQRT", Function::kSqrt, 1, 1},
    {"asin", Function::kAsin, 1, 1},
    {"CEIL", Function::kCeil, 1, 1},
    {"RTOD", Function::kRtod, 1, 1},
    {"DTOR", Function::kDtor, 1, 1},
    {"IIF", Function::kIif, 3, 3},
    // Built-ins of the script language.
    {"Atn", Function::kAtn, 1, 1},
    {"Sqr", Function::kSqr, 1, 1},
    {"Fix", Function::kFix, 1, 1},
    {"Int", Function::kInt, 1, 1},
    {"Abs", Function::kAbs, 1, 1},
    {"Sgn", Function::kSgn, 1, 1},
    {"Exp", Function::kExp, 1, 1},
    {"Log", Function::kLog, 1, 1},
    {"Sin", Function::kSin, 1, 1},
    {"Cos", Function::kCos, 1, 1},
    {"Tan", Function::kTan, 1, 1},
    {"Round", Function::kRound, 1, 2},
    {"CDbl", Function::kCDbl, 1, 1},
    {"CInt", Function::kCInt, 1, 1},
    {"CLng", Function::kCLng, 1, 1},
};

const FunctionEntry* FindFunction(std::string_view name) {
  for (const FunctionEntry& f : kFunctions) {
    if (EqualsIgnoringCase(f.name, name)) return &f;
  }
  return nullptr;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// True when nothing but blanks, line breaks and comments remains from `i`: the
// formula is one statement line, and what follows a line break would be
// another statement.
bool OnlyCommentsFrom(std::string_view s, size_t i) {
  while (i < s.size()) {
    const char c = s[i];
    if (c == '\'') {
      while (i < s.size() && s[i] != '\r' && s[i] != '\n') ++i;
    } else if (IsBlank(c) || c == '\r' || c == '\n') {
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

class Evaluator {
 public:
  explicit Evaluator(std::string_view text) : text_(text) {}

  double Run(std::string* reason);

 private:
  // A syntax error (or nesting beyond kMaxDepth): ends the pass at once.
  struct SyntaxError {
    const char* reason;
  };

  class DepthGuard {
   public:
    explicit DepthGuard(int& depth) : depth_(depth) {
      if (++depth_ > kMaxDepth) throw SyntaxError{"Out of stack space"};
    }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

   private:
    int& depth_;
  };

  void Next();
  Value Expression(int min_binding);
  Value Operand(int min_binding);
  Value NameOrCall();

  // Run-time operations. After the first run-time error they only return 0.
  Value Fail(std::string reason);
  bool ToNumber(const Value& v, double& x);
  bool ToLong(const Value& v, std::int32_t& n);
  Value Finite(double x);
  Value Binary(Token op, Value a, Value b);
  Value Arithmetic(Token op, const Value& a, const Value& b);
  Value IntegerDivision(Token op, const Value& a, const Value& b);
  Value Compare(Token op, const Value& a, const Value& b);
  Value Logical(Token op, const Value& a, const Value& b);
  Value Negate(const Value& a);
  Value Not(const Value& a);
  Value Call(const FunctionEntry& f, Value* args, int count);
  Value Math(double (*fn)(double), const Value& a);
  Value SquareRoot(const Value& a);
  Value Truncate(const Value& a, bool floor);
  Value RoundTo(const Value& a, const Value* decimals);
  Value ToInteger(const Value& a, double low, double high);
  std::string TextOf(Value v);

  std::string_view text_;
  size_t pos_ = 0;
  Token token_ = Token::kEnd;
  double number_ = 0;        // the value of a kNumber token
  std::string_view lexeme_;  // a kName, or the inside of a kText token
  bool more_statements_ = false;
  int depth_ = 0;
  bool failed_ = false;
  std::string failure_;
};

void Evaluator::Next() {
  const size_t n = text_.size();
  while (pos_ < n && IsBlank(text_[pos_])) ++pos_;
  if (pos_ >= n) {
    token_ = Token::kEnd;
    return;
  }
  const char c = text_[pos_];
  if (c == '\r' || c == '\n' || c == '\'') {
    // The statement ends here: a comment or a line break. The script would run
    // further lines as statements of their own; a formula has none.
    more_statements_ = !OnlyCommentsFrom(text_, pos_);
    pos_ = n;
    token_ = Token::kEnd;
    return;
  }
  if (IsDigit(c) || (c == '.' && pos_ + 1 < n && IsDigit(text_[pos_ + 1]))) {
    const size_t start = pos_;
    while (pos_ < n && IsDigit(text_[pos_])) ++pos_;
    if (pos_ < n && text_[pos_] == '.') {
      ++pos_;
      while (pos_ < n && IsDigit(text_[pos_])) ++pos_;
    }
    if (pos_ < n && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      // Only an exponent with digits belongs to the number: in "2Eqv 3" the E
      // starts the operator.
      size_t j = pos_ + 1;
      if (j < n && (text_[j] == '+' || text_[j] == '-')) ++j;
      if (j < n && IsDigit(text_[j])) {
        pos_ = j;
        while (pos_ < n && IsDigit(text_[pos_])) ++pos_;
      }
    }
    if (!ParseNumber(text_.substr(start, pos_ - start), number_)) throw SyntaxError{"Invalid number"};
    if (!std::isfinite(number_)) throw SyntaxError{"Overflow"};
    token_ = Token::kNumber;
    return;
  }
  if (IsLetter(c)) {
    const size_t start = pos_;
    while (pos_ < n && (IsLetter(text_[pos_]) || IsDigit(text_[pos_]) || text_[pos_] == '_')) ++pos_;
    lexeme_ = text_.substr(start, pos_ - start);
    token_ = Token::kName;
    for (const Keyword& k : kKeywords) {
      if (EqualsIgnoringCase(k.name, lexeme_)) token_ = k.token;
    }
    return;
  }
  if (c == '"') {
    // A doubled quote stands for one quote inside the text.
    const size_t start = ++pos_;
    for (;;) {
      if (pos_ >= n || text_[pos_] == '\r' || text_[pos_] == '\n') throw SyntaxError{"Unterminated string constant"};
      if (text_[pos_] == '"') {
        if (pos_ + 1 < n && text_[pos_ + 1] == '"') {
          pos_ += 2;
          continue;
        }
        break;
      }
      ++pos_;
    }
    lexeme_ = text_.substr(start, pos_ - start);
    ++pos_;
    token_ = Token::kText;
    return;
  }
  ++pos_;
  const char after = pos_ < n ? text_[pos_] : '\0';
  if (c == '<' && (after == '>' || after == '=')) {
    token_ = after == '>' ? Token::kNotEqual : Token::kLessEqual;
    ++pos_;
    return;
  }
  if (c == '>' && after == '=') {
    token_ = Token::kGreaterEqual;
    ++pos_;
    return;
  }
  for (const Symbol& symbol : kSymbols) {
    if (symbol.c == c) {
      token_ = symbol.token;
      return;
    }
  }
  throw SyntaxError{"Invalid character"};
}

// Precedence climbing: every binary operator associates to the left, so its
// right operand binds one step tighter (2^3^2 is 64, 10-4-3 is 3).
Value Evaluator::Expression(int min_binding) {
  DepthGuard guard(depth_);
  Value left = Operand(min_binding);
  for (;;) {
    const int binding = BindingOf(token_);
    if (binding == 0 || binding < min_binding) return left;
    const Token op = token_;
    Next();
    Value right = Expression(binding + 1);
    left = Binary(op, std::move(left), std::move(right));
  }
}

Value Evaluator::Operand(int min_binding) {
  switch (token_) {
    case Token::kNot: {
      // Not takes a comparison, and only stands where a comparison may:
      // "1 + Not 0" is a syntax error in the script language.
      if (min_binding > kNotBinding) throw SyntaxError{"Expected expression"};
      Next();
      return Not(Expression(kNotBinding));
    }
    case Token::kMinus:
    case Token::kPlus: {
      // A sign takes a power chain (-2^2 is -4); in an exponent it takes
      // just the next operand (2^-3^2 is (2^-3)^2).
      const bool minus = token_ == Token::kMinus;
      Next();
      Value v = Expression(min_binding > kSignBinding ? min_binding : kSignBinding);
      return minus ? Negate(v) : v;
    }
    case Token::kOpen: {
      Next();
      Value v = Expression(0);
      if (token_ != Token::kClose) throw SyntaxError{"Expected ')'"};
      Next();
      return v;
    }
    case Token::kNumber: {
      Value v = Number(number_);
      Next();
      return v;
    }
    case Token::kText: {
      std::string s;
      s.reserve(lexeme_.size());
      for (size_t i = 0; i < lexeme_.size(); ++i) {
        s.push_back(lexeme_[i]);
        if (lexeme_[i] == '"') ++i;
      }
      Next();
      return Text(std::move(s));
    }
    case Token::kName:
      return NameOrCall();
    default:
      throw SyntaxError{"Expected expression"};
  }
}

Value Evaluator::NameOrCall() {
  const std::string_view name = lexeme_;
  Next();
  // Arguments are evaluated left to right before the call, all of them: IIF
  // evaluates both branches, as the fee programme's own definition does.
  Value args[kMostArgs];
  int count = 0;
  bool parenthesised = false;
  if (token_ == Token::kOpen) {
    parenthesised = true;
    Next();
    if (token_ != Token::kClose) {
      for (;;) {
        Value v = Expression(0);
        if (count < kMostArgs) args[count] = std::move(v);
        ++count;
        if (token_ != Token::kComma) break;
        Next();
      }
    }
    if (token_ != Token::kClose) throw SyntaxError{"Expected ')'"};
    Next();
  }
  if (failed_) return Value{};
  if (!parenthesised && EqualsIgnoringCase(name, "True")) return Boolean(true);
  if (!parenthesised && EqualsIgnoringCase(name, "False")) return Boolean(false);
  const FunctionEntry* f = FindFunction(name);
  if (f == nullptr) {
    // A fee variable that was not substituted, or a misspelt function.
    return Fail(std::string(parenthesised ? "Type mismatch: '" : "Variable is undefined: '") + std::string(name) + "'");
  }
  if (count < f->min_args || count > f->max_args) {
    return Fail("Wrong number of arguments or invalid property assignment: '" + std::string(name) + "'");
  }
  return Call(*f, args, count);
}

Value Evaluator::Fail(std::string reason) {
  if (!failed_) {
    failed_ = true;
    failure_ = std::move(reason);
  }
  return Value{};
}

// A text counts as the number it spells (blanks around it allowed); any other
// text is a type mismatch.
bool Evaluator::ToNumber(const Value& v, double& x) {
  if (v.kind != Value::Kind::kText) {
    x = v.number;
    return true;
  }
  if (ParseNumber(v.text, x) && std::isfinite(x)) return true;
  Fail("Type mismatch");
  return false;
}

// Integer division, Mod and the logical operators first round their operands
// half to even to a 32-bit integer.
bool Evaluator::ToLong(const Value& v, std::int32_t& n) {
  double x = 0;
  if (!ToNumber(v, x)) return false;
  if (const char* error = ToLongInteger(x, n)) {
    Fail(error);
    return false;
  }
  return true;
}

Value Evaluator::Finite(double x) {
  if (!std::isfinite(x)) return Fail("Overflow");
  return Number(x);
}

std::string Evaluator::TextOf(Value v) {
  switch (v.kind) {
    case Value::Kind::kText:
      return std::move(v.text);
    case Value::Kind::kBoolean:
      return v.number != 0 ? "True" : "False";
    case Value::Kind::kNumber:
      break;
  }
  return NumberText(v.number);
}

Value Evaluator::Binary(Token op, Value a, Value b) {
  if (failed_) return Value{};
  switch (op) {
    case Token::kConcat: {
      std::string s = TextOf(std::move(a));
      s += TextOf(std::move(b));
      return Text(std::move(s));
    }
    case Token::kPlus:
      // "+" joins two texts; with a number on either side it adds.
      if (a.kind == Value::Kind::kText && b.kind == Value::Kind::kText) {
        a.text += b.text;
        return a;
      }
      return Arithmetic(op, a, b);
    case Token::kMinus:
    case Token::kTimes:
    case Token::kDivide:
    case Token::kPower:
      return Arithmetic(op, a, b);
    case Token::kIntDivide:
    case Token::kMod:
      return IntegerDivision(op, a, b);
    case Token::kEqual:
    case Token::kNotEqual:
    case Token::kLess:
    case Token::kGreater:
    case Token::kLessEqual:
    case Token::kGreaterEqual:
      return Compare(op, a, b);
    default:
      return Logical(op, a, b);
  }
}

Value Evaluator::Arithmetic(Token op, const Value& a, const Value& b) {
  double x = 0, y = 0;
  if (!ToNumber(a, x) || !ToNumber(b, y)) return Value{};
  switch (op) {
    case Token::kPlus:
      return Finite(x + y);
    case Token::kMinus:
      return Finite(x - y);
    case Token::kTimes:
      return Finite(x * y);
    case Token::kDivide:
      if (y == 0) return Fail(x == 0 ? "Overflow" : "Division by zero");
      return Finite(x / y);
    default: {
      double r = 0;
      if (const char* error = Power(x, y, r)) return Fail(error);
      return Number(r);
    }
  }
}

Value Evaluator::IntegerDivision(Token op, const Value& a, const Value& b) {
  double x = 0, y = 0, r = 0;
  if (!ToNumber(a, x) || !ToNumber(b, y)) return Value{};
  const char* error = op == Token::kIntDivide ? IntegerQuotient(x, y, r) : IntegerRemainder(x, y, r);
  if (error) return Fail(error);
  return Number(r);
}

// A comparison gives True (-1) or False (0). Two texts compare character by
// character; a number is less than any text.
Value Evaluator::Compare(Token op, const Value& a, const Value& b) {
  const bool a_text = a.kind == Value::Kind::kText, b_text = b.kind == Value::Kind::kText;
  int order = 0;
  if (a_text && b_text) {
    const int c = a.text.compare(b.text);
    order = c < 0 ? -1 : c > 0 ? 1 : 0;
  } else if (a_text != b_text) {
    order = a_text ? 1 : -1;
  } else {
    order = a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
  }
  switch (op) {
    case Token::kEqual:
      return Boolean(order == 0);
    case Token::kNotEqual:
      return Boolean(order != 0);
    case Token::kLess:
      return Boolean(order < 0);
    case Token::kGreater:
      return Boolean(order > 0);
    case Token::kLessEqual:
      return Boolean(order <= 0);
    default:
      return Boolean(order >= 0);
  }
}

// Bitwise on 32-bit integers; two Booleans give a Boolean.
Value Evaluator::Logical(Token op, const Value& a, const Value& b) {
  std::int32_t x = 0, y = 0;
  if (!ToLong(a, x) || !ToLong(b, y)) return Value{};
  std::int32_t r = 0;
  switch (op) {
    case Token::kAnd:
      r = x & y;
      break;
    case Token::kOr:
      r = x | y;
      break;
    case Token::kXor:
      r = x ^ y;
      break;
    case Token::kEqv:
      r = ~(x ^ y);
      break;
    default:
      r = ~x | y;
      break;
  }
  if (a.kind == Value::Kind::kBoolean && b.kind == Value::Kind::kBoolean) return Boolean(r != 0);
  return Number(r);
}

Value Evaluator::Negate(const Value& a) {
  double x = 0;
  if (failed_ || !ToNumber(a, x)) return Value{};
  return Number(-x);
}

Value Evaluator::Not(const Value& a) {
  std::int32_t x = 0;
  if (failed_ || !ToLong(a, x)) return Value{};
  if (a.kind == Value::Kind::kBoolean) return Boolean(x == 0);
  return Number(~x);
}

Value Evaluator::Math(double (*fn)(double), const Value& a) {
  double x = 0;
  if (!ToNumber(a, x)) return Value{};
  return Finite(fn(x));
}

Value Evaluator::SquareRoot(const Value& a) {
  double x = 0;
  if (failed_ || !ToNumber(a, x)) return Value{};
  if (x < 0) return Fail("Invalid procedure call or argument: 'Sqr'");
  return Number(std::sqrt(x));
}

Value Evaluator::Truncate(const Value& a, bool floor) {
  double x = 0;
  if (failed_ || !ToNumber(a, x)) return Value{};
  return Number(floor ? std::floor(x) : std::trunc(x));
}

Value Evaluator::RoundTo(const Value& a, const Value* decimals) {
  double x = 0, places = 0, rounded = 0;
  if (!ToNumber(a, x)) return Value{};
  if (decimals != nullptr && !ToNumber(*decimals, places)) return Value{};
  if (const char* error = RoundToPlaces(x, places, rounded)) return Fail(std::string(error) + ": 'Round'");
  return Number(rounded);
}

Value Evaluator::ToInteger(const Value& a, double low, double high) {
  double x = 0;
  if (!ToNumber(a, x)) return Value{};
  const double rounded = std::nearbyint(x);
  if (!(rounded >= low && rounded <= high)) return Fail("Overflow");
  return Number(rounded);
}

Value Evaluator::Call(const FunctionEntry& f, Value* args, int count) {
  Value& x = args[0];
  switch (f.id) {
    case Function::kPi:
      return Number(kScriptPi);
    case Function::kAtan:
    case Function::kAtn:
      return Math(std::atan, x);
    case Function::kSqrt:
    case Function::kSqr:
      return SquareRoot(x);
    case Function::kAsin: {
      // Atn(x/sqr(-x*x+1)), operation by operation: at 1 and -1 it divides by
      // zero, beyond them the square root fails.
      Value root = SquareRoot(Binary(Token::kPlus, Binary(Token::kTimes, Negate(x), x), Number(1)));
      Value ratio = Binary(Token::kDivide, x, std::move(root));
      return failed_ ? Value{} : Math(std::atan, ratio);
    }
    case Function::kCeil:
      // Fix(x)+1: CEIL(2) is 3 and CEIL(-1.5) is 0, by the fee programme's definition.
      return Binary(Token::kPlus, Truncate(x, false), Number(1));
    case Function::kRtod:
      return Binary(Token::kDivide, Binary(Token::kTimes, Number(180), x), Number(kScriptPi));
    case Function::kDtor:
      return Binary(Token::kDivide, Binary(Token::kTimes, x, Number(kScriptPi)), Number(180));
    case Function::kIif: {
      double condition = 0;
      if (x.kind == Value::Kind::kText && (EqualsIgnoringCase(x.text, "True") || EqualsIgnoringCase(x.text, "False"))) {
        condition = EqualsIgnoringCase(x.text, "True") ? -1 : 0;
      } else if (!ToNumber(x, condition)) {
        return Value{};
      }
      return std::move(condition != 0 ? args[1] : args[2]);
    }
    case Function::kFix:
      return Truncate(x, false);
    case Function::kInt:
      return Truncate(x, true);
    case Function::kAbs:
      return Math(std::fabs, x);
    case Function::kSgn: {
      double v = 0;
      if (!ToNumber(x, v)) return Value{};
      return Number(v > 0 ? 1 : v < 0 ? -1 : 0);
    }
    case Function::kExp:
      return Math(std::exp, x);
    case Function::kLog: {
      double v = 0;
      if (!ToNumber(x, v)) return Value{};
      if (v <= 0) return Fail("Invalid procedure call or argument: 'Log'");
      return Number(std::log(v));
    }
    case Function::kSin:
      return Math(std::sin, x);
    case Function::kCos:
      return Math(std::cos, x);
    case Function::kTan:
      return Math(std::tan, x);
    case Function::kRound:
      return RoundTo(x, count == 2 ? &args[1] : nullptr);
    case Function::kCDbl: {
      double v = 0;
      if (!ToNumber(x, v)) return Value{};
      return Number(v);
    }
    case Function::kCInt:
      return ToInteger(x, -32768.0, 32767.0);
    case Function::kCLng:
      return ToInteger(x, kLongMin, kLongMax);
  }
  return Value{};
}

double Evaluator::Run(std::string* reason) {
  const char* syntax = nullptr;
  Value result;
  try {
    Next();
    result = Expression(0);
    if (token_ != Token::kEnd || more_statements_) throw SyntaxError{"Expected end of statement"};
  } catch (const SyntaxError& e) {
    syntax = e.reason;
  } catch (const std::bad_alloc&) {
    syntax = "Out of memory";
  }
  double value = 0;
  if (syntax == nullptr && !failed_) {
    // Every formula is evaluated as "0+" followed by its text, so a text
    // result counts as the number it spells, and -0 comes out as 0.
    if (ToNumber(result, value)) value = 0.0 + value;
  }
  if (syntax != nullptr) {
    value = 0;
    if (reason) *reason = syntax;
  } else if (failed_) {
    value = 0;
    if (reason) *reason = failure_;
  } else if (reason) {
    reason->clear();
  }
  return value;
}

}  // namespace

double EvaluateExpression(std::string_view expression, std::string* reason) {
  Evaluator evaluator(expression);
  return evaluator.Run(reason);
}

std::string ReplacePercentSigns(std::string_view expression) {
  std::string text;
  text.reserve(expression.size() + 8);
  for (char c : expression) {
    if (c == '%') {
      text += "/100";
    } else {
      text.push_back(c);
    }
  }
  return text;
}

double JiSuanGS(std::string_view expression) {
  if (expression.find('%') == std::string_view::npos) return EvaluateExpression(expression);
  return EvaluateExpression(ReplacePercentSigns(expression));
}

}  // namespace quillmere
