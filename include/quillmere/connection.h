// The connection to a project database, as a host hands it to ClsOrvane.
//
// A Connection wraps one SQLite handle. It executes one statement per call with
// bound parameters, brackets work in transactions that nest inside a host's own
// (they are savepoints), and registers the SQL functions the calculation
// statements use (format, isnull, ...) the moment it is opened.

#ifndef QUILLMERE_CONNECTION_H_
#define QUILLMERE_CONNECTION_H_

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

struct sqlite3;

namespace quillmere {

// A field or parameter value: null, integer, real or text.
using Value = std::variant<std::monostate, std::int64_t, double, std::string>;

inline bool IsNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

// An error of the engine or of the calculation. what() is the text a member
// returns to the host unchanged (for a database error, SQLite's own message);
// statement() is the statement that failed, when there was one; code() is
// SQLite's result code of a database error, 0 for any other.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message, std::string statement = {}, int code = 0)
      : std::runtime_error(message), statement_(std::move(statement)), code_(code) {}
  const std::string& statement() const { return statement_; }
  int code() const { return code_; }
  // Another connection held the database locked for longer than the busy
  // timeout (SQLite's "database is locked").
  bool busy() const { return (code_ & 0xff) == 5; }

 private:
  std::string statement_;
  int code_;
};

// Parameters of one statement: positional values for "?" and named values for
// ":name". Unused named values are ignored, so a statement shared by the
// whole-project and the single-row form can take the same parameters.
class Params {
 public:
  Params() = default;
  Params(std::initializer_list<Value> positional) : positional_(positional) {}

  Params& Add(const Value& value) {
    positional_.push_back(value);
    return *this;
  }
  Params& Set(std::string name, Value value) {
    named_.emplace_back(std::move(name), std::move(value));
    return *this;
  }

  const std::vector<Value>& positional() const { return positional_; }
  // Looks up ":name" (given without the colon); nullptr when not set.
  const Value* Find(std::string_view name) const;

 private:
  std::vector<Value> positional_;
  std::vector<std::pair<std::string, Value>> named_;
};

// How Connection::Open treats the file.
enum class OpenMode {
  kCreate,    // read and write; a missing file is created
  kExisting,  // read and write; the file must exist
  kReadOnly,  // read only; the file must exist, and nothing can change it
};

class Connection {
 public:
  // How long a statement waits for another connection's lock before it fails
  // with "database is locked", unless said otherwise.
  static constexpr int kDefaultBusyTimeoutMs = 5000;

  // Opens the database file at `path` as `mode` says, its statements waiting
  // up to `busy_timeout_ms` for another connection's lock; the Connection
  // owns the handle and closes it when destroyed. Throws Error on failure,
  // also for a file that is not an SQLite database. A Connection serves one
  // thread at a time.
  static Connection Open(const std::string& path, OpenMode mode = OpenMode::kCreate,
                         int busy_timeout_ms = kDefaultBusyTimeoutMs);
  // A fresh private in-memory database.
  static Connection OpenInMemory();
  // Wraps a handle the host opened itself; the host keeps ownership, and can
  // close the handle once the Connection is gone (it finalizes the statements
  // it kept prepared on it). The handle keeps the host's busy timeout.
  static Connection Wrap(sqlite3* handle);

  Connection(Connection&& other) noexcept;
  Connection& operator=(Connection&& other) noexcept;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  // Runs exactly one SQL statement. Text after the statement, and comments
  // anywhere in it, are an error: a stored fee formula that becomes part of a
  // statement can never add a second one. Throws Error with SQLite's message.
  // The statements run last are kept prepared, so a text run again (a row
  // loop's insert, a batch of updates) is only bound and stepped; a kept
  // statement is reset after every run and never holds a lock.
  void Execute(std::string_view sql, const Params& params = {});

  // Sets how long a statement waits for another connection's lock, in
  // milliseconds; 0 fails at once.
  void SetBusyTimeout(int milliseconds);

  // SQLite's quick check of the whole file: the empty text when the database
  // is sound, otherwise the checker's own words (one finding a line). Throws
  // Error when another connection keeps the file busy.
  std::string QuickCheck();

  // Transactions in levels: each BeginTrans opens one, which CommitTrans
  // ends by keeping its work and RollbackTrans by undoing it. The outermost
  // level is a transaction of its own, which takes the write lock at once
  // (waiting up to the busy timeout), and whose rollback always ends it
  // whatever failed before; a level inside another, or inside a transaction
  // the host opened itself, is a savepoint. A CommitTrans that fails (a
  // reader keeping the file busy beyond the timeout) leaves the level open
  // for a retry or a RollbackTrans.
  void BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  int TransactionDepth() const { return depth_; }

  // Rows changed by the last statement.
  std::int64_t Changes() const;

  sqlite3* handle() const { return db_; }

 private:
  class StatementCache;
  // The engine's row-by-row reads and writes share the kept statements.
  friend class KeptStatement;
  Connection(sqlite3* db, bool owned);
  sqlite3* db_ = nullptr;
  bool owned_ = false;
  int depth_ = 0;
  // The level that began the connection's transaction; 0 when a transaction
  // the host opened itself holds every level, or no level is open.
  int outermost_ = 0;
  std::unique_ptr<StatementCache> statements_;
};

}  // namespace quillmere

#endif  // QUILLMERE_CONNECTION_H_
