#include "test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "cli/init_command.h"
#include "data/postgres_schema.h"
#include "platform/ascii.h"
#include "platform/postgres_database.h"
#include "platform/settings_file.h"
#include "platform/statement.h"
#include "platform/text_forms.h"

namespace kirvs::testing {

const char kSmallHelpDeskSql[] = R"sql(
CREATE TABLE Counters (FileName VARCHAR(50), LastNumber INTEGER);
INSERT INTO Counters VALUES ('Activities', 900), ('Current_Requests', 41);

CREATE TABLE Priority (Priority VARCHAR(20), Description VARCHAR(50));
INSERT INTO Priority VALUES ('Medium', 'within a day'), ('High', 'at once'),
                            ('Low', 'within a week');

CREATE TABLE Personnel (Name VARCHAR(30), WorkGroup VARCHAR(20),
                        Telephone VARCHAR(20), Email VARCHAR(50),
                        UserId VARCHAR(20));
INSERT INTO Personnel VALUES
  ('Ann Smith', 'Network', '101', 'ann@example.com', 'ann'),
  ('Bob Jones', 'Desktop', '102', NULL, 'bob');

CREATE TABLE Users (UserId VARCHAR(20), Contact VARCHAR(30),
                    Department VARCHAR(20), SubDepartment VARCHAR(20),
                    Location VARCHAR(20), Telephone VARCHAR(20),
                    NetworkId VARCHAR(20), NotifyUser BOOLEAN);
INSERT INTO Users VALUES
  ('carol', 'Carol White', 'Sales', 'North', 'Leeds', '201', 'CWHITE', TRUE);

CREATE TABLE Current_Requests (
  RequestNo INTEGER, Logged DATETIME, Personnel VARCHAR(30),
  Description TEXT, Requested DATETIME, Allocated DATETIME,
  Scheduled DATETIME, Completed DATETIME, Priority VARCHAR(20),
  Status VARCHAR(20), WorkGroup VARCHAR(20), EscalationId VARCHAR(20),
  ResolutionCode VARCHAR(20), Resolution TEXT, UserId VARCHAR(20),
  DownFlag BOOLEAN, RequestCost CURRENCY);
INSERT INTO Current_Requests VALUES
  (7, '2024-03-01 09:00:00', 'Ann Smith', 'Printer jams',
   '2024-03-01 08:55:00', '2024-03-01 09:15:00', '2024-03-04 10:00:00', NULL,
   'High', 'Open', 'Network', 'E2', 'R1', 'Fuser replaced', 'carol', FALSE,
   0),
  (8, '2024-03-02 10:00:00', NULL, 'New mouse', '2024-03-02 10:00:00', NULL,
   NULL, NULL, 'Low', 'Open', NULL, NULL, NULL, NULL, 'carol', FALSE, 0);

CREATE TABLE Request_AuditTrail (RequestNo INTEGER, EntryDate DATETIME,
                                 UserId VARCHAR(20), Event VARCHAR(20),
                                 Description VARCHAR(255));
)sql";

namespace {

// Runs `sql`, in the store's own dialect, on a connection of its own; makes
// a SQLite file when missing.
void ExecNative(const std::string& db_path, std::string_view sql) {
  std::shared_ptr<Database> db;
  Status s = Database::Create(db_path, &db);
  if (s.ok()) s = db->ExecuteNative(sql);
  if (!s.ok()) ADD_FAILURE() << s.message() << "\nin: " << sql;
}

}  // namespace

