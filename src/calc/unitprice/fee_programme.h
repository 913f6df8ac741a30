// The fee programme of the comprehensive unit price: its lines, checked, and
// how a line's fee code and formula become parts of an SQL statement over the
// working fee rows (temp_qfsjb). Shared by the whole-project, single-row and
// bill-item pricing.

#ifndef QUILLMERE_CALC_UNITPRICE_FEE_PROGRAMME_H_
#define QUILLMERE_CALC_UNITPRICE_FEE_PROGRAMME_H_

#include <array>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "quillmere/connection.h"

namespace quillmere {

// The two fee bases of the sub-items: the fee rows that use each, and the
// amount their fees are charged on. A sub-item with any other basis keeps its
// fees as they were.
struct FeeBasis {
  const char* rows;
  const char* amount;
};
inline constexpr FeeBasis kFeeBases[] = {{"(jsjs='人工+机械' or jsjs is null)", "(rgf+jxf)"}, {"jsjs='人工'", "rgf"}};

// One line of the programme (qfjjcxb, leixing 1). Its fee code names the
// column of temp_qfsjb that receives the fee; its formula, written by the
// host in the desktop-database dialect, is kept here as the expressions our
// engine evaluates (see ReadFeeProgramme).
struct FeeLine {
  std::string number;  // the line number sjxh, as messages quote it
  std::string code;
  Value rate;  // fl, in percent; the rate a host that sets none would give
  // The formula of a sub-item, for each fee basis of kFeeBases, which stands
  // for every "[jsjs]".
  std::array<std::string, std::size(kFeeBases)> sub_item;
  // The formula of a bill item: lower case, the basis standing for 1 and the
  // rate names for the fee amounts already summed from the sub-items; the
  // management fee and profit lines keep those sums as they are.
  std::string bill_item;
};

// How messages name a line: its number and fee code.
std::string LineName(const FeeLine& line);

// The lines in calculation order (jsxh; equal orders by line number, then
// as stored, so the order never depends on the engine's sort), each checked
// before any statement is built from it. A fee code must be a plain
// identifier and must not name a column of the fee rows that holds no fee
// (which row, what kind, how much). A formula must be a fee formula:
// numbers, quoted texts, the columns of the working fee rows and the
// programme's fee codes and rates (bare or in brackets), the operators
// + - * / ^ \ Mod, the comparisons = <> < > <= >=, And, Or, Not,
// parentheses, and the functions iif, format, isnull, abs, int, fix, round,
// sgn and sqr. Anything else throws Error naming the line.
//
// The expressions keep the meaning the formula has in the host's dialect:
// "/" divides as reals (a whole number is written as a real), ^, \ and Mod
// become vb_power, vb_intdiv and vb_mod grouped by the dialect's precedence
// (-2^2 is -4, 7 Mod 4 * 2 is 7 Mod 8, 2^-3^2 is (2^-3)^2), every operation
// is parenthesised, so the expression stays one wherever it is placed.
std::vector<FeeLine> ReadFeeProgramme(Connection& connection);

// "[C]" (or "[C<suffix>]") for the fee code C. Throws Error naming the code
// when it is not a plain identifier, since it is placed into statements as a
// column name.
std::string FeeColumn(const std::string& code, std::string_view suffix = {});

// Runs a statement built from `line`, bounded by a step limit: a statement
// that runs past it fails with an Error naming the line.
void RunFeeLineStatement(Connection& connection, const FeeLine& line, const std::string& sql,
                         const Params& params = {});

// The copy of the priced working rows back into the fee rows: unit price,
// labour, material and machine amounts, management fee, profit, and the
// total as `total` computes it. `where` selects the rows of qfsjb (alias aaa;
// temp_qfsjb is bbb).
std::string CopyBackWorkingRows(std::string_view total, std::string_view where);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_UNITPRICE_FEE_PROGRAMME_H_
