// Resource lines in memory: see resource_lines.h.

#include "calc/model/resource_lines.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

#include "base/compensated_sum.h"
#include "base/decimal.h"
#include "db/kept_statement.h"
#include "db/statement.h"
#include "db/table_rewrite.h"
#include "db/value.h"

namespace quillmere {
namespace {

int CompareFigures(Figure a, Figure b) {
  if (a.null() || b.null()) return a.null() == b.null() ? 0 : (a.null() ? -1 : 1);
  return a.value < b.value ? -1 : (a.value > b.value ? 1 : 0);
}

int CompareRanks(std::uint32_t a, std::uint32_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

[[noreturn]] void Mismatch(const std::string& source, int column) {
  throw Error("Type mismatch: " + source + " hold a text where a figure belongs (column " + std::to_string(column + 1) +
              ")");
}

}  // namespace

bool ReadFigureValue(sqlite3_value* value, Figure& figure) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
      figure = {};
      return true;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      figure = Figure::Of(sqlite3_value_double(value));
      return true;
    case SQLITE_TEXT: {
      // A text that reads exactly as a number is that number.
      const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
      double number = 0;
      if (!ParseNumber(std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(value))), number)) return false;
      figure = Figure::Of(number);
      return true;
    }
    default:
      return false;
  }
}

Figure ReadFigure(sqlite3_stmt* stmt, int column, const std::string& source) {
  Figure figure;
  if (!ReadFigureValue(sqlite3_column_value(stmt, column), figure)) Mismatch(source, column);
  return figure;
}

TextId ReadText(sqlite3_stmt* stmt, int column, TextPool& pool) {
  if (sqlite3_column_type(stmt, column) == SQLITE_NULL) return 0;
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
  return pool.Intern(std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(stmt, column))));
}

bool SameFigure(const Value& stored, Figure figure) { return SameValue(stored, AsValue(figure)); }

TextPool::TextPool() : texts_(1), ranks_(1, 0) {}

TextId TextPool::Intern(std::string_view text) {
  // The lookup needs a key of its own only the first time a text is met.
  thread_local std::string key;
  key.assign(text);
  const auto found = ids_.find(key);
  if (found != ids_.end()) return found->second;
  const auto id = static_cast<TextId>(texts_.size());
  texts_.push_back(key);
  ids_.emplace(key, id);
  return id;
}

void TextPool::Rank() {
  std::vector<TextId> order(texts_.size() - 1);
  std::iota(order.begin(), order.end(), TextId{1});
  // std::string compares as unsigned bytes, as SQLite's BINARY collation does.
  std::sort(order.begin(), order.end(), [this](TextId a, TextId b) { return texts_[a] < texts_[b]; });
  ranks_.assign(texts_.size(), 0);
  for (size_t i = 0; i < order.size(); ++i) ranks_[order[i]] = static_cast<std::uint32_t>(i + 1);
}

int CompareResources(const ResourceLine& a, const ResourceLine& b, const TextPool& pool, bool with_row) {
  if (with_row) {
    if (a.ysid_null || b.ysid_null) {
      if (a.ysid_null != b.ysid_null) return a.ysid_null ? -1 : 1;
    } else if (a.ysid != b.ysid) {
      return a.ysid < b.ysid ? -1 : 1;
    }
  }
  for (auto text : {&ResourceLine::bh, &ResourceLine::mc, &ResourceLine::dw}) {
    if (int c = CompareRanks(pool.RankOf(a.*text), pool.RankOf(b.*text))) return c;
  }
  if (int c = CompareFigures(a.dj, b.dj)) return c;
  if (int c = CompareFigures(a.xxj, b.xxj)) return c;
  return CompareRanks(pool.RankOf(a.cllb), pool.RankOf(b.cllb));
}

