// What a login costs now that passwords are argon2id hashes, and whether an
// unknown user id costs the same as a wrong password (it must, or the time
// of a failed login tells which user ids exist). Each is timed 20 times, one
// login a time; compare the medians.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench_support.h"
#include "kirvs/session.h"
#include "kirvs/submitted_form.h"
#include "platform/password_hash.h"

namespace kirvs::bench {
namespace {

// One login attempt on the demo desk; true when it succeeded.
bool LogIn(const std::string& user, const std::string& password) {
  KIRVSession session(Desk("demo", "SELECT 1").ini_path);
  Variant command("LOGIN"), p2, p3;
  Variant p1 = Variant::Form(
      std::make_shared<SubmittedForm>(std::vector<SubmittedForm::Field>{
          {"txtUserId", user}, {"txtPassword", password}}));
  return session.RunCommand(command, p1, p2, p3);
}

void BM_LoginAttempt(benchmark::State& state, std::string user,
                     std::string password, bool succeeds) {
  LogIn("ann", "warm-up");  // the desk and the comparison hash are made once
  for (auto _ : state) {
    if (LogIn(user, password) != succeeds) {
      state.SkipWithError("unexpected login result");
      break;
    }
  }
}
BENCHMARK_CAPTURE(BM_LoginAttempt, right_password, "ann", "ann123", true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(20)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_LoginAttempt, wrong_password, "ann", "wrong", false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(20)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_LoginAttempt, unknown_user, "nobody", "wrong", false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(20)
    ->ReportAggregatesOnly(true);

void BM_HashPassword(benchmark::State& state) {
  std::string hash;
  for (auto _ : state) {
    if (!HashPassword("ann123", &hash).ok()) state.SkipWithError("no hash");
  }
}
BENCHMARK(BM_HashPassword)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kirvs::bench
