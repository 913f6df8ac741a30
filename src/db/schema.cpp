// The project database: every permanent table and column the calculation
// names, the indexes its joins need, and the fee-code columns.

#include <sqlite3.h>

#include <string>
#include <vector>

#include "base/decimal.h"
#include "base/text.h"
#include "db/statement.h"
#include "db/tables.h"
#include "db/transaction.h"
#include "db/value.h"
#include "quillmere/connection.h"
#include "quillmere/project.h"

namespace quillmere {
namespace {

// Column kinds. Numbers default to 0 so that rows a host inserts with only the
// columns it knows still price (an amount left null would make every sum over
// it null); ids, texts and yes/no values default to null, which several
// statements test for.
enum class Kind { kNumber, kId, kText, kBool };

struct Column {
  const char* name;
  Kind kind;
  const char* default_value = nullptr;  // overrides the kind's default
};

struct Table {
  std::string name;
  std::vector<Column> columns;
};

std::vector<Column> Join(std::vector<Column> a, const std::vector<Column>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The columns every resource, analysis and project resource table shares.
const std::vector<Column> kResourceColumns = {{"bh", Kind::kText},    {"mc", Kind::kText},   {"dw", Kind::kText},
                                              {"dj", Kind::kNumber},  {"sl", Kind::kNumber}, {"hj", Kind::kNumber},
                                              {"xxj", Kind::kNumber}, {"xhj", Kind::kNumber}};
const std::vector<Column> kPerRow = {{"ysid", Kind::kId}};
const std::vector<Column> kPerRowResource = Join(kPerRow, kResourceColumns);
const std::vector<Column> kPassMark = {{"azfy", Kind::kId, "0"}, {"ysid_gl", Kind::kId}};

const std::vector<Table>& Tables() {
  static const std::vector<Table> tables = {
      {"zhys", {{"ysid", Kind::kId},          {"sjxh", Kind::kNumber},  {"qdlb", Kind::kNumber},
                {"fbcch", Kind::kNumber},     {"bhlb", Kind::kText},    {"bzj", Kind::kBool},
                {"zhmc", Kind::kText},        {"qdxh", Kind::kText},    {"dw", Kind::kText},
                {"cgdw", Kind::kText},        {"yssl", Kind::kNumber},  {"cysl", Kind::kNumber},
                {"zhxs", Kind::kNumber, "1"}, {"sjgcl", Kind::kNumber}, {"ysid_gcl", Kind::kId, "0"},
                {"glxs", Kind::kNumber, "1"}, {"jsjs", Kind::kText},    {"glffl", Kind::kNumber},
                {"lrfl", Kind::kNumber},      {"fxfl", Kind::kNumber},  {"zdycsfl", Kind::kNumber},
                {"gzlx", Kind::kText},        {"cslb", Kind::kText},    {"dejj", Kind::kNumber},
                {"sjdj", Kind::kNumber},      {"sjbj", Kind::kNumber},  {"rgdj", Kind::kNumber},
                {"cldj", Kind::kNumber},      {"jxdj", Kind::kNumber},  {"zcfdj", Kind::kNumber},
                {"zcfhj", Kind::kNumber},     {"zgjdj", Kind::kNumber}, {"zgjhj", Kind::kNumber}}},
      {"qddyb",
       {{"ysid", Kind::kId},
        {"fb1", Kind::kId},
        {"fb2", Kind::kId},
        {"fb3", Kind::kId},
        {"fb4", Kind::kId},
        {"fb5", Kind::kId},
        {"sjgcl", Kind::kNumber},
        {"sjgcl_qd", Kind::kNumber}}},
      {"fbdyb", {{"ysid", Kind::kId}, {"fb1", Kind::kId}, {"fb2", Kind::kId}, {"fb3", Kind::kId}, {"fb4", Kind::kId}}},
      {"mbgjb", {{"ysid", Kind::kId}, {"ysid_gl", Kind::kId}, {"gcl", Kind::kNumber}, {"xs", Kind::kNumber}}},
      {"linshib", {{"ysid", Kind::kId}, {"shuzhi1", Kind::kNumber}, {"shuzhi2", Kind::kNumber}}},
      // Resources of the quota sub-items.
      {"gjrg", Join(kPerRowResource, kPassMark)},
      {"gjcl", Join(Join(kPerRowResource, {{"clid", Kind::kId},
                                           {"cllb", Kind::kText},
                                           {"chaifen", Kind::kBool},
                                           {"chaifenstyle", Kind::kNumber},
                                           {"rgdj", Kind::kNumber},
                                           {"rghj", Kind::kNumber},
                                           {"cldj", Kind::kNumber},
                                           {"clhj", Kind::kNumber},
                                           {"jxdj", Kind::kNumber},
                                           {"jxhj", Kind::kNumber},
                                           {"tzbz", Kind::kText}}),
                    kPassMark)},
      {"gjjx",
       Join(Join(kPerRowResource,
                 {{"jxid", Kind::kId}, {"jxcc", Kind::kNumber}, {"xxj2", Kind::kNumber}, {"xhj2", Kind::kNumber}}),
            kPassMark)},
      {"gjjxfb", Join(kPerRowResource, {{"jxid", Kind::kId}, {"jchj", Kind::kNumber}})},
      {"gjpbf", Join(kPerRowResource, {{"clid", Kind::kId}})},
      {"gjlpjb", Join(kPerRowResource, {{"clid", Kind::kId}})},
      // The own breakdown of split materials of style 3.
      {"ftrg", Join(kPerRowResource, {{"clid_src", Kind::kId}})},
      {"ftcl",
       Join(kPerRowResource,
            {{"clid_src", Kind::kId}, {"clid", Kind::kId}, {"chaifen", Kind::kBool}, {"chaifenstyle", Kind::kNumber}})},
      {"ftjx", Join(kPerRowResource, {{"clid_src", Kind::kId},
                                      {"jxid", Kind::kId},
                                      {"jxcc", Kind::kNumber},
                                      {"xxj2", Kind::kNumber},
                                      {"xhj2", Kind::kNumber}})},
      {"ftpbf", Join(kPerRowResource, {{"clid", Kind::kId}, {"clid_src", Kind::kId}})},
      {"ftjxfb", Join(kPerRowResource, {{"jxid", Kind::kId}, {"clid_src", Kind::kId}, {"jchj", Kind::kNumber}})},
      // Price and reference lists.
      {"clzxj",
       {{"bh", Kind::kText}, {"mc", Kind::kText}, {"dw", Kind::kText}, {"dj", Kind::kNumber}, {"xxdj", Kind::kNumber}}},
      {"jxzxj",
       {{"bh", Kind::kText}, {"mc", Kind::kText}, {"dw", Kind::kText}, {"dj", Kind::kNumber}, {"xxdj", Kind::kNumber}}},
      // An entry's name is matched as mc, a blank and ggxh when ggxh is not
      // empty; a null ggxh matches nothing, so a host that leaves it out
      // gets the empty grade instead.
      {"zgjclb",
       {{"bh", Kind::kText},
        {"mc", Kind::kText},
        {"ggxh", Kind::kText, "''"},
        {"dw", Kind::kText},
        {"dj", Kind::kNumber},
        {"iszb", Kind::kBool},
        {"sl", Kind::kNumber},
        {"hj", Kind::kNumber}}},
      {"clxzb",
       {{"bh", Kind::kText}, {"mc", Kind::kText}, {"dw", Kind::kText}, {"dj", Kind::kNumber}, {"xz", Kind::kBool}}},
      // Fee programme, fee variables and the fee data of every estimate row.
      {"qfjjcxb",
       {{"sjxh", Kind::kNumber},
        {"fycode", Kind::kText},
        {"fymc", Kind::kText},
        {"sjgs", Kind::kText},
        {"jsjs", Kind::kText},
        {"fl", Kind::kNumber},
        {"leixing", Kind::kNumber},
        {"jsxh", Kind::kNumber},
        {"jsjsje", Kind::kNumber},
        {"jsjg", Kind::kNumber}}},
      {"qfblb", {{"fymc", Kind::kText}, {"blsz", Kind::kNumber}, {"bllx", Kind::kNumber}}},
      {"qfsjb", {}},  // the fee-row columns below
      {"temp_qfsjb", {}},
      {"temp_zhys", {{"ysid", Kind::kId}}},
      {"gcxxb", {{"mingc", Kind::kText}, {"shuzhi", Kind::kText}}},
      // Analysis tables: per estimate row, and their staging lines.
      {"fxrgb", kPerRowResource},
      {"fxclb", Join(kPerRowResource, {{"cllb", Kind::kText}})},
      {"fxjxb", kPerRowResource},
      {"fxjxfb", Join(kPerRowResource, {{"jchj", Kind::kNumber}})},
      {"fxrgb1", kPerRowResource},
      {"fxclb1", Join(kPerRowResource, {{"cllb", Kind::kText}})},
      {"fxjxb1", kPerRowResource},
      {"fxjxfb1", Join(kPerRowResource, {{"jchj", Kind::kNumber}})},
      // Project resource tables.
      {"gcrgb", kResourceColumns},
      {"gcclb",
       Join(kResourceColumns, {{"cllb", Kind::kText}, {"xz", Kind::kBool}, {"zgj", Kind::kBool}, {"jg", Kind::kBool}})},
      {"gcjxb", kResourceColumns},
      {"gcjxfb", Join(kResourceColumns, {{"jchj", Kind::kNumber}})},
      {"jxtcb", kResourceColumns},
      {"qdclb", Join(kPerRowResource, {{"cllb", Kind::kNumber}, {"xz", Kind::kBool}})},
      // Project-level item lists.
      {"zljeb",
       {{"id", Kind::kId},
        {"sjxh", Kind::kNumber},
        {"mc", Kind::kText},
        {"dw", Kind::kText},
        {"jsgs", Kind::kText},
        {"fl", Kind::kNumber},
        {"je", Kind::kNumber},
        {"bz", Kind::kText}}},
      {"zcbfwfb",
       {{"id", Kind::kId},
        {"sjxh", Kind::kNumber},
        {"mc", Kind::kText},
        {"jsgs", Kind::kText},
        {"jz", Kind::kNumber},
        {"fwnr", Kind::kText},
        {"fl", Kind::kNumber},
        {"je", Kind::kNumber}}},
      {"qtxm",
       {{"jsxh", Kind::kNumber},
        {"sjxh", Kind::kNumber},
        {"xmmc", Kind::kText},
        {"jsgs", Kind::kText},
        {"hj", Kind::kNumber}}},
  };
  return tables;
}

// The fee row of an estimate row; temp_qfsjb starts with the same columns in
// the same order, so "insert into temp_qfsjb select * from qfsjb" copies by
// position as well as by name.
const std::vector<Column> kFeeRowColumns = {
    {"sjxh", Kind::kNumber},   {"ysid", Kind::kId},         {"qdlb", Kind::kNumber},     {"fbcch", Kind::kNumber},
    {"jsjs", Kind::kText},     {"sjgcl", Kind::kNumber},    {"sjgcl_qd", Kind::kNumber}, {"dergdj", Kind::kNumber},
    {"zrg", Kind::kNumber},    {"rgjj", Kind::kNumber},     {"fcjj", Kind::kNumber},     {"zcjj", Kind::kNumber},
    {"jxjj", Kind::kNumber},   {"rgjc", Kind::kNumber},     {"fcjc", Kind::kNumber},     {"zcjc", Kind::kNumber},
    {"jxjc", Kind::kNumber},   {"rgf", Kind::kNumber},      {"fcf", Kind::kNumber},      {"zcf", Kind::kNumber},
    {"jxf", Kind::kNumber},    {"clf", Kind::kNumber},      {"glffl", Kind::kNumber},    {"lrfl", Kind::kNumber},
    {"fxfl", Kind::kNumber},   {"glf", Kind::kNumber},      {"lr", Kind::kNumber},       {"fxf", Kind::kNumber},
    {"zhdj", Kind::kNumber},   {"zhbj", Kind::kNumber},     {"zcf_qd", Kind::kNumber},   {"fcf_qd", Kind::kNumber},
    {"zgj_qd", Kind::kNumber}, {"zgjhj_qd", Kind::kNumber}, {"jg_qd", Kind::kNumber},    {"jghj_qd", Kind::kNumber}};

// Every index answers a join or filter of the calculation: per-row tables are
// joined on ysid, split components on their material (clid, clid_src),
// machine consumption on the machine (jxid), the lists on bh, mc, dw, the
// bill mapping also on the bill item (fb5), and the resources on the row they
// are charged on (ysid_gl) when the rows charged on a charged row are marked.
// The last three serve the main-material refresh that ends every unit-price
// run, the single-row one included (RefreshMainMaterialPrices): it compares
// every estimate row's zcfhj and zcfdj with what its fee row and its first
// priced main material give, and reads no table row doing so.
//  - zhys(ysid,fbcch,zcfhj,zcfdj): the scan of the estimate rows in all four
//    of its statements, and the row a priced main material belongs to;
//  - qfsjb(ysid,zcf): a sub-item's fee row and its zcf ("update zhys set
//    zcfhj=f.zcf from qfsjb as f ...", and whether a sub-item has one);
//  - gjcl(ysid,cllb,dj,xxj) over the priced main materials only: a row's
//    first priced main material and its price ("update zhys set
//    zcfdj=iif(m.xxj=0,m.dj,m.xxj) from gjcl as m ..."), and whether a
//    sub-item has one.
// The percentage lines (dw='%') of gjrg, gjcl and gjjx, a few in a thousand,
// have an index each, so that the base and current prices of percentage rows
// ("update gjcl set dj=... from qfsjb where gjcl.ysid=qfsjb.ysid and
// gjcl.dw='%' ..."), their sums per row ("... from gjcl where dw='%' ...
// group by ysid") and the marks and resets of linked percentage rows read
// them alone instead of every resource line. Each has the key of the table's
// own ysid index, so the sums per row add the lines in the same order.
struct Index {
  const char* table;
  const char* columns;
  const char* name = nullptr;   // partial indexes are named for their rows
  const char* where = nullptr;  // the rows of a partial index
};
const std::vector<Index> kIndexes = {
    {"zhys", "ysid"},
    {"qfsjb", "ysid"},
    {"temp_qfsjb", "ysid"},
    {"temp_zhys", "ysid"},
    {"qddyb", "ysid"},
    {"qddyb", "fb5"},
    {"fbdyb", "ysid"},
    {"mbgjb", "ysid"},
    {"mbgjb", "ysid_gl"},
    {"linshib", "ysid"},
    {"gjrg", "ysid"},
    {"gjcl", "ysid,clid"},
    {"gjjx", "ysid,jxid"},
    {"gjjxfb", "ysid,jxid"},
    {"gjpbf", "ysid,clid"},
    {"gjlpjb", "ysid,clid"},
    {"ftrg", "ysid,clid_src"},
    {"ftcl", "ysid,clid_src,clid"},
    {"ftjx", "ysid,clid_src,jxid"},
    {"ftpbf", "ysid,clid_src,clid"},
    {"ftjxfb", "ysid,clid_src,jxid"},
    {"fxrgb", "ysid"},
    {"fxclb", "ysid"},
    {"fxjxb", "ysid"},
    {"fxjxfb", "ysid"},
    {"fxrgb1", "ysid"},
    {"fxclb1", "ysid"},
    {"fxjxb1", "ysid"},
    {"fxjxfb1", "ysid"},
    {"qdclb", "ysid"},
    {"clzxj", "bh,mc,dw"},
    {"jxzxj", "bh,mc,dw"},
    {"zgjclb", "bh,mc,dw"},
    {"clxzb", "bh,mc,dw"},
    {"gcclb", "bh,mc,dw"},
    {"qfblb", "fymc"},
    {"gjrg", "ysid_gl"},
    {"gjcl", "ysid_gl"},
    {"gjjx", "ysid_gl"},
    {"zhys", "ysid,fbcch,zcfhj,zcfdj"},
    {"qfsjb", "ysid,zcf"},
    {"gjcl", "ysid,cllb,dj,xxj", "idx_gjcl_priced_main_material", "cllb='主材' and dj<>0"},
    {"gjrg", "ysid", "idx_gjrg_percentage", "dw='%'"},
    {"gjcl", "ysid,clid", "idx_gjcl_percentage", "dw='%'"},
    {"gjjx", "ysid,jxid", "idx_gjjx_percentage", "dw='%'"},
};

std::string Declaration(const Column& column) {
  std::string text = std::string("\"") + column.name + "\" ";
  switch (column.kind) {
    case Kind::kNumber:
      text += "REAL DEFAULT ";
      text += column.default_value ? column.default_value : "0";
      return text;
    case Kind::kId:
    case Kind::kBool:
      text += "INTEGER";
      break;
    case Kind::kText:
      text += "TEXT";
      break;
  }
  if (column.default_value) text += std::string(" DEFAULT ") + column.default_value;
  return text;
}

std::string CreateTableStatement(const Table& table) {
  std::vector<Column> columns = table.columns;
  if (table.name == "qfsjb" || table.name == "temp_qfsjb") columns = kFeeRowColumns;
  std::string sql = "CREATE TABLE \"" + table.name + "\" (";
  // The two project item lists number their lines themselves, so the total
  // line the calculation inserts gets an id like the host's lines.
  const bool numbered = table.name == "zljeb" || table.name == "zcbfwfb";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i) sql += ", ";
    if (numbered && std::string(columns[i].name) == "id") {
      sql += "\"id\" INTEGER PRIMARY KEY";
    } else {
      sql += Declaration(columns[i]);
    }
  }
  return sql + ")";
}

bool HasColumn(const std::vector<std::string>& columns, const std::string& name) {
  for (const auto& c : columns) {
    if (EqualsIgnoringCase(c, name)) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> FigureColumns(std::string_view table) {
  std::vector<std::string> columns;
  for (const auto& t : Tables()) {
    if (t.name != table) continue;
    const bool fee_rows = t.name == "qfsjb" || t.name == "temp_qfsjb";
    for (const Column& column : fee_rows ? kFeeRowColumns : t.columns) {
      if (column.kind == Kind::kNumber) columns.push_back(column.name);
    }
  }
  return columns;
}

bool FigureDefaultsAreNumbers(Connection& connection, std::string_view table) {
  const std::vector<std::string> figures = FigureColumns(table);
  Statement info(connection.handle(), "select name,dflt_value from pragma_table_info(?)", {std::string(table)});
  while (info.Step()) {
    const std::string name = TextOrEmpty(info.ColumnValue(0));
    const Value declared = info.ColumnValue(1);
    if (IsNull(declared) || !HasColumn(figures, name)) continue;
    const std::string text = TextOrEmpty(declared);
    double number = 0;
    if (!EqualsIgnoringCase(text, "null") && !ParseNumber(text, number)) return false;
  }
  return true;
}

std::vector<std::string> ProjectTableNames() {
  std::vector<std::string> names;
  for (const auto& table : Tables()) names.push_back(table.name);
  return names;
}

void CreateProjectSchema(Connection& connection) {
  Transaction transaction(connection);
  for (const auto& table : Tables()) connection.Execute(CreateTableStatement(table));
  EnsureIndexes(connection);
  for (const char* name : {"总工日", "工程造价", "经济指标"}) {
    connection.Execute("INSERT INTO gcxxb(mingc, shuzhi) VALUES (?, '0')", {std::string(name)});
  }
  transaction.Commit();
}

void EnsureIndexes(Connection& connection) {
  for (const Index& index : kIndexes) {
    std::string name = index.name ? index.name : std::string("idx_") + index.table + "_" + index.columns;
    for (char& c : name) {
      if (c == ',') c = '_';
    }
    std::string sql = "CREATE INDEX IF NOT EXISTS \"" + name + "\" ON \"" + index.table + "\" (" + index.columns + ")";
    if (index.where) sql += std::string(" WHERE ") + index.where;
    connection.Execute(sql);
  }
}

bool IsFeeCode(std::string_view code) {
  if (code.empty() || (code[0] >= '0' && code[0] <= '9')) return false;
  for (char c : code) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

void RequireFeeCode(std::string_view code) {
  if (!IsFeeCode(code)) {
    throw Error("the fee code \"" + std::string(code) + "\" cannot name a column: use letters, digits and underscores");
  }
}

void AddFeeCodeColumns(Connection& connection, const std::vector<std::string>& codes) {
  for (const auto& code : codes) RequireFeeCode(code);
  Transaction transaction(connection);
  for (const auto& code : codes) {
    // A fee starts at 0 so that a formula naming a later line reads 0; a rate
    // starts null so that the host (or the pipeline) can tell it was not set.
    const struct {
      const char* table;
      std::string column;
      const char* type;
    } wanted[] = {{"temp_qfsjb", code, "REAL DEFAULT 0"},
                  {"temp_qfsjb", code + "_FL", "REAL"},
                  {"temp_zhys", code + "_FL", "REAL"}};
    for (const auto& [table, column, type] : wanted) {
      if (HasColumn(TableColumns(connection, table), column)) continue;
      connection.Execute(std::string("ALTER TABLE ") + table + " ADD COLUMN \"" + column + "\" " + type);
    }
  }
  transaction.Commit();
}

std::vector<std::string> TableColumns(Connection& connection, std::string_view table) {
  std::vector<std::string> columns;
  Statement statement(connection.handle(), "SELECT name FROM pragma_table_info(?)", {std::string(table)});
  while (statement.Step()) columns.push_back(std::get<std::string>(statement.ColumnValue(0)));
  return columns;
}

}  // namespace quillmere
