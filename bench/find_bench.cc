// The web front's find box on a desk of 100,000 requests (half outstanding,
// half closed): a rare word, a common word whose matches must be sorted
// before the first page, and two words together. Each search reads its
// first page of 50 through the word index, as the find box does.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>

#include "bench_support.h"
#include "data/request_finder.h"

namespace kirvs::bench {
namespace {

constexpr int kRequests = 100000;

// Descriptions draw one of five topics, a room and a code of their own, so
// that a topic matches a fifth of the desk and a code one request.
std::string FillRequests(const char* table, int first, const char* extra) {
  return Numbers(kRequests / 2) + "INSERT INTO " + table +
         " (RequestNo, Requested, Personnel, Description, Priority, Status, "
         "UserId, Contact" +
         (*extra ? std::string(", ") + extra : std::string()) + ") SELECT " +
         std::to_string(first) +
         " + i, '2025-01-01 10:00:00', 'Other ' || (i % 500), CASE i % 5 "
         "WHEN 0 THEN 'printer jams' WHEN 1 THEN 'laptop battery drains' WHEN "
         "2 THEN 'mail will not sync' WHEN 3 THEN 'screen flickers' ELSE "
         "'password expired' END || ' in room ' || (i % 300) || ' code c' || "
         "(" +
         std::to_string(first) +
         " + i), 'Low', 'Open', 'user' || (i % 900), 'Contact ' || (i % 700)" +
         (*extra ? std::string(", 'Replaced the part', '2025-02-01 10:00:00'")
                 : std::string()) +
         " FROM n; ";
}

const BenchDesk& FindDesk() {
  static const BenchDesk& desk = [&]() -> const BenchDesk& {
    const BenchDesk& made =
        Desk("find", FillRequests("Current_Requests", 100000, "") +
                         FillRequests("Completed_Requests", 200000,
                                      "Resolution, Completed"));
    if (!EnsureRequestWords(made.ini_path).ok()) {
      std::cerr << "cannot make the word index\n";
      std::abort();
    }
    return made;
  }();
  return desk;
}

void BM_FindRequests(benchmark::State& state, const char* words) {
  const BenchDesk& desk = FindDesk();
  for (auto _ : state) {
    ListedPage page;
    if (!FindRequests(desk.ini_path, words, {}, 0, 50, &page).ok() ||
        page.rows.empty()) {
      state.SkipWithError("find failed");
      break;
    }
    benchmark::DoNotOptimize(page);
  }
}
BENCHMARK_CAPTURE(BM_FindRequests, one_code, "c234567")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindRequests, common_word, "laptop")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindRequests, two_words, "printer room")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindRequests, word_start, "pass")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kirvs::bench
