// The two searches on 100,000 items and 100,000 solutions, each beside the
// bare SQL work it does (the same query run directly through SQLite, every
// value escaped into table cells), measured in the same run. The label of
// each search names how SQLite finds the rows (EXPLAIN QUERY PLAN).

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <memory>
#include <string>

#include "bench_support.h"
#include "data/settings.h"
#include "kirvs/submitted_form.h"
#include "pages/session_state.h"
#include "platform/escape.h"
#include "platform/sqlite_database.h"
#include "search/search_results.h"

namespace kirvs::bench {
namespace {

constexpr int kRows = 100000;

// Every hundredth item is a printer and every hundredth solution is about
// the VPN, and locations and products each take 100 values: every criterion
// below matches about 1,000 rows.
const BenchDesk& SearchDesk() {
  return Desk(
      "search",
      Numbers(kRows) +
          "INSERT INTO Items (ItemId, Description, ProductType, Manufacturer, "
          "Model, SerialNo, Location, Department, UserId, PurchaseDate, "
          "PurchaseCost) SELECT printf('BX%06d', i), CASE WHEN i % 100 = 0 "
          "THEN 'Laser printer ' || i ELSE 'Desktop PC ' || i END, "
          "'Hardware', 'Maker ' || (i % 20), 'Model ' || (i % 50), 'SN' || i, "
          "'Site ' || (i % 100), 'Dept ' || (i % 30), 'user' || (i % 1000), "
          "printf('2023-%02d-%02d 00:00:00', 1 + i % 12, 1 + i % 28), "
          "100 + i % 900 FROM n; " +
          Numbers(kRows) +
          "INSERT INTO Solutions (SolutionId, Description, Product, System, "
          "Problem, Solution, Keywords, Author, Created) SELECT 1000 + i, "
          "'Known fix ' || i, 'Prod ' || (i % 100), 'Sys ' || (i % 10), "
          "'The user reports problem ' || i, 'Restart the service, clear the "
          "cache and sign in again; if problem ' || i || ' stays, escalate.', "
          "CASE WHEN i % 100 = 0 THEN 'vpn remote access' ELSE 'general' END, "
          "'Pat Bench', '2024-06-01 10:00:00' FROM n");
}

struct SearchCase {
  bool inventory;
  const char* field;
  const char* value;
  const char* sql_condition;  // what the criteria builder makes of it
};

constexpr SearchCase kCases[] = {
    {true, "Location", "Site 7", " WHERE Location='Site 7'"},
    {true, "Description", "%printer%", " WHERE Description Like '%printer%'"},
    {false, "Product", "Prod 7", " WHERE Product='Prod 7'"},
    {false, "Keywords", "%vpn%", " WHERE Keywords Like '%vpn%'"},
};

std::string Query(const BenchDesk& desk, const SearchCase& c) {
  if (c.inventory) {
    return "SELECT " + ReadColumnList(desk.ini_path, "InventoryList") +
           " FROM Items" + c.sql_condition + " ORDER BY ItemId";
  }
  return "SELECT " + ReadColumnList(desk.ini_path, "SolutionsList") +
         " FROM Solutions" + c.sql_condition + " ORDER BY SolutionId DESC";
}

std::string QueryPlan(const BenchDesk& desk, const std::string& query) {
  BareConnection db(desk.db_path);
  sqlite3_stmt* stmt = nullptr;
  std::string plan;
  sqlite3_prepare_v2(SqliteDatabase::HandleOf(db),
                     ("EXPLAIN QUERY PLAN " + query).c_str(), -1, &stmt,
                     nullptr);
  while (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW) {
    if (!plan.empty()) plan += "; ";
    plan += reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3));
  }
  sqlite3_finalize(stmt);
  return plan;
}

void BM_SearchCommand(benchmark::State& state) {
  const BenchDesk& desk = SearchDesk();
  const SearchCase& c = kCases[state.range(0)];
  Variant form = Variant::Form(
      std::make_shared<SubmittedForm>(std::vector<SubmittedForm::Field>{
          {"KIRVSCommand",
           c.inventory ? "Search Inventory Now" : "Search Solutions Now"},
          {c.field, c.value}}));
  SessionState session(desk.ini_path);
  for (auto _ : state) {
    bool ok = c.inventory ? RunInventorySearch(&session, form)
                          : RunSolutionsSearch(&session, form);
    if (!ok) state.SkipWithError(session.error_text.c_str());
    benchmark::DoNotOptimize(session.page_text.data());
  }
  state.counters["page_bytes"] = static_cast<double>(session.page_text.size());
  state.SetLabel(QueryPlan(desk, Query(desk, c)));
}
BENCHMARK(BM_SearchCommand)
    ->ArgName("case")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond);

// The same query through SQLite alone: open, step, every value escaped into
// a cell, close.
void BM_SearchBareSql(benchmark::State& state) {
  const BenchDesk& desk = SearchDesk();
  const std::string query = Query(desk, kCases[state.range(0)]);
  int rows = 0;
  // As the session keeps its last page until the next replaces it.
  std::string last_page;
  for (auto _ : state) {
    BareConnection db(desk.db_path);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(SqliteDatabase::HandleOf(db), query.c_str(), -1,
                           &stmt, nullptr) != SQLITE_OK) {
      state.SkipWithError(sqlite3_errmsg(SqliteDatabase::HandleOf(db)));
      break;
    }
    std::string page = "<table cellpadding=2 valign=top><tr>";
    rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      ++rows;
      page += "<tr>";
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        page += "<td><font size=2>";
        const unsigned char* text = sqlite3_column_text(stmt, i);
        if (text != nullptr) {
          AppendHtml(&page, reinterpret_cast<const char*>(text));
        }
        page += "</td>";
      }
      page += "</tr>";
    }
    sqlite3_finalize(stmt);
    page += "</table>";
    last_page = std::move(page);
    benchmark::DoNotOptimize(last_page.data());
  }
  state.counters["rows"] = rows;
}
BENCHMARK(BM_SearchBareSql)
    ->ArgName("case")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kirvs::bench
