// The statements a connection keeps prepared: a text run again must behave as
// if prepared afresh, across schema changes and errors, and a host can close
// its own handle afterwards; the modes a project file is opened in.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <string>

#include "db/kept_statement.h"
#include "db/transaction.h"
#include "db/value.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

std::string ErrorOf(Connection& connection, const std::string& sql) {
  try {
    connection.Execute(sql);
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

TEST(KeptStatements, ATextRunAgainSeesTheSchemaAsItIsNow) {
  Project p;
  const std::string insert = "insert into scratch (a) values (?)";
  p.Execute("create table scratch (a)");
  p.db().Execute(insert, {std::int64_t{1}});
  // The table comes back with another column order: the kept insert must
  // still fill column a, not the first column.
  p.Execute("drop table scratch");
  p.Execute("create table scratch (b default 'b', a)");
  p.db().Execute(insert, {std::int64_t{2}});
  EXPECT_EQ(p.Rows("select b, a from scratch"), "b | 2\n");
  // Without the table the kept text fails with the message a fresh
  // preparation gives, before any complaint about its parameters.
  p.Execute("drop table scratch");
  EXPECT_EQ(ErrorOf(p.db(), insert), "no such table: scratch");
  try {
    p.db().Execute(insert, {std::int64_t{3}});
    ADD_FAILURE() << "inserted without a table";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "no such table: scratch");
  }
}

TEST(KeptStatements, TheOneStatementRuleHoldsForEveryRun) {
  Project p;
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(ErrorOf(p.db(), "update zhys set yssl=1; delete from zhys"),
              "only one SQL statement may be executed at a time");
    EXPECT_EQ(ErrorOf(p.db(), "update zhys set yssl=1 -- where ysid=2"), "a statement may not contain a comment");
  }
}

TEST(KeptStatements, AHostCanCloseItsHandleOnceTheConnectionIsGone) {
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &handle), SQLITE_OK);
  {
    Connection connection = Connection::Wrap(handle);
    connection.Execute("create table t (a)");
    connection.Execute("insert into t values (?)", {std::int64_t{1}});
    // Texts refused once prepared: a second statement, a parameter without
    // a value. Each must be finalized, or the handle can never close.
    EXPECT_THROW(connection.Execute("select 1; select 2"), Error);
    EXPECT_THROW(connection.Execute("select a + ? from t"), Error);
  }
  // sqlite3_close refuses a handle with statements still prepared on it.
  EXPECT_EQ(sqlite3_close(handle), SQLITE_OK);
}

// A read the engine steps through keeps its statement, whatever runs
// meanwhile: the same text again, or more texts than the connection keeps.
TEST(KeptStatements, AStatementInUseIsNeitherTakenNorEvicted) {
  Project p;
  p.Execute("create table t (a)");
  p.Execute("insert into t values (1),(2)");
  const std::string read = "select a from t order by a";
  KeptStatement outer(p.db(), read);
  ASSERT_TRUE(outer->Step());
  {
    KeptStatement inner(p.db(), read);
    ASSERT_TRUE(inner->Step());
    p.db().Execute(read);
  }
  for (int i = 0; i < 600; ++i) p.db().Execute("select " + std::to_string(i));
  ASSERT_TRUE(outer->Step());
  EXPECT_EQ(ToText(outer->ColumnValue(0)), "2");
}

TEST(OpenModes, ReadOnlyAndExistingNeverCreateOrWrite) {
  const std::string path = ::testing::TempDir() + "open_modes.db";
  std::remove(path.c_str());
  EXPECT_THROW(Connection::Open(path, OpenMode::kExisting), Error);
  EXPECT_THROW(Connection::Open(path, OpenMode::kReadOnly), Error);
  Connection::Open(path).Execute("create table t (a)");
  Connection reader = Connection::Open(path, OpenMode::kReadOnly);
  EXPECT_EQ(ErrorOf(reader, "insert into t values (1)"), "attempt to write a readonly database");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace quillmere
