// The login throttle under guesses that race: each turn lets one attempt
// through, however many arrive together.

#include "web/identity/login_throttle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "data/web_state_tables.h"
#include "test_support.h"

namespace kirvs::web {
namespace {

using std::chrono::milliseconds;

class LoginThrottleTest : public ::testing::TestWithParam<Store> {
 protected:
  void SetUp() override {
    if (!desk_.available()) GTEST_SKIP() << testing::kNoPostgres;
    ASSERT_TRUE(EnsureWebStateTables(desk_.db_path()).ok());
    options_.settings_path = desk_.ini_path();
    options_.clock = &clock_;
    options_.free_failures_per_user = 3;
    options_.free_failures_per_address = 1000;
    options_.first_login_delay = milliseconds(1000);
    throttle_ = std::make_unique<LoginThrottle>(options_);
  }

  // `guessers` threads start an attempt for bob at the same moment; each
  // one let through fails. Returns how many were let through.
  int Race(int guessers) {
    std::atomic<int> passed{0};
    std::barrier start(guessers);
    std::vector<std::thread> threads;
    for (int i = 0; i < guessers; ++i) {
      threads.emplace_back([&, i] {
        std::string address = "10.0.0." + std::to_string(i);
        start.arrive_and_wait();
        if (!throttle_->Begin("bob", address)) {
          ++passed;
          throttle_->Failed("bob", address);
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    return passed;
  }

  kirvs::testing::DemoDesk desk_{GetParam()};
  kirvs::testing::ManualClock clock_;
  ServeOptions options_;
  std::unique_ptr<LoginThrottle> throttle_;
};

INSTANTIATE_TEST_SUITE_P(Stores, LoginThrottleTest,
                         ::testing::ValuesIn(testing::kStores),
                         testing::StoreName);

TEST_P(LoginThrottleTest, RacingGuessesGetOneAttemptPerTurn) {
  // Within the free failures, no more attempts run than failures are left.
  ASSERT_FALSE(throttle_->Begin("bob", "a"));
  throttle_->Failed("bob", "a");
  EXPECT_EQ(2, Race(32));
  // Then one attempt each time a wait expires, however many arrive then.
  milliseconds delay(1000);
  for (int turn = 0; turn < 4; ++turn) {
    EXPECT_EQ(0, Race(32)) << turn;
    clock_.Advance(delay - milliseconds(1));
    EXPECT_EQ(0, Race(32)) << turn;
    clock_.Advance(milliseconds(1));
    EXPECT_EQ(1, Race(32)) << turn;
    delay *= 2;
  }
}

TEST_P(LoginThrottleTest, AnAttemptRunningHoldsBackTheNextAndEndsCleanly) {
  for (int i = 0; i < 3; ++i) {
    ASSERT_FALSE(throttle_->Begin("BOB", "a"));
    throttle_->Failed("BOB", "a");
  }
  clock_.Advance(milliseconds(1000));
  ASSERT_FALSE(throttle_->Begin("bob", "a"));
  // While it runs, the next one must wait.
  EXPECT_EQ(milliseconds(1000), throttle_->Begin("bob", "b"));
  throttle_->Abandoned("bob", "a");  // it never ran: it counts for nothing
  ASSERT_FALSE(throttle_->Begin("bob", "a"));
  throttle_->Succeeded("bob", "a");
  // Success forgets the user's failures.
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(throttle_->Begin("bob", "a")) << i;
    throttle_->Failed("bob", "a");
  }
  EXPECT_TRUE(throttle_->Begin("bob", "a"));
}

// Two nodes count one user's failures together. An attempt begun on a node
// that stopped before it ended holds nobody back once failures that old are
// forgotten, and a sweep then leaves nothing behind.
TEST_P(LoginThrottleTest, NodesCountTogether) {
  LoginThrottle other(options_);
  for (int i = 0; i < 3; ++i) {
    LoginThrottle& node = i % 2 ? other : *throttle_;
    ASSERT_FALSE(node.Begin("bob", "a")) << i;
    node.Failed("bob", "a");
  }
  EXPECT_EQ(milliseconds(1000), other.Begin("BOB", "b"));
  clock_.Advance(milliseconds(1000));
  ASSERT_FALSE(other.Begin("bob", "b"));  // its node stops before it ends
  EXPECT_EQ(milliseconds(1000), throttle_->Begin("bob", "a"));
  clock_.Advance(options_.forget_failures_after + milliseconds(1));
  ASSERT_FALSE(throttle_->Begin("bob", "a"));
  throttle_->Succeeded("bob", "a");
  throttle_->Sweep();
  EXPECT_EQ("0",
            testing::QueryValue(desk_.db_path(),
                                "SELECT COUNT(*) FROM web_login_failures"));
}

}  // namespace
}  // namespace kirvs::web
