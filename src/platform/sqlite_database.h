// The Database of database.h on a SQLite file.
//
// Every connection waits for other writers (busy timeout) instead of failing
// at once, and uses write-ahead logging so that readers do not block the
// writer. The file records its layout in PRAGMA user_version. Connections
// go back to a pool (connection_pool.h) when closed.
//
// Thread safety: as Database.

#ifndef KIRVS_SRC_PLATFORM_SQLITE_DATABASE_H_
#define KIRVS_SRC_PLATFORM_SQLITE_DATABASE_H_

#include <memory>
#include <string>
#include <string_view>

#include "platform/database.h"
#include "platform/status.h"

struct sqlite3;

namespace kirvs {

class SqliteDatabase final : public Database {
 public:
  // The SQLite connection of `db`, which must be on SQLite.
  static sqlite3* HandleOf(Database& db) {
    return static_cast<SqliteDatabase&>(db).db_;
  }

  // Opens the existing file at `path` (from the pool when it can).
  static Status Open(const std::string& path, std::shared_ptr<Database>* out);
  // Creates (or opens) the file at `path`.
  static Status Create(const std::string& path, std::shared_ptr<Database>* out);

  ~SqliteDatabase() override;

  Store store() const override { return Store::kSqlite; }
  // BEGIN IMMEDIATE: the write lock is taken at once.
  Status Begin() override;
  Status Commit() override;
  void Rollback() override;
  bool in_transaction() const override;
  Status Execute(std::string_view sql) override;
  Status LayoutVersion(int* version) override;
  Status Prepare(std::string_view sql,
                 std::unique_ptr<Statement>* out) override;

 private:
  SqliteDatabase(sqlite3* db, std::string path)
      : Database(std::move(path)), db_(db) {}
  static Status OpenWithFlags(const std::string& path, int flags,
                              std::shared_ptr<Database>* out);

  sqlite3* db_;
  // Whether the connection may serve later opens of the same file (not for
  // Create, whose file is still being made).
  bool pooled_ = false;
};

// Prepares `sql` on the SQLite connection `db` (sqlite_statement.cc).
Status PrepareSqliteStatement(sqlite3* db, std::string_view sql,
                              std::unique_ptr<Statement>* out);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_SQLITE_DATABASE_H_
