#include "platform/postgres_database.h"

#include <poll.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/ascii.h"
#include "platform/postgres_connection.h"
#include "platform/postgres_types.h"

namespace kirvs {

namespace {

std::atomic<int> ddl_count{0};

// Idle connections kept per URI; the rest are closed. A busy node needs as
// many as it runs commands at once: each one it closes is opened again for
// a later command, a server process started and ended per command, and
// under load those starts queue on the server (32 connections of wrk on
// one node with 16 kept: p99 1.3 s and timeouts; with 64 kept: 0.1 s).
constexpr size_t kIdlePerUri = 64;
std::mutex pool_mutex;
std::unordered_multimap<std::string, std::unique_ptr<PostgresConnection>>&
IdleConnections() {
  static auto* idle =
      new std::unordered_multimap<std::string,
                                  std::unique_ptr<PostgresConnection>>();
  return *idle;
}

// Whether the server end of an idle connection is still there. A server
// that restarted, or an operator who ended the backend, leaves a last
// message and a closed socket, which libpq would only notice at the next
// command. An idle connection has nothing to read otherwise (we listen for
// no notifications), so anything waiting means it is dropped.
bool StillConnected(PGconn* conn) {
  if (PQstatus(conn) != CONNECTION_OK) return false;
  pollfd socket{PQsocket(conn), POLLIN, 0};
  return poll(&socket, 1, 0) == 0;
}

// An idle connection to `uri` that is still connected; those found closed
// are dropped on the way (after a server restart, all of them).
std::unique_ptr<PostgresConnection> TakeIdle(const std::string& uri) {
  std::lock_guard<std::mutex> lock(pool_mutex);
  auto& idle = IdleConnections();
  for (auto found = idle.find(uri); found != idle.end();
       found = idle.find(uri)) {
    auto connection = std::move(found->second);
    idle.erase(found);
    if (StillConnected(connection->conn)) return connection;
  }
  return nullptr;
}

void GiveBack(const std::string& uri,
              std::unique_ptr<PostgresConnection> connection) {
  std::lock_guard<std::mutex> lock(pool_mutex);
  auto& idle = IdleConnections();
  if (idle.count(uri) < kIdlePerUri) idle.emplace(uri, std::move(connection));
}

void IgnoreNotice(void*, const char*) {}

}  // namespace

void ClosePostgresConnections(const std::string& uri) {
  std::lock_guard<std::mutex> lock(pool_mutex);
  IdleConnections().erase(uri);
}

namespace {

// Runs `sql` and keeps its result in *result; fails with the server's
// message.
Status Run(PGconn* conn, const char* sql, PGresult** result = nullptr) {
  PGresult* res = PQexec(conn, sql);
  const ExecStatusType status = PQresultStatus(res);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    std::string message = PostgresError(conn, res);
    PQclear(res);
    return Status::Database(message);
  }
  if (result) {
    *result = res;
  } else {
    PQclear(res);
  }
  return Status();
}

// SQLite's words for a column that the query names and its tables lack
// ("no such column: Colour"), in the spelling the query gave it (PostgreSQL
// folds an unquoted name to lower case), so that a handler's message reads
// the same on both stores; `message` for any other failure.
std::string UnknownColumnMessage(const PGresult* result, std::string_view sql,
                                 std::string message) {
  const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  const size_t open = message.find('"');
  const size_t close =
      open == std::string::npos ? open : message.find('"', open + 1);
  if (state == nullptr || std::string_view(state) != "42703" ||
      close == std::string::npos) {
    return message;
  }
  const std::string_view name =
      std::string_view(message).substr(open + 1, close - open - 1);
  const auto is_word_char = [](char c) {
    return IsAsciiDigit(c) || c == '_' || (c >= 'A' && c <= 'Z') ||
           (c >= 'a' && c <= 'z');
  };
  for (size_t at = 0; at + name.size() <= sql.size(); ++at) {
    const size_t end = at + name.size();
    if (EqualsIgnoringCase(sql.substr(at, name.size()), name) &&
        (at == 0 || !is_word_char(sql[at - 1])) &&
        (end == sql.size() || !is_word_char(sql[end]))) {
      return "no such column: " + std::string(sql.substr(at, name.size()));
    }
  }
  return "no such column: " + std::string(name);
}

bool IsDdl(std::string_view sql) {
  std::string upper = AsciiUpper(sql);
  return upper.find("CREATE ") != std::string::npos ||
         upper.find("ALTER ") != std::string::npos ||
         upper.find("DROP ") != std::string::npos;
}

}  // namespace

