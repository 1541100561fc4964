// Database: one connection to a help-desk database file (SQLite).
//
// A connection never creates a file: a path that names no existing file
// fails to open. Every connection waits for other writers (busy timeout)
// instead of failing at once, and uses write-ahead logging so that readers
// do not block the writer.
//
// A file records the layout of its tables (PRAGMA user_version): 0 for a
// help desk made by a release before layouts were numbered, kLayoutVersion
// for one made or upgraded by this one. Open refuses a file whose layout is
// newer than this engine knows, rather than misread or damage it.
//
// Connections are reused: closing a Database hands its connection to a pool
// (see connection_pool.h) for the next Open of the same file.
//
// Thread safety: a Database is used by one thread at a time. Record sources
// opened on it share its transaction.

#ifndef KIRVS_SRC_PLATFORM_DATABASE_H_
#define KIRVS_SRC_PLATFORM_DATABASE_H_

#include <memory>
#include <string>
#include <string_view>

#include "platform/status.h"

struct sqlite3;

namespace kirvs {

class Database {
 public:
  // How long a connection waits for another writer before it gives up.
  static constexpr int kBusyTimeoutMs = 30000;
  // The newest layout of the help-desk database that this engine knows:
  // 2 stores hashed passwords and compares text without regard to case.
  static constexpr int kLayoutVersion = 2;

  // Opens the existing database file at `path` for reading and writing.
  static Status Open(const std::string& path, std::shared_ptr<Database>* out);
  // Creates (or opens) the database file at `path`; for `kirvs init` and
  // tests only.
  static Status Create(const std::string& path, std::shared_ptr<Database>* out);

  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Starts a write transaction at once (BEGIN IMMEDIATE), waiting for other
  // writers; record sources opened on this connection then read and write
  // inside it until Commit or Rollback.
  Status Begin();
  Status Commit();
  // Undoes the open transaction, if any.
  void Rollback();
  bool in_transaction() const;

  // Runs one or more statements that return no rows.
  Status Execute(std::string_view sql);

  // The layout version that the file records.
  Status LayoutVersion(int* version);

  sqlite3* handle() const { return db_; }
  const std::string& path() const { return path_; }

 private:
  Database(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
  static Status OpenWithFlags(const std::string& path, int flags,
                              std::shared_ptr<Database>* out);

  sqlite3* db_;
  std::string path_;
  // Whether the connection may serve later opens of the same file (not for
  // Create, whose file is still being made).
  bool pooled_ = false;
};

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_DATABASE_H_
