// Fixtures shared by the unit tests: a temporary folder, a small help-desk
// database made with plain SQL, a settings file whose [Settings] DBPath names
// it, the demo desk on either store, and a fault injector that makes the
// database fail on demand with the store's own messages.
//
// The plain-SQL helpers (ExecSql, QuerySql, QueryValue) use a connection of
// their own, a bare Database, so that a test can set up and check the
// database without going through the record source and handlers under test.
// Each fails the running test (ADD_FAILURE) with the store's message when
// the statement fails.
//
// Fault injection, for the "an error occurred" branches (on either store
// unless said otherwise):
//   FailWrites(db, "Counters")   every INSERT, UPDATE and DELETE on the table
//                                fails with "injected failure"; reads work.
//   FailWrites(db, "Counters", "LastNumber")
//                                every UPDATE that sets the column fails
//                                (even to the value it holds).
//   DropTable(db, "Counters")    queries on the table fail at open.
//   FailReadsAfter(db, "Priority", 1)
//                                the table becomes a view of its
//                                rows that fails with "injected read
//                                failure" once a query has met more than 1
//                                of its rows, so that a walk breaks off
//                                after its first row (when the query needs
//                                no sort of its own, which reads every row
//                                before the first; give it an index that
//                                holds its order). Its rows can then no
//                                longer be written. PostgreSQL reads a
//                                query's rows before the first is shown,
//                                so there the query fails as a whole.
//
// Thread safety: a TempDir or HelpDeskFixture belongs to one test; the free
// functions may be called from any thread.

#ifndef KIRVS_TESTS_TEST_SUPPORT_H_
#define KIRVS_TESTS_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kirvs/session.h"
#include "kirvs/submitted_form.h"
#include "kirvs/variant.h"
#include "platform/clock.h"
#include "platform/database.h"

namespace kirvs::testing {

// A folder under $TMPDIR (or /tmp), removed with its contents on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // The path of `name` inside the folder.
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

// A fresh, empty schema in the PostgreSQL database that KIRVS_TEST_POSTGRES
// names (scripts/with-postgres.sh sets it), dropped on destruction; its URI
// reads the schema first, then public, where citext lives. Without the
// variable, uri() is empty and tests of PostgreSQL skip.
class PostgresSchema {
 public:
  PostgresSchema();
  ~PostgresSchema();
  PostgresSchema(const PostgresSchema&) = delete;
  PostgresSchema& operator=(const PostgresSchema&) = delete;

  const std::string& uri() const { return uri_; }

 private:
  std::string base_;
  std::string name_;
  std::string uri_;
};

// Why PostgreSQL tests skip when KIRVS_TEST_POSTGRES is not set.
inline constexpr char kNoPostgres[] =
    "KIRVS_TEST_POSTGRES is not set; run under scripts/with-postgres.sh";

// A small help-desk database: Counters (row "Current_Requests" at 41), a
// code table Priority (rows "High", "Low", "Medium"), Personnel, Users,
// Current_Requests (requests 7 and 8) and Request_AuditTrail (empty).
extern const char kSmallHelpDeskSql[];

// A temporary folder holding "KIRVS.INI", with [Settings] DBPath naming a
// database made from `sql` by ExecSql: "helpdesk.db" in the folder, or on
// PostgreSQL a PostgresSchema. Without KIRVS_TEST_POSTGRES, available() is
// false.
class HelpDeskFixture {
 public:
  explicit HelpDeskFixture(std::string_view sql = kSmallHelpDeskSql,
                           Store store = Store::kSqlite);
  explicit HelpDeskFixture(Store store)
      : HelpDeskFixture(kSmallHelpDeskSql, store) {}

  bool available() const { return !db_path_.empty(); }

  const std::string& db_path() const { return db_path_; }
  const std::string& ini_path() const { return ini_path_; }
  const TempDir& dir() const { return dir_; }

 protected:
  // The folder, and on PostgreSQL the schema, with no tables yet.
  HelpDeskFixture(Store store, std::nullptr_t);

