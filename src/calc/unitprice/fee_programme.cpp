// The fee programme: reading its lines, and turning fee codes and formulas
// into parts of statements (see fee_programme.h).

#include "calc/unitprice/fee_programme.h"

#include <string>

#include "base/text.h"
#include "db/recordset.h"
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

[[noreturn]] void NotOneExpression(const std::string& code, const std::string& why) {
  throw Error("the formula of the fee code \"" + code + "\" is not one self-contained expression: " + why);
}

// A piece of a stored formula: the blanks before it and its text, already in
// our engine's form (see EngineExpression).
struct Piece {
  enum class Kind { kName, kWord, kNumber, kOpen, kClose, kSymbol };
  Kind kind;
  std::string blanks;
  std::string text;
};

// Cuts a stored formula into pieces, checking that it stays one
// self-contained expression and making the literal changes: [isnull] for the
// function isnull, a real for a whole number.
std::vector<Piece> Pieces(std::string_view formula, const std::string& code) {
  std::vector<Piece> pieces;
  std::string blanks;
  int depth = 0;
  const size_t n = formula.size();
  size_t i = 0;
  auto add = [&](Piece::Kind kind, std::string text) {
    pieces.push_back({kind, std::move(blanks), std::move(text)});
    blanks.clear();
  };
  while (i < n) {
    const char c = formula[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      blanks += c;
      ++i;
    } else if (c == '\'' || c == '"' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      size_t j = i + 1;
      for (;; ++j) {
        if (j >= n) NotOneExpression(code, "a quoted text or bracketed name is not closed");
        if (formula[j] != close) continue;
        // A doubled quote inside a quoted text stands for the quote itself.
        if (close != ']' && j + 1 < n && formula[j + 1] == close) {
          ++j;
          continue;
        }
        break;
      }
      add(Piece::Kind::kName, std::string(formula.substr(i, j + 1 - i)));
      i = j + 1;
    } else if (IsWordChar(c) && !IsDigit(c)) {
      size_t j = i;
      while (j < n && IsWordChar(formula[j])) ++j;
      const std::string word(formula.substr(i, j - i));
      size_t next = j;
      while (next < n && (formula[next] == ' ' || formula[next] == '\t')) ++next;
      if (AsciiLower(word) == "isnull" && next < n && formula[next] == '(') {
        add(Piece::Kind::kName, "[isnull]");
      } else {
        add(Piece::Kind::kWord, word);
      }
      i = j;
    } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(formula[i + 1]))) {
      size_t j = i;
      bool whole = true;
      while (j < n && IsDigit(formula[j])) ++j;
      if (j < n && formula[j] == '.') {
        whole = false;
        for (++j; j < n && IsDigit(formula[j]);) ++j;
      }
      // An exponent, a hexadecimal prefix or letters glued to the digits:
      // not a whole number, left exactly as written.
      if (j < n && IsWordChar(formula[j])) {
        whole = false;
        if ((formula[j] == 'e' || formula[j] == 'E') && j + 1 < n && (formula[j + 1] == '+' || formula[j + 1] == '-')) {
          j += 2;
        }
        while (j < n && IsWordChar(formula[j])) ++j;
      }
      add(Piece::Kind::kNumber, std::string(formula.substr(i, j - i)) + (whole ? ".0" : ""));
      i = j;
    } else {
      if (c == '(') ++depth;
      if (c == ')' && --depth < 0) NotOneExpression(code, "it closes a parenthesis it did not open");
      if (c == '&') NotOneExpression(code, "\"&\" joins texts, it does not compute an amount");
      add(c == '(' ? Piece::Kind::kOpen : c == ')' ? Piece::Kind::kClose : Piece::Kind::kSymbol, std::string(1, c));
      ++i;
    }
  }
  if (depth != 0) NotOneExpression(code, "a parenthesis is not closed");
  // The end: an empty piece carrying the trailing blanks, which the writer
  // stops at and copies last.
  pieces.push_back({Piece::Kind::kSymbol, std::move(blanks), ""});
  return pieces;
}

