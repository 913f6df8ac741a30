// A transaction guard: rolls back unless committed, so every early return and
// every error path of a stage leaves the project database as it was.

#ifndef QUILLMERE_DB_TRANSACTION_H_
#define QUILLMERE_DB_TRANSACTION_H_

#include "quillmere/connection.h"

namespace quillmere {

class Transaction {
 public:
  explicit Transaction(Connection& connection) : connection_(connection) { connection_.BeginTrans(); }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void Commit() {
    connection_.CommitTrans();
    open_ = false;
  }

  ~Transaction() {
    if (!open_) return;
    try {
      connection_.RollbackTrans();
    } catch (...) {
      // A destructor must not throw; a failed rollback leaves the savepoint to
      // the host's outer transaction, which is all that can be done here.
    }
  }

 private:
  Connection& connection_;
  bool open_ = true;
};

}  // namespace quillmere

#endif  // QUILLMERE_DB_TRANSACTION_H_