void ReadResourceLines(Connection& connection, const std::string& select, const Params& params, TextPool& pool,
                       std::vector<ResourceLine>& lines) {
  static const std::string kSource = "the resource lines";
  KeptStatement statement(connection, select, params);
  sqlite3_stmt* stmt = statement->get();
  const bool with_class = statement->ColumnCount() > 7;
  while (statement->Step()) {
    ResourceLine line;
    line.ysid_null = sqlite3_column_type(stmt, 0) == SQLITE_NULL;
    if (!line.ysid_null) {
      if (sqlite3_column_type(stmt, 0) != SQLITE_INTEGER) Mismatch(kSource, 0);
      line.ysid = sqlite3_column_int64(stmt, 0);
    }
    line.bh = ReadText(stmt, 1, pool);
    line.mc = ReadText(stmt, 2, pool);
    line.dw = ReadText(stmt, 3, pool);
    line.dj = ReadFigure(stmt, 4, kSource);
    line.xxj = ReadFigure(stmt, 5, kSource);
    line.sl = ReadFigure(stmt, 6, kSource);
    if (with_class) line.cllb = ReadText(stmt, 7, pool);
    lines.push_back(line);
  }
}

std::vector<ResourceLine> GroupResources(std::vector<ResourceLine> lines, TextPool& pool, bool with_row) {
  pool.Rank();
  // Stable, so the quantities of a group are added in the order they came.
  std::stable_sort(lines.begin(), lines.end(), [&](const ResourceLine& a, const ResourceLine& b) {
    return CompareResources(a, b, pool, with_row) < 0;
  });
  // Each group overwrites the first line of its own, so the lines' memory
  // holds the groups too.
  size_t groups = 0;
  for (size_t first = 0; first < lines.size();) {
    size_t end = first + 1;
    while (end < lines.size() && CompareResources(lines[first], lines[end], pool, with_row) == 0) ++end;
    bool any = false;
    CompensatedSum sum;
    for (size_t i = first; i < end; ++i) {
      if (lines[i].sl.null()) continue;
      any = true;
      sum.Add(lines[i].sl.value);
    }
    lines[groups] = lines[first];
    lines[groups].sl = any ? Figure::Of(sum.Total()) : Figure{};
    ++groups;
    first = end;
  }
  lines.resize(groups);
  return lines;
}

namespace {

// What SQL makes of an arithmetic result: no number at all is null.
Figure Result(Figure a, Figure b, double x) { return a.null() || b.null() || std::isnan(x) ? Figure{} : Figure::Of(x); }

}  // namespace

Figure Times(Figure a, Figure b) { return Result(a, b, a.value * b.value); }
Figure Plus(Figure a, Figure b) { return Result(a, b, a.value + b.value); }
Figure Minus(Figure a, Figure b) { return Result(a, b, a.value - b.value); }
Figure Divided(Figure a, Figure b) { return b.value == 0 ? Figure{} : Result(a, b, a.value / b.value); }

Value AsValue(Figure figure) { return figure.null() ? Value() : Value(figure.value); }

Figure Stored(Figure x) {
  if (x.null()) return {};
  return Figure::Of(x.value == 0 ? 0.0 : x.value);
}

Figure EffectivePrice(const ResourceLine& line) {
  if (line.xxj.null()) return {};
  return line.xxj.value == 0 ? line.dj : line.xxj;
}

Figure Rounded(Figure x, int decimals) { return x.null() ? x : Figure::Of(RoundDecimal(x.value, decimals)); }

Figure BaseAmount(const ResourceLine& line) { return Rounded(Times(line.dj, line.sl), 2); }

Figure CurrentAmount(const ResourceLine& line) { return Rounded(Times(EffectivePrice(line), line.sl), 2); }

Figure PriceDifference(const ResourceLine& line) {
  if (line.xxj.null()) return {};
  if (line.xxj.value == 0) return Rounded(Figure::Of(0), 2);
  return Rounded(Times(Minus(line.xxj, line.dj), line.sl), 2);
}

