#include "platform/sqlite_database.h"

#include <sqlite3.h>

#include <string>

#include "platform/connection_pool.h"
#include "platform/statement.h"

namespace kirvs {

Status SqliteDatabase::OpenWithFlags(const std::string& path, int flags,
                                     std::shared_ptr<Database>* out) {
  if (path.empty()) {
    return Status::IOError("no database path was given");
  }
  sqlite3* db = nullptr;
  int rc =
      sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    return Status::IOError(message + ": " + path);
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db, 1);
  out->reset(new SqliteDatabase(db, path));
  return Status();
}

Status SqliteDatabase::Open(const std::string& path,
                            std::shared_ptr<Database>* out) {
  if (sqlite3* idle = TakeIdleConnection(path)) {
    auto* db = new SqliteDatabase(idle, path);
    db->pooled_ = true;
    out->reset(db);
    return Status();
  }
  // Never SQLITE_OPEN_CREATE: a wrong DBPath must fail, not leave an empty
  // database file behind.
  Status s = OpenWithFlags(path, SQLITE_OPEN_READWRITE, out);
  // A database made by another tool may still use a rollback journal, in
  // which a page that is walking its rows holds up every other session's
  // save. The switch is kept in the file, so this is a no-op after the first
  // open; when it cannot be made (a read-only file) the database works as
  // it is.
  if (!s.ok()) return s;
  // Every connection the engine uses passes here once (later opens reuse it
  // from the pool), so this is the one place that checks the layout.
  int version = 0;
  s = (*out)->LayoutVersion(&version);
  if (s.ok() && version > kLayoutVersion) {
    s = Status::NotSupported("the database " + path + " has layout version " +
                             std::to_string(version) +
                             ", made by a newer release; this one knows "
                             "layouts up to " +
                             std::to_string(kLayoutVersion));
  }
  if (!s.ok()) {
    out->reset();
    return s;
  }
  // Best effort, as said above: without the switch the database still works.
  (void)(*out)->Execute("PRAGMA journal_mode=WAL");
  static_cast<SqliteDatabase*>(out->get())->pooled_ = true;
  return s;
}

Status SqliteDatabase::Create(const std::string& path,
                              std::shared_ptr<Database>* out) {
  Status s =
      OpenWithFlags(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, out);
  if (s.ok()) s = (*out)->Execute("PRAGMA journal_mode=WAL");
  return s;
}

SqliteDatabase::~SqliteDatabase() {
  Rollback();
  // A connection whose statements are all finished goes back to the pool.
  if (pooled_ && in_transaction() == false &&
      sqlite3_next_stmt(db_, nullptr) == nullptr) {
    GiveBackConnection(path(), db_);
  } else {
    sqlite3_close_v2(db_);
  }
}

Status SqliteDatabase::Begin() { return Execute("BEGIN IMMEDIATE"); }

Status SqliteDatabase::Commit() { return Execute("COMMIT"); }

void SqliteDatabase::Rollback() {
  if (in_transaction())
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool SqliteDatabase::in_transaction() const {
  return !sqlite3_get_autocommit(db_);
}

Status SqliteDatabase::LayoutVersion(int* version) {
  sqlite3_stmt* statement = nullptr;
  int rc =
      sqlite3_prepare_v2(db_, "PRAGMA user_version", -1, &statement, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_step(statement);
  if (rc == SQLITE_ROW) *version = sqlite3_column_int(statement, 0);
  sqlite3_finalize(statement);
  if (rc == SQLITE_ROW) return Status();
  return Status::Database(sqlite3_errmsg(db_));
}

Status SqliteDatabase::Execute(std::string_view sql) {
  std::string text(sql);
  char* error = nullptr;
  int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &error);
  if (rc == SQLITE_OK) return Status();
  std::string message = error ? error : sqlite3_errstr(rc);
  sqlite3_free(error);
  return Status::Database(message);
}

Status SqliteDatabase::Prepare(std::string_view sql,
                               std::unique_ptr<Statement>* out) {
  return PrepareSqliteStatement(db_, sql, out);
}

}  // namespace kirvs
