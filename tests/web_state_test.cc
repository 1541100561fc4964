// The web front's state in the database, on each store: the session store's
// limits (one user cannot sign out others by logging in over and over, and a
// full store refuses newcomers instead of ending active sessions), and the
// login throttle under guesses that race (each turn lets one attempt through,
// however many arrive together); both shared by the nodes of a help desk.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "data/web_state_tables.h"
#include "test_support.h"
#include "web/identity/login_throttle.h"
#include "web/identity/session_store.h"

namespace kirvs::web {
namespace {

using std::chrono::milliseconds;

// A demo desk of the test's store with the web state tables, a session
// store and a login throttle on a manual clock.
class WebStateTest : public ::testing::TestWithParam<Store> {
 protected:
  void SetUp() override {
    if (!desk_.available()) GTEST_SKIP() << testing::kNoPostgres;
    ASSERT_TRUE(EnsureWebStateTables(desk_.db_path()).ok());
    options_.settings_path = desk_.ini_path();
    options_.clock = &clock_;
    options_.max_sessions = 10;
    options_.max_sessions_per_user = 3;
    options_.free_failures_per_address = 1000;  // the users' waits only
    store_ = std::make_unique<SessionStore>(options_);
    throttle_ = std::make_unique<LoginThrottle>(options_);
  }

  // A login as `user`: its id, or empty when the store refused it.
  std::string LogIn(const std::string& user) {
    SessionStore::Place place = store_->Reserve(user);
    if (place == SessionStore::Place::kNone) return "";
    return store_->Create(place, user, user + " person").id;
  }

  // `count` attempts of `user` from `address`, each let through and failed.
  void Fail(const std::string& user, const std::string& address, int count) {
    for (int i = 0; i < count; ++i) {
      ASSERT_FALSE(throttle_->Begin(user, address)) << user << ' ' << i;
      throttle_->Failed(user, address);
    }
  }

  // `guessers` threads start an attempt for bob at the same moment; each
  // one let through fails. Returns how many were let through.
  int Race(int guessers) {
    std::atomic<int> passed{0};
    std::barrier start(guessers);
    testing::OnThreads(guessers, [&](int i) {
      std::string address = "10.0.0." + std::to_string(i);
      start.arrive_and_wait();
      if (!throttle_->Begin("bob", address)) {
        ++passed;
        throttle_->Failed("bob", address);
      }
    });
    return passed;
  }

