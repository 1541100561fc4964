// Commands of the request pages, each beside the bare SQL work it does (the
// same statements run directly through SQLite plus comparable string
// building), measured in the same run.

#include <benchmark/benchmark.h>

#include "bench_support.h"

namespace kirvs::bench {
namespace {

constexpr char kPerson[] = "Pat Bench";

// A desk whose request list for kPerson holds 50 requests among `others`.
const BenchDesk& ListDesk(int others) {
  return Desk("list" + std::to_string(others),
              Numbers(others) +
                  "INSERT INTO Current_Requests (RequestNo, Requested, "
                  "Personnel, Description, Priority, Status, UserId) SELECT "
                  "100000 + i, '2025-01-01 10:00:00', 'Other ' || (i % 500), "
                  "'filler request', 'Low', 'Open', 'ann' FROM n; " +
                  Numbers(50) +
                  "INSERT INTO Current_Requests (RequestNo, Requested, "
                  "Personnel, Description, Priority, Status, UserId) SELECT "
                  "90000 + i, '2025-02-01 10:00:00', '" +
                  kPerson + "', 'bench request', 'High', 'Open', 'ann' FROM n");
}

// A desk whose closed requests, audit trail and activities hold `rows` rows
// each, and whose ann is signed in.
const BenchDesk& HistoryDesk(int rows) {
  return Desk("history" + std::to_string(rows),
              Numbers(rows) +
                  "INSERT INTO Completed_Requests (RequestNo, Requested, "
                  "Personnel, Description, Status) SELECT 2000000 + i, "
                  "'2024-01-01 10:00:00', 'Other', 'old', 'Closed' FROM n; " +
                  Numbers(rows) +
                  "INSERT INTO Request_AuditTrail SELECT 2000000 + i, "
                  "'2024-01-01 10:00:00', 'ann', 'Updated', 'old' FROM n; " +
                  Numbers(rows) +
                  "INSERT INTO Request_Activities (RequestNo, ActNo, "
                  "[Date/Time], Duration, ChargeRate) SELECT 2000000 + i / 5, "
                  "i % 5, '2024-01-01 10:00:00', 1, 50 FROM n; "
                  "INSERT OR IGNORE INTO Logins (UserName) VALUES ('ann')");
}

void BM_Login(benchmark::State& state) {
  const BenchDesk& desk = Desk("demo", "SELECT 1");
  for (auto _ : state) {
    KIRVSession session(desk.ini_path);
    if (!Run(session, "LOGIN",
             Form({{"txtUserId", "ann"}, {"txtPassword", "ann123"}}))) {
      state.SkipWithError("login failed");
      break;
    }
  }
}
BENCHMARK(BM_Login)->Unit(benchmark::kMicrosecond);

void BM_LoginBareSql(benchmark::State& state) {
  const BenchDesk& desk = Desk("demo", "SELECT 1");
  BareConnection db(desk.db_path);
  for (auto _ : state) {
    std::string page;
    db.Query("SELECT * FROM System_Users WHERE UserId='ann'", &page);
    db.Query("SELECT * FROM Personnel WHERE UserId='ann'", &page);
    db.Execute("BEGIN IMMEDIATE");
    db.Query("SELECT * FROM Logins WHERE UserName='ann'", &page);
    db.Execute(
        "UPDATE Logins SET LoginTime='2026-12-06 10:00:00' WHERE "
        "UserName='ann'; COMMIT");
    db.Query(
        "SELECT RequestNo, Requested, Priority, Status, UserId, "
        "Description FROM Current_Requests Where Personnel='Ann Archer' "
        "ORDER BY 1",
        &page);
    benchmark::DoNotOptimize(page);
  }
}
BENCHMARK(BM_LoginBareSql)->Unit(benchmark::kMicrosecond);

void BM_ShowList(benchmark::State& state) {
  const BenchDesk& desk = ListDesk(static_cast<int>(state.range(0)));
  KIRVSession session(desk.ini_path);
  for (auto _ : state) {
    if (!Run(session, "SHOW LIST", Variant(kPerson), Variant(""))) {
      state.SkipWithError("list failed");
      break;
    }
  }
}
BENCHMARK(BM_ShowList)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_ShowListBareSql(benchmark::State& state) {
  const BenchDesk& desk = ListDesk(static_cast<int>(state.range(0)));
  BareConnection db(desk.db_path);
  for (auto _ : state) {
    std::string page;
    db.Query(std::string("SELECT RequestNo, Requested, Priority, Status, "
                         "UserId, Description FROM Current_Requests Where "
                         "Personnel='") +
                 kPerson + "' ORDER BY 1",
             &page);
    benchmark::DoNotOptimize(page);
  }
}
BENCHMARK(BM_ShowListBareSql)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

void BM_ShowRequest(benchmark::State& state) {
  const BenchDesk& desk = Desk("demo", "SELECT 1");
  KIRVSession session(desk.ini_path);
  for (auto _ : state) {
    if (!Run(session, "SHOW REQUEST", Variant("1017"), Variant("Ann Archer"))) {
      state.SkipWithError("show failed");
      break;
    }
  }
}
BENCHMARK(BM_ShowRequest)->Unit(benchmark::kMicrosecond);

void BM_ShowRequestBareSql(benchmark::State& state) {
  const BenchDesk& desk = Desk("demo", "SELECT 1");
  BareConnection db(desk.db_path);
  for (auto _ : state) {
    std::string page;
    db.Query(
        "SELECT RequestNo,Requested,Description,RequestType,Priority,"
        "Status,System,Product,Personnel,WorkGroup,UserId,Contact,"
        "Telephone,Department,Location,NotifyUser FROM Current_Requests "
        "Where Personnel='Ann Archer' And RequestNo=1017",
        &page);
    // One selection list per coded column.
    for (const char* table :
         {"Request_Types", "Priority", "Status", "System_Codes", "Products",
          "Personnel", "Work_Groups", "Departments", "Locations"}) {
      db.Query(std::string("SELECT * FROM [") + table + "] ORDER BY 1", &page);
    }
    benchmark::DoNotOptimize(page);
  }
}
BENCHMARK(BM_ShowRequestBareSql)->Unit(benchmark::kMicrosecond);

void BM_SaveExistingRequest(benchmark::State& state) {
  const BenchDesk& desk = HistoryDesk(static_cast<int>(state.range(0)));
  KIRVSession session(desk.ini_path);
  int i = 0;
  for (auto _ : state) {
    std::string text = "Printer jams, try " + std::to_string(++i);
    if (!Run(session, "SAVE REQUEST",
             Form({{"requestno", "1017"},
                   {"Description", text},
                   {"Priority", "High"},
                   {"KIRVSCurrentUser", "ann"}}),
             Variant("Ann Archer"))) {
      state.SkipWithError(session.ErrorDescription().text().c_str());
      break;
    }
  }
}
BENCHMARK(BM_SaveExistingRequest)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

void BM_SaveNewRequest(benchmark::State& state) {
  const BenchDesk& desk = HistoryDesk(static_cast<int>(state.range(0)));
  KIRVSession session(desk.ini_path);
  for (auto _ : state) {
    if (!Run(session, "SAVE REQUEST",
             Form({{"requestno", "0"},
                   {"Description", "bench"},
                   {"Priority", "Low"},
                   {"Personnel", "Bench New"},
                   {"KIRVSCurrentUser", "ann"}}),
             Variant("Nobody"))) {
      state.SkipWithError(session.ErrorDescription().text().c_str());
      break;
    }
  }
}
BENCHMARK(BM_SaveNewRequest)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

// The statements of a save: the login check, the request row read and
// changed, its audit entry, and the list that follows.
void BareSave(BareConnection& db, const std::string& write) {
  std::string page;
  db.Query("SELECT * FROM Logins WHERE UserName='ann'", &page);
  db.Execute("BEGIN IMMEDIATE");
  db.Query("SELECT rowid, * FROM [Current_Requests] WHERE RequestNo=1017",
           &page);
  db.Execute(write);
  db.Execute(
      "INSERT INTO Request_AuditTrail VALUES (1017, "
      "'2026-12-06 10:00:00', 'ann', 'Updated', 'Description:x; '); "
      "COMMIT");
  db.Query(
      "SELECT RequestNo, Requested, Priority, Status, UserId, "
      "Description FROM Current_Requests Where Personnel='Ann Archer' "
      "ORDER BY 1",
      &page);
  benchmark::DoNotOptimize(page);
}

void BM_SaveExistingRequestBareSql(benchmark::State& state) {
  const BenchDesk& desk = HistoryDesk(static_cast<int>(state.range(0)));
  int i = 0;
  BareConnection db(desk.db_path);
  for (auto _ : state) {
    BareSave(db, "UPDATE Current_Requests SET Description='bare " +
                     std::to_string(++i) + "' WHERE RequestNo=1017");
  }
}
BENCHMARK(BM_SaveExistingRequestBareSql)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

void BM_SaveNewRequestBareSql(benchmark::State& state) {
  const BenchDesk& desk = HistoryDesk(static_cast<int>(state.range(0)));
  BareConnection db(desk.db_path);
  for (auto _ : state) {
    std::string page;
    db.Query("SELECT * FROM Logins WHERE UserName='ann'", &page);
    db.Execute("BEGIN IMMEDIATE");
    db.Query("SELECT rowid, * FROM [Current_Requests] WHERE RequestNo=0",
             &page);
    db.Query("SELECT rowid, * FROM Counters WHERE FileName='Current_Requests'",
             &page);
    db.Execute(
        "UPDATE Counters SET LastNumber = LastNumber + 1 WHERE "
        "FileName='Current_Requests'; INSERT INTO Current_Requests "
        "(RequestNo, Requested, Description, Priority, Personnel) "
        "SELECT LastNumber, '2026-12-06 10:00:00', 'bench', 'Low', "
        "'Bench New' FROM Counters WHERE FileName='Current_Requests'; "
        "INSERT INTO Request_AuditTrail VALUES (1, '2026-12-06 "
        "10:00:00', 'ann', 'Logged', 'Priority: Low; '); COMMIT");
    db.Query(
        "SELECT RequestNo, Requested, Priority, Status, UserId, "
        "Description FROM Current_Requests Where Personnel='Nobody' "
        "ORDER BY 1",
        &page);
    benchmark::DoNotOptimize(page);
  }
}
BENCHMARK(BM_SaveNewRequestBareSql)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

void BM_CloseNow(benchmark::State& state) {
  const BenchDesk& desk = HistoryDesk(static_cast<int>(state.range(0)));
  BareConnection setup(desk.db_path);
  KIRVSession session(desk.ini_path);
  // Numbers run on across the runs of the benchmark: a number once closed
  // stands in Completed_Requests for good.
  static int number = 3000000;
  for (auto _ : state) {
    state.PauseTiming();
    std::string n = std::to_string(++number);
    setup.Execute(
        "BEGIN; INSERT INTO Current_Requests (RequestNo, Requested, "
        "Personnel, Description, Status) VALUES (" +
        n +
        ", '2026-11-30 10:00:00', 'Ann Archer', 'to close', "
        "'Open'); " +
        Numbers(20) +
        "INSERT INTO Request_Activities (RequestNo, ActNo, "
        "Duration, ChargeRate) SELECT " +
        n + ", i, 0.5, 40 FROM n; COMMIT");
    state.ResumeTiming();
    if (!Run(session, "CLOSE NOW",
             Form({{"requestno", n},
                   {"Completed", "2026-11-30 15:30"},
                   {"Resolution", "done"},
                   {"KIRVSCurrentUser", "ann"}}),
             Variant("Ann Archer"))) {
      state.SkipWithError(session.ErrorDescription().text().c_str());
      break;
    }
  }
}
BENCHMARK(BM_CloseNow)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

void BM_CloseNowBareSql(benchmark::State& state) {
  const BenchDesk& desk = HistoryDesk(static_cast<int>(state.range(0)));
  BareConnection db(desk.db_path);
  static int number = 5000000;
  for (auto _ : state) {
    state.PauseTiming();
    std::string n = std::to_string(++number);
    db.Execute(
        "BEGIN; INSERT INTO Current_Requests (RequestNo, Requested, "
        "Personnel, Description, Status) VALUES (" +
        n + ", '2026-11-30 10:00:00', 'Ann Archer', 'to close', 'Open'); " +
        Numbers(20) +
        "INSERT INTO Request_Activities (RequestNo, ActNo, Duration, "
        "ChargeRate) SELECT " +
        n + ", i, 0.5, 40 FROM n; COMMIT");
    state.ResumeTiming();
    std::string page;
    db.Query("SELECT * FROM Logins WHERE UserName='ann'", &page);
    db.Execute("BEGIN IMMEDIATE");
    db.Query("SELECT rowid, * FROM [Current_Requests] WHERE RequestNo=" + n,
             &page);
    db.Execute(
        "UPDATE Current_Requests SET Completed='2026-11-30 15:30:00', "
        "Resolution='done' WHERE RequestNo=" +
        n + "; COMMIT");
    db.Execute("BEGIN IMMEDIATE");
    db.Query("SELECT rowid, * FROM [Current_Requests] WHERE RequestNo=" + n,
             &page);
    db.Query("SELECT * FROM Request_Activities WHERE RequestNo=" + n, &page);
    db.Execute(
        "INSERT INTO Completed_Requests SELECT * FROM Current_Requests "
        "WHERE RequestNo=" +
        n +
        "; DELETE FROM Current_Requests WHERE "
        "RequestNo=" +
        n + "; COMMIT");
    db.Query(
        "SELECT RequestNo, Requested, Priority, Status, UserId, "
        "Description FROM Current_Requests Where Personnel='Ann Archer' "
        "ORDER BY 1",
        &page);
    benchmark::DoNotOptimize(page);
  }
}
BENCHMARK(BM_CloseNowBareSql)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kirvs::bench
