#include "bench_support.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <utility>
#include <vector>

#include "cli/init_command.h"
#include "platform/postgres_database.h"

namespace kirvs::bench {

namespace {

// The folder of this run's desks, removed when the run ends: a desk with a
// million rows takes tens of megabytes.
class BenchFolderOwner {
 public:
  BenchFolderOwner() : path_("/tmp/kirvs_bench_" + std::to_string(::getpid())) {
    std::filesystem::create_directories(path_);
  }
  ~BenchFolderOwner() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string BenchFolder() {
  static const BenchFolderOwner folder;
  return folder.path();
}

// Makes the desk in folder `name` with `kirvs init --demo`, its tables in
// `database` when that is a URI.
BenchDesk InitDesk(const std::string& name, const std::string& database) {
  InitOptions options;
  options.dir = BenchFolder() + "/" + name;
  options.demo = true;
  options.database = database;
  std::ostringstream out, err;
  if (RunInit(options, out, err) != 0) {
    std::cerr << err.str();
    std::abort();
  }
  BenchDesk desk{
      database.empty() ? options.dir + "/" + kDatabaseFileName : database,
      options.dir + "/" + kSettingsFileName};
  // A desk in use has a settings file written long ago; one written in the
  // last seconds is read afresh on every look (a write may still be under
  // way), which would measure the file system instead of the command.
  std::filesystem::last_write_time(
      desk.ini_path,
      std::filesystem::file_time_type::clock::now() - std::chrono::minutes(10));
  return desk;
}

// The schemas of this run's PostgreSQL desks, dropped when the run ends.
class PostgresSchemas {
 public:
  explicit PostgresSchemas(std::string base) : base_(std::move(base)) {}
  ~PostgresSchemas() {
    if (names_.empty()) return;
    BarePostgres db(base_);
    for (const std::string& name : names_) {
      db.Execute("SET client_min_messages = warning; DROP SCHEMA " + name +
                 " CASCADE");
    }
  }
  // A new, empty schema; returns the URI that works in it.
  std::string Make(const std::string& desk_name) {
    const std::string name =
        "kirvs_bench_" + std::to_string(::getpid()) + "_" + desk_name;
    BarePostgres db(base_);
    db.Execute(
        "SET client_min_messages = warning; SELECT pg_advisory_lock(1); "
        "CREATE EXTENSION IF NOT EXISTS citext "
        "SCHEMA public; SELECT pg_advisory_unlock(1); CREATE SCHEMA " +
        name);
    names_.push_back(name);
    return base_ + (base_.find('?') == std::string::npos ? "?" : "&") +
           "options=-csearch_path%3D" + name + "%2Cpublic";
  }

 private:
  std::string base_;
  std::vector<std::string> names_;
};

}  // namespace

Variant Form(std::vector<SubmittedForm::Field> fields) {
  return Variant::Form(std::make_shared<SubmittedForm>(std::move(fields)));
}

bool Run(KIRVSession& session, const char* command, Variant p1, Variant p2) {
  Variant c(command), p3;
  return session.RunCommand(c, p1, p2, p3);
}

const BenchDesk& Desk(const std::string& name, const std::string& fill_sql) {
  static std::map<std::string, BenchDesk> desks;
  auto found = desks.find(name);
  if (found != desks.end()) return found->second;
  BenchDesk desk = InitDesk(name, "");
  BareConnection db(desk.db_path);
  db.Execute("BEGIN; " + fill_sql + "; COMMIT; ANALYZE;");
  return desks.emplace(name, desk).first->second;
}

const BenchDesk* PostgresDesk(const std::string& name,
                              const std::string& fill_sql) {
  const char* base = std::getenv("KIRVS_TEST_POSTGRES");
  if (base == nullptr || *base == '\0') return nullptr;
  static PostgresSchemas schemas(base);
  static std::map<std::string, BenchDesk> desks;
  auto found = desks.find(name);
  if (found != desks.end()) return &found->second;
  BenchDesk desk = InitDesk("pg_" + name, schemas.Make(name));
  BarePostgres db(desk.db_path);
  db.Execute("BEGIN; " + fill_sql + "; COMMIT; ANALYZE");
  return &desks.emplace(name, desk).first->second;
}

std::string Numbers(int count) {
  return "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
         "WHERE i < " +
         std::to_string(count) + ") ";
}

BareConnection::BareConnection(const std::string& db_path) {
  if (sqlite3_open_v2(db_path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) !=
      SQLITE_OK) {
    std::cerr << "cannot open " << db_path << "\n";
    std::abort();
  }
  sqlite3_busy_timeout(db_, 30000);
}

BareConnection::~BareConnection() { sqlite3_close_v2(db_); }

int BareConnection::Query(const std::string& sql, std::string* out) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    std::cerr << sqlite3_errmsg(db_) << ": " << sql << "\n";
    std::abort();
  }
  int rows = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    ++rows;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      AppendCell(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                 sqlite3_column_bytes(stmt, i), out);
    }
  }
  sqlite3_finalize(stmt);
  return rows;
}

