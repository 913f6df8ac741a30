// The project-database connection: opening, statement execution and the
// savepoint transactions every calculation member runs in.

#include "quillmere/connection.h"

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "db/sql_functions.h"
#include "db/kept_statement.h"
#include "db/statement.h"
#include "db/value.h"

namespace quillmere {
namespace {

std::string SavepointName(int level) { return "quillmere_" + std::to_string(level); }

}  // namespace

// The statements run last, keyed by their exact text. A text is checked
// (one statement, no comment) when it is first prepared; the same text finds
// the same verdict, so a kept statement needs no second check. A change of
// schema since the preparation is no concern: the engine prepares a kept
// statement again by itself when it next runs.
class Connection::StatementCache {
 public:
  // Big enough for every text a row loop or a batch of updates repeats, and
  // for every statement of a single-row recalculation (about 210 texts by
  // fixed rates, more through a long fee programme), so a host recalculating
  // row after row prepares none of them again.
  static constexpr size_t kCapacity = 512;

  explicit StatementCache(sqlite3* db) : db_(db) {}

  void Execute(std::string_view sql, const Params& params) {
    Statement* statement = Acquire(sql, params);
    if (statement == nullptr) return Statement(db_, sql, params).Run();
    try {
      statement->Run();
    } catch (const Error&) {
      entries_.erase(std::string(sql));
      throw;
    }
    Release(sql);
  }

  // The kept statement for `sql`, prepared or bound afresh to `params`, and
  // held for the caller (never evicted, never run by another caller) until
  // Release. Null when another caller holds it already.
  Statement* Acquire(std::string_view sql, const Params& params) {
    auto found = entries_.find(std::string(sql));
    if (found != entries_.end() && found->second.held) return nullptr;
    if (found != entries_.end()) {
      try {
        found->second.statement->Rebind(params);
      } catch (const Error&) {
        // Prepared afresh below, so that an error of the text itself (its
        // table gone, say) comes before one of its parameters, as it would.
        entries_.erase(found);
        found = entries_.end();
      }
    }
    if (found == entries_.end()) {
      auto statement = std::make_unique<Statement>(db_, sql, params);
      if (entries_.size() >= kCapacity) EvictLeastRecent();
      found = entries_.emplace(std::string(sql), Entry{std::move(statement), 0, false}).first;
    }
    found->second.last_use = ++clock_;
    found->second.held = true;
    return found->second.statement.get();
  }

  // A statement left unreset would keep its read of the database open and
  // could block a rollback to a savepoint.
  void Release(std::string_view sql) {
    const auto found = entries_.find(std::string(sql));
    if (found == entries_.end()) return;
    found->second.statement->Reset();
    found->second.held = false;
  }

 private:
  struct Entry {
    std::unique_ptr<Statement> statement;
    std::uint64_t last_use;
    bool held;
  };

  void EvictLeastRecent() {
    auto oldest = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->second.held) continue;
      if (oldest == entries_.end() || it->second.last_use < oldest->second.last_use) oldest = it;
    }
    if (oldest != entries_.end()) entries_.erase(oldest);
  }

  sqlite3* db_;
  std::uint64_t clock_ = 0;
  std::unordered_map<std::string, Entry> entries_;
};

Connection::Connection(sqlite3* db, bool owned)
    : db_(db), owned_(owned), statements_(std::make_unique<StatementCache>(db)) {
  RegisterSqlFunctions(db_);
}

Connection Connection::Open(const std::string& path, OpenMode mode, int busy_timeout_ms) {
  int flags = SQLITE_OPEN_READWRITE;
  if (mode == OpenMode::kCreate) flags |= SQLITE_OPEN_CREATE;
  if (mode == OpenMode::kReadOnly) flags = SQLITE_OPEN_READONLY;
  // A connection serves one thread at a time (its kept statements are not
  // shared either), so SQLite need not lock it around every call: the locks
  // cost a twentieth of a whole-project run. sqlite3_interrupt stays safe
  // from any thread.
  flags |= SQLITE_OPEN_NOMUTEX;
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    throw Error(message + ": " + path);
  }
  Connection connection(db, true);
  connection.SetBusyTimeout(busy_timeout_ms);
  // SQLite opens lazily; reading the schema now makes a file that is not a
  // project database fail here rather than in the middle of a calculation.
  Statement(db, "select count(*) from sqlite_schema").Run();
  return connection;
}

