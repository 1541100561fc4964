// One libpq connection with what the engine keeps for it: the catalog of
// its schema (names, column order and types, for translating query texts
// and typing their columns) and the statements prepared on it, by query
// text. Shared by postgres_database.cc and postgres_statement.cc.
//
// Thread safety: one thread at a time, like its Database.

#ifndef KIRVS_SRC_PLATFORM_POSTGRES_CONNECTION_H_
#define KIRVS_SRC_PLATFORM_POSTGRES_CONNECTION_H_

#include <libpq-fe.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/sql_dialect.h"
#include "platform/statement.h"
#include "platform/status.h"

namespace kirvs {

// One column of a prepared statement's result.
struct PostgresColumn {
  std::string name;
  ColumnType type;
  std::string table;   // the table it reads; empty when computed
  std::string origin;  // the table's column
};

// A statement prepared on the server, with what its description said.
struct PreparedText {
  std::string name;  // the server's name of the statement
  int parameters = 0;
  std::vector<PostgresColumn> columns;
  // An INSERT into a table with a rowid returns the new row's rowid.
  bool returns_rowid = false;
};

struct PostgresConnection {
  ~PostgresConnection() { PQfinish(conn); }

  // The catalog as of the last DDL this process ran; reloads it when older.
  Status Refresh();
  // The prepared statement for `sql` (engine dialect), preparing it once.
  Status Prepared(std::string_view sql,
                  std::shared_ptr<const PreparedText>* out);

  PGconn* conn = nullptr;
  SqlCatalog catalog;
  // (table oid, column number) -> table name, column name, type name.
  std::map<std::pair<unsigned, int>, PostgresColumn> columns;
  // Type oid -> name, for the types of the schema (domains, citext).
  std::unordered_map<unsigned, std::string> types;
  int catalog_generation = -1;
  std::unordered_map<std::string, std::shared_ptr<const PreparedText>> prepared;
};

// The primary message of a failed result, else of the connection.
std::string PostgresError(PGconn* conn, const PGresult* result);

// Marks every connection's catalog of this process stale (after DDL).
void CatalogChanged();

// Prepares on `connection` (postgres_statement.cc).
Status PreparePostgresStatement(PostgresConnection* connection,
                                std::string_view sql,
                                std::unique_ptr<Statement>* out);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_POSTGRES_CONNECTION_H_
