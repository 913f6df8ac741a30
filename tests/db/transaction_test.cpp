// Transactions: a failure rolls back everything since BeginTrans, tables
// created inside included, and leaves no transaction open; nested inside a
// host's transaction, the inner rollback keeps the outer work; a rollback
// after a trigger ended the transaction raises nothing.

#include "db/transaction.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

TEST(Transactions, AFailingStatementRollsBackEverythingSinceBeginAndCommittedWorkStays) {
  Project p;
  p.Insert("zhys", {{"ysid", 1}, {"yssl", 1.0}});
  const std::string before = p.Snapshot();
  try {
    Transaction transaction(p.db());
    p.Execute("update zhys set yssl=2");
    p.Execute("create table desjb as select ysid from zhys");
    p.Execute("insert into no_such_table values (1)");
    transaction.Commit();
    ADD_FAILURE() << "the insert must fail";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "no such table: no_such_table");
  }
  EXPECT_EQ(p.Snapshot(), before);
  // Rolled back and released: no transaction is left open on the handle.
  EXPECT_EQ(p.db().TransactionDepth(), 0);
  EXPECT_TRUE(sqlite3_get_autocommit(p.db().handle()));
  {
    Transaction transaction(p.db());
    p.Execute("update zhys set yssl=2");
    transaction.Commit();
  }
  EXPECT_EQ(p.Rows("select yssl from zhys"), "2\n");
  // Nothing is open any more.
  EXPECT_THROW(p.db().CommitTrans(), Error);
  EXPECT_THROW(p.db().RollbackTrans(), Error);
}

// A trigger's raise(rollback) ends the whole transaction, savepoints and all:
// the rollback that follows finds nothing to undo and must not fail again.
TEST(Transactions, RegressionRollbackAfterATriggerEndedTheTransactionRaisesNoSecondError) {
  Project p;
  p.Insert("zhys", {{"ysid", 1}, {"yssl", 1.0}});
  p.Execute("create trigger refuse before update on zhys begin select raise(rollback, 'refused'); end");
  p.db().BeginTrans();
  p.db().BeginTrans();
  EXPECT_THROW(p.Execute("update zhys set yssl=2"), Error);
  EXPECT_NO_THROW(p.db().RollbackTrans());
  EXPECT_NO_THROW(p.db().RollbackTrans());
  EXPECT_EQ(p.db().TransactionDepth(), 0);
  EXPECT_EQ(p.Rows("select yssl from zhys"), "1\n");
}

TEST(Transactions, AnInnerRollbackKeepsTheOuterWork) {
  Project p;
  p.Insert("zhys", {{"ysid", 1}, {"yssl", 1.0}});
  p.db().BeginTrans();  // the host's own transaction
  p.Execute("update zhys set yssl=2");
  {
    Transaction inner(p.db());
    p.Execute("update zhys set yssl=3");
  }  // not committed: rolled back
  EXPECT_EQ(p.Rows("select yssl from zhys"), "2\n");
  p.db().RollbackTrans();
  EXPECT_EQ(p.Rows("select yssl from zhys"), "1\n");
}

}  // namespace
}  // namespace quillmere
