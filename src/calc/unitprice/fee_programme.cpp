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

}  // namespace

std::vector<FeeLine> ReadFeeProgramme(Connection& connection) {
  Recordset programme;
  programme.Open(connection, "select sjxh,fycode,fymc,sjgs,fl from qfjjcxb where leixing=1 order by jsxh,sjxh,rowid");
  std::vector<FeeLine> lines;
  const std::int64_t count = programme.RecordCount();
  for (std::int64_t i = 0; i < count; ++i) {
    lines.push_back({TextOrEmpty(programme.Field("fycode")), TextOrEmpty(programme.Field("sjgs")),
                     programme.Field("fl")});
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
  std::string out;
  int depth = 0;
  const size_t n = formula.size();
  size_t i = 0;
  while (i < n) {
    const char c = formula[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
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
      out.append(formula.substr(i, j + 1 - i));
      i = j + 1;
      continue;
    }
    if (IsWordChar(c) && !IsDigit(c)) {
      size_t j = i;
      while (j < n && IsWordChar(formula[j])) ++j;
      const std::string word(formula.substr(i, j - i));
      size_t next = j;
      while (next < n && (formula[next] == ' ' || formula[next] == '\t')) ++next;
      out += AsciiLower(word) == "isnull" && next < n && formula[next] == '(' ? "[isnull]" : word;
      i = j;
      continue;
    }
    if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(formula[i + 1]))) {
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
      out.append(formula.substr(i, j - i));
      if (whole) out += ".0";
      i = j;
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && --depth < 0) NotOneExpression(code, "it closes a parenthesis it did not open");
    if (c == '&') NotOneExpression(code, "\"&\" joins texts, it does not compute an amount");
    out += c;
    ++i;
  }
  if (depth != 0) NotOneExpression(code, "a parenthesis is not closed");
  return out;
}

std::string CopyBackWorkingRows(std::string_view total, std::string_view where) {
  return "update qfsjb as aaa set zhdj=bbb.zhdj,rgf=bbb.rgf,clf=bbb.clf,jxf=bbb.jxf,glf=bbb.glf,lr=bbb.lr,zhbj=" +
         std::string(total) + " from temp_qfsjb as bbb where aaa.ysid=bbb.ysid and " + std::string(where);
}

}  // namespace quillmere