void AppendCell(const char* text, int n, std::string* out) {
  *out += "<td><font size=2>";
  // Every value that a page shows is escaped: a page builder that did not
  // would be cheaper and wrong. Runs without a special character are copied
  // whole.
  int start = 0;
  for (int k = 0; k < n; ++k) {
    const char* entity = nullptr;
    switch (text[k]) {
      case '&':
        entity = "&amp;";
        break;
      case '<':
        entity = "&lt;";
        break;
      case '>':
        entity = "&gt;";
        break;
      case '"':
        entity = "&quot;";
        break;
      case '\'':
        entity = "&#39;";
        break;
      default:
        continue;
    }
    out->append(text + start, k - start);
    *out += entity;
    start = k + 1;
  }
  if (n > start) out->append(text + start, n - start);
  *out += "</td>";
}

void BareConnection::Execute(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::cerr << (error ? error : "?") << ": " << sql.substr(0, 200) << "\n";
    std::abort();
  }
}

BarePostgres::BarePostgres(const std::string& uri)
    : conn_(PQconnectdb(uri.c_str())) {
  if (PQstatus(conn_) != CONNECTION_OK) {
    std::cerr << "cannot connect: " << PQerrorMessage(conn_);
    std::abort();
  }
}

BarePostgres::~BarePostgres() { PQfinish(conn_); }

int BarePostgres::Query(const std::string& sql, std::string* out,
                        const std::vector<const char*>& values) {
  auto found = prepared_.find(sql);
  if (found == prepared_.end()) {
    const std::string name = "bare" + std::to_string(prepared_.size());
    PGresult* prepared =
        PQprepare(conn_, name.c_str(), sql.c_str(), 0, nullptr);
    const bool ok = PQresultStatus(prepared) == PGRES_COMMAND_OK;
    PQclear(prepared);
    if (!ok) {
      std::cerr << PQerrorMessage(conn_) << ": " << sql << "\n";
      std::abort();
    }
    found = prepared_.emplace(sql, name).first;
  }
  PGresult* result = PQexecPrepared(conn_, found->second.c_str(),
                                    static_cast<int>(values.size()),
                                    values.data(), nullptr, nullptr, 0);
  const ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
    std::cerr << PQerrorMessage(conn_) << ": " << sql << "\n";
    std::abort();
  }
  const int rows = PQntuples(result);
  const int columns = PQnfields(result);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      AppendCell(PQgetvalue(result, r, c), PQgetlength(result, r, c), out);
    }
  }
  if (rows > 0 && columns > 0) {
    last_value_ = PQgetvalue(result, rows - 1, columns - 1);
  }
  PQclear(result);
  return rows;
}

void BarePostgres::Execute(const std::string& sql) {
  PGresult* result = PQexec(conn_, sql.c_str());
  const ExecStatusType status = PQresultStatus(result);
  PQclear(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    std::cerr << PQerrorMessage(conn_) << ": " << sql.substr(0, 200) << "\n";
    std::abort();
  }
}

void BarePostgres::BeginWrite() {
  Execute("BEGIN; SELECT pg_advisory_xact_lock(" +
          std::to_string(PostgresDatabase::kWriterLock) + ")");
}

}  // namespace kirvs::bench
