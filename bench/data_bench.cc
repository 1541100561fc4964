// The data layer: adding one audit row to a small and a large trail, a
// selection list, and drawing request numbers.

#include <benchmark/benchmark.h>

#include <memory>

#include "bench_support.h"
#include "data/lookups.h"
#include "data/request_numbers.h"
#include "platform/clock.h"
#include "platform/record_source.h"

namespace kirvs::bench {
namespace {

const BenchDesk& AuditDesk(int rows) {
  return Desk("audit" + std::to_string(rows),
              Numbers(rows) +
                  "INSERT INTO Request_AuditTrail SELECT 500000 + i, "
                  "'2025-01-01 10:00:00', 'ann', 'Updated', 'filler ' || i "
                  "FROM n");
}

// Opening the trail in update mode and adding one row must not read the rows
// already there.
void BM_AddAuditRow(benchmark::State& state) {
  const BenchDesk& desk = AuditDesk(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::unique_ptr<RecordSource> rs;
    Status s =
        RecordSource::Open(desk.db_path, "SELECT * FROM [Request_AuditTrail]",
                           OpenMode::kUpdate, &rs);
    if (s.ok()) s = rs->AddNew();
    if (s.ok()) s = rs->Set(0, Variant::Integer(1001));
    if (s.ok()) s = rs->Set(1, Variant::Date(CurrentMoment()));
    if (s.ok()) s = rs->Set(2, Variant("ann"));
    if (s.ok()) s = rs->Set(3, Variant("Updated"));
    if (s.ok()) s = rs->Set(4, Variant("Description:bench; "));
    if (s.ok()) s = rs->Update();
    if (!s.ok()) {
      state.SkipWithError("adding the row failed");
      break;
    }
  }
}
BENCHMARK(BM_AddAuditRow)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

void BM_AddAuditRowBareSql(benchmark::State& state) {
  const BenchDesk& desk = AuditDesk(static_cast<int>(state.range(0)));
  BareConnection db(desk.db_path);
  for (auto _ : state) {
    db.Execute(
        "INSERT INTO Request_AuditTrail VALUES (1001, "
        "'2026-12-06 10:00:00', 'ann', 'Updated', 'Description:bench; ')");
  }
}
BENCHMARK(BM_AddAuditRowBareSql)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

void BM_BuildSelectList(benchmark::State& state) {
  const BenchDesk& desk = Desk("demo", "SELECT 1");
  for (auto _ : state) {
    benchmark::DoNotOptimize(BuildSelectList(desk.ini_path, "Priority",
                                             "Priority", Variant("High")));
  }
}
BENCHMARK(BM_BuildSelectList)->Unit(benchmark::kMicrosecond);

void BM_BuildSelectListBareSql(benchmark::State& state) {
  const BenchDesk& desk = Desk("demo", "SELECT 1");
  BareConnection db(desk.db_path);
  for (auto _ : state) {
    std::string out;
    db.Query("SELECT * FROM [Priority] ORDER BY 1", &out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_BuildSelectListBareSql)->Unit(benchmark::kMicrosecond);

void BM_NextRequestNumber(benchmark::State& state) {
  const BenchDesk& desk = Desk("demo", "SELECT 1");
  for (auto _ : state) {
    std::shared_ptr<Database> db;
    int32_t number;
    if (!Database::Open(desk.db_path, &db).ok() ||
        !NextRequestNumber(db, &number).ok()) {
      state.SkipWithError("failed");
      break;
    }
  }
}
BENCHMARK(BM_NextRequestNumber)->Unit(benchmark::kMicrosecond);

void BM_NextRequestNumberBareSql(benchmark::State& state) {
  const BenchDesk& desk = Desk("demo", "SELECT 1");
  BareConnection db(desk.db_path);
  for (auto _ : state) {
    db.Execute(
        "BEGIN IMMEDIATE; UPDATE Counters SET LastNumber = LastNumber + "
        "1 WHERE FileName='Current_Requests'; COMMIT");
  }
}
BENCHMARK(BM_NextRequestNumberBareSql)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kirvs::bench