Connection Connection::OpenInMemory() { return Open(":memory:"); }

Connection Connection::Wrap(sqlite3* handle) { return Connection(handle, false); }

Connection::Connection(Connection&& other) noexcept
    : db_(other.db_),
      owned_(other.owned_),
      depth_(other.depth_),
      outermost_(other.outermost_),
      statements_(std::move(other.statements_)) {
  other.db_ = nullptr;
  other.owned_ = false;
  other.depth_ = 0;
  other.outermost_ = 0;
}

Connection& Connection::operator=(Connection&& other) noexcept {
  if (this != &other) {
    statements_.reset();
    if (owned_) sqlite3_close_v2(db_);
    db_ = other.db_;
    owned_ = other.owned_;
    depth_ = other.depth_;
    outermost_ = other.outermost_;
    statements_ = std::move(other.statements_);
    other.db_ = nullptr;
    other.owned_ = false;
    other.depth_ = 0;
    other.outermost_ = 0;
  }
  return *this;
}

Connection::~Connection() {
  // Kept statements go first: a host that wrapped its own handle can close
  // it only once no statement of ours is left on it.
  statements_.reset();
  if (owned_) sqlite3_close_v2(db_);
}

void Connection::Execute(std::string_view sql, const Params& params) {
  if (!statements_) throw Error("the connection was moved away");
  statements_->Execute(sql, params);
}

KeptStatement::KeptStatement(Connection& connection, std::string_view sql, const Params& params)
    : connection_(connection), sql_(sql) {
  if (!connection.statements_) throw Error("the connection was moved away");
  statement_ = connection.statements_->Acquire(sql, params);
  if (statement_ == nullptr) {
    own_ = std::make_unique<Statement>(connection.db_, sql, params);
    statement_ = own_.get();
  }
}

KeptStatement::~KeptStatement() {
  if (!own_ && connection_.statements_) connection_.statements_->Release(sql_);
}

void Connection::SetBusyTimeout(int milliseconds) { sqlite3_busy_timeout(db_, milliseconds < 0 ? 0 : milliseconds); }

std::string Connection::QuickCheck() {
  std::string findings;
  try {
    Statement check(db_, "pragma quick_check");
    while (check.Step()) {
      const std::string line = TextOrEmpty(check.ColumnValue(0));
      if (line != "ok") findings += (findings.empty() ? "" : "\n") + line;
    }
  } catch (const Error& e) {
    // Damage bad enough to stop the checker is its last finding.
    if (e.busy()) throw;
    findings += (findings.empty() ? "" : "\n") + std::string(e.what());
  }
  return findings;
}

void Connection::BeginTrans() {
  if (sqlite3_get_autocommit(db_)) {
    // The write lock is taken now, while the connection holds no read of the
    // file: a connection that has read and then waits to write is refused at
    // once by SQLite (it might be the one another writer waits for), so a
    // member that begins by reading could not wait for a busy file. A
    // read-only file can only be read.
    Execute(sqlite3_db_readonly(db_, "main") == 1 ? "BEGIN" : "BEGIN IMMEDIATE");
    outermost_ = depth_ + 1;
  } else {
    Execute("SAVEPOINT " + SavepointName(depth_ + 1));
  }
  ++depth_;
}

void Connection::CommitTrans() {
  if (depth_ == 0) throw Error("CommitTrans without a transaction");
  Execute(depth_ == outermost_ ? std::string("COMMIT") : "RELEASE " + SavepointName(depth_));
  if (depth_ == outermost_) outermost_ = 0;
  --depth_;
}

void Connection::RollbackTrans() {
  if (depth_ == 0) throw Error("RollbackTrans without a transaction");
  const std::string name = SavepointName(depth_);
  const bool outermost = depth_ == outermost_;
  if (outermost) outermost_ = 0;
  --depth_;
  // Some engine errors (a full disk, say) end the whole transaction by
  // themselves; then there is nothing left to roll back.
  if (sqlite3_get_autocommit(db_)) return;
  if (outermost) {
    // Ends the transaction whatever state a failed commit left it in; a
    // rollback to the level and its release would have to commit again.
    Execute("ROLLBACK");
    return;
  }
  Execute("ROLLBACK TO " + name);
  Execute("RELEASE " + name);
}

std::int64_t Connection::Changes() const { return sqlite3_changes64(db_); }

}  // namespace quillmere