TempDir::TempDir() {
  const char* base = getenv("TMPDIR");
  std::string pattern =
      std::string(base && *base ? base : "/tmp") + "/kirvs_test_XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "cannot make a temporary folder from " << pattern;
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(std::string_view name) const {
  return path_ + "/" + std::string(name);
}

namespace {

// The statements of a script, split at the semicolons outside strings,
// names and comments.
std::vector<std::string_view> ScriptStatements(std::string_view script) {
  std::vector<std::string_view> statements;
  size_t start = 0;
  char closing = 0;  // the end of the string or name being read
  for (size_t i = 0; i < script.size(); ++i) {
    const char c = script[i];
    if (closing != 0) {
      if (c == closing) closing = 0;
    } else if (c == '\'' || c == '"') {
      closing = c;
    } else if (c == '[') {
      closing = ']';
    } else if (c == '-' && script.substr(i, 2) == "--") {
      closing = '\n';
    } else if (c == ';') {
      statements.push_back(script.substr(start, i - start));
      start = i + 1;
    }
  }
  statements.push_back(script.substr(start));
  return statements;
}

// The statement without the white space and comments around it.
std::string_view StatementText(std::string_view statement) {
  const size_t start = statement.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return "";
  statement = statement.substr(
      start, statement.find_last_not_of(" \t\r\n") + 1 - start);
  if (!statement.starts_with("--")) return statement;
  const size_t line_end = statement.find('\n');
  return line_end == std::string_view::npos
             ? ""
             : StatementText(statement.substr(line_end));
}

bool IsTableDdl(std::string_view statement) {
  return StartsWithIgnoringCase(statement, "CREATE TABLE") ||
         StartsWithIgnoringCase(statement, "CREATE INDEX") ||
         StartsWithIgnoringCase(statement, "CREATE UNIQUE INDEX");
}

// Runs CREATE TABLE and CREATE INDEX statements of SQLite's dialect on
// PostgreSQL, through the schema translator. It makes the domains that the
// tables need; a script run after the first finds some of them there.
void CreatePostgresTables(const std::string& uri, std::string_view ddl) {
  std::string native;
  const Status s = PostgresSchemaScript(ddl, &native);
  if (!s.ok()) ADD_FAILURE() << s.message() << "\nin: " << ddl;
  std::string script;
  for (std::string_view rest = native; !rest.empty();) {
    const size_t end = std::min(rest.find('\n'), rest.size());
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    script += line.starts_with("CREATE DOMAIN ")
                  ? "DO $$ BEGIN " + std::string(line) +
                        " EXCEPTION WHEN duplicate_object THEN NULL; END $$;\n"
                  : std::string(line) + "\n";
  }
  ExecNative(uri, script);
}

// ExecSql on PostgreSQL: the statements in order, each run of table DDL
// through the schema translator, the others in the engine's dialect.
void ExecPostgres(const std::string& uri, std::string_view sql) {
  std::string group;
  bool group_is_ddl = false;
  auto run_group = [&] {
    if (group.empty()) return;
    if (group_is_ddl) {
      CreatePostgresTables(uri, group);
    } else {
      std::shared_ptr<Database> db;
      Status s = Database::Open(uri, &db);
      if (s.ok()) s = db->Execute(group);
      if (!s.ok()) ADD_FAILURE() << s.message() << "\nin: " << group;
    }
    group.clear();
  };
  for (std::string_view statement : ScriptStatements(sql)) {
    const std::string_view text = StatementText(statement);
    if (text.empty()) continue;
    if (IsTableDdl(text) != group_is_ddl) run_group();
    group_is_ddl = IsTableDdl(text);
    group += std::string(text) + ";\n";
  }
  run_group();
}

}  // namespace

HelpDeskFixture::HelpDeskFixture(Store store, std::nullptr_t)
    : ini_path_(dir_.File(kSettingsFileName)) {
  if (store == Store::kPostgres) {
    schema_ = std::make_unique<PostgresSchema>();
    db_path_ = schema_->uri();
  } else {
    db_path_ = dir_.File(kDatabaseFileName);
  }
}

HelpDeskFixture::HelpDeskFixture(std::string_view sql, Store store)
    : HelpDeskFixture(store, nullptr) {
  if (!available()) return;
  ExecSql(db_path_, sql);
  if (!WriteIniString(ini_path_, "Settings", "DBPath", db_path_).ok()) {
    ADD_FAILURE() << "cannot write " << ini_path_;
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

Variant Form(Fields fields) {
  return Variant::Form(std::make_shared<SubmittedForm>(std::move(fields)));
}

double At(int year, int month, int day, int hour, int minute, int second) {
  return MomentFromCivil({year, month, day, hour, minute, second});
}

bool Call(KIRVSession& session, Variant command, Variant p1, Variant p2,
          Variant* p1_after) {
  Variant p3;
  bool result = session.RunCommand(command, p1, p2, p3);
  if (p1_after != nullptr) *p1_after = p1;
  return result;
}

void OnThreads(int count, const std::function<void(int)>& body) {
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) threads.emplace_back(body, i);
  for (std::thread& thread : threads) thread.join();
}

std::string LogInError(const std::string& ini_path, const std::string& user,
                       const std::string& password) {
  KIRVSession session(ini_path);
  return Call(session, "LOGIN",
              Form({{"txtUserId", user}, {"txtPassword", password}}))
             ? ""
             : session.ErrorDescription().ToText();
}

PostgresSchema::PostgresSchema() {
  const char* base = getenv("KIRVS_TEST_POSTGRES");
  if (base == nullptr || *base == '\0') return;
  base_ = base;
  static std::atomic<int> count{0};
  name_ =
      "kirvs_test_" + std::to_string(getpid()) + "_" + std::to_string(count++);
  std::shared_ptr<Database> db;
  Status s = Database::Create(base_, &db);
  // Tests run in parallel processes: one makes the extension at a time.
  if (s.ok()) {
    s = db->ExecuteNative(
        "BEGIN; SELECT pg_advisory_xact_lock(1); CREATE EXTENSION IF NOT "
        "EXISTS citext SCHEMA public; DROP SCHEMA IF EXISTS " +
        name_ + " CASCADE; CREATE SCHEMA " + name_ + "; COMMIT");
  }
  if (!s.ok()) {
    ADD_FAILURE() << "cannot make a schema in " << DisplayPath(base_) << ": "
                  << s.message();
    return;
  }
  uri_ = base_ + (base_.find('?') == std::string::npos ? "?" : "&") +
         "options=-csearch_path%3D" + name_ + "%2Cpublic";
}

PostgresSchema::~PostgresSchema() {
  if (uri_.empty()) return;
  ClosePostgresConnections(uri_);
  std::shared_ptr<Database> db;
  Status s = Database::Create(base_, &db);
  if (s.ok()) s = db->ExecuteNative("DROP SCHEMA " + name_ + " CASCADE");
  if (!s.ok()) ADD_FAILURE() << "cannot drop " << name_ << ": " << s.message();
}

std::string StoreName(const ::testing::TestParamInfo<Store>& info) {
  return info.param == Store::kSqlite ? "SQLite" : "PostgreSQL";
}

DemoDesk::DemoDesk(Store store) : HelpDeskFixture(store, nullptr) {
  if (!available()) return;
  InitOptions options;
  options.dir = dir().path();
  options.demo = true;
  if (store == Store::kPostgres) options.database = db_path();
  std::ostringstream output, errors;
  if (RunInit(options, output, errors) != 0) {
    ADD_FAILURE() << "cannot make the demo desk: " << errors.str();
  }
}

void ExpectGolden(const std::string& name, const std::string& text) {
  const std::string path = std::string(KIRVS_GOLDEN_DIR) + "/" + name;
  const char* update = getenv("KIRVS_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    std::ofstream(path, std::ios::binary) << text;
    return;
  }
  ASSERT_TRUE(std::filesystem::exists(path))
      << "no golden file " << path << " (KIRVS_UPDATE_GOLDEN=1 writes it)";
  const std::string golden = ReadFile(path);
  if (golden == text) return;
  size_t at = 0;
  while (at < golden.size() && at < text.size() && golden[at] == text[at]) {
    ++at;
  }
  const size_t from = at < 60 ? 0 : at - 60;
  ADD_FAILURE() << name << " differs from its golden file at byte " << at
                << "\n golden: ..." << golden.substr(from, 160)
                << "\n actual: ..." << text.substr(from, 160);
}

namespace {

std::string Quoted(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  return out + "\"";
}

}  // namespace

void ExecSql(const std::string& db_path, std::string_view sql) {
  if (IsPostgresUri(db_path)) return ExecPostgres(db_path, sql);
  ExecNative(db_path, sql);
}

Rows QuerySql(const std::string& db_path, std::string_view sql) {
  Rows rows;
  std::shared_ptr<Database> db;
  std::unique_ptr<Statement> stmt;
  Status s = Database::Create(db_path, &db);
  if (s.ok()) s = Statement::Prepare(*db, sql, &stmt);
  bool row = false;
  while (s.ok() && (s = stmt->Step(&row)).ok() && row) {
    std::vector<std::string> values;
    for (int i = 0; i < stmt->column_count(); ++i) {
      Cell cell;
      std::string bytes;
      stmt->ReadCell(i, &cell, &bytes);
      char real[32];
      // As SQLite gives a real as text: 2.0, not 2.
      std::snprintf(real, sizeof real, "%.15g", cell.real);
      if (std::strpbrk(real, ".ena") == nullptr) std::strcat(real, ".0");
      values.push_back(cell.kind == Cell::Kind::kNull ? "NULL"
                       : cell.kind == Cell::Kind::kInteger
                           ? std::to_string(cell.integer)
                       : cell.kind == Cell::Kind::kReal ? std::string(real)
                                                        : bytes);
    }
    rows.push_back(std::move(values));
  }
  if (!s.ok()) ADD_FAILURE() << s.message() << "\nin: " << sql;
  return rows;
}

std::string QueryValue(const std::string& db_path, std::string_view sql) {
  auto rows = QuerySql(db_path, sql);
  return rows.empty() || rows[0].empty() ? "" : rows[0][0];
}

std::string Describe(const Variant& value) {
  // In the order of Variant::Type.
  static const char* const kTypes[] = {"empty",  "null", "text",    "integer",
                                       "double", "date", "Boolean", "form"};
  return kTypes[static_cast<int>(value.type())] + (" \"" + value.ToText()) +
         "\"";
}

namespace {

// kirvs_read_fault(n): 1 for the first n rows of a statement that it is
// evaluated on, then an error. The count lives in the statement (auxiliary
// data of the constant argument), so each run of a query counts afresh.
void ReadFault(sqlite3_context* context, int, sqlite3_value** args) {
  auto* count = static_cast<int64_t*>(sqlite3_get_auxdata(context, 0));
  if (count == nullptr) {
    sqlite3_set_auxdata(context, 0, new int64_t(0),
                        [](void* p) { delete static_cast<int64_t*>(p); });
    count = static_cast<int64_t*>(sqlite3_get_auxdata(context, 0));
  }
  if (count == nullptr || ++*count > sqlite3_value_int64(args[0])) {
    sqlite3_result_error(context, kInjectedReadFailure, -1);
    return;
  }
  sqlite3_result_int(context, 1);
}

int RegisterReadFault(sqlite3* db, char**, const sqlite3_api_routines*) {
  // Not deterministic: it must run once per row, not once per statement.
  return sqlite3_create_function(db, "kirvs_read_fault", 1, SQLITE_UTF8,
                                 nullptr, ReadFault, nullptr, nullptr);
}

// Every connection that the test process opens, the engine's included,
// knows kirvs_read_fault().
const bool kReadFaultRegistered = [] {
  return sqlite3_auto_extension(
             reinterpret_cast<void (*)()>(RegisterReadFault)) == SQLITE_OK;
}();

// kirvs_read_fault(n) on PostgreSQL. The count lives in the connection's
// settings, started afresh by each statement (told apart by the moment it
// came in).
const std::string kPostgresReadFault =
    std::string(
        "CREATE OR REPLACE FUNCTION kirvs_read_fault(n integer) RETURNS "
        "boolean AS $$ DECLARE statement text := statement_timestamp()::text; "
        "seen integer; BEGIN IF current_setting('kirvs.statement', true) IS "
        "DISTINCT FROM statement THEN PERFORM set_config('kirvs.statement', "
        "statement, false); PERFORM set_config('kirvs.rows', '0', false); END "
        "IF; seen := current_setting('kirvs.rows')::integer + 1; PERFORM "
        "set_config('kirvs.rows', seen::text, false); IF seen > n THEN RAISE "
        "EXCEPTION '") +
    kInjectedReadFailure + "'; END IF; RETURN true; END $$ LANGUAGE plpgsql; ";

}  // namespace

void FailReadsAfter(const std::string& db_path, std::string_view table,
                    int rows) {
  const std::string stored = std::string(table) + "_rows";
  const std::string view =
      "ALTER TABLE " + Quoted(table) + " RENAME TO " + Quoted(stored) +
      "; CREATE VIEW " + Quoted(table) + " AS SELECT * FROM " + Quoted(stored) +
      " WHERE kirvs_read_fault(" + std::to_string(rows) + ")";
  if (IsPostgresUri(db_path)) {
    ExecNative(db_path, kPostgresReadFault + view);
    return;
  }
  EXPECT_TRUE(kReadFaultRegistered);
  ExecNative(db_path, view);
}

void FailWrites(const std::string& db_path, std::string_view table,
                std::string_view column) {
  const std::vector<std::string> events =
      column.empty() ? std::vector<std::string>{"INSERT", "UPDATE", "DELETE"}
                     : std::vector<std::string>{"UPDATE OF " + Quoted(column)};
  if (IsPostgresUri(db_path)) {
    std::string any_event;
    for (const std::string& event : events) {
      any_event += (any_event.empty() ? "" : " OR ") + event;
    }
    ExecNative(db_path,
               std::string("CREATE OR REPLACE FUNCTION kirvs_fail() RETURNS "
                           "trigger AS $$ BEGIN RAISE EXCEPTION '") +
                   kInjectedFailure +
                   "'; END $$ LANGUAGE plpgsql; CREATE TRIGGER kirvs_fail "
                   "BEFORE " +
                   any_event + " ON " + Quoted(table) +
                   " FOR EACH ROW EXECUTE FUNCTION kirvs_fail()");
    return;
  }
  // SQLite's triggers take one event each.
  std::string sql;
  for (const std::string& event : events) {
    sql += "CREATE TRIGGER " +
           Quoted("kirvs_fail_" + event + "_" + std::string(table)) +
           " BEFORE " + event + " ON " + Quoted(table) +
           " BEGIN SELECT RAISE(ABORT, '" + kInjectedFailure + "'); END;";
  }
  ExecSql(db_path, sql);
}

void DropTable(const std::string& db_path, std::string_view table) {
  ExecNative(db_path, "DROP TABLE " + Quoted(table));
}

ProgramRun RunKirvs(const std::vector<std::string>& arguments,
                    const std::string& input) {
  TempDir dir;
  const std::string in = dir.File("in"), out = dir.File("out"),
                    err = dir.File("err");
  std::ofstream(in, std::ios::binary) << input;
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&files, 2, err.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  std::vector<std::string> words = {KIRVS_BINARY};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  ProgramRun run;
  pid_t pid;
  int status = 0;
  if (posix_spawn(&pid, KIRVS_BINARY, &files, &attributes, argv.data(),
                  environ) == 0 &&
      waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    run.exit_code = WEXITSTATUS(status);
  }
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  run.out = ReadFile(out);
  run.err = ReadFile(err);
  return run;
}

}  // namespace kirvs::testing