// Words of the dialect that join or qualify operands rather than being one.
bool IsKeyword(const std::string& word) {
  static const char* const kKeywords[] = {"and",  "or",   "not",   "xor",    "eqv",     "imp",   "is",   "in",
                                          "like", "glob", "match", "regexp", "between", "case",  "when", "then",
                                          "else", "end",  "as",    "escape", "collate", "exists"};
  const std::string lower = AsciiLower(word);
  for (const char* keyword : kKeywords) {
    if (lower == keyword) return true;
  }
  return false;
}

// Writes the formula's arithmetic with the dialect's precedence: ^ binds
// tightest, then a sign, * and /, integer division \, Mod, then + and -.
// SQLite has none of ^, integer division and Mod, so each becomes a call of
// the SQL function that computes it with the same meaning (vb_power,
// vb_intdiv, vb_mod); every other piece is written as it stands. The grouping of the calls follows the dialect's
// precedence, which for the operators SQLite shares is SQLite's own.
class ArithmeticWriter {
 public:
  ArithmeticWriter(std::vector<Piece> pieces, const std::string& code) : pieces_(std::move(pieces)), code_(code) {}

  // Everything up to the closing parenthesis of the current group, or to the
  // end: operands with their operators, and whatever stands between them.
  std::string Sequence() {
    std::string out;
    while (!AtEnd() && Current().kind != Piece::Kind::kClose) {
      out += StartsOperand() ? Expression(0) : Take();
    }
    return out;
  }

  // The trailing blanks of the formula.
  std::string Rest() { return pieces_.back().blanks; }

 private:
  static constexpr int kSignBinding = 14;  // a sign takes a power chain: -2^2 is -4
  static constexpr int kDeepestNesting = 1000;

  bool AtEnd() const { return next_ + 1 >= pieces_.size(); }
  const Piece& Current() const { return pieces_[next_]; }
  std::string Take() {
    const Piece& piece = pieces_[next_++];
    return piece.blanks + piece.text;
  }

  bool IsSign() const {
    return Current().kind == Piece::Kind::kSymbol && (Current().text == "-" || Current().text == "+");
  }

  bool StartsOperand() const {
    switch (Current().kind) {
      case Piece::Kind::kName:
      case Piece::Kind::kNumber:
      case Piece::Kind::kOpen:
        return true;
      case Piece::Kind::kWord:
        return !IsKeyword(Current().text);
      case Piece::Kind::kSymbol:
        return IsSign();
      case Piece::Kind::kClose:
        break;
    }
    return false;
  }

  // How tightly the current piece binds as an operator between two
  // operands; 0 when it is none of the arithmetic operators.
  int Binding() const {
    if (AtEnd()) return 0;
    const Piece& piece = Current();
    if (piece.kind == Piece::Kind::kWord) return AsciiLower(piece.text) == "mod" ? 10 : 0;
    if (piece.kind != Piece::Kind::kSymbol || piece.text.size() != 1) return 0;
    switch (piece.text[0]) {
      case '+':
      case '-':
        return 9;
      case '\\':
        return 11;
      case '*':
      case '/':
        return 12;
      case '^':
        return 14;
      default:
        return 0;
    }
  }

  // The SQL function that computes an operator SQLite lacks; nullptr for
  // the operators SQLite shares.
  static const char* SqlFunctionOf(const Piece& op) {
    if (op.text == "^") return "vb_power";
    if (op.text == "\\") return "vb_intdiv";
    if (op.kind == Piece::Kind::kWord) return "vb_mod";
    return nullptr;
  }

  // Precedence climbing: every operator associates to the left (2^3^2 is 64).
  std::string Expression(int min_binding) {
    // SQLite refuses expressions nested this deep anyway; stopping here keeps
    // a hostile stored formula from exhausting the stack.
    if (++depth_ > kDeepestNesting) NotOneExpression(code_, "it nests deeper than 1000 levels");
    std::string left = Operand(min_binding);
    for (int binding = Binding(); binding != 0 && binding >= min_binding; binding = Binding()) {
      const Piece op = pieces_[next_++];
      const std::string right = Expression(binding + 1);
      const char* function = SqlFunctionOf(op);
      if (function == nullptr) {
        left += op.blanks + op.text + right;
      } else if (left.empty() || right.empty()) {
        NotOneExpression(code_, "\"" + op.text + "\" lacks an operand");
      } else {
        left = std::string(function) + "(" + left + "," + right + ")";
      }
    }
    --depth_;
    return left;
  }

