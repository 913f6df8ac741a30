// Resource lines held in memory: read once from the statements that select
// them, grouped per resource in the order SQLite's GROUP BY gives, and written
// back with prepared inserts. The analysis tables, the project resource
// tables and the bill material lines are built this way, so that a line is
// read once and each output row written once, instead of staging every line
// in a table of its own, sorting it there and updating every written row
// again for its amounts.

#ifndef QUILLMERE_CALC_MODEL_RESOURCE_LINES_H_
#define QUILLMERE_CALC_MODEL_RESOURCE_LINES_H_

#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/compensated_sum.h"
#include "calc/figure_check.h"
#include "quillmere/connection.h"

namespace quillmere {

// A figure of a REAL column: a number, or null. SQL knows no number that is
// no number (SQLite makes such a result null), so NaN stands for null and a
// figure takes no more room than its number: the lines of a whole project
// are held by the million.
struct Figure {
  double value = std::numeric_limits<double>::quiet_NaN();
  bool null() const { return std::isnan(value); }
  static Figure Of(double x) { return {x}; }
};

// A text of a TEXT column kept once for all the lines that carry it. Id 0
// stands for null.
using TextId = std::uint32_t;

class TextPool {
 public:
  TextPool();
  TextId Intern(std::string_view text);
  const std::string& Text(TextId id) const { return texts_[id]; }
  // How many ids there are, the null one included.
  size_t size() const { return texts_.size(); }
  // Ranks every text as SQLite orders them (null first, then by bytes), so
  // that keys compare by integers; call again after interning more texts.
  void Rank();
  std::uint32_t RankOf(TextId id) const { return ranks_[id]; }

 private:
  std::vector<std::string> texts_;
  std::unordered_map<std::string, TextId> ids_;
  std::vector<std::uint32_t> ranks_;
};

// A sum of figures as SQL's sum() takes them: nulls left out, null when
// every figure is null; `counted` tells whether any figure came at all.
struct FigureSum {
  bool counted = false;
  bool any = false;
  CompensatedSum total;
  void Add(Figure figure) {
    counted = true;
    if (figure.null()) return;
    any = true;
    total.Add(figure.value);
  }
  Figure Total() const { return any ? Figure::Of(total.Total()) : Figure{}; }
};

// One resource of one estimate row: code, name, unit, base and current
// price, material class (null for other kinds), and a quantity.
struct ResourceLine {
  std::int64_t ysid = 0;
  bool ysid_null = false;
  TextId bh = 0, mc = 0, dw = 0, cllb = 0;
  Figure dj, xxj, sl;
};

// The texts of one pool as ids of another, each interned there once: for
// lines handed from a stage that pooled their texts to one that pools its own.
class TextsInPool {
 public:
  TextsInPool(const TextPool& from, TextPool& to) : from_(from), to_(to), interned_(from.size(), 0) {}
  TextId operator()(TextId id) {
    if (id != 0 && interned_[id] == 0) interned_[id] = to_.Intern(from_.Text(id));
    return interned_[id];
  }
  // A line with its code, name, unit and class so translated.
  ResourceLine operator()(ResourceLine line) {
    for (TextId* text : {&line.bh, &line.mc, &line.dw, &line.cllb}) *text = (*this)(*text);
    return line;
  }

