// The activity log and the new-activity page of a request with 50
// activities, among 1,000 and 1,000,000 activities of other requests, each
// beside the bare SQL work it does (the same statements run directly through
// SQLite plus comparable string building), measured in the same run.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>
#include <string_view>

#include "activities/activity_list.h"
#include "activities/new_activity.h"
#include "bench_support.h"
#include "pages/session_state.h"
#include "platform/escape.h"
#include "platform/sqlite_database.h"

namespace kirvs::bench {
namespace {

constexpr char kRequest[] = "880001";
constexpr char kPerson[] = "Ann Archer";

// A desk whose request kRequest has 50 activities, numbered in date order,
// among `others` activities of 5,000 other requests.
const BenchDesk& ActivityDesk(int others) {
  return Desk(
      "activities" + std::to_string(others),
      Numbers(others) +
          "INSERT INTO Request_Activities (RequestNo, ActNo, [Date/Time], "
          "Personnel, WorkGroup, Description, Duration, ChargeRate) SELECT "
          "3000000 + i % 5000, i / 5000 + 1, '2024-01-01 10:00:00', "
          "'Other', 'Desktop', 'filler activity', 1, 40 FROM n; " +
          Numbers(50) +
          "INSERT INTO Request_Activities (RequestNo, ActNo, [Date/Time], "
          "Personnel, WorkGroup, Description, Duration, ChargeRate) SELECT " +
          kRequest +
          ", i, datetime('2025-03-01 09:00:00', '+' || i || ' hours'), '" +
          kPerson +
          "', 'Service Desk', 'bench activity ' || i, 0.5, 45 "
          "FROM n");
}

void BM_ActivityLog(benchmark::State& state) {
  const BenchDesk& desk = ActivityDesk(static_cast<int>(state.range(0)));
  SessionState session(desk.ini_path);
  for (auto _ : state) {
    if (!ShowActivityList(&session, Variant(kRequest))) {
      state.SkipWithError(session.error_text.c_str());
    }
  }
}
BENCHMARK(BM_ActivityLog)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

// The same page built straight from SQLite's column texts, escaped; on a
// connection opened once, before the loop, as the engine reuses idle
// connections.
void BM_ActivityLogBareSql(benchmark::State& state) {
  const BenchDesk& desk = ActivityDesk(static_cast<int>(state.range(0)));
  BareConnection db(desk.db_path);
  const std::string query =
      std::string(
          "SELECT ActNo, [Date/Time], Personnel, Duration, ChargeRate, "
          "Description FROM Request_Activities WHERE RequestNo=") +
      kRequest + " ORDER BY [DATE/TIME], ActNo";
  auto text = [](sqlite3_stmt* stmt, int column) {
    const unsigned char* value = sqlite3_column_text(stmt, column);
    return std::string_view(value ? reinterpret_cast<const char*>(value) : "",
                            sqlite3_column_bytes(stmt, column));
  };
  for (auto _ : state) {
    std::string page = "<p><img src='kvlogo.gif'>Activity Log: ";
    page += kRequest;
    page += "</p><table><tr>";
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(SqliteDatabase::HandleOf(db), query.c_str(), -1, &stmt,
                       nullptr);
    for (int i = 0; i < 5; ++i) {
      page += "<td bgcolor='#00c0ff'><font size=2><b>";
      AppendHtml(&page, sqlite3_column_name(stmt, i));
      page += "</b></td>";
    }
    page += "</tr>";
    int rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      ++rows;
      page += "<tr><td><input name=KIRVSCommand value='#";
      AppendHtml(&page, text(stmt, 0));
      page += "' type=submit></td>";
      for (int i = 1; i < 5; ++i) {
        page += "<td><font size=2>";
        AppendHtml(&page, text(stmt, i));
        page += "</td>";
      }
      page += "</tr><tr><td></td><td colspan=5><font size=2>";
      AppendHtml(&page, text(stmt, 5));
      page += "</td>";
    }
    sqlite3_finalize(stmt);
    page += "</table><p>" + std::to_string(rows) + " activities";
    benchmark::DoNotOptimize(page);
  }
}
BENCHMARK(BM_ActivityLogBareSql)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

void BM_AddActivity(benchmark::State& state) {
  const BenchDesk& desk = ActivityDesk(static_cast<int>(state.range(0)));
  SessionState session(desk.ini_path);
  for (auto _ : state) {
    if (!NewActivity(&session, Variant(kRequest), Variant(kPerson))) {
      state.SkipWithError(session.error_text.c_str());
    }
  }
}
BENCHMARK(BM_AddActivity)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

// The statements of the new-activity page: the activities read in one write
// transaction (already numbered, so nothing is written), then, on a second
// connection while the first is held, the person's work group and the
// selection lists of Personnel and WorkGroup.
void BM_AddActivityBareSql(benchmark::State& state) {
  const BenchDesk& desk = ActivityDesk(static_cast<int>(state.range(0)));
  BareConnection db(desk.db_path);
  BareConnection lookups(desk.db_path);
  for (auto _ : state) {
    std::string page;
    db.Execute("BEGIN IMMEDIATE");
    db.Query(std::string("SELECT RequestNo, ActNo, [Date/Time], Personnel, "
                         "WorkGroup, Duration, ChargeRate, Description, rowid "
                         "FROM [Request_Activities] Where RequestNo=") +
                 kRequest + " ORDER BY [Date/Time], ActNo",
             &page);
    db.Execute("COMMIT");
    lookups.Query(std::string("SELECT * FROM [Personnel] WHERE Name = '") +
                      kPerson + "' ORDER BY rowid",
                  &page);
    lookups.Query("SELECT * FROM [Personnel] ORDER BY 1", &page);
    lookups.Query("SELECT * FROM [Work_Groups] ORDER BY 1", &page);
    benchmark::DoNotOptimize(page);
  }
}
BENCHMARK(BM_AddActivityBareSql)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kirvs::bench
