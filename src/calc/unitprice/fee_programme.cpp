// The fee programme: reading and checking its lines, and turning fee codes
// and formulas into parts of statements (see fee_programme.h).

#include "calc/unitprice/fee_programme.h"

#include <algorithm>
#include <string>
#include <utility>

#include "base/text.h"
#include "db/recordset.h"
#include "db/step_limit.h"
#include "db/value.h"
#include "quillmere/project.h"

namespace quillmere {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Letters, digits, underscore; bytes of multi-byte characters count as
// letters, so a name in Chinese stays one word.
bool IsWordChar(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// The columns of the fee rows that say which estimate row a fee row belongs
// to, of what kind, on which basis and how much of it there is. A fee stored
// into one of them would take the row out of its pricing or change its
// quantity, so no fee code may name them.
constexpr const char* kRowColumns[] = {"sjxh", "ysid", "qdlb", "fbcch", "jsjs", "sjgcl", "sjgcl_qd"};

// The functions a fee formula may call, with the arguments each takes.
struct FeeFunction {
  const char* name;
  size_t fewest;
  size_t most;
};
constexpr FeeFunction kFunctions[] = {{"iif", 3, 3}, {"format", 2, 2}, {"isnull", 1, 1}, {"abs", 1, 1}, {"int", 1, 1},
                                      {"fix", 1, 1}, {"round", 1, 2},  {"sgn", 1, 1},    {"sqr", 1, 1}};

// SQLite refuses expressions deeper than this anyway; stopping here also
// keeps a hostile stored formula from exhausting the stack.
constexpr int kDeepestNesting = 1000;

// Why a formula is not a fee formula; the caller names the line.
struct NotAFeeFormula {
  std::string why;
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A piece of a formula: a number (in our engine's form), a quoted text (its
// content), a bracketed name, a word or a symbol; the last piece is the end.
struct Piece {
  enum class Kind { kNumber, kText, kName, kWord, kSymbol, kEnd };
  Kind kind;
  std::string text;
  std::string written;  // as the formula has it, for messages
};

std::vector<Piece> Pieces(std::string_view formula) {
  std::vector<Piece> pieces;
  const size_t n = formula.size();
  size_t i = 0;
  while (i < n) {
    const char c = formula[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
    } else if (c == '\'' || c == '"' || c == '[') {
      const char close = c == '[' ? ']' : c;
      std::string content;
      size_t j = i + 1;
      for (;; ++j) {
        if (j >= n) throw NotAFeeFormula{"a quoted text or bracketed name is not closed"};
        if (formula[j] != close) {
          content += formula[j];
          continue;
        }
        // A doubled quote inside a quoted text stands for the quote itself.
        if (close != ']' && j + 1 < n && formula[j + 1] == close) {
          content += formula[++j];
          continue;
        }
        break;
      }
      const std::string written(formula.substr(i, j + 1 - i));
      pieces.push_back({c == '[' ? Piece::Kind::kName : Piece::Kind::kText, std::move(content), written});
      i = j + 1;
    } else if (IsWordChar(c) && !IsDigit(c)) {
      size_t j = i;
      while (j < n && IsWordChar(formula[j])) ++j;
      const std::string word(formula.substr(i, j - i));
      pieces.push_back({Piece::Kind::kWord, word, word});
      i = j;
    } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(formula[i + 1]))) {
      size_t j = i;
      while (j < n && IsDigit(formula[j])) ++j;
      bool whole = true;
      if (j < n && formula[j] == '.') {
        whole = false;
        for (++j; j < n && IsDigit(formula[j]);) ++j;
      }
      if (j < n && (formula[j] == 'e' || formula[j] == 'E')) {
        size_t k = j + 1;
        if (k < n && (formula[k] == '+' || formula[k] == '-')) ++k;
        if (k < n && IsDigit(formula[k])) {
          whole = false;
          for (j = k; j < n && IsDigit(formula[j]);) ++j;
        }
      }
      std::string written(formula.substr(i, j - i));
      if (j < n && IsWordChar(formula[j])) {
        while (j < n && IsWordChar(formula[j])) ++j;
        throw NotAFeeFormula{Quoted(std::string(formula.substr(i, j - i))) + " is not a number"};
      }
      // "/" divides as reals in the host's dialect, so 3/100 is 0.03, not 0.
      pieces.push_back({Piece::Kind::kNumber, written + (whole ? ".0" : ""), written});
      i = j;
    } else {
      if (c == '&') throw NotAFeeFormula{"\"&\" joins texts, it does not compute an amount"};
      size_t length = 1;
      if (i + 1 < n &&
          ((c == '<' && (formula[i + 1] == '>' || formula[i + 1] == '=')) || (c == '>' && formula[i + 1] == '='))) {
        length = 2;
      }
      const std::string symbol(formula.substr(i, length));
      if (std::string_view("+-*/\\^(),=<>").find(c) == std::string_view::npos) {
        throw NotAFeeFormula{Quoted(symbol) + " has no place in a fee formula"};
      }
      pieces.push_back({Piece::Kind::kSymbol, symbol, symbol});
      i += length;
    }
  }
  pieces.push_back({Piece::Kind::kEnd, "", ""});
  return pieces;
}

// An expression of our engine: a leaf written as it stands, a call
// head(a,b,...), an operation (a op b) or a prefixed one (op a).
struct Node {
  enum class Form { kLeaf, kCall, kInfix, kPrefix };
  Form form;
  std::string head;
  std::vector<Node> operands;
  int depth = 1;
};

void Write(const Node& node, std::string& out) {
  switch (node.form) {
    case Node::Form::kLeaf:
      out += node.head;
      return;
    case Node::Form::kCall:
      out += node.head;
      out += '(';
      for (size_t i = 0; i < node.operands.size(); ++i) {
        if (i) out += ',';
        Write(node.operands[i], out);
      }
      out += ')';
      return;
    case Node::Form::kInfix:
      out += '(';
      Write(node.operands[0], out);
      out += node.head;
      Write(node.operands[1], out);
      out += ')';
      return;
    case Node::Form::kPrefix:
      out += '(';
      out += node.head;
      Write(node.operands[0], out);
      out += ')';
      return;
  }
}

// How tightly each operator of the dialect binds, loosest first.
// Comparisons share one level and group to the left, as in the dialect; Not
// and a sign stand before their operand; ^ binds tightest.
enum Binding { kNone, kOr, kAnd, kNot, kComparison, kSum, kRemainder, kQuotient, kProduct, kSign, kPower };

// Reads a fee formula with the dialect's grammar and writes it as an
// expression of our engine. SQLite has none of ^, integer division and Mod,
// so each becomes a call of the SQL function that computes it with the same
// meaning; the operators SQLite shares are written as they are.
class FeeFormulaParser {
 public:
  FeeFormulaParser(std::string_view formula, const std::vector<std::string>& names)
      : pieces_(Pieces(formula)), names_(names) {}

  std::string Expression() {
    if (Current().kind == Piece::Kind::kEnd) throw NotAFeeFormula{"it is empty"};
    const Node node = Parse(kOr);
    if (Current().kind != Piece::Kind::kEnd) Unexpected();
    std::string out;
    Write(node, out);
    return out;
  }

 private:
  const Piece& Current() const { return pieces_[next_]; }
  bool AtSymbol(std::string_view symbol) const {
    return Current().kind == Piece::Kind::kSymbol && Current().text == symbol;
  }
  bool AtWord(std::string_view word) const {
    return Current().kind == Piece::Kind::kWord && AsciiLower(Current().text) == word;
  }
  bool AtSign() const { return AtSymbol("-") || AtSymbol("+"); }

  // Takes an operator; the operand that must follow is missing when the
  // next piece cannot start one.
  void TakeOperator() { last_operator_ = pieces_[next_++].written; }

  [[noreturn]] void Unexpected() const {
    if (AtSymbol(")")) throw NotAFeeFormula{"it closes a parenthesis it did not open"};
    throw NotAFeeFormula{"an operator is missing before " + Quoted(Current().written)};
  }

  // Counts one level of nesting while it lives.
  class Nesting {
   public:
    explicit Nesting(int& depth) : depth_(depth) {
      if (++depth_ > kDeepestNesting) throw NotAFeeFormula{"it nests deeper than 1000 levels"};
    }
    ~Nesting() { --depth_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

   private:
    int& depth_;
  };

  static Node Combine(Node::Form form, std::string head, std::vector<Node> operands) {
    Node node{form, std::move(head), std::move(operands)};
    for (const Node& operand : node.operands) node.depth = std::max(node.depth, operand.depth + 1);
    if (node.depth > kDeepestNesting) throw NotAFeeFormula{"it nests deeper than 1000 levels"};
    return node;
  }

  // The operator standing between two operands here, and how tightly it
  // binds; kNone when there is none.
  Binding InfixBinding() const {
    if (AtWord("or")) return kOr;
    if (AtWord("and")) return kAnd;
    for (const char* op : {"=", "<>", "<", ">", "<=", ">="}) {
      if (AtSymbol(op)) return kComparison;
    }
    if (AtSign()) return kSum;
    if (AtWord("mod")) return kRemainder;
    if (AtSymbol("\\")) return kQuotient;
    if (AtSymbol("*") || AtSymbol("/")) return kProduct;
    if (AtSymbol("^")) return kPower;
    return kNone;
  }

  // Precedence climbing over the operators binding at least `least`; every
  // operator groups to the left (2^3^2 is 64).
  Node Parse(int least) {
    const Nesting nesting(depth_);
    Node left = Prefixed(least);
    for (Binding binding = InfixBinding(); binding != kNone && binding >= least; binding = InfixBinding()) {
      const Piece op = Current();
      TakeOperator();
      Node right = Parse(binding + 1);
      if (binding == kOr || binding == kAnd) {
        left = Combine(Node::Form::kInfix, binding == kOr ? " OR " : " AND ", {std::move(left), std::move(right)});
      } else if (binding == kPower || binding == kQuotient || binding == kRemainder) {
        const char* function = binding == kPower ? "vb_power" : binding == kQuotient ? "vb_intdiv" : "vb_mod";
        left = Combine(Node::Form::kCall, function, {std::move(left), std::move(right)});
      } else {
        left = Combine(Node::Form::kInfix, op.text, {std::move(left), std::move(right)});
      }
    }
    return left;
  }

  // An operand, after Not or a sign if one stands first. A sign takes a
  // power chain (-2^2 is -4), but in an exponent just the next operand
  // (2^-3^2 is (2^-3)^2); Not takes a comparison.
  Node Prefixed(int least) {
    const bool sign = AtSign();
    if (!sign && !AtWord("not")) return Operand();
    const std::string head = sign ? Current().text : "NOT ";
    TakeOperator();
    const int binding = sign ? kSign : kNot;
    return Combine(Node::Form::kPrefix, head, {Parse(least > binding ? least : binding)});
  }

  // A number, a quoted text, a name, a call or a parenthesised expression.
  Node Operand() {
    const Piece piece = Current();
    switch (piece.kind) {
      case Piece::Kind::kNumber:
        return Leaf(piece.text);
      case Piece::Kind::kText: {
        std::string text = piece.text;
        ReplaceAll(text, "'", "''");
        return Leaf("'" + text + "'");
      }
      case Piece::Kind::kName:
        return Leaf(Name(piece.text));
      case Piece::Kind::kWord: {
        const std::string word = AsciiLower(piece.text);
        if (word == "mod" || word == "and" || word == "or" || word == "not") break;
        if (pieces_[next_ + 1].kind == Piece::Kind::kSymbol && pieces_[next_ + 1].text == "(") return Call();
        return Leaf(Name(piece.text));
      }
      case Piece::Kind::kSymbol:
        if (piece.text == "(") {
          ++next_;
          last_operator_.clear();
          Node inner = Parse(kOr);
          Close();
          return inner;
        }
        break;
      case Piece::Kind::kEnd:
        break;
    }
    if (!last_operator_.empty()) throw NotAFeeFormula{Quoted(last_operator_) + " lacks an operand"};
    if (piece.kind == Piece::Kind::kEnd) throw NotAFeeFormula{"an operand is missing at its end"};
    throw NotAFeeFormula{"an operand is missing before " + Quoted(piece.written)};
  }

  Node Leaf(std::string text) {
    ++next_;
    last_operator_.clear();
    return Node{Node::Form::kLeaf, std::move(text), {}};
  }

  // A column of the working fee rows or a fee code, as the statement offers
  // them; names compare without case, as the engine's do.
  std::string Name(const std::string& name) const {
    for (const std::string& offered : names_) {
      if (EqualsIgnoringCase(offered, name)) return "[" + name + "]";
    }
    throw NotAFeeFormula{Quoted(name) + " is no column of the fee rows and no fee code"};
  }

  Node Call() {
    const std::string written = Current().written;
    const std::string name = AsciiLower(written);
    const FeeFunction* function = nullptr;
    for (const FeeFunction& f : kFunctions) {
      if (name == f.name) function = &f;
    }
    if (function == nullptr) throw NotAFeeFormula{Quoted(written) + " is not a function of fee formulas"};
    next_ += 2;
    last_operator_.clear();
    std::vector<Node> arguments;
    if (!AtSymbol(")")) {
      arguments.push_back(Parse(kOr));
      while (AtSymbol(",")) {
        ++next_;
        last_operator_.clear();
        arguments.push_back(Parse(kOr));
      }
    }
    Close();
    if (arguments.size() < function->fewest || arguments.size() > function->most) {
      const size_t f = function->fewest, m = function->most;
      throw NotAFeeFormula{Quoted(written) + " takes " + std::to_string(f) +
                           (m == f ? "" : " or " + std::to_string(m)) + (m == 1 ? " argument" : " arguments") +
                           ", not " + std::to_string(arguments.size())};
    }
    // isnull is a keyword of SQLite: the application function is reachable
    // only by its quoted name.
    return Combine(Node::Form::kCall, name == "isnull" ? "[isnull]" : name, std::move(arguments));
  }

  void Close() {
    if (AtSymbol(")")) {
      ++next_;
      return;
    }
    if (Current().kind == Piece::Kind::kEnd) throw NotAFeeFormula{"a parenthesis is not closed"};
    Unexpected();
  }

  std::vector<Piece> pieces_;
  const std::vector<std::string>& names_;
  size_t next_ = 0;
  int depth_ = 0;
  std::string last_operator_;
};

// The code of `line` must be a plain identifier naming no column of the fee
// rows that holds no fee.
void CheckCode(const FeeLine& line) {
  if (!IsFeeCode(line.code)) {
    throw Error("the fee code of " + LineName(line) + " cannot name a column: use letters, digits and underscores");
  }
  for (const char* column : kRowColumns) {
    if (EqualsIgnoringCase(line.code, column)) {
      throw Error("the fee code of " + LineName(line) + " names the fee rows' column " + column +
                  ", which holds no fee");
    }
  }
}

std::string EngineExpression(const FeeLine& line, std::string_view formula, const std::vector<std::string>& names) {
  try {
    return FeeFormulaParser(formula, names).Expression();
  } catch (const NotAFeeFormula& refused) {
    throw Error("the formula of " + LineName(line) + " is not a fee formula: " + refused.why);
  }
}

std::string BillItemForm(const std::string& code, std::string formula) {
  formula = AsciiLower(std::move(formula));
  // A bill item has no fee basis of its own and no rates: its fees are the
  // sums of its sub-items' fees, so the basis counts as 1 and a rate name
  // stands for the summed fee.
  static const std::pair<std::string_view, std::string_view> kBillItemNames[] = {
      {"[jsjs]", "1"}, {"jsjs", "1"}, {"[glffl]", "glf"}, {"glffl", "glf"}, {"[lrfl]", "lr"}, {"lrfl", "lr"}};
  for (const auto& [from, to] : kBillItemNames) ReplaceAll(formula, from, to);
  const std::string upper = AsciiUpper(code);
  if (upper == "GLF") formula = "glf";
  if (upper == "LR") formula = "lr";
  return formula;
}

}  // namespace

std::string LineName(const FeeLine& line) {
  return "the fee programme line " + (line.number.empty() ? "" : line.number + " ") + Quoted(line.code);
}

std::vector<FeeLine> ReadFeeProgramme(Connection& connection) {
  Recordset programme;
  programme.Open(connection, "select sjxh,fycode,fymc,sjgs,fl from qfjjcxb where leixing=1 order by jsxh,sjxh,rowid");
  std::vector<FeeLine> lines;
  std::vector<std::string> formulas;
  // A formula may name the columns of the working fee rows and every fee
  // code of the programme with its rate, whether its columns exist yet or not.
  std::vector<std::string> names = TableColumns(connection, "temp_qfsjb");
  for (const std::int64_t count = programme.RecordCount(); std::ssize(lines) < count; programme.MoveNext()) {
    FeeLine line;
    line.number = TextOrEmpty(programme.Field("sjxh"));
    line.code = TextOrEmpty(programme.Field("fycode"));
    line.rate = programme.Field("fl");
    CheckCode(line);
    names.push_back(line.code);
    names.push_back(line.code + "_FL");
    lines.push_back(std::move(line));
    formulas.push_back(TextOrEmpty(programme.Field("sjgs")));
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    FeeLine& line = lines[i];
    for (size_t b = 0; b < std::size(kFeeBases); ++b) {
      std::string formula = formulas[i];
      ReplaceAll(formula, "[jsjs]", kFeeBases[b].amount);
      line.sub_item[b] = EngineExpression(line, formula, names);
    }
    line.bill_item = EngineExpression(line, BillItemForm(line.code, formulas[i]), names);
  }
  return lines;
}

std::string FeeColumn(const std::string& code, std::string_view suffix) {
  RequireFeeCode(code);
  return "[" + code + std::string(suffix) + "]";
}

void RunFeeLineStatement(Connection& connection, const FeeLine& line, const std::string& sql, const Params& params) {
  StepLimit limit(connection);
  limit.Run(LineName(line), [&] { connection.Execute(sql, params); });
}

std::string CopyBackWorkingRows(std::string_view total, std::string_view where) {
  return "update qfsjb as aaa set zhdj=bbb.zhdj,rgf=bbb.rgf,clf=bbb.clf,jxf=bbb.jxf,glf=bbb.glf,lr=bbb.lr,zhbj=" +
         std::string(total) + " from temp_qfsjb as bbb where aaa.ysid=bbb.ysid and " + std::string(where);
}

}  // namespace quillmere