 private:
  TempDir dir_;
  std::unique_ptr<PostgresSchema> schema_;
  std::string db_path_;
  std::string ini_path_;
};

// Rows of a query, each column as text.
using Rows = std::vector<std::vector<std::string>>;

// The whole content of a file; "" when it cannot be read.
std::string ReadFile(const std::string& path);

// Runs statements that return no rows, creating the file when missing. On
// PostgreSQL, CREATE TABLE and CREATE INDEX go through the schema translator
// (so their column types are those of the help desk's schema: INTEGER,
// BIGINT, SMALLINT, VARCHAR(n), TEXT, DATETIME, DOUBLE, CURRENCY, BOOLEAN,
// with TRUE and FALSE as Boolean values), the rest through the engine's
// dialect.
void ExecSql(const std::string& db_path, std::string_view sql);
// The rows of a query, each column as text ("NULL" for NULL).
Rows QuerySql(const std::string& db_path, std::string_view sql);
// The first column of the first row of a query as text; "" when no row.
std::string QueryValue(const std::string& db_path, std::string_view sql);

// What a run of the kirvs program gave.
struct ProgramRun {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// Runs the kirvs program (KIRVS_BINARY) with `arguments`, each passed as it
// stands (no shell), `input` on its standard input, in a session of its own
// without a controlling terminal (so it can never wait for typing).
ProgramRun RunKirvs(const std::vector<std::string>& arguments,
                    const std::string& input = "");

// A value with its type, for failure messages: "text \"abc\"", "null \"\"".
std::string Describe(const Variant& value);

// The message of every write that FailWrites makes fail.
inline constexpr char kInjectedFailure[] = "injected failure";
// The message of every read that FailReadsAfter makes fail.
inline constexpr char kInjectedReadFailure[] = "injected read failure";

void FailWrites(const std::string& db_path, std::string_view table,
                std::string_view column = "");
void DropTable(const std::string& db_path, std::string_view table);
void FailReadsAfter(const std::string& db_path, std::string_view table,
                    int rows);

// Posted fields, in posted order.
using Fields = std::vector<SubmittedForm::Field>;

// A posted form as a command parameter.
Variant Form(Fields fields);

// The moment of a civil date and time (local time).
double At(int year, int month, int day, int hour = 0, int minute = 0,
          int second = 0);

// Runs one command on `session`; `p1` is replaced as RunCommand replaces it
// when given.
bool Call(KIRVSession& session, Variant command, Variant p1 = Variant(),
          Variant p2 = Variant(), Variant* p1_after = nullptr);

// Runs body(0) ... body(count - 1), each on a thread of its own, all at
// once; returns when all have ended.
void OnThreads(int count, const std::function<void(int)>& body);

// Logs `user` in with `password` on a session of its own: "" when that
// works, else the session's error text.
std::string LogInError(const std::string& ini_path, const std::string& user,
                       const std::string& password);

// The stores a parameterised test runs on, and their names for test names.
inline constexpr Store kStores[] = {Store::kSqlite, Store::kPostgres};
std::string StoreName(const ::testing::TestParamInfo<Store>& info);

// Instantiates the parameterised suite `suite` on every store, its tests
// named .../SQLite and .../PostgreSQL.
#define KIRVS_ON_EVERY_STORE(suite)                                        \
  INSTANTIATE_TEST_SUITE_P(Stores, suite,                                  \
                           ::testing::ValuesIn(::kirvs::testing::kStores), \
                           ::kirvs::testing::StoreName)

// The demo help desk that `kirvs init --demo` makes, in a temporary folder
// (on PostgreSQL: KIRVS.INI there, the tables in a PostgresSchema):
// logins ann/ann123 (Ann Archer, Service Desk), bob/bob123, carol/carol123,
// dave/dave123; open requests from 1017 on. On PostgreSQL without
// KIRVS_TEST_POSTGRES, available() is false.
class DemoDesk : public HelpDeskFixture {
 public:
  explicit DemoDesk(Store store = Store::kSqlite);
};

// Walks every page of tests/golden on a session of the desk `ini_path` (in
// folder `dir`, its database `db_path`), comparing each with its golden file.
// Defined with the walk, in golden_pages_test.cc.
void ExpectGoldenWalk(const std::string& ini_path, const std::string& db_path,
                      const std::string& dir);

// Compares `text` with the golden file tests/golden/`name` byte for byte;
// with KIRVS_UPDATE_GOLDEN=1 in the environment it rewrites the file instead.
void ExpectGolden(const std::string& name, const std::string& text);

// A steady clock moved by hand, so that timeouts and delays pass without
// the test waiting for them. Its moment starts at kManualClockMoment, so
// that ages shown on pages read the same at every run. Thread-safe.
inline constexpr double kManualClockMoment = 46363.375;  // 2026-12-07 09:00
class ManualClock : public SteadyClock {
 public:
  TimePoint Now() const override {
    return start_ + std::chrono::milliseconds(elapsed_ms_.load());
  }
  double Moment() const override {
    return kManualClockMoment + elapsed_ms_.load() / 86400000.0;
  }
  void Advance(std::chrono::milliseconds by) { elapsed_ms_ += by.count(); }

 private:
  const TimePoint start_ = std::chrono::steady_clock::now();
  std::atomic<int64_t> elapsed_ms_{0};
};

}  // namespace kirvs::testing

#endif  // KIRVS_TESTS_TEST_SUPPORT_H_