namespace {

// The figures a table of lines holds, in the order they are written, each
// from its line; the current amount and the price difference share a place.
struct FigureColumn {
  const char* name;
  Figure (*of)(const ResourceLine& line);
};
constexpr FigureColumn kFigureColumns[] = {
    {"dj", [](const ResourceLine& line) { return line.dj; }},
    {"xxj", [](const ResourceLine& line) { return line.xxj; }},
    {"sl", [](const ResourceLine& line) { return line.sl; }},
    {"hj", BaseAmount},
    {"xhj", CurrentAmount},
    {"jchj", PriceDifference},
};
constexpr size_t kCurrentAmount = 4, kPriceDifference = 5;

// The figure columns a table holds: indexes into kFigureColumns.
std::vector<size_t> FiguresOf(const LineColumns& holds) {
  return {0, 1, 2, 3, holds.price_difference ? kPriceDifference : kCurrentAmount};
}

}  // namespace

void WriteLines(Connection& connection, const std::string& table, const LineColumns& holds,
                const std::vector<ResourceLine>& lines, const TextPool& pool, Fill fill) {
  const std::vector<size_t> figures = FiguresOf(holds);
  std::vector<std::string> columns = {"bh", "mc", "dw"};
  for (size_t f : figures) columns.push_back(kFigureColumns[f].name);
  if (holds.row) columns.push_back("ysid");
  if (holds.material_class != ClassColumn::kNone) columns.push_back("cllb");
  if (holds.list_flags) columns.insert(columns.end(), {"xz", "zgj", "jg"});
  if (holds.selection) columns.push_back("xz");
  const auto text = [&](TextId id) { return id == 0 ? Cell() : Cell::Text(pool.Text(id)); };
  const RowCells row = [&](size_t index, Cell* cells) {
    const ResourceLine& line = lines[index];
    *cells++ = text(line.bh);
    *cells++ = text(line.mc);
    *cells++ = text(line.dw);
    for (size_t f : figures) {
      const Figure figure = kFigureColumns[f].of(line);
      *cells++ = figure.null() ? Cell() : Cell::Real(figure.value);
    }
    if (holds.row) *cells++ = line.ysid_null ? Cell() : Cell::Integer(line.ysid);
    if (holds.material_class == ClassColumn::kText) *cells++ = text(line.cllb);
    if (holds.material_class == ClassColumn::kBillClass) *cells++ = Cell::Integer((*holds.bill_class)[index]);
    if (holds.list_flags) {
      for (int flag : {1, 0, 0}) *cells++ = Cell::Integer(flag);
    }
    if (holds.selection) *cells++ = Cell::Of((*holds.selection)[index]);
  };
  if (fill == Fill::kWholeTable) {
    RewriteTable(connection, table, columns, lines.size(), row);
  } else {
    InsertRows(connection, table, columns, lines.size(), row);
  }
}

// The held columns are the figures the table holds, then the bill class.
int HeldLines::ColumnIndex(const std::string& column) const {
  for (size_t f : FiguresOf(holds_)) {
    if (column == kFigureColumns[f].name) return static_cast<int>(f);
  }
  if (column == "cllb" && holds_.material_class == ClassColumn::kBillClass) return std::size(kFigureColumns);
  return -1;
}

std::optional<double> HeldLines::Value(size_t row, int column) const {
  if (column == static_cast<int>(std::size(kFigureColumns))) return static_cast<double>((*holds_.bill_class)[row]);
  const Figure figure = kFigureColumns[column].of(lines_[row]);
  if (figure.null()) return std::nullopt;
  return figure.value;
}

std::optional<std::string> HeldLines::Key(size_t row, const std::string& key_column) const {
  if (key_column != "ysid" || !holds_.row) return std::nullopt;
  return lines_[row].ysid_null ? std::string() : std::to_string(lines_[row].ysid);
}

void BindFigure(sqlite3_stmt* stmt, int index, Figure figure) {
  if (figure.null()) {
    sqlite3_bind_null(stmt, index);
  } else {
    sqlite3_bind_double(stmt, index, figure.value);
  }
}

}  // namespace quillmere