  kirvs::testing::DemoDesk desk_{GetParam()};
  kirvs::testing::ManualClock clock_;
  ServeOptions options_;
  std::unique_ptr<SessionStore> store_;
  std::unique_ptr<LoginThrottle> throttle_;
};
using SessionStoreTest = WebStateTest;
using LoginThrottleTest = WebStateTest;

KIRVS_ON_EVERY_STORE(SessionStoreTest);
KIRVS_ON_EVERY_STORE(LoginThrottleTest);

TEST_P(SessionStoreTest, RepeatedLoginsEndOnlyTheUsersOwnOldestSessions) {
  std::string ann = LogIn("ann");
  std::string bob = LogIn("bob");
  std::vector<std::string> mallory;
  for (int i = 0; i < 200; ++i)
    mallory.push_back(LogIn(i % 2 ? "MALLORY" : "mallory"));
  EXPECT_TRUE(store_->Find(ann));
  EXPECT_TRUE(store_->Find(bob));
  EXPECT_EQ(5u, store_->size());
  // His three newest live on, whatever case he typed.
  for (size_t i = 0; i < mallory.size(); ++i) {
    EXPECT_EQ(i + 3 >= mallory.size(), store_->Find(mallory[i]).has_value())
        << i;
  }
  EXPECT_TRUE(store_->Sweep().empty());  // everyone still has a session
}

TEST_P(SessionStoreTest, AFullStoreRefusesUntilSessionsGoIdle) {
  std::vector<std::string> ids;
  for (int i = 0; i < 10; ++i) ids.push_back(LogIn("user" + std::to_string(i)));
  EXPECT_EQ("", LogIn("late"));
  for (const std::string& id : ids) EXPECT_TRUE(store_->Find(id)) << id;
  // A place held for a login counts as taken until the login gives it back.
  store_->End(ids[0]);
  using Place = SessionStore::Place;
  ASSERT_EQ(Place::kFree, store_->Reserve("late"));
  EXPECT_EQ(Place::kNone, store_->Reserve("late"));
  store_->Release(Place::kFree);
  EXPECT_NE("", LogIn("late"));

  // Sessions past their idle timeout make room, and Sweep reports them so
  // their login entries go too.
  clock_.Advance(std::chrono::minutes(31));
  EXPECT_NE("", LogIn("later"));
  std::vector<std::string> gone = store_->Sweep();
  EXPECT_EQ(10u, gone.size());
  EXPECT_EQ(1u, store_->size());
}

// Stores of two nodes on one database share the sessions, which hold only a
// hash of each id; a session kept busy through either stays, and one gone
// idle is swept once, by whichever node comes first.
TEST_P(SessionStoreTest, NodesShareSessionsAndSweepEachOnce) {
  const std::string ann = LogIn("ann");
  const std::string bob = LogIn("bob");
  SessionStore other(options_);
  for (const auto& row :
       testing::QuerySql(desk_.db_path(),
                         "SELECT id_hash, token, user_id FROM web_sessions")) {
    for (const std::string& value : row) EXPECT_EQ(value.find(ann), value.npos);
  }
  for (int i = 0; i < 3; ++i) {
    clock_.Advance(std::chrono::minutes(29));
    SessionStore& node = i % 2 ? *store_ : other;
    ASSERT_TRUE(node.Find(ann)) << i;
    node.Flush();
  }
  EXPECT_FALSE(store_->Find(bob));  // idle since its login
  clock_.Advance(std::chrono::minutes(31));
  EXPECT_FALSE(other.Find(ann));
  std::vector<std::string> gone = other.Sweep();
  std::sort(gone.begin(), gone.end());
  EXPECT_EQ(std::vector<std::string>({"ann", "bob"}), gone);
  EXPECT_TRUE(store_->Sweep().empty());
  EXPECT_EQ(0u, store_->size());
}

// While the database is busy, only a session's latest pages wait for it,
// as many as it keeps; the pages wait in memory, and all must be written
// before a node can stop.
TEST_P(SessionStoreTest, OnlyTheLatestPagesWaitForABusyDatabase) {
  const std::string ann = LogIn("ann");
  std::shared_ptr<Database> busy;
  ASSERT_TRUE(Database::Open(desk_.db_path(), &busy).ok());
  ASSERT_TRUE(busy->ExecuteNative(GetParam() == Store::kSqlite
                                      ? "BEGIN IMMEDIATE"
                                      : "BEGIN; LOCK TABLE web_pages IN "
                                        "EXCLUSIVE MODE")
                  .ok());
  constexpr size_t kKept = SessionStore::kKeptPages;
  std::vector<uint64_t> numbers;
  for (size_t i = 0; i < 3 * kKept; ++i) {
    numbers.push_back(store_->KeepPage(ann, "page " + std::to_string(i)));
  }
  // Those the keeper took before the database held it up, and the latest.
  size_t waiting = 0;
  for (uint64_t number : numbers) {
    waiting += store_->Page(ann, number)->number == number;
  }
  EXPECT_GE(2 * kKept, waiting);
  ASSERT_TRUE(busy->ExecuteNative("COMMIT").ok());
  store_->Flush();
  EXPECT_EQ("page " + std::to_string(3 * kKept - 1),
            store_->Page(ann, numbers.back())->fragment);
}

TEST_P(LoginThrottleTest, RacingGuessesGetOneAttemptPerTurn) {
  // Within the free failures, no more attempts run than failures are left.
  Fail("bob", "a", 1);
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
  Fail("BOB", "a", 3);
  clock_.Advance(milliseconds(1000));
  ASSERT_FALSE(throttle_->Begin("bob", "a"));
  // While it runs, the next one must wait.
  EXPECT_EQ(milliseconds(1000), throttle_->Begin("bob", "b"));
  throttle_->Abandoned("bob", "a");  // it never ran: it counts for nothing
  ASSERT_FALSE(throttle_->Begin("bob", "a"));
  throttle_->Succeeded("bob", "a");
  Fail("bob", "a", 3);  // success forgets the user's failures
  EXPECT_TRUE(throttle_->Begin("bob", "a"));
}

// Two nodes count one user's failures together. Attempts begun on a node
// that stopped before they ended hold nobody back once their lease has run
// out, however often attempts begin after them, and a sweep of forgotten
// failures then leaves nothing behind.
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
  clock_.Advance(LoginThrottle::kAttemptLease);
  EXPECT_EQ(milliseconds(1000), throttle_->Begin("bob", "a"));
  clock_.Advance(milliseconds(1));
  ASSERT_FALSE(throttle_->Begin("bob", "a"));
  throttle_->Succeeded("bob", "a");

  ASSERT_FALSE(other.Begin("carol", "b"));
  ASSERT_FALSE(other.Begin("carol", "b"));  // two, and the node stops
  for (milliseconds t(0); t <= LoginThrottle::kAttemptLease;
       t += milliseconds(1000)) {
    ASSERT_FALSE(throttle_->Begin("carol", "a")) << t.count();
    throttle_->Abandoned("carol", "a");
    clock_.Advance(milliseconds(1000));
  }
  Fail("carol", "a", 3);
  EXPECT_TRUE(throttle_->Begin("carol", "a"));

  clock_.Advance(options_.forget_failures_after + milliseconds(1));
  throttle_->Sweep();
  EXPECT_EQ("0",
            testing::QueryValue(desk_.db_path(),
                                "SELECT COUNT(*) FROM web_login_failures"));
}

}  // namespace
}  // namespace kirvs::web