 private:
  const TextPool& from_;
  TextPool& to_;
  std::vector<TextId> interned_;
};

// Whether two lines name the same resource (`with_row`: of the same row too).
// -1, 0 or 1 in SQLite's order of the key columns.
int CompareResources(const ResourceLine& a, const ResourceLine& b, const TextPool& pool, bool with_row);

// Reads the lines `select` gives, its columns ysid, bh, mc, dw, dj, xxj, sl
// and, when it has an eighth, cllb, appending them in the order they come.
// A text where a figure belongs is "Type mismatch".
void ReadResourceLines(Connection& connection, const std::string& select, const Params& params, TextPool& pool,
                       std::vector<ResourceLine>& lines);

// The lines grouped per resource (`with_row`: per resource and row), in key
// order, each with the sum of its quantities in the order they came; a group
// whose quantities are all null sums to null.
std::vector<ResourceLine> GroupResources(std::vector<ResourceLine> lines, TextPool& pool, bool with_row);

// A value as a figure: a number, or a text that reads exactly as one; null
// stays null. False for any other text (or a blob).
bool ReadFigureValue(sqlite3_value* value, Figure& figure);
// A column of the current row of `stmt` as a figure; any other text is "Type
// mismatch" naming `source`.
Figure ReadFigure(sqlite3_stmt* stmt, int column, const std::string& source);
// A text column of the current row, pooled; null is id 0.
TextId ReadText(sqlite3_stmt* stmt, int column, TextPool& pool);
// Whether a stored value already is the figure, as SQL's IS compares them.
bool SameFigure(const Value& stored, Figure figure);

// Arithmetic on figures as SQL computes it: null when either is null, or
// when the result is no number (an infinity less itself, say).
Figure Times(Figure a, Figure b);
Figure Plus(Figure a, Figure b);
Figure Minus(Figure a, Figure b);
// a/b, also null for a division by zero, as SQLite gives it.
Figure Divided(Figure a, Figure b);
// A figure as the value a statement binds or a cell holds.
Value AsValue(Figure figure);
// What a REAL column gives back for a computed value: no number at all is
// null, and a zero has no sign.
Figure Stored(Figure x);
// format(x, '0.##') and its kin: x rounded to `decimals`, null stays null.
Figure Rounded(Figure x, int decimals);

// The price a line counts at: its current price, or its base price where the
// current price is 0 (SQL's iif(xxj=0,dj,xxj)); null with a null current
// price.
Figure EffectivePrice(const ResourceLine& line);
// hj: the amount at the base price.
Figure BaseAmount(const ResourceLine& line);
// xhj: the amount at the current price, or at the base price where no
// current price is set.
Figure CurrentAmount(const ResourceLine& line);
// jchj: what the current price adds to the base price, over the quantity.
Figure PriceDifference(const ResourceLine& line);

// How a table of lines holds the material class: not at all, as the text, or
// as a bill line's class, given for each line.
enum class ClassColumn { kNone, kText, kBillClass };

// What a table of lines holds besides code, name, unit, prices, quantity and
// base amount.
struct LineColumns {
  bool row = false;               // ysid
  bool price_difference = false;  // jchj instead of the current amount xhj
  ClassColumn material_class = ClassColumn::kNone;
  bool list_flags = false;                                // xz, zgj, jg: selected, no list mark yet
  const std::vector<Value>* selection = nullptr;          // xz, one for each line written
  const std::vector<std::int64_t>* bill_class = nullptr;  // cllb with kBillClass, one for each line
};

// How lines go into their table: after the rows already there, or as the
// table's whole content (written by difference, see table_rewrite.h).
enum class Fill { kAppend, kWholeTable };

// Writes `lines` into `table` in their order, with their amounts.
void WriteLines(Connection& connection, const std::string& table, const LineColumns& holds,
                const std::vector<ResourceLine>& lines, const TextPool& pool, Fill fill);

// Lines as WriteLines writes them into a table that holds nothing else (or,
// for one row, nothing else of that row), for the check of computed figures.
class HeldLines : public HeldFigures {
 public:
  HeldLines(const std::vector<ResourceLine>& lines, const LineColumns& holds) : lines_(lines), holds_(holds) {}
  size_t Rows() const override { return lines_.size(); }
  int ColumnIndex(const std::string& column) const override;
  std::optional<double> Value(size_t row, int column) const override;
  std::optional<std::string> Key(size_t row, const std::string& key_column) const override;

 private:
  const std::vector<ResourceLine>& lines_;
  LineColumns holds_;
};

// Binds a figure as an SQL value of a write.
void BindFigure(sqlite3_stmt* stmt, int index, Figure figure);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_MODEL_RESOURCE_LINES_H_
