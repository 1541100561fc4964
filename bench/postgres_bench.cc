// The request commands on a help desk on PostgreSQL, each beside the bare
// SQL work it does (the same statements, prepared once, sent through libpq
// on one connection, plus comparable string building), measured in the same
// run.
// They need the server that KIRVS_TEST_POSTGRES names
// (scripts/with-postgres.sh kirvs_bench --benchmark_filter=Postgres) and
// are skipped without it.

#include <benchmark/benchmark.h>

#include <functional>
#include <optional>
#include <string>

#include "bench_support.h"

namespace kirvs::bench {
namespace {

constexpr char kPerson[] = "Pat Bench";
constexpr char kNoServer[] =
    "KIRVS_TEST_POSTGRES is not set; run under scripts/with-postgres.sh";

// A desk whose request list for kPerson holds 50 requests among `others`;
// null without a server.
const BenchDesk* ListDesk(int others) {
  return PostgresDesk(
      "list" + std::to_string(others),
      "INSERT INTO \"Current_Requests\" (\"RequestNo\", \"Requested\", "
      "\"Personnel\", \"Description\", \"Priority\", \"Status\", \"UserId\") "
      "SELECT 100000 + i, '2025-01-01 10:00:00', 'Other ' || (i % 500), "
      "'filler request', 'Low', 'Open', 'ann' FROM generate_series(1, " +
          std::to_string(others) +
          ") AS i; INSERT INTO \"Current_Requests\" (\"RequestNo\", "
          "\"Requested\", \"Personnel\", \"Description\", \"Priority\", "
          "\"Status\", \"UserId\") SELECT 90000 + i, '2025-02-01 10:00:00', "
          "'" +
          kPerson +
          "', 'bench request', 'High', 'Open', 'ann' FROM "
          "generate_series(1, 50) AS i");
}

const BenchDesk* DemoDesk() { return PostgresDesk("demo", "SELECT 1"); }

// The demo desk with ann signed in, for the commands that store.
const BenchDesk* WriteDesk() {
  return PostgresDesk("write",
                      "INSERT INTO \"Logins\" (\"UserName\") VALUES ('ann') "
                      "ON CONFLICT DO NOTHING");
}

// Stores a new open request of Ann Archer's with 20 activities, to be
// closed; returns its number, a new one on every call of the run.
std::string RequestToClose(BarePostgres& db) {
  static int number = 3000000;
  const std::string n = std::to_string(++number);
  db.Execute(
      "BEGIN; INSERT INTO \"Current_Requests\" (\"RequestNo\", "
      "\"Requested\", \"Personnel\", \"Description\", \"Status\") VALUES "
      "(" +
      n +
      ", '2026-11-30 10:00:00', 'Ann Archer', 'to close', 'Open'); INSERT "
      "INTO \"Request_Activities\" (\"RequestNo\", \"ActNo\", "
      "\"Duration\", \"ChargeRate\") SELECT " +
      n + ", i, 0.5, 40 FROM generate_series(1, 20) AS i; COMMIT");
  return n;
}

// The columns of a request, in the order of the request tables.
constexpr char kRequestColumns[] =
    "\"RequestNo\", \"Requested\", \"Personnel\", \"Description\", "
    "\"Allocated\", \"Scheduled\", \"Completed\", \"RequestType\", "
    "\"Priority\", \"Status\", \"System\", \"Product\", \"Department\", "
    "\"Sub-Department\", \"Location\", \"WorkGroup\", \"EscalationId\", "
    "\"ResolutionCode\", \"Resolution\", \"UserId\", \"Contact\", "
    "\"Telephone\", \"NetworkId\", \"NotifyUser\", \"RequestCost\", "
    "\"HoursWorked\", \"LeadTime\", \"DownFlag\", \"DownTime\"";

// The request list of `person`, as SHOW LIST reads it.
std::string ListSql(const std::string& person) {
  return "SELECT \"RequestNo\", \"Requested\", \"Priority\", \"Status\", "
         "\"UserId\", \"Description\" FROM \"Current_Requests\" Where "
         "\"Personnel\"='" +
         person + "' ORDER BY 1 NULLS FIRST";
}

// The outstanding request `number` with its rowid, as a write reads it.
std::string RequestRowSql(const std::string& number) {
  return std::string("SELECT ") + kRequestColumns +
         ", \"rowid\" AS \"kirvs_rowid\" FROM \"Current_Requests\" WHERE "
         "\"RequestNo\"=" +
         number;
}

// Whether ann is signed in, as every write first asks.
void ReadLogin(BarePostgres& db, std::string* page) {
  db.Query(
      "SELECT \"LoginId\", \"UserName\", \"LoginTime\" FROM \"Logins\" "
      "WHERE \"UserName\"='ann'",
      page);
}

// The selection lists of a request page, one per coded column, with the
// columns the page shows.
void ReadSelectionLists(BarePostgres& db, std::string* page) {
  for (const char* list :
       {"\"RequestType\", \"Description\" FROM \"Request_Types\"",
        "\"Priority\", \"Description\", \"ResponseHours\" FROM \"Priority\"",
        "\"Status\", \"Description\" FROM \"Status\"",
        "\"System\", \"Description\" FROM \"System_Codes\"",
        "\"Product\", \"Description\", \"ProductType\" FROM \"Products\"",
        "\"Name\", \"WorkGroup\", \"Telephone\", \"Email\", \"UserId\", "
        "\"ChargeRate\" FROM \"Personnel\"",
        "\"WorkGroup\", \"Description\" FROM \"Work_Groups\"",
        "\"Department\", \"Description\" FROM \"Departments\"",
        "\"Location\", \"Description\" FROM \"Locations\""}) {
    db.Query(std::string("SELECT ") + list + " ORDER BY 1 NULLS FIRST", page);
  }
}

// A command's first two parameters.
struct Params {
  Variant p1, p2;
};

// Times `command` on one session of `desk` (null without a server), with
// the parameters that `next` gives for each call; stops at a failed call.
void TimeCommand(benchmark::State& state, const BenchDesk* desk,
                 const char* command, const std::function<Params()>& next) {
  if (desk == nullptr) {
    state.SkipWithError(kNoServer);
    return;
  }
  KIRVSession session(desk->ini_path);
  for (auto _ : state) {
    Params params = next();
    if (!Run(session, command, params.p1, params.p2)) {
      state.SkipWithError(session.ErrorDescription().text().c_str());
      break;
    }
  }
}

// Times `work` on one bare connection to `desk` (null without a server),
// with a page of its own for each call.
void TimeBare(benchmark::State& state, const BenchDesk* desk,
              const std::function<void(BarePostgres&, std::string*)>& work) {
  if (desk == nullptr) {
    state.SkipWithError(kNoServer);
    return;
  }
  BarePostgres db(desk->db_path);
  for (auto _ : state) {
    std::string page;
    work(db, &page);
    benchmark::DoNotOptimize(page);
  }
}

void BM_PostgresShowList(benchmark::State& state) {
  TimeCommand(state, ListDesk(static_cast<int>(state.range(0))), "SHOW LIST",
              [] {
                return Params{Variant(kPerson), Variant("")};
              });
}
BENCHMARK(BM_PostgresShowList)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

void BM_PostgresShowListBareLibpq(benchmark::State& state) {
  TimeBare(state, ListDesk(static_cast<int>(state.range(0))),
           [](BarePostgres& db, std::string* page) {
             db.Query(ListSql(kPerson), page);
           });
}
BENCHMARK(BM_PostgresShowListBareLibpq)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

void BM_PostgresShowRequest(benchmark::State& state) {
  TimeCommand(state, DemoDesk(), "SHOW REQUEST", [] {
    return Params{Variant("1017"), Variant("Ann Archer")};
  });
}
BENCHMARK(BM_PostgresShowRequest)->Unit(benchmark::kMicrosecond);

void BM_PostgresShowRequestBareLibpq(benchmark::State& state) {
  TimeBare(state, DemoDesk(), [](BarePostgres& db, std::string* page) {
    db.Query(
        "SELECT \"RequestNo\",\"Requested\",\"Description\",\"RequestType\","
        "\"Priority\",\"Status\",\"System\",\"Product\",\"Personnel\","
        "\"WorkGroup\",\"UserId\",\"Contact\",\"Telephone\",\"Department\","
        "\"Location\",\"NotifyUser\" FROM \"Current_Requests\" WHERE "
        "\"Personnel\"='Ann Archer' AND \"RequestNo\"=1017",
        page);
    ReadSelectionLists(db, page);
  });
}
BENCHMARK(BM_PostgresShowRequestBareLibpq)->Unit(benchmark::kMicrosecond);

void BM_PostgresRegisterNewRequest(benchmark::State& state) {
  TimeCommand(state, WriteDesk(), "REGISTER NEW REQUEST", [] {
    return Params{Form({{"KIRVSCurrentPerson", "Ann Archer"}}), Variant()};
  });
}
BENCHMARK(BM_PostgresRegisterNewRequest)->Unit(benchmark::kMicrosecond);

void BM_PostgresRegisterNewRequestBareLibpq(benchmark::State& state) {
  TimeBare(state, WriteDesk(), [](BarePostgres& db, std::string* page) {
    db.Query(
        "SELECT \"Name\", \"WorkGroup\", \"Telephone\", \"Email\", "
        "\"UserId\", \"ChargeRate\" FROM \"Personnel\" WHERE \"Name\" = "
        "'Ann Archer' ORDER BY \"rowid\" NULLS FIRST",
        page);
    // The engine looks the user's row up once for each of the seven
    // columns that it fills from there.
    for (int column = 0; column < 7; ++column) {
      db.Query(
          "SELECT \"UserId\", \"Contact\", \"Department\", "
          "\"Sub-Department\", \"Location\", \"Telephone\", "
          "\"NetworkId\", \"NotifyUser\" FROM \"Users\" WHERE \"UserId\" "
          "= 'ann' ORDER BY \"rowid\" NULLS FIRST",
          page);
    }
    ReadSelectionLists(db, page);
  });
}
BENCHMARK(BM_PostgresRegisterNewRequestBareLibpq)
    ->Unit(benchmark::kMicrosecond);

void BM_PostgresSaveExistingRequest(benchmark::State& state) {
  int i = 0;
  TimeCommand(state, WriteDesk(), "SAVE REQUEST", [&] {
    return Params{
        Form({{"requestno", "1017"},
              {"Description", "Printer jams, try " + std::to_string(++i)},
              {"Priority", "High"},
              {"KIRVSCurrentUser", "ann"}}),
        Variant("Ann Archer")};
  });
}
BENCHMARK(BM_PostgresSaveExistingRequest)->Unit(benchmark::kMicrosecond);

void BM_PostgresSaveExistingRequestBareLibpq(benchmark::State& state) {
  int i = 0;
  TimeBare(state, WriteDesk(), [&](BarePostgres& db, std::string* page) {
    const std::string text = "bare " + std::to_string(++i);
    const std::string changes = "Description:" + text + "; Priority:High; ";
    ReadLogin(db, page);
    db.BeginWrite();
    db.Query(RequestRowSql("1017"), page);
    db.Query(
        "UPDATE \"Current_Requests\" SET \"Description\" = $1, "
        "\"Priority\" = $2 WHERE \"rowid\" = $3",
        page, {text.c_str(), "High", db.last_value().c_str()});
    db.Query(
        "INSERT INTO \"Request_AuditTrail\" (\"RequestNo\", \"EntryTime\", "
        "\"UserId\", \"Event\", \"Description\") VALUES ($1, $2, $3, $4, "
        "$5) RETURNING rowid",
        page,
        {"1017", "2026-12-07 10:00:00", "ann", "Updated", changes.c_str()});
    db.Execute("COMMIT");
    db.Query(ListSql("Ann Archer"), page);
  });
}
BENCHMARK(BM_PostgresSaveExistingRequestBareLibpq)
    ->Unit(benchmark::kMicrosecond);

void BM_PostgresCloseNow(benchmark::State& state) {
  const BenchDesk* desk = WriteDesk();
  std::optional<BarePostgres> setup;
  TimeCommand(state, desk, "CLOSE NOW", [&] {
    state.PauseTiming();
    if (!setup) setup.emplace(desk->db_path);
    const std::string n = RequestToClose(*setup);
    state.ResumeTiming();
    return Params{Form({{"requestno", n},
                        {"Completed", "2026-11-30 15:30"},
                        {"Resolution", "done"},
                        {"KIRVSCurrentUser", "ann"}}),
                  Variant("Ann Archer")};
  });
}
BENCHMARK(BM_PostgresCloseNow)->Unit(benchmark::kMicrosecond);

void BM_PostgresCloseNowBareLibpq(benchmark::State& state) {
  std::string insert = std::string("INSERT INTO \"Completed_Requests\" (") +
                       kRequestColumns + ") VALUES ($1";
  for (int slot = 2; slot <= 29; ++slot) {
    insert += ", $" + std::to_string(slot);
  }
  insert += ") RETURNING rowid";
  TimeBare(state, WriteDesk(), [&](BarePostgres& db, std::string* page) {
    state.PauseTiming();
    const std::string n = RequestToClose(db);
    state.ResumeTiming();
    db.Query(
        "SELECT \"Option\", \"Value\" FROM \"Options\" WHERE "
        "\"Option\"='UserSurveyRequired'",
        page);
    // The close details, stored on their own.
    ReadLogin(db, page);
    db.BeginWrite();
    db.Query(RequestRowSql(n), page);
    db.Query(
        "UPDATE \"Current_Requests\" SET \"Completed\" = $1, "
        "\"Resolution\" = $2 WHERE \"rowid\" = $3",
        page, {"2026-11-30 15:30:00", "done", db.last_value().c_str()});
    db.Execute("COMMIT");
    // The move, with the times and cost summed over the activities.
    ReadLogin(db, page);
    db.BeginWrite();
    db.Query(RequestRowSql(n), page);
    const std::string rowid = db.last_value();
    db.Query(
        "SELECT \"RequestNo\", \"ActNo\", \"Date/Time\", \"Personnel\", "
        "\"WorkGroup\", \"Description\", \"Duration\", \"ChargeRate\" "
        "FROM \"Request_Activities\" WHERE \"RequestNo\"=" +
            n,
        page);
    db.Query(insert, page,
             {n.c_str(),
              "2026-11-30 10:00:00",
              "Ann Archer",
              "to close",
              nullptr,
              nullptr,
              "2026-11-30 15:30:00",
              nullptr,
              nullptr,
              "Closed",
              nullptr,
              nullptr,
              nullptr,
              nullptr,
              nullptr,
              nullptr,
              nullptr,
              nullptr,
              "done",
              nullptr,
              nullptr,
              nullptr,
              nullptr,
              "0",
              "400",
              "10",
              "5.5",
              "0",
              "0"});
    db.Query("DELETE FROM \"Current_Requests\" WHERE \"rowid\" = $1", page,
             {rowid.c_str()});
    db.Execute("COMMIT");
    db.Query(ListSql("Ann Archer"), page);
  });
}
BENCHMARK(BM_PostgresCloseNowBareLibpq)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kirvs::bench
