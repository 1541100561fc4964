// The request commands on a help desk on PostgreSQL, each beside the bare
// SQL work it does (the same statements, prepared once, sent through libpq
// on one connection, plus comparable string building), measured in the same
// run.
// They need the server that KIRVS_TEST_POSTGRES names
// (scripts/with-postgres.sh kirvs_bench --benchmark_filter=Postgres) and
// are skipped without it.

#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.h"
#include "kirvs/session.h"

namespace kirvs::bench {
namespace {

constexpr char kPerson[] = "Pat Bench";
constexpr char kNoServer[] =
    "KIRVS_TEST_POSTGRES is not set; run under scripts/with-postgres.sh";

bool Run(KIRVSession& session, const char* command, Variant p1, Variant p2) {
  Variant c(command), p3;
  return session.RunCommand(c, p1, p2, p3);
}

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

void BM_PostgresShowList(benchmark::State& state) {
  const BenchDesk* desk = ListDesk(static_cast<int>(state.range(0)));
  if (desk == nullptr) {
    state.SkipWithError(kNoServer);
    return;
  }
  KIRVSession session(desk->ini_path);
  for (auto _ : state) {
    if (!Run(session, "SHOW LIST", Variant(kPerson), Variant(""))) {
      state.SkipWithError(session.ErrorDescription().text().c_str());
      break;
    }
  }
}
BENCHMARK(BM_PostgresShowList)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

void BM_PostgresShowListBareLibpq(benchmark::State& state) {
  const BenchDesk* desk = ListDesk(static_cast<int>(state.range(0)));
  if (desk == nullptr) {
    state.SkipWithError(kNoServer);
    return;
  }
  BarePostgres db(desk->db_path);
  for (auto _ : state) {
    std::string page;
    db.Query(std::string("SELECT \"RequestNo\", \"Requested\", \"Priority\", "
                         "\"Status\", \"UserId\", \"Description\" FROM "
                         "\"Current_Requests\" WHERE \"Personnel\"='") +
                 kPerson + "' ORDER BY 1",
             &page);
    benchmark::DoNotOptimize(page);
  }
}
BENCHMARK(BM_PostgresShowListBareLibpq)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

void BM_PostgresShowRequest(benchmark::State& state) {
  const BenchDesk* desk = DemoDesk();
  if (desk == nullptr) {
    state.SkipWithError(kNoServer);
    return;
  }
  KIRVSession session(desk->ini_path);
  for (auto _ : state) {
    if (!Run(session, "SHOW REQUEST", Variant("1017"), Variant("Ann Archer"))) {
      state.SkipWithError(session.ErrorDescription().text().c_str());
      break;
    }
  }
}
BENCHMARK(BM_PostgresShowRequest)->Unit(benchmark::kMicrosecond);

void BM_PostgresShowRequestBareLibpq(benchmark::State& state) {
  const BenchDesk* desk = DemoDesk();
  if (desk == nullptr) {
    state.SkipWithError(kNoServer);
    return;
  }
  BarePostgres db(desk->db_path);
  for (auto _ : state) {
    std::string page;
    db.Query(
        "SELECT \"RequestNo\",\"Requested\",\"Description\",\"RequestType\","
        "\"Priority\",\"Status\",\"System\",\"Product\",\"Personnel\","
        "\"WorkGroup\",\"UserId\",\"Contact\",\"Telephone\",\"Department\","
        "\"Location\",\"NotifyUser\" FROM \"Current_Requests\" WHERE "
        "\"Personnel\"='Ann Archer' AND \"RequestNo\"=1017",
        &page);
    // One selection list per coded column, with the columns the page shows.
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
      db.Query(std::string("SELECT ") + list + " ORDER BY 1", &page);
    }
    benchmark::DoNotOptimize(page);
  }
}
BENCHMARK(BM_PostgresShowRequestBareLibpq)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kirvs::bench
