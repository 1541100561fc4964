// Posts with very many fields: the submitted form and the save that walks
// it must answer in time linear in the fields, so that no post (up to what a
// web front lets through, and far beyond) holds a server thread for long.
// Each iteration builds the form from the posted pairs and runs SAVE REQUEST
// on it, as the web front does for one post.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "kirvs/session.h"
#include "kirvs/submitted_form.h"

namespace kirvs::bench {
namespace {

const BenchDesk& FormDesk() {
  return Desk("form", "INSERT OR IGNORE INTO Logins (UserName) VALUES ('ann')");
}

// The posted pairs of a request page with `count` extra fields: distinct
// names "field<i>", or one name repeated in changing case.
std::vector<SubmittedForm::Field> Post(int count, bool distinct) {
  std::vector<SubmittedForm::Field> fields = {{"requestno", "1017"},
                                              {"KIRVSCurrentUser", "ann"}};
  fields.reserve(count + 2);
  for (int i = 0; i < count; ++i) {
    if (distinct) {
      fields.emplace_back("field" + std::to_string(i), "x");
    } else {
      fields.emplace_back(i % 2 ? "description" : "DESCRIPTION", "x");
    }
  }
  return fields;
}

void RunPost(benchmark::State& state, bool distinct) {
  const BenchDesk& desk = FormDesk();
  const std::vector<SubmittedForm::Field> fields =
      Post(static_cast<int>(state.range(0)), distinct);
  KIRVSession session(desk.ini_path);
  for (auto _ : state) {
    Variant command("SAVE REQUEST");
    Variant form = Variant::Form(std::make_shared<SubmittedForm>(fields));
    Variant person("Ann Archer"), unused;
    bool saved = session.RunCommand(command, form, person, unused);
    // Distinct names are no columns, so that save fails after walking every
    // field; the repeated Description is stored.
    if (saved != !distinct) {
      state.SkipWithError(
          session.ErrorDescription().text().substr(0, 200).c_str());
      break;
    }
  }
  state.counters["fields"] = static_cast<double>(fields.size());
}

void BM_PostDistinctNames(benchmark::State& state) { RunPost(state, true); }
BENCHMARK(BM_PostDistinctNames)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

void BM_PostRepeatedName(benchmark::State& state) { RunPost(state, false); }
BENCHMARK(BM_PostRepeatedName)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kirvs::bench
