// Help desks for benchmarks: a demo help desk in a temporary folder, grown
// with filler rows, made once per process and per name.

#ifndef KIRVS_BENCH_BENCH_SUPPORT_H_
#define KIRVS_BENCH_BENCH_SUPPORT_H_

#include <libpq-fe.h>
#include <sqlite3.h>

#include <map>
#include <string>
#include <vector>

#include "kirvs/session.h"
#include "kirvs/submitted_form.h"

namespace kirvs::bench {

struct BenchDesk {
  std::string db_path;
  std::string ini_path;
};

// The desk called `name`: made on first use with `kirvs init --demo`, then
// `fill_sql` (run in one transaction). Later calls return the same desk.
const BenchDesk& Desk(const std::string& name, const std::string& fill_sql);

// "WITH RECURSIVE n(i) ... " selecting i = 1..count, to prefix an INSERT.
std::string Numbers(int count);

// The desk called `name` on the PostgreSQL server that KIRVS_TEST_POSTGRES
// names (scripts/with-postgres.sh sets it), in a schema of its own that is
// dropped when the run ends: made on first use with `kirvs init --demo
// --database`, then `fill_sql` (PostgreSQL's dialect, one transaction).
// db_path is the desk's URI. Null when KIRVS_TEST_POSTGRES is not set.
const BenchDesk* PostgresDesk(const std::string& name,
                              const std::string& fill_sql);

// Appends `text` (n bytes) to `*out` HTML-escaped in a table cell, as a page
// builder would.
void AppendCell(const char* text, int n, std::string* out);

// A submitted form of `fields`, as a page posts it.
Variant Form(std::vector<SubmittedForm::Field> fields);

// Runs `command` in `session`; true when it succeeded.
bool Run(KIRVSession& session, const char* command, Variant p1,
         Variant p2 = Variant());

// A plain connection for the bare SQL work that a command is measured
// against; closed on destruction.
class BareConnection {
 public:
  explicit BareConnection(const std::string& db_path);
  ~BareConnection();
  // Runs a query and appends every value of every row to `*out`, HTML-
  // escaped in a cell, as a page builder would; returns the number of rows.
  int Query(const std::string& sql, std::string* out);
  void Execute(const std::string& sql);
  sqlite3* handle() { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// A plain libpq connection, the PostgreSQL counterpart of BareConnection.
// Queries are prepared on first use and then executed by name, as the
// engine's store does, so that both send the same messages per query.
class BarePostgres {
 public:
  explicit BarePostgres(const std::string& uri);
  ~BarePostgres();
  BarePostgres(const BarePostgres&) = delete;
  BarePostgres& operator=(const BarePostgres&) = delete;
  // As BareConnection::Query, with `values` bound as text to $1, $2, ...
  // (null for NULL) as the engine binds them; a statement without rows
  // returns 0.
  int Query(const std::string& sql, std::string* out,
            const std::vector<const char*>& values = {});
  void Execute(const std::string& sql);
  // Begins a write as the engine's store does: BEGIN and the writers' lock.
  void BeginWrite();
  // The last value of the last row that Query read: the rowid of a row
  // read with its rowid selected last, as the engine selects it.
  const std::string& last_value() const { return last_value_; }

 private:
  PGconn* conn_ = nullptr;
  std::map<std::string, std::string> prepared_;  // query text -> name
  std::string last_value_;
};

}  // namespace kirvs::bench

#endif  // KIRVS_BENCH_BENCH_SUPPORT_H_