std::string PostgresError(PGconn* conn, const PGresult* result) {
  const char* primary =
      result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  std::string message = primary ? primary : PQerrorMessage(conn);
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == ' ')) {
    message.pop_back();
  }
  return message.empty() ? "the PostgreSQL server did not answer" : message;
}

void CatalogChanged() { ++ddl_count; }

namespace {

// Reads the tables, columns and types of the connection's schema.
Status LoadCatalog(PGconn* conn, PostgresCatalog* catalog) {
  PGresult* result = nullptr;
  Status s = Run(conn,
                 "SELECT c.oid, c.relname, a.attnum, a.attname, "
                 "format_type(a.atttypid, a.atttypmod) "
                 "FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid "
                 "WHERE c.relnamespace = (SELECT oid FROM pg_namespace "
                 "WHERE nspname = current_schema()) "
                 "AND c.relkind IN ('r', 'v', 'p') AND a.attnum > 0 "
                 "AND NOT a.attisdropped ORDER BY c.relname, a.attnum",
                 &result);
  if (!s.ok()) return s;
  std::string table;
  std::vector<std::string> names;
  for (int row = 0; row < PQntuples(result); ++row) {
    const std::string name = PQgetvalue(result, row, 1);
    if (name != table && !table.empty()) {
      catalog->names.AddTable(table, std::move(names));
      names.clear();
    }
    table = name;
    names.push_back(PQgetvalue(result, row, 3));
    const unsigned oid = std::strtoul(PQgetvalue(result, row, 0), nullptr, 10);
    const int number = std::atoi(PQgetvalue(result, row, 2));
    catalog->columns[{oid, number}] = {
        names.back(), PostgresColumnType(PQgetvalue(result, row, 4)), table,
        names.back()};
  }
  if (!table.empty()) catalog->names.AddTable(table, std::move(names));
  PQclear(result);
  s = Run(conn,
          "SELECT t.oid, format_type(t.oid, NULL) FROM pg_type t "
          "WHERE t.typnamespace <> 'pg_catalog'::regnamespace "
          "AND t.typtype IN ('b', 'd')",
          &result);
  if (!s.ok()) return s;
  for (int row = 0; row < PQntuples(result); ++row) {
    catalog->types[std::strtoul(PQgetvalue(result, row, 0), nullptr, 10)] =
        PQgetvalue(result, row, 1);
  }
  PQclear(result);
  return Status();
}

}  // namespace

// The newest catalog read for each URI.
std::mutex catalogs_mutex;
std::unordered_map<std::string, std::shared_ptr<const PostgresCatalog>>&
Catalogs() {
  static auto* catalogs =
      new std::unordered_map<std::string,
                             std::shared_ptr<const PostgresCatalog>>();
  return *catalogs;
}

Status PostgresConnection::Refresh() {
  const int generation = ddl_count.load();
  if (generation == catalog->generation) return Status();
  std::shared_ptr<const PostgresCatalog> shared;
  {
    std::lock_guard<std::mutex> lock(catalogs_mutex);
    auto found = Catalogs().find(uri);
    if (found != Catalogs().end()) shared = found->second;
  }
  if (shared == nullptr || shared->generation != generation) {
    auto loaded = std::make_shared<PostgresCatalog>();
    Status s = LoadCatalog(conn, loaded.get());
    if (!s.ok()) return s;
    loaded->generation = generation;
    shared = loaded;
    std::lock_guard<std::mutex> lock(catalogs_mutex);
    Catalogs()[uri] = shared;
  }
  catalog = std::move(shared);
  // Statements prepared against the old catalog may read differently now.
  if (!prepared.empty()) {
    prepared.clear();
    return Run(conn, "DEALLOCATE ALL");
  }
  return Status();
}