  // One operand: a signed operand, a parenthesised group, a call, a name, a
  // number or a quoted text; empty when none stands here.
  std::string Operand(int min_binding) {
    if (AtEnd() || !StartsOperand()) return {};
    if (IsSign()) {
      // In an exponent a sign takes just the next operand (2^-3^2 is (2^-3)^2).
      const std::string sign = Take();
      const std::string operand = Expression(min_binding > kSignBinding ? min_binding : kSignBinding);
      if (operand.empty()) NotOneExpression(code_, "\"" + sign + "\" lacks an operand");
      return sign + operand;
    }
    std::string out;
    if (Current().kind != Piece::Kind::kOpen) {
      out = Take();
      if (AtEnd() || Current().kind != Piece::Kind::kOpen) return out;
    }
    out += Take();  // the opening parenthesis of a group or of a call's arguments
    out += Sequence();
    return out + Take();
  }

  std::vector<Piece> pieces_;
  const std::string& code_;
  size_t next_ = 0;
  int depth_ = 0;
};

}  // namespace

std::vector<FeeLine> ReadFeeProgramme(Connection& connection) {
  Recordset programme;
  programme.Open(connection, "select sjxh,fycode,fymc,sjgs,fl from qfjjcxb where leixing=1 order by jsxh,sjxh,rowid");
  std::vector<FeeLine> lines;
  const std::int64_t count = programme.RecordCount();
  for (std::int64_t i = 0; i < count; ++i) {
    lines.push_back(
        {TextOrEmpty(programme.Field("fycode")), TextOrEmpty(programme.Field("sjgs")), programme.Field("fl"),
         TextOrEmpty(programme.Field("sjxh")), TextOrEmpty(programme.Field("fymc"))});
    programme.MoveNext();
  }
  return lines;
}

std::string FeeColumn(const std::string& code, std::string_view suffix) {
  RequireFeeCode(code);
  return "[" + code + std::string(suffix) + "]";
}

std::string SubItemFormula(const FeeLine& line, std::string_view basis) {
  std::string formula = line.formula;
  ReplaceAll(formula, "[jsjs]", basis);
  return EngineExpression(formula, line.code);
}

std::string BillItemFormula(const FeeLine& line) {
  std::string formula = AsciiLower(line.formula);
  // A bill item has no fee basis of its own and no rates: its fees are the
  // sums of its sub-items' fees, so the basis counts as 1 and a rate name
  // stands for the summed fee.
  static const std::pair<std::string_view, std::string_view> kBillItemNames[] = {
      {"[jsjs]", "1"}, {"jsjs", "1"}, {"[glffl]", "glf"}, {"glffl", "glf"}, {"[lrfl]", "lr"}, {"lrfl", "lr"}};
  for (const auto& [from, to] : kBillItemNames) ReplaceAll(formula, from, to);
  const std::string code = AsciiUpper(line.code);
  if (code == "GLF") formula = "glf";
  if (code == "LR") formula = "lr";
  return EngineExpression(formula, line.code);
}

std::string EngineExpression(std::string_view formula, const std::string& code) {
  ArithmeticWriter writer(Pieces(formula, code), code);
  std::string out = writer.Sequence();
  return out + writer.Rest();
}

std::string CopyBackWorkingRows(std::string_view total, std::string_view where) {
  return "update qfsjb as aaa set zhdj=bbb.zhdj,rgf=bbb.rgf,clf=bbb.clf,jxf=bbb.jxf,glf=bbb.glf,lr=bbb.lr,zhbj=" +
         std::string(total) + " from temp_qfsjb as bbb where aaa.ysid=bbb.ysid and " + std::string(where);
}

}  // namespace quillmere
