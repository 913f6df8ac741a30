// The main-material figures of the estimate rows, refreshed after every
// recalculation of a single row. Scanning every row of a large project for
// that would cost more than the row's own work, so the connection keeps a
// record of the estimate rows whose inputs changed since the last refresh:
// temp triggers on the input tables write their ids into a temp table. The
// record lives in the connection's temp database, which commits and rolls
// back with the project database, so a rollback takes back the changes and
// their marks together. It vouches only while all its triggers are in place
// and no other connection has written the file (PRAGMA data_version); a
// refresh it cannot vouch for covers every row and starts the record afresh.

#include "calc/unitprice/main_material_prices.h"

#include <sqlite3.h>

#include <iterator>
#include <string>
#include <variant>

#include "db/statement.h"
#include "db/transaction.h"

namespace quillmere {
namespace {

constexpr const char* kChangedRows = "quillmere_main_material_rows";
constexpr const char* kRecord = "quillmere_main_material_record";

// The writes that change an input of the figures: a sub-item's fee row
// (its main material zcf), its main-material lines (class, base and current
// price, and which row they belong to; an insert or delete changes which
// line is first), and the estimate row itself (its level, and the figures,
// should anyone but the refresh write them).
struct Watch {
  const char* name;
  const char* event;
  const char* ids;
};
constexpr Watch kWatches[] = {
    {"gjcl_insert", "insert on main.gjcl", "(new.ysid)"},
    {"gjcl_delete", "delete on main.gjcl", "(old.ysid)"},
    {"gjcl_update", "update of ysid,cllb,dj,xxj on main.gjcl", "(old.ysid),(new.ysid)"},
    {"qfsjb_insert", "insert on main.qfsjb", "(new.ysid)"},
    {"qfsjb_delete", "delete on main.qfsjb", "(old.ysid)"},
    {"qfsjb_update", "update of ysid,zcf on main.qfsjb", "(old.ysid),(new.ysid)"},
    {"zhys_insert", "insert on main.zhys", "(new.ysid)"},
    {"zhys_update", "update of ysid,fbcch,zcfdj,zcfhj on main.zhys", "(old.ysid),(new.ysid)"},
};
// The record's two tables and its triggers.
constexpr int kRecordObjects = 2 + static_cast<int>(std::size(kWatches));

std::string TriggerName(const Watch& watch) { return std::string("quillmere_main_material_") + watch.name; }

Value ReadOne(Connection& c, const char* sql) {
  Statement statement(c.handle(), sql);
  return statement.Step() ? statement.ColumnValue(0) : Value{};
}

int RecordObjectsInPlace(Connection& c) {
  const Value n = ReadOne(c,
                          "select count(*) from temp.sqlite_master where type in ('table','trigger') "
                          "and name glob 'quillmere_main_material_*'");
  return static_cast<int>(std::get<std::int64_t>(n));
}

// A host may have switched triggers off on its connection. SQLite from 3.35
// on still fires temp triggers then, older versions do not: the record is
// not trusted either way.
bool TriggersFire(Connection& c) {
  int enabled = 0;
  sqlite3_db_config(c.handle(), SQLITE_DBCONFIG_ENABLE_TRIGGER, -1, &enabled);
  return enabled != 0;
}

bool RecordVouches(Connection& c) {
  if (!TriggersFire(c) || RecordObjectsInPlace(c) != kRecordObjects) return false;
  const Value since = ReadOne(c, (std::string("select data_version from temp.") + kRecord).c_str());
  return !IsNull(since) && since == ReadOne(c, "pragma data_version");
}

// A project whose tables lack a column the triggers name is refreshed whole
// every time; so is one on which creating them fails for any other reason,
// unless the failure ended the transaction.
void StartRecord(Connection& c) {
  try {
    Transaction record(c);
    c.Execute(std::string("create temp table if not exists ") + kChangedRows + " (ysid primary key) without rowid");
    c.Execute(std::string("create temp table if not exists ") + kRecord + " (data_version)");
    for (const Watch& watch : kWatches) {
      c.Execute("create temp trigger if not exists " + TriggerName(watch) + " after " + watch.event +
                " begin insert or ignore into " + kChangedRows + " values " + watch.ids + "; end");
    }
    c.Execute(std::string("delete from temp.") + kChangedRows);
    c.Execute(std::string("delete from temp.") + kRecord);
    c.Execute(std::string("insert into temp.") + kRecord + " values (?)", {ReadOne(c, "pragma data_version")});
    record.Commit();
  } catch (const Error&) {
    if (c.TransactionDepth() > 0 && sqlite3_get_autocommit(c.handle())) throw;
  }
}

// A sub-item's total zcfhj is its fee row's main material (the fee row stored
// last, should there be several), 0 without a fee row; any row's price zcfdj
// is that of its first priced main material, else 0 on a sub-item, else it
// stays. `rows` narrows each statement to the recorded rows. Each statement
// writes only the rows whose figure changes and finds them on narrow indexes
// (the rows to zero through a subquery, as an update of one table would read
// the table itself); the four touch different rows or columns and can run in
// any order.
void Refresh(Connection& c, const std::string& rows) {
  const std::string z = rows.empty() ? "" : " and z.ysid in " + rows;
  const std::string zhys = rows.empty() ? "" : " and zhys.ysid in " + rows;
  c.Execute(
      "update zhys set zcfhj=f.zcf from qfsjb as f where zhys.fbcch=0 and zhys.ysid=f.ysid "
      "and f.zcf is not zhys.zcfhj and not exists (select 1 from qfsjb as g where g.ysid=f.ysid and g.rowid>f.rowid)" +
      zhys);
  c.Execute(
      "update zhys set zcfhj=0 where rowid in (select z.rowid from zhys as z where z.fbcch=0 and z.zcfhj is not 0 "
      "and not exists (select 1 from qfsjb as f where f.ysid=z.ysid)" +
      z + ")");
  // A row with several priced main materials shows the first one entered.
  c.Execute(
      "update zhys set zcfdj=iif(m.xxj=0,m.dj,m.xxj) from gjcl as m where zhys.ysid=m.ysid and m.cllb='主材' "
      "and m.dj<>0 and iif(m.xxj=0,m.dj,m.xxj) is not zhys.zcfdj and not exists (select 1 from gjcl as k "
      "where k.ysid=m.ysid and k.cllb='主材' and k.dj<>0 and k.rowid<m.rowid)" +
      zhys);
  c.Execute(
      "update zhys set zcfdj=0 where rowid in (select z.rowid from zhys as z where z.fbcch=0 and z.zcfdj is not 0 "
      "and not exists (select 1 from gjcl as m where m.ysid=z.ysid and m.cllb='主材' and m.dj<>0)" +
      z + ")");
}

}  // namespace

void RefreshMainMaterialPrices(Connection& connection) {
  if (RecordVouches(connection)) {
    Refresh(connection, std::string("(select ysid from temp.") + kChangedRows + ")");
    connection.Execute(std::string("delete from temp.") + kChangedRows);
    return;
  }
  Refresh(connection, "");
  StartRecord(connection);
}

void StopRecordingMainMaterialInputs(Connection& connection) {
  if (RecordObjectsInPlace(connection) == 0) return;
  for (const Watch& watch : kWatches) connection.Execute("drop trigger if exists temp." + TriggerName(watch));
}

}  // namespace quillmere