Status PostgresConnection::Prepared(std::string_view sql,
                                    std::shared_ptr<const PreparedText>* out) {
  Status s = Refresh();
  if (!s.ok()) return s;
  auto found = prepared.find(std::string(sql));
  if (found != prepared.end()) {
    *out = found->second;
    return Status();
  }
  std::string text;
  s = TranslateForPostgres(sql, catalog->names, &text);
  if (!s.ok()) return s;
  if (TrimBlanks(text).empty()) {
    return Status::InvalidArgument("the query is empty");
  }
  PreparedText entry;
  // An INSERT into one of the help desk's tables says which row it added,
  // as SQLite's last rowid does.
  std::string_view trimmed = TrimBlanks(text);
  if (StartsWithIgnoringCase(trimmed, "INSERT") &&
      AsciiUpper(trimmed).find("RETURNING") == std::string::npos) {
    const size_t into = AsciiUpper(trimmed).find("INTO");
    if (into != std::string::npos) {
      std::string_view rest = TrimBlanks(trimmed.substr(into + 4));
      size_t end = rest.front() == '"' ? rest.find('"', 1) + 1
                                       : rest.find_first_of(" (");
      std::string_view name = rest.substr(0, end);
      if (name.size() > 1 && name.front() == '"') {
        name = name.substr(1, name.size() - 2);
      }
      const SqlCatalog::Table* table = catalog->names.FindTable(name);
      for (size_t i = 0; table && i < table->columns.size(); ++i) {
        if (table->columns[i] == kPostgresRowId) entry.returns_rowid = true;
      }
    }
    if (entry.returns_rowid) {
      while (!text.empty() && (text.back() == ';' || text.back() == ' ' ||
                               text.back() == '\n')) {
        text.pop_back();
      }
      text += " RETURNING ";
      text += kPostgresRowId;
    }
  }
  // The server keeps prepared statements for the connection's life; a
  // connection that has prepared many starts over.
  constexpr size_t kMostPrepared = 512;
  if (prepared.size() >= kMostPrepared) {
    s = Run(conn, "DEALLOCATE ALL");
    if (!s.ok()) return s;
    prepared.clear();
  }
  entry.name = "k" + std::to_string(prepared.size()) + "_" +
               std::to_string(catalog->generation);
  // A statement that fails to prepare would end the open transaction on
  // PostgreSQL (on SQLite it only fails); a savepoint keeps the
  // transaction, and the failure is the caller's to handle as on SQLite.
  const bool in_transaction = PQtransactionStatus(conn) == PQTRANS_INTRANS;
  if (in_transaction) {
    s = Run(conn, "SAVEPOINT kirvs_prepare");
    if (!s.ok()) return s;
  }
  PGresult* result =
      PQprepare(conn, entry.name.c_str(), text.c_str(), 0, nullptr);
  if (PQresultStatus(result) != PGRES_COMMAND_OK) {
    std::string message =
        UnknownColumnMessage(result, sql, PostgresError(conn, result));
    PQclear(result);
    if (in_transaction) {
      (void)Run(conn, "ROLLBACK TO SAVEPOINT kirvs_prepare");
      (void)Run(conn, "RELEASE SAVEPOINT kirvs_prepare");
    }
    return Status::Database(message);
  }
  PQclear(result);
  if (in_transaction) {
    s = Run(conn, "RELEASE SAVEPOINT kirvs_prepare");
    if (!s.ok()) return s;
  }
  result = PQdescribePrepared(conn, entry.name.c_str());
  if (PQresultStatus(result) != PGRES_COMMAND_OK) {
    std::string message = PostgresError(conn, result);
    PQclear(result);
    return Status::Database(message);
  }
  entry.parameters = PQnparams(result);
  const int count = entry.returns_rowid ? 0 : PQnfields(result);
  for (int i = 0; i < count; ++i) {
    PostgresColumn column;
    column.name = PQfname(result, i);
    auto origin =
        catalog->columns.find({PQftable(result, i), PQftablecol(result, i)});
    if (origin != catalog->columns.end()) {
      column.type = origin->second.type;
      column.table = origin->second.table;
      column.origin = origin->second.origin;
    } else {
      std::string type =
          PostgresTypeName(PQftype(result, i), PQfmod(result, i));
      if (type.empty()) {
        auto named = catalog->types.find(PQftype(result, i));
        if (named != catalog->types.end()) type = named->second;
      }
      column.type = PostgresColumnType(type);
    }
    entry.columns.push_back(std::move(column));
  }
  PQclear(result);
  auto shared = std::make_shared<const PreparedText>(std::move(entry));
  prepared.emplace(std::string(sql), shared);
  *out = std::move(shared);
  return Status();
}

namespace {

// The layout version that the comment of the connection's schema records;
// 0 when it records none.
Status ReadLayoutVersion(PGconn* conn, int* version) {
  PGresult* result = nullptr;
  Status s = Run(conn,
                 "SELECT obj_description(oid, 'pg_namespace') FROM "
                 "pg_namespace WHERE nspname = current_schema()",
                 &result);
  if (!s.ok()) return s;
  *version = 0;
  constexpr std::string_view kPrefix = "kirvs layout ";
  if (PQntuples(result) == 1 && !PQgetisnull(result, 0, 0)) {
    std::string_view comment = PQgetvalue(result, 0, 0);
    if (comment.starts_with(kPrefix)) {
      *version = std::atoi(comment.data() + kPrefix.size());
    }
  }
  PQclear(result);
  return Status();
}

}  // namespace

