// The project-database connection: opening, statement execution and the
// savepoint transactions every calculation member runs in.

#include "quillmere/connection.h"

#include <sqlite3.h>

#include <string>

#include "db/sql_functions.h"
#include "db/statement.h"

namespace quillmere {
namespace {

std::string SavepointName(int level) { return "quillmere_" + std::to_string(level); }

}  // namespace

Connection::Connection(sqlite3* db, bool owned) : db_(db), owned_(owned) { RegisterSqlFunctions(db_); }

Connection Connection::Open(const std::string& path) {
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    throw Error(message + ": " + path);
  }
  Connection connection(db, true);
  // SQLite opens lazily; reading the schema now makes a file that is not a
  // project database fail here rather than in the middle of a calculation.
  Statement(db, "select count(*) from sqlite_schema").Run();
  return connection;
}

Connection Connection::OpenInMemory() { return Open(":memory:"); }

Connection Connection::Wrap(sqlite3* handle) { return Connection(handle, false); }

Connection::Connection(Connection&& other) noexcept
    : db_(other.db_), owned_(other.owned_), depth_(other.depth_) {
  other.db_ = nullptr;
  other.owned_ = false;
  other.depth_ = 0;
}

Connection& Connection::operator=(Connection&& other) noexcept {
  if (this != &other) {
    if (owned_) sqlite3_close_v2(db_);
    db_ = other.db_;
    owned_ = other.owned_;
    depth_ = other.depth_;
    other.db_ = nullptr;
    other.owned_ = false;
    other.depth_ = 0;
  }
  return *this;
}

Connection::~Connection() {
  if (owned_) sqlite3_close_v2(db_);
}

void Connection::Execute(std::string_view sql, const Params& params) { Statement(db_, sql, params).Run(); }

void Connection::BeginTrans() {
  Execute("SAVEPOINT " + SavepointName(depth_ + 1));
  ++depth_;
}

void Connection::CommitTrans() {
  if (depth_ == 0) throw Error("CommitTrans without a transaction");
  Execute("RELEASE " + SavepointName(depth_));
  --depth_;
}

void Connection::RollbackTrans() {
  if (depth_ == 0) throw Error("RollbackTrans without a transaction");
  const std::string name = SavepointName(depth_);
  --depth_;
  // Some engine errors (a full disk, say) end the whole transaction by
  // themselves; then there is no savepoint left to roll back to.
  if (sqlite3_get_autocommit(db_)) return;
  Execute("ROLLBACK TO " + name);
  Execute("RELEASE " + name);
}

std::int64_t Connection::Changes() const { return sqlite3_changes64(db_); }

}  // namespace quillmere
