// A statement the engine runs row by row (a read it steps through, an insert
// or update it binds once per line), kept prepared among the connection's
// own: a single-row recalculation runs the same texts call after call and
// prepares none of them again.

#ifndef QUILLMERE_DB_KEPT_STATEMENT_H_
#define QUILLMERE_DB_KEPT_STATEMENT_H_

#include <memory>
#include <string>
#include <string_view>

#include "db/statement.h"
#include "quillmere/connection.h"

namespace quillmere {

class KeptStatement {
 public:
  // The kept statement for `sql`, bound to `params`; one of its own when the
  // text is in use already (a read nested in a read of the same text).
  // Throws Error as Statement does.
  KeptStatement(Connection& connection, std::string_view sql, const Params& params = {});
  // Resets the statement, so that it holds no read, and returns it to the
  // connection.
  ~KeptStatement();
  KeptStatement(const KeptStatement&) = delete;
  KeptStatement& operator=(const KeptStatement&) = delete;

  Statement& operator*() const { return *statement_; }
  Statement* operator->() const { return statement_; }

 private:
  Connection& connection_;
  std::string sql_;
  Statement* statement_ = nullptr;
  std::unique_ptr<Statement> own_;
};

}  // namespace quillmere

#endif  // QUILLMERE_DB_KEPT_STATEMENT_H_
