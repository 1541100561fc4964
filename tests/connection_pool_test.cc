// Reused connections must never outlive the file they were opened on, nor
// cross into a child process.

#include "platform/connection_pool.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "platform/record_source.h"
#include "test_support.h"

namespace kirvs {
namespace {

using testing::ExecSql;
using testing::TempDir;

// A kept connection comes back while its file stays, and never once another
// file was moved over the path.
TEST(ConnectionPoolTest, IdleConnectionsServeOnlyTheirOwnFile) {
  TempDir dir;
  const std::string path = dir.File("helpdesk.db");
  const std::string other = dir.File("other.db");
  ExecSql(path, "CREATE TABLE T (x)");
  ExecSql(other, "CREATE TABLE U (x)");
  while (sqlite3* stale = TakeIdleConnection(path)) sqlite3_close_v2(stale);
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
  GiveBackConnection(path, db);
  EXPECT_EQ(db, TakeIdleConnection(path));
  GiveBackConnection(path, db);
  std::filesystem::rename(other, path);
  EXPECT_EQ(nullptr, TakeIdleConnection(path));
}

TEST(ConnectionPoolTest, AChildProcessOpensItsOwnConnections) {
  TempDir dir;
  const std::string path = dir.File("helpdesk.db");
  ExecSql(path, "CREATE TABLE T (x)");
  std::unique_ptr<RecordSource> rs;
  ASSERT_TRUE(
      RecordSource::Open(path, "SELECT * FROM T", OpenMode::kLookup, &rs).ok());
  rs.reset();  // leaves an idle connection behind
  pid_t child = fork();
  if (child == 0) {
    bool ok =
        RecordSource::Open(path, "SELECT * FROM T", OpenMode::kUpdate, &rs)
            .ok() &&
        rs->AddNew().ok() && rs->Set(0, Variant("child")).ok() &&
        rs->Update().ok();
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(0, WEXITSTATUS(status));
  EXPECT_EQ((testing::Rows{{"child"}}),
            testing::QuerySql(path, "SELECT x FROM T"));
}

}  // namespace
}  // namespace kirvs
