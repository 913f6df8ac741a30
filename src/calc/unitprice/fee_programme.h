// The fee programme of the comprehensive unit price: its lines, and how a
// line's fee code and formula become parts of an SQL statement over the
// working fee rows (temp_qfsjb). Shared by the whole-project, single-row and
// bill-item pricing.

#ifndef QUILLMERE_CALC_UNITPRICE_FEE_PROGRAMME_H_
#define QUILLMERE_CALC_UNITPRICE_FEE_PROGRAMME_H_

#include <string>
#include <string_view>
#include <vector>

#include "quillmere/connection.h"

namespace quillmere {

// One line of the programme (qfjjcxb, leixing 1): the fee code names the
// column of temp_qfsjb that receives the fee, the formula is the host's SQL
// expression over the columns of temp_qfsjb.
struct FeeLine {
  std::string code;
  std::string formula;
  Value rate;  // fl, in percent; the rate a host that sets none would give
  std::string number;  // sjxh and fymc, which name the line in messages
  std::string name;
};

// The lines in calculation order (jsxh; equal orders by line number, then
// as stored, so the order never depends on the engine's sort).
std::vector<FeeLine> ReadFeeProgramme(Connection& connection);

// "[C]" (or "[C<suffix>]") for the fee code C. Throws Error naming the code
// when it is not a plain identifier, since it is placed into statements as a
// column name.
std::string FeeColumn(const std::string& code, std::string_view suffix = {});

// The formula of a sub-item line for the fee basis `basis` ("(rgf+jxf)" or
// "rgf"), which stands for every "[jsjs]"; ready to be placed into a
// statement (see EngineExpression).
std::string SubItemFormula(const FeeLine& line, std::string_view basis);

// The formula of a bill-item line: lower case, the basis standing for 1 and
// the rate names for the fee amounts already summed from the sub-items; the
// management fee and profit lines keep those sums as they are.
std::string BillItemFormula(const FeeLine& line);

// Turns a stored formula into an expression of our engine with the meaning it
// has in the desktop-database dialect the host writes formulas in:
//   - isnull(x) becomes [isnull](x): isnull is a keyword of SQLite, and the
//     application function is reachable only by its quoted name;
//   - a whole-number literal becomes a real one (2 -> 2.0): "/" always
//     divides as reals in the host's dialect, so 3/100 is 0.03, not 0;
//   - x ^ y, x \ y and x Mod y, which SQLite lacks, become vb_power(x,y),
//     vb_intdiv(x,y) and vb_mod(x,y), grouped by the dialect's precedence
//     (-2^2 is -4, 7 Mod 4 * 2 is 7 Mod 8).
// It must stay one self-contained expression wherever it is placed: quoted
// texts and bracketed names closed, parentheses balanced and never closing
// one the formula did not open, no "&" (text joining there, a bitwise AND
// here) and no operator without its operands. Anything else throws Error
// naming the fee code; comments and a second statement are refused by the
// connection itself.
std::string EngineExpression(std::string_view formula, const std::string& code);

// The copy of the priced working rows back into the fee rows: unit price,
// labour, material and machine amounts, management fee, profit, and the
// total as `total` computes it. `where` selects the rows of qfsjb (alias aaa;
// temp_qfsjb is bbb).
std::string CopyBackWorkingRows(std::string_view total, std::string_view where);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_UNITPRICE_FEE_PROGRAMME_H_
