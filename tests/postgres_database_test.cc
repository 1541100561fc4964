// Connections to PostgreSQL are pooled; one whose server end has gone (the
// server restarted, or an operator ended the backend) must not be handed out
// again, or the next command of some user fails for no fault of theirs. A
// node under load keeps as many as its commands use at once: one closed
// after each command and opened anew for the next is a server process
// started and ended per command.

#include "platform/postgres_database.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/statement.h"
#include "test_support.h"

namespace kirvs {
namespace {

// The first column of the one row of `sql`, run on `db`.
int64_t SelectInteger(Database& db, const std::string& sql) {
  std::unique_ptr<Statement> statement;
  bool row = false;
  Status s = Statement::Prepare(db, sql, &statement);
  if (s.ok()) s = statement->Step(&row);
  EXPECT_TRUE(s.ok() && row) << sql << ": " << s.message();
  return s.ok() && row ? statement->ReadInteger(0) : -1;
}

TEST(PostgresDatabaseTest, AConnectionEndedByTheServerIsNotReused) {
  testing::PostgresSchema schema;
  if (schema.uri().empty()) GTEST_SKIP() << testing::kNoPostgres;
  std::shared_ptr<Database> first, other;
  ASSERT_TRUE(Database::Create(schema.uri(), &first).ok());
  ASSERT_TRUE(Database::Create(schema.uri(), &other).ok());
  const int64_t ended = SelectInteger(*first, "SELECT pg_backend_pid()");
  first.reset();  // idle in the pool now
  // Waits (up to 10 s) until the backend has gone.
  EXPECT_EQ(1, SelectInteger(*other, "SELECT CASE WHEN pg_terminate_backend(" +
                                         std::to_string(ended) +
                                         ", 10000) THEN 1 ELSE 0 END"));

  std::shared_ptr<Database> next;
  ASSERT_TRUE(Database::Create(schema.uri(), &next).ok());
  EXPECT_NE(ended, SelectInteger(*next, "SELECT pg_backend_pid()"));
}

TEST(PostgresDatabaseTest, ThePoolKeepsWhatFortyCommandsAtOnceUse) {
  testing::PostgresSchema schema;
  if (schema.uri().empty()) GTEST_SKIP() << testing::kNoPostgres;
  auto backends = [&] {
    std::vector<std::shared_ptr<Database>> open(40);
    std::set<int64_t> pids;
    for (auto& db : open) {
      EXPECT_TRUE(Database::Open(schema.uri(), &db).ok());
      pids.insert(SelectInteger(*db, "SELECT pg_backend_pid()"));
    }
    return pids;
  };
  const std::set<int64_t> first = backends();
  EXPECT_EQ(40u, first.size());
  EXPECT_EQ(first, backends());
}

}  // namespace
}  // namespace kirvs
