// The Database of database.h on PostgreSQL, over libpq.
//
// `DBPath` is a connection URI; the password comes from it, PGPASSWORD or
// ~/.pgpass, as libpq finds it, and no message shows it (DisplayPath).
// Query texts in the engine's dialect are translated once per connection
// and text (sql_dialect.h) against the catalog of the connection's schema,
// and prepared on the server once; the store's own SQL (the schema) goes
// through ExecuteNative as it is.
//
// Begin takes a transaction-wide advisory lock after BEGIN, so that, as
// with SQLite's BEGIN IMMEDIATE, one writer at a time works in the help
// desk and numbering and closes stay atomic. The layout version is kept as
// the comment of the help desk's schema ("kirvs layout N").
//
// Connections go back to a pool of their own when closed, with their
// catalog and prepared statements.
//
// Thread safety: as Database.

#ifndef KIRVS_SRC_PLATFORM_POSTGRES_DATABASE_H_
#define KIRVS_SRC_PLATFORM_POSTGRES_DATABASE_H_

#include <memory>
#include <string>
#include <string_view>

#include "platform/database.h"
#include "platform/status.h"

namespace kirvs {

struct PostgresConnection;

class PostgresDatabase final : public Database {
 public:
  // The key of the advisory lock that Begin takes.
  static constexpr long long kWriterLock = 0x6b69727673;  // "kirvs"

  // Connects to the database at `uri`; with `check_layout`, refuses a
  // layout newer than this engine knows.
  static Status Open(const std::string& uri, bool check_layout,
                     std::shared_ptr<Database>* out);

  ~PostgresDatabase() override;

  Store store() const override { return Store::kPostgres; }
  Status Begin() override;
  Status Commit() override;
  void Rollback() override;
  bool in_transaction() const override;
  // Translates `sql` and runs it.
  Status Execute(std::string_view sql) override;
  // Runs `sql`, PostgreSQL's own, as it is.
  Status ExecuteNative(std::string_view sql) override;
  Status LayoutVersion(int* version) override;
  Status Prepare(std::string_view sql,
                 std::unique_ptr<Statement>* out) override;

 private:
  PostgresDatabase(std::unique_ptr<PostgresConnection> connection,
                   std::string uri);

  std::unique_ptr<PostgresConnection> connection_;
};

// Closes the idle connections to `uri` that the pool keeps, so that a
// database or schema that is going away has no connection left to it.
void ClosePostgresConnections(const std::string& uri);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_POSTGRES_DATABASE_H_
