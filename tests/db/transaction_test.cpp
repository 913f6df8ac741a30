// Transactions: a rollback after a trigger ended the transaction raises
// nothing.

#include <gtest/gtest.h>

#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

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

}  // namespace
}  // namespace quillmere
