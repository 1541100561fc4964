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

int32_t CountRows(const std::string& db_path, const std::string& table) {
  std::unique_ptr<RecordSource> rs;
  Status s = RecordSource::Open(db_path, "SELECT * FROM " + table,
                                OpenMode::kLookup, &rs);
  return s.ok() ? rs->RecordCount() : -1;
}

TEST(ConnectionPoolTest, AFileMadeAnewAtTheSamePathGetsFreshConnections) {
  TempDir dir;
  const std::string path = dir.File("helpdesk.db");
  ExecSql(path, "CREATE TABLE Old (x); INSERT INTO Old VALUES (1)");
  ASSERT_EQ(1, CountRows(path, "Old"));  // leaves an idle connection behind
  std::filesystem::remove(path);
  std::filesystem::remove(path + "-wal");
  std::filesystem::remove(path + "-shm");
  ExecSql(path, "CREATE TABLE New (x); INSERT INTO New VALUES (1), (2)");
  EXPECT_EQ(2, CountRows(path, "New"));
  EXPECT_EQ(-1, CountRows(path, "Old"));
  // A file that is gone is not reached through a kept connection either.
  std::filesystem::remove(path);
  std::shared_ptr<Database> db;
  EXPECT_FALSE(Database::Open(path, &db).ok());
}

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
  ASSERT_EQ(0, CountRows(path, "T"));
  pid_t child = fork();
  if (child == 0) {
    std::unique_ptr<RecordSource> rs;
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
  EXPECT_EQ(1, CountRows(path, "T"));
  EXPECT_EQ("child", testing::QueryValue(path, "SELECT x FROM T"));
}

}  // namespace
}  // namespace kirvs