PostgresDatabase::PostgresDatabase(
    std::unique_ptr<PostgresConnection> connection, std::string uri)
    : Database(std::move(uri)), connection_(std::move(connection)) {}

Status PostgresDatabase::Open(const std::string& uri, bool check_layout,
                              std::shared_ptr<Database>* out) {
  std::unique_ptr<PostgresConnection> connection = TakeIdle(uri);
  // Every connection passes here once (later opens reuse it from the pool),
  // so only a new one has its layout checked.
  const bool fresh = connection == nullptr;
  if (fresh) {
    connection = std::make_unique<PostgresConnection>();
    connection->uri = uri;
    connection->conn = PQconnectdb(uri.c_str());
    if (PQstatus(connection->conn) != CONNECTION_OK) {
      return Status::IOError(PostgresError(connection->conn, nullptr) + ": " +
                             DisplayPath(uri));
    }
    PQsetNoticeProcessor(connection->conn, IgnoreNotice, nullptr);
    // Dates as the engine stores them; waits as long as SQLite's.
    Status s = Run(connection->conn,
                   ("SET DateStyle = ISO, YMD; SET IntervalStyle = iso_8601; "
                    "SET lock_timeout = " +
                    std::to_string(kBusyTimeoutMs))
                       .c_str());
    if (!s.ok()) return s;
  }
  // A connection to a layout it refuses goes no further, not even into
  // the pool, from where the next open would take it unchecked.
  if (fresh && check_layout) {
    int version = 0;
    Status s = ReadLayoutVersion(connection->conn, &version);
    if (s.ok() && version > kLayoutVersion) {
      s = Status::NotSupported("the database " + DisplayPath(uri) +
                               " has layout version " +
                               std::to_string(version) +
                               ", made by a newer release; this one knows "
                               "layouts up to " +
                               std::to_string(kLayoutVersion));
    }
    if (!s.ok()) return s;
  }
  out->reset(new PostgresDatabase(std::move(connection), uri));
  return Status();
}

PostgresDatabase::~PostgresDatabase() {
  Rollback();
  if (PQstatus(connection_->conn) == CONNECTION_OK &&
      PQtransactionStatus(connection_->conn) == PQTRANS_IDLE) {
    GiveBack(path(), std::move(connection_));
  }
}

Status PostgresDatabase::Begin() {
  return Run(connection_->conn, ("BEGIN; SELECT pg_advisory_xact_lock(" +
                                 std::to_string(kWriterLock) + ")")
                                    .c_str());
}

Status PostgresDatabase::Commit() { return Run(connection_->conn, "COMMIT"); }

void PostgresDatabase::Rollback() {
  if (in_transaction()) (void)Run(connection_->conn, "ROLLBACK");
}

bool PostgresDatabase::in_transaction() const {
  const PGTransactionStatusType status = PQtransactionStatus(connection_->conn);
  return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

Status PostgresDatabase::Execute(std::string_view sql) {
  Status s = connection_->Refresh();
  std::string text;
  if (s.ok()) s = TranslateForPostgres(sql, connection_->catalog->names, &text);
  if (!s.ok()) return s;
  return ExecuteNative(text);
}

Status PostgresDatabase::ExecuteNative(std::string_view sql) {
  // One "CREATE TABLE IF NOT EXISTS" of a table that the catalog holds is
  // not run: it would change nothing, yet it needs the right to create
  // tables, which the database user of a running desk may lack; and pages
  // that make sure of their table on every command keep their prepared
  // statements.
  constexpr std::string_view kIfNew = "CREATE TABLE IF NOT EXISTS ";
  std::string_view text = TrimBlanks(sql);
  while (!text.empty() && (text.back() == ';' || text.back() == '\n')) {
    text = TrimBlanks(text.substr(0, text.size() - 1));
  }
  if (StartsWithIgnoringCase(text, kIfNew) &&
      text.find(';') == std::string_view::npos) {
    text.remove_prefix(kIfNew.size());
    std::string_view name = text.substr(0, text.find_first_of(" ("));
    if (name.size() > 2 && name.front() == '"') {
      name = name.substr(1, name.size() - 2);
    }
    if (connection_->catalog->names.FindTable(name) != nullptr) return Status();
  }
  Status s = Run(connection_->conn, std::string(sql).c_str());
  if (IsDdl(sql)) CatalogChanged();
  return s;
}

Status PostgresDatabase::LayoutVersion(int* version) {
  return ReadLayoutVersion(connection_->conn, version);
}

Status PostgresDatabase::Prepare(std::string_view sql,
                                 std::unique_ptr<Statement>* out) {
  return PreparePostgresStatement(connection_.get(), sql, out);
}

}  // namespace kirvs
